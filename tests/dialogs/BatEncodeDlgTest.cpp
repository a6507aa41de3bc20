#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include "dialogs/BatEncodeDlg.h"
#include "foundation/RegUtil.h"
#include "platform/ui/UiServices.h"
#include "tests/dialogs/DormantFakes.h"
#include "tests/support/TestSupport.h"

using namespace talvern::test;

namespace {

class BatchTest : public testing::Test {
protected:
    void SetUp() override {
        main.show();
        ASSERT_TRUE(dlg.Create(nullptr));
    }
    void Fill(std::initializer_list<const wchar_t*> files) {
        for (const wchar_t* f : files) dlg.GetList().AddString(f);
    }
    void Choose(int item) { dlg.GetComboBox(CBatEncodeDlg::IDC_AFTER)->setCurrentIndex(item); }
    std::vector<std::wstring> Items() {
        std::vector<std::wstring> out;
        for (int i = 0; i < dlg.GetList().GetCount(); ++i) out.push_back(dlg.GetList().GetText(i));
        return out;
    }
    int StoredChoice() { return static_cast<int>(ProfileGetInt(L"data", L"ShutDown", 99)); }

    ScopedConfigDir config;
    ScopedScriptedUi script;
    RecordedPower power;
    FakeOwner owner;
    MainWindow main;
    CBatEncodeDlg dlg{&main, &owner};
};

}  // namespace

TEST_F(BatchTest, RunsEveryFileInOrderThenTakesThePowerAction) {
    Fill({L"/p/a.ini", L"/p/b.ini", L"/p/c.ini"});
    Choose(1);  // shutdown
    std::vector<bool> stopEnabled;
    owner.onRun = [&](const std::wstring&) {
        stopEnabled.push_back(dlg.GetButton(CBatEncodeDlg::IDC_STOP)->isEnabled());
        EXPECT_EQ(dlg.GetList().GetCurSel(), 0);
    };
    dlg.GetButton(CBatEncodeDlg::IDC_START)->click();
    EXPECT_EQ(owner.runs, (std::vector<std::wstring>{L"/p/a.ini", L"/p/b.ini", L"/p/c.ini"}));
    EXPECT_EQ(stopEnabled, (std::vector<bool>{true, true, true}));
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ(power.actions, (std::vector<PowerAction>{PowerAction::ShutDown}));
    EXPECT_EQ(StoredChoice(), 1);
    EXPECT_TRUE(dlg.GetButton(CBatEncodeDlg::IDC_START)->isEnabled());
    EXPECT_FALSE(dlg.GetButton(CBatEncodeDlg::IDC_STOP)->isEnabled());
}

TEST_F(BatchTest, StopKeepsTheRestAndTakesNoActionNorStoresTheChoice) {
    Fill({L"a", L"b", L"c"});
    Choose(2);  // suspend
    owner.onRun = [&](const std::wstring& path) {
        if (path == L"b") dlg.GetButton(CBatEncodeDlg::IDC_STOP)->click();
    };
    dlg.GetButton(CBatEncodeDlg::IDC_START)->click();
    EXPECT_EQ(owner.runs, (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_EQ(owner.stops, 1);
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"c"}));
    EXPECT_TRUE(power.actions.empty());
    EXPECT_EQ(StoredChoice(), 99);
}

TEST_F(BatchTest, TheFileThatRanGoesWhereverItWasMovedMeanwhile) {
    Fill({L"a", L"b", L"c"});
    Choose(0);
    owner.onRun = [&](const std::wstring& path) {
        if (path != L"a") return;
        dlg.GetList().SetCurSel(0);
        dlg.GetList().MoveDown();  // "a" now second
        dlg.GetList().SetCurSel(2);
        dlg.GetList().MoveUp();  // "c" before "a"
    };
    dlg.GetButton(CBatEncodeDlg::IDC_START)->click();
    EXPECT_EQ(owner.runs, (std::vector<std::wstring>{L"a", L"b", L"c"}));

    // A file deleted while it ran takes no other file with it.
    Fill({L"x", L"y"});
    owner.runs.clear();
    owner.onRun = [&](const std::wstring& path) {
        if (path == L"x") dlg.GetList().DeleteString(0);
    };
    dlg.GetButton(CBatEncodeDlg::IDC_START)->click();
    EXPECT_EQ(owner.runs, (std::vector<std::wstring>{L"x", L"y"}));
}

TEST_F(BatchTest, AnEmptyListGoesStraightToTheActionAndNothingRequestsNone) {
    Choose(3);  // hibernate
    dlg.GetButton(CBatEncodeDlg::IDC_START)->click();
    EXPECT_TRUE(owner.runs.empty());
    EXPECT_EQ(power.actions, (std::vector<PowerAction>{PowerAction::Hibernate}));
    EXPECT_EQ(StoredChoice(), 3);

    power.actions.clear();
    Choose(0);  // Nothing
    dlg.GetButton(CBatEncodeDlg::IDC_START)->click();
    EXPECT_TRUE(power.actions.empty());
    EXPECT_EQ(StoredChoice(), 0);

    dlg.GetComboBox(CBatEncodeDlg::IDC_AFTER)->setCurrentIndex(-1);  // no selection
    dlg.GetButton(CBatEncodeDlg::IDC_START)->click();
    EXPECT_TRUE(power.actions.empty());
    EXPECT_EQ(StoredChoice(), 0);
}

