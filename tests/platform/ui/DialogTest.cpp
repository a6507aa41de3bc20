#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <cstdlib>

#include "platform/ui/DataExchange.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/UpDown.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr UINT kTemplate = 9001;
constexpr UINT kEditInt = 100, kSpin = 101, kEditUInt = 102, kEditText = 103, kCheck = 104;
constexpr UINT kRadioA = 110, kRadioB = 111, kRadioC = 112, kOther1 = 120, kOther2 = 121, kCombo = 130;

void RegisterTestTemplate() {
    DialogTemplate t;
    t.id = kTemplate;
    t.caption = L"Test";
    t.cx = 200;
    t.cy = 120;
    t.controls = {
        {kEditInt, ControlKind::Edit, 10, 10, 40, 12, ES_NUMBER, L""},
        {kSpin, ControlKind::UpDown, 50, 10, 10, 12, UDS_AUTOBUDDY | UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_WRAP, L""},
        {kEditUInt, ControlKind::Edit, 10, 30, 40, 12, 0, L""},
        {kEditText, ControlKind::Edit, 10, 50, 80, 12, 0, L""},
        {kCheck, ControlKind::CheckBox, 100, 10, 60, 10, 0, L"Check"},
        {kRadioA, ControlKind::RadioButton, 100, 25, 40, 10, WS_GROUP, L"A"},
        {kRadioB, ControlKind::RadioButton, 100, 35, 40, 10, 0, L"B"},
        {kRadioC, ControlKind::RadioButton, 100, 45, 40, 10, 0, L"C"},
        {kOther1, ControlKind::RadioButton, 150, 25, 40, 10, WS_GROUP, L"X"},
        {kOther2, ControlKind::RadioButton, 150, 35, 40, 10, 0, L"Y"},
        {kCombo, ControlKind::ComboBox, 10, 70, 80, 50, 0, L""},
        {IDOK, ControlKind::DefPushButton, 90, 100, 50, 14, 0, L"OK"},
        {IDCANCEL, ControlKind::PushButton, 145, 100, 50, 14, 0, L"Cancel"},
    };
    RegisterDialogTemplate(t);
}

class ExchangeDialog : public CDialog {
public:
    ExchangeDialog() : CDialog(kTemplate, nullptr) {}
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, kEditInt, number);
        DDV_MinMaxInt(pDX, number, 1, 100);
        DDX_Text(pDX, kEditUInt, count);
        DDV_MinMaxUInt(pDX, count, 1, 4294967295u);
        DDX_Text(pDX, kEditText, text);
        DDX_Check(pDX, kCheck, checked);
        DDX_Radio(pDX, kRadioA, radio);
    }
    int number = 42;
    unsigned count = 7;
    std::wstring text = L"hello";
    int checked = 1;
    int radio = 2;
};

using talvern::test::ScopedLanguage;

class DialogCore : public testing::Test {
protected:
    void SetUp() override { RegisterTestTemplate(); }
    ScopedScriptedUi script;
};

}  // namespace

TEST_F(DialogCore, TemplateBuildsControlsWithIdsAndGeometry) {
    ExchangeDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    const DialogUnits u = DialogUnits::FromFont(dlg.font());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Test"));
    EXPECT_EQ(dlg.size(), QSize(200 * u.baseX / 4, 120 * u.baseY / 8));
    for (const DialogControl& c : FindDialogTemplate(kTemplate)->controls) {
        QWidget* w = dlg.GetDlgItem(c.id);
        ASSERT_NE(w, nullptr) << c.id;
        EXPECT_EQ(dlg.GetDlgCtrlID(w), c.id);
        const QRect expected(c.x * u.baseX / 4, c.y * u.baseY / 8, c.cx * u.baseX / 4, c.cy * u.baseY / 8);
        if (c.kind == ControlKind::ComboBox) {
            EXPECT_EQ(w->pos(), expected.topLeft());
            EXPECT_LT(w->height(), expected.height());  // closed, not as high as its list
        } else {
            EXPECT_EQ(w->geometry(), expected) << c.id;
        }
    }
    EXPECT_EQ(dlg.GetUpDown(kSpin)->GetBuddy(), dlg.GetEdit(kEditInt));
    EXPECT_EQ(dlg.RadioGroupOf(kRadioB).size(), 3u);
    EXPECT_EQ(dlg.RadioGroupOf(kOther2).size(), 2u);
    EXPECT_EQ(dlg.GetDlgItem(999), nullptr);
}

