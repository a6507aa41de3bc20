#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <cstdlib>

#include "foundation/SysUtil.h"
#include "platform/ui/DataExchange.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/QtUiHooks.h"
#include "platform/ui/UiServices.h"
#include "tests/support/TestSupport.h"
#include "toolkit/BaseDialog.h"

namespace {

constexpr UINT kTemplate = 9101;
constexpr UINT kEdit = 200, kLabel = 201;

void RegisterTemplate() {
    DialogTemplate t;
    t.id = kTemplate;
    t.caption = L"Base";
    t.cx = 160;
    t.cy = 80;
    t.controls = {
        {kEdit, ControlKind::Edit, 10, 10, 40, 12, 0, L"5"},
        {kLabel, ControlKind::Static, 10, 30, 20, 10, 0, L"ab"},
        {IDOK, ControlKind::DefPushButton, 50, 60, 50, 14, 0, L"OK"},
        {IDCANCEL, ControlKind::PushButton, 105, 60, 50, 14, 0, L"Cancel"},
    };
    RegisterDialogTemplate(t);
}

struct Owner : QWidget, CWnd {
    QWidget* GetWidget() override { return this; }
};

class TestDialog : public CBaseDialog {
public:
    explicit TestDialog(CWnd* owner = nullptr, BOOL child = FALSE) : CBaseDialog(kTemplate, owner, FALSE, child) {}
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, kEdit, value);
        DDV_MinMaxInt(pDX, value, 0, 10);
    }
    void OnDropFile(const std::wstring& path) override { dropped.push_back(path); }
    int OnPostInit() override { return ++postInits; }
    using CBaseDialog::dropEvent;
    int value = 5;
    int postInits = 0;
    std::vector<std::wstring> dropped;
};

class BaseDialogTest : public testing::Test {
protected:
    void SetUp() override { RegisterTemplate(); }
    ScopedScriptedUi script;
};

void Key(QWidget* w, int key) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

}  // namespace