TEST_F(BatchTest, ExitClosesTheDialogAndTheMainWindowWithoutPowerAction) {
    Choose(CBatEncodeDlg::kExitItem);
    dlg.GetButton(CBatEncodeDlg::IDC_START)->click();
    EXPECT_TRUE(power.actions.empty());
    EXPECT_EQ(dlg.GetResult(), IDCANCEL);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(main.isVisible());  // the close request is posted
    QApplication::processEvents();
    EXPECT_FALSE(main.isVisible());
}

TEST_F(BatchTest, StoredChoiceOutsideTheListSelectsTheFirstItem) {
    const std::pair<int, int> cases[] = {{2, 2}, {5, 0}, {-1, 0}};
    for (const auto& [stored, selected] : cases) {
        ProfileWriteInt(L"data", L"ShutDown", stored);
        CBatEncodeDlg other(&main, &owner);
        ASSERT_TRUE(other.Create(nullptr));
        EXPECT_EQ(other.GetComboBox(CBatEncodeDlg::IDC_AFTER)->currentIndex(), selected) << stored;
        other.EndDialog(IDCANCEL);
    }
}

TEST_F(BatchTest, WithoutAnOwnerStartDoesNothing) {
    CBatEncodeDlg lonely(&main, nullptr);
    ASSERT_TRUE(lonely.Create(nullptr));
    lonely.GetList().AddString(L"a");
    lonely.GetButton(CBatEncodeDlg::IDC_START)->click();
    EXPECT_EQ(lonely.GetList().GetCount(), 1);
    EXPECT_TRUE(power.actions.empty());
    EXPECT_EQ(StoredChoice(), 99);
    lonely.EndDialog(IDCANCEL);
}

TEST_F(BatchTest, TheCloseBoxStopsARunningBatch) {
    Fill({L"a", L"b"});
    owner.onRun = [&](const std::wstring&) { dlg.close(); };
    dlg.GetButton(CBatEncodeDlg::IDC_START)->click();
    EXPECT_EQ(owner.runs, (std::vector<std::wstring>{L"a"}));
    EXPECT_EQ(owner.stops, 1);
    EXPECT_TRUE(dlg.isVisible());
    dlg.close();  // idle: the close box ends the dialog
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.GetResult(), IDCANCEL);
}

TEST_F(BatchTest, AddedProjectFilesLandBeforeTheSelectionInTheDialogsOrder) {
    Fill({L"a", L"b"});
    FileDialogRequest answer;
    answer.paths = {L"/p/x.ini", L"/p/y.ini"};
    script.ui.fileAnswers = {answer, answer, std::nullopt};
    dlg.GetList().SetCurSel(1);
    dlg.GetButton(CBatEncodeDlg::IDC_ADD)->click();
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"a", L"/p/x.ini", L"/p/y.ini", L"b"}));
    const FileDialogRequest& asked = script.ui.fileRequests.at(0);
    EXPECT_EQ(asked.filter, L"ProjectFile(*.INI)|*.ini|");
    EXPECT_TRUE(asked.flags & OFN_ALLOWMULTISELECT);
    dlg.GetList().SetCurSel(-1);
    dlg.GetButton(CBatEncodeDlg::IDC_ADD)->click();  // nothing selected: appended
    EXPECT_EQ(dlg.GetList().GetText(5), L"/p/y.ini");
    dlg.GetButton(CBatEncodeDlg::IDC_ADD)->click();  // cancelled: nothing
    EXPECT_EQ(dlg.GetList().GetCount(), 6);
}

TEST_F(BatchTest, TrayHidesBothWindowsRefreshesAndComesBackOnAClick) {
    dlg.GetButton(CBatEncodeDlg::IDC_TRAY)->click();
    EXPECT_TRUE(dlg.IsInTray());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(main.isVisible());
    EXPECT_EQ(script.ui.trayAdds, (std::vector<std::wstring>{L"BatEncode"}));
    EXPECT_EQ(dlg.GetTimers().Interval(CBatEncodeDlg::kTrayTimer), 5000);
    dlg.OnTimer(CBatEncodeDlg::kTrayTimer);
    EXPECT_EQ(script.ui.trayAdds.size(), 2u);
    EXPECT_EQ(script.ui.balloons.size(), 1u);  // a refresh greets no one

    ASSERT_TRUE(script.ui.ClickTray(&dlg));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(main.isVisible());
    EXPECT_EQ(script.ui.trayRemoves, 1);
    EXPECT_FALSE(dlg.GetTimers().IsActive(CBatEncodeDlg::kTrayTimer));
}

TEST_F(BatchTest, WithoutATrayNothingIsHidden) {
    script.ui.trayAvailable = false;
    dlg.GetButton(CBatEncodeDlg::IDC_TRAY)->click();
    EXPECT_FALSE(dlg.IsInTray());
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(dlg.GetTimers().IsActive(CBatEncodeDlg::kTrayTimer));
}

TEST_F(BatchTest, HidingTheModalDialogInTheTrayDoesNotEndIt) {
    CBatEncodeDlg modal(&main, &owner);
    bool stillRunning = false;
    QTimer::singleShot(0, &modal, [&] {
        modal.GetButton(CBatEncodeDlg::IDC_TRAY)->click();
        QTimer::singleShot(20, &modal, [&] {
            stillRunning = true;  // the modal loop outlived the hide
            script.ui.ClickTray(&modal);
            modal.close();
        });
    });
    EXPECT_EQ(modal.DoModal(), IDCANCEL);
    EXPECT_TRUE(stillRunning);
}
