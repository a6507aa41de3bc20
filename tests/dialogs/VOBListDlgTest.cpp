#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>
#include <cstdio>

#include "dialogs/VOBListDlg.h"
#include "platform/ui/UiServices.h"
#include "platform/win32/WideChar.h"
#include "tests/support/TestSupport.h"

using namespace talvern::test;

namespace {

class VobListTest : public testing::Test {
protected:
    void Open(std::vector<std::wstring> paths = {}) {
        dlg.m_paths = std::move(paths);
        ASSERT_TRUE(dlg.Create(nullptr));
    }
    std::vector<std::wstring> Items() {
        std::vector<std::wstring> out;
        for (int i = 0; i < dlg.GetList().GetCount(); ++i) out.push_back(dlg.GetList().GetText(i));
        return out;
    }
    std::wstring Folder() const { return Utf8ToWide(dir.path().string()); }
    void Touch(const std::string& name) { WriteFileBytes(dir / name, "x"); }
    void ButtonMouse(UINT id, QEvent::Type type, QPoint pt = QPoint(5, 5)) {
        QAbstractButton* b = dlg.GetButton(id);
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, pt, b->mapToGlobal(pt), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(b, &e);
    }

    ScopedScriptedUi script;
    TempDir dir;
    CVOBListDlg dlg{nullptr};
};

}  // namespace

TEST_F(VobListTest, PathsGoInInOrderAndOkBringsTheListBack) {
    Open({L"/v/1.vob", L"/v/2.vob", L"/v/3.vob"});
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"/v/1.vob", L"/v/2.vob", L"/v/3.vob"}));
    EXPECT_EQ(dlg.GetTimers().Interval(CVOBListDlg::kRepeatTimer), 150);
    dlg.GetList().SetCurSel(2);
    dlg.GetButton(CVOBListDlg::IDC_UP)->click();
    dlg.GetButton(IDOK)->click();
    EXPECT_EQ(dlg.GetResult(), IDOK);
    EXPECT_EQ(dlg.m_paths, (std::vector<std::wstring>{L"/v/1.vob", L"/v/3.vob", L"/v/2.vob"}));
}

TEST_F(VobListTest, CancelLeavesThePathsAsGiven) {
    Open({L"/v/1.vob"});
    dlg.GetButton(CVOBListDlg::IDC_RESET)->click();
    EXPECT_TRUE(Items().empty());
    dlg.GetButton(IDCANCEL)->click();
    EXPECT_EQ(dlg.GetResult(), IDCANCEL);
    EXPECT_EQ(dlg.m_paths, (std::vector<std::wstring>{L"/v/1.vob"}));
}

TEST_F(VobListTest, AFolderFillsTheListSortedIgnoringCase) {
    for (const char* name : {"c.vob", "b.VOB", "A.vob", "D.VoB", "notes.txt", "e.vob.bak"}) Touch(name);
    Open({L"/old.vob"});
    script.ui.folderAnswers = {Folder() + L"/"};
    dlg.GetButton(CVOBListDlg::IDC_FOLDER)->click();
    const std::wstring f = Folder();
    EXPECT_EQ(Items(), (std::vector<std::wstring>{f + L"/A.vob", f + L"/b.VOB", f + L"/c.vob", f + L"/D.VoB"}));
    EXPECT_EQ(dlg.m_strFolder, f);

    // A cancelled browser changes nothing, not even by scanning the old folder again.
    dlg.GetList().ResetContent();
    dlg.GetList().AddString(L"/kept.vob");
    dlg.GetButton(CVOBListDlg::IDC_FOLDER)->click();
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"/kept.vob"}));
    EXPECT_EQ(dlg.m_strFolder, f);
    EXPECT_EQ(script.ui.folderRequests.back().second, f);  // opened on the folder chosen last
}

TEST_F(VobListTest, AFolderScanKeepsTheFirst258ByName) {
    for (int i = 299; i >= 0; --i) {
        char name[16];
        std::snprintf(name, sizeof name, "v%03d.vob", i);
        Touch(name);
    }
    const std::vector<std::wstring> paths = CVOBListDlg::ScanVobFiles(Folder(), CVOBListDlg::kMaxFolderFiles);
    ASSERT_EQ(paths.size(), 258u);
    EXPECT_EQ(paths.front(), Folder() + L"/v000.vob");
    EXPECT_EQ(paths.back(), Folder() + L"/v257.vob");
}

TEST_F(VobListTest, HeldUpRepeatsFromTheThirdTickWhileThePointerIsOverIt) {
    Open({L"a", L"b", L"c", L"d", L"e"});
    dlg.GetList().SetCurSel(4);
    ButtonMouse(CVOBListDlg::IDC_UP, QEvent::MouseButtonPress);
    dlg.OnTimer(1);
    dlg.OnTimer(1);
    EXPECT_EQ(dlg.GetList().GetCurSel(), 4);
    dlg.OnTimer(1);
    EXPECT_EQ(dlg.GetList().GetCurSel(), 3);
    ButtonMouse(CVOBListDlg::IDC_UP, QEvent::MouseMove, QPoint(-40, -40));  // pointer off the button
    dlg.OnTimer(1);
    EXPECT_EQ(dlg.GetList().GetCurSel(), 3);
    ButtonMouse(CVOBListDlg::IDC_UP, QEvent::MouseMove);
    dlg.OnTimer(1);
    EXPECT_EQ(dlg.GetList().GetCurSel(), 2);
    ButtonMouse(CVOBListDlg::IDC_UP, QEvent::MouseButtonRelease);  // the click moves once more
    EXPECT_EQ(dlg.GetList().GetCurSel(), 1);
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"a", L"e", L"b", L"c", L"d"}));

    // Released, the count starts again: Down waits for its own third tick.
    dlg.OnTimer(1);
    ButtonMouse(CVOBListDlg::IDC_DOWN, QEvent::MouseButtonPress);
    dlg.OnTimer(1);
    dlg.OnTimer(1);
    EXPECT_EQ(dlg.GetList().GetCurSel(), 1);
    dlg.OnTimer(1);
    EXPECT_EQ(dlg.GetList().GetCurSel(), 2);
    ButtonMouse(CVOBListDlg::IDC_DOWN, QEvent::MouseButtonRelease);
}

TEST_F(VobListTest, UpAndDownStopAtTheEnds) {
    Open({L"a", L"b"});
    dlg.GetList().SetCurSel(0);
    dlg.GetButton(CVOBListDlg::IDC_UP)->click();
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"a", L"b"}));
    dlg.GetButton(CVOBListDlg::IDC_DOWN)->click();
    dlg.GetButton(CVOBListDlg::IDC_DOWN)->click();
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"b", L"a"}));
    EXPECT_EQ(dlg.GetList().GetCurSel(), 1);
}

TEST_F(VobListTest, AddedFilesUseTheLanguagesFilter) {
    Open();
    FileDialogRequest answer;
    answer.paths = {L"/v/1.VOB", L"/v/2.mpg"};
    script.ui.fileAnswers = {answer};
    dlg.GetButton(CVOBListDlg::IDC_ADD)->click();
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"/v/1.VOB", L"/v/2.mpg"}));
    EXPECT_EQ(script.ui.fileRequests.at(0).filter,
              L"MPEG-2 (*.VOB;*.mpg;*.mpeg)|*.VOB;*.MPG;*.MPEG|all (*.*)|*.*|");
    EXPECT_TRUE(script.ui.fileRequests.at(0).flags & OFN_ALLOWMULTISELECT);
}