TEST_F(BaseDialogTest, EnterAndEscDoNothingTheCloseBoxStoresAndCancels) {
    TestDialog dlg;
    QTimer::singleShot(0, &dlg, [&] {
        Key(&dlg, Qt::Key_Return);
        Key(&dlg, Qt::Key_Escape);
        dlg.GetButton(IDOK)->click();
        EXPECT_TRUE(dlg.isVisible());
        dlg.SetDlgItemText(kEdit, L"7");
        dlg.close();
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.value, 7);

    // A value that fails its check is reported, and the dialog ends all the same.
    TestDialog bad;
    QTimer::singleShot(0, &bad, [&] {
        bad.SetDlgItemText(kEdit, L"99");
        bad.close();
    });
    EXPECT_EQ(bad.DoModal(), IDCANCEL);
    EXPECT_EQ(script.ui.messageBoxes.size(), 1u);
}

TEST_F(BaseDialogTest, CloseIsSwallowedWhileClosingIsForbidden) {
    TestDialog dlg;
    QTimer::singleShot(0, &dlg, [&] {
        dlg.m_bCanClose = FALSE;
        dlg.close();
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_FALSE(dlg.CanClose());
        dlg.m_bCanClose = TRUE;
        dlg.close();
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(BaseDialogTest, PostInitRunsAfterInitFromTheEventLoop) {
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    EXPECT_EQ(dlg.postInits, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg.postInits, 1);
}

TEST_F(BaseDialogTest, MinimisingAnIndependentDialogHidesItsOwner) {
    Owner owner;
    owner.show();
    TestDialog dlg(&owner);
    ASSERT_TRUE(dlg.Create(&owner));
    EXPECT_TRUE(dlg.isWindow());  // not embedded: the argument is ignored
    dlg.OnSizeOwner(SIZE_MINIMIZED, 0, 0);
    EXPECT_FALSE(owner.isVisible());
    dlg.OnSizeOwner(SIZE_RESTORED, 100, 50);
    EXPECT_TRUE(owner.isVisible());
    dlg.OnSizeOwner(SIZE_MINIMIZED, 0, 0);
    dlg.close();  // closing shows the owner again
    EXPECT_TRUE(owner.isVisible());

    // An embedded dialog never hides its owner.
    TestDialog child(&owner, TRUE);
    ASSERT_TRUE(child.Create(&owner));
    EXPECT_EQ(child.parentWidget(), &owner);
    EXPECT_FALSE(child.isWindow());
    child.OnSizeOwner(SIZE_MINIMIZED, 0, 0);
    EXPECT_TRUE(owner.isVisible());
}

TEST_F(BaseDialogTest, ItemTextFitWidensButNeverShrinksOrPassesTheEdge) {
    CQtUiHooks hooks;
    IUiHooks* previous = RegisterUiHooks(&hooks);
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    QWidget* label = dlg.GetDlgItem(kLabel);
    const QRect before = label->geometry();
    dlg.SetItemTextFit(kLabel, L"a", TRUE);
    EXPECT_EQ(label->geometry(), before);
    EXPECT_EQ(dlg.GetDlgItemText(kLabel), L"a");

    const std::wstring mid = L"A longer label";
    const SIZE extent = GetTextExtentGuiFont(&dlg, mid);
    ASSERT_LT(before.x() + extent.cx + 7, dlg.width());
    dlg.SetItemTextFit(kLabel, mid, TRUE);
    EXPECT_EQ(label->width(), extent.cx + 7);
    EXPECT_EQ(label->height(), std::max(before.height(), static_cast<int>(extent.cy)));

    dlg.SetItemTextFit(kLabel, std::wstring(200, L'W'), TRUE);
    EXPECT_EQ(label->x() + label->width(), dlg.width());
    dlg.SetItemTextFit(kLabel, L"short again", FALSE);
    EXPECT_EQ(label->x() + label->width(), dlg.width());
    dlg.SetItemTextFit(999, L"nothing", TRUE);  // no such control: nothing happens
    RegisterUiHooks(previous);
}

TEST_F(BaseDialogTest, JapaneseCancelCaption) {
    TestDialog ja;
    {
        talvern::test::ScopedLanguage japanese(true);
        ja.Create(nullptr);  // the caption is chosen as the dialog is built
    }
    TestDialog en;
    en.Create(nullptr);
    EXPECT_EQ(ja.GetDlgItemText(IDCANCEL), L"キャンセル");
    EXPECT_EQ(en.GetDlgItemText(IDCANCEL), L"Cancel");
}

TEST_F(BaseDialogTest, DroppedFilesReachOnDropFileInOrder) {
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/c.prx"), QUrl::fromLocalFile("/tmp/a.prx"),
                  QUrl::fromLocalFile("/tmp/b.txt")});
    QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    dlg.dropEvent(&drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(dlg.dropped.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg.dropped, (std::vector<std::wstring>{L"/tmp/c.prx", L"/tmp/a.prx", L"/tmp/b.txt"}));
}

TEST_F(BaseDialogTest, TrayIconIsAddedOnceWithOneBalloon) {
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    EXPECT_FALSE(dlg.TrayRemove());
    script.ui.trayAvailable = false;
    EXPECT_FALSE(dlg.TrayAdd(0, L"tip", QIcon()));
    EXPECT_TRUE(script.ui.balloons.empty());
    script.ui.trayAvailable = true;
    EXPECT_TRUE(dlg.TrayAdd(0, std::wstring(300, L'x'), QIcon()));
    EXPECT_TRUE(dlg.TrayAdd(0, L"again", QIcon()));
    ASSERT_EQ(script.ui.trayAdds.size(), 2u);
    EXPECT_EQ(script.ui.trayAdds[0].size(), 127u);
    ASSERT_EQ(script.ui.balloons.size(), 1u);
    EXPECT_EQ(script.ui.balloons[0].first, L"Info");
    EXPECT_EQ(script.ui.balloons[0].second, L"In the TaskTray");
    EXPECT_TRUE(dlg.TrayRemove());
    EXPECT_FALSE(dlg.TrayRemove());
    EXPECT_EQ(script.ui.trayRemoves, 1);
}