TEST_F(DialogCore, UnknownTemplateFailsToRun) {
    CDialog dlg(4242, nullptr);
    EXPECT_EQ(dlg.DoModal(), -1);
}

TEST_F(DialogCore, DataExchangeRoundTrips) {
    ExchangeDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));  // OnInitDialog loads the fields
    EXPECT_EQ(dlg.GetDlgItemText(kEditInt), L"42");
    EXPECT_EQ(dlg.GetDlgItemText(kEditUInt), L"7");
    EXPECT_EQ(dlg.GetDlgItemText(kEditText), L"hello");
    EXPECT_EQ(dlg.IsDlgButtonChecked(kCheck), 1);
    EXPECT_EQ(dlg.IsDlgButtonChecked(kRadioC), 1);

    dlg.SetDlgItemText(kEditInt, L" 100 ");
    dlg.SetDlgItemText(kEditUInt, L"4294967295");
    dlg.SetDlgItemText(kEditText, L"ワールド");
    dlg.CheckDlgButton(kCheck, 0);
    dlg.CheckDlgButton(kRadioA, 1);
    ASSERT_TRUE(dlg.UpdateData(TRUE));
    EXPECT_EQ(dlg.number, 100);
    EXPECT_EQ(dlg.count, 4294967295u);
    EXPECT_EQ(dlg.text, L"ワールド");
    EXPECT_EQ(dlg.checked, 0);
    EXPECT_EQ(dlg.radio, 0);
    EXPECT_EQ(dlg.IsDlgButtonChecked(kRadioC), 0);

    // No radio checked reads as -1; -1 written clears the group.
    dlg.radio = -1;
    dlg.UpdateData(FALSE);
    for (UINT id : {kRadioA, kRadioB, kRadioC}) EXPECT_EQ(dlg.IsDlgButtonChecked(id), 0);
    dlg.radio = 5;
    dlg.UpdateData(TRUE);
    EXPECT_EQ(dlg.radio, -1);
    EXPECT_TRUE(script.ui.messageBoxes.empty());
}

TEST_F(DialogCore, DataExchangeRejectsBadInputWithAMessage) {
    struct Case {
        UINT id;
        const wchar_t* text;
        const wchar_t* message;
    };
    const Case cases[] = {
        {kEditInt, L"abc", L"Please enter an integer."},
        {kEditInt, L"", L"Please enter an integer."},
        {kEditInt, L"2147483648", L"Please enter an integer."},
        {kEditInt, L"0", L"Please enter an integer between 1 and 100."},
        {kEditInt, L"101", L"Please enter an integer between 1 and 100."},
        {kEditUInt, L"-1", L"Please enter a positive integer."},
        {kEditUInt, L"4294967296", L"Please enter a positive integer."},
        {kEditUInt, L"0", L"Please enter an integer between 1 and 4294967295."},
    };
    for (const Case& c : cases) {
        ExchangeDialog dlg;
        ASSERT_TRUE(dlg.CreateModeless(nullptr));
        script.ui.messageBoxes.clear();
        dlg.SetDlgItemText(c.id, c.text);
        EXPECT_FALSE(dlg.UpdateData(TRUE)) << std::string(QString::fromStdWString(c.text).toUtf8());
        ASSERT_EQ(script.ui.messageBoxes.size(), 1u);  // one message, then the exchange stops
        EXPECT_EQ(script.ui.messageBoxes[0].text, c.message);
        EXPECT_EQ(dlg.text, L"hello");  // fields after the failing one keep their values
    }
    ScopedLanguage ja("ja_JP.UTF-8");
    ExchangeDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    script.ui.messageBoxes.clear();
    dlg.SetDlgItemText(kEditInt, L"x");
    EXPECT_FALSE(dlg.UpdateData(TRUE));
    ASSERT_EQ(script.ui.messageBoxes.size(), 1u);
    EXPECT_EQ(script.ui.messageBoxes[0].text, L"整数を入力してください。");
}

TEST(DialogParsing, StrictDecimalNumbers) {
    int i = 0;
    unsigned u = 0;
    EXPECT_TRUE(ParseDialogInt(L"-2147483648", i));
    EXPECT_EQ(i, -2147483647 - 1);
    EXPECT_TRUE(ParseDialogInt(L"+7", i));
    EXPECT_EQ(i, 7);
    EXPECT_FALSE(ParseDialogInt(L"1 2", i));
    EXPECT_FALSE(ParseDialogInt(L"-", i));
    EXPECT_FALSE(ParseDialogInt(L"0x10", i));
    EXPECT_TRUE(ParseDialogUInt(L" 4294967295 ", u));
    EXPECT_EQ(u, 4294967295u);
    EXPECT_FALSE(ParseDialogUInt(L"99999999999999999999", u));
}

TEST_F(DialogCore, ChangeNotificationsFireOnlyForRealChanges) {
    ExchangeDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    int changes = 0;
    dlg.OnEditChange(kEditText, [&] { ++changes; });
    dlg.SetDlgItemText(kEditText, L"hello");
    EXPECT_EQ(changes, 0);
    dlg.SetDlgItemText(kEditText, L"other");
    EXPECT_EQ(changes, 1);
    // An exchange writes "hello" back without telling the handler: notifications are
    // locked out while the controls are loaded.
    dlg.UpdateData(FALSE);
    EXPECT_EQ(dlg.GetDlgItemText(kEditText), L"hello");
    EXPECT_EQ(changes, 1);
    dlg.SetDlgItemText(kEditText, L"again");
    EXPECT_EQ(changes, 2);
}

TEST_F(DialogCore, UpDownStepsItsBuddyAndWraps) {
    ExchangeDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    CUpDown* spin = dlg.GetUpDown(kSpin);
    int changes = 0;
    dlg.OnEditChange(kEditInt, [&] { ++changes; });
    spin->SetRange(1, 100);
    spin->SetPos(250);
    EXPECT_EQ(dlg.GetDlgItemText(kEditInt), L"100");
    spin->Step(+1);
    EXPECT_EQ(dlg.GetDlgItemText(kEditInt), L"1");
    spin->Step(-1);
    EXPECT_EQ(spin->GetPos(), 100);
    EXPECT_EQ(changes, 3);
    dlg.SetDlgItemText(kEditInt, L"50");
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QCoreApplication::sendEvent(dlg.GetEdit(kEditInt), &up);
    EXPECT_EQ(dlg.GetDlgItemText(kEditInt), L"51");
}

TEST_F(DialogCore, ModalEndsWithOkAndCancel) {
    {
        ExchangeDialog dlg;
        QTimer::singleShot(0, &dlg, [&] { dlg.GetButton(IDOK)->click(); });
        EXPECT_EQ(dlg.DoModal(), IDOK);
    }
    {
        ExchangeDialog dlg;
        QTimer::singleShot(0, &dlg, [&] {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(&dlg, &esc);
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    }
    {
        // OK with bad input keeps the dialog open; the close box cancels.
        ExchangeDialog dlg;
        QTimer::singleShot(0, &dlg, [&] {
            dlg.SetDlgItemText(kEditInt, L"zero");
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(&dlg, &enter);
            EXPECT_TRUE(dlg.isVisible());
            dlg.close();
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_EQ(script.ui.messageBoxes.size(), 1u);
    }
}

TEST_F(DialogCore, ClickWithoutHandlerRoutesToTheOwner) {
    struct Owner : QWidget, CWnd {
        QWidget* GetWidget() override { return this; }
    } owner;
    UINT got = 0;
    owner.OnCommand(kCheck, [&](UINT id) { got = id; });
    CDialog dlg(kTemplate, &owner);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    dlg.GetButton(kCheck)->click();
    EXPECT_EQ(got, kCheck);
}
