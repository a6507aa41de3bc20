// The save settings dialog through its launcher: values in, OK / Cancel / close box,
// values out, and what OK refuses.
#include <QAbstractButton>
#include <QComboBox>

#include "app/Info.h"
#include "dialogs/HOZON.h"
#include "dialogs/Launchers.h"
#include "dialogs/Volume.h"
#include "foundation/IniCreate.h"
#include "platform/ui/UpDown.h"
#include "tests/dialogs/DialogTestSupport.h"

using namespace dialogs_test;

namespace {

class SaveSetting : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        ASSERT_TRUE(WriteRegPos(L"Before"));
        std::filesystem::create_directories(dir / "old");
        std::filesystem::create_directories(dir / "new");
        ResetCaller();
    }
    void ResetCaller() {
        caller.m_strOutputFolder = Folder("old");
        caller.m_nJpegQuality = 75;
        caller.m_nImageInterval = 10;
        caller.m_nDeinterlace = 2;
        caller.m_nOverwrite = 1;
        caller.m_nVolume = 90;
        caller.SaveChecked();
    }
    std::wstring Folder(const char* name) const { return (dir / name).wstring(); }

    // Changes every field of the open dialog, the volume through its own dialog.
    static void EditEverything(CHOZON& dlg, const std::wstring& folder) {
        EXPECT_EQ(dlg.GetDlgItemText(CHOZON::IDC_QUALITY), L"75");
        EXPECT_EQ(dlg.GetDlgItemText(CHOZON::IDC_INTERVAL), L"10");
        EXPECT_EQ(dlg.GetDlgItemText(CHOZON::IDC_REGPOS), L"Before");
        EXPECT_EQ(dlg.GetComboBox(CHOZON::IDC_DEINTERLACE)->currentIndex(), 2);
        EXPECT_EQ(dlg.GetComboBox(CHOZON::IDC_OVERWRITE)->currentIndex(), 1);
        dlg.GetButton(CHOZON::IDC_BROWSE)->click();  // the script answers with folder
        EXPECT_EQ(dlg.GetDlgItemText(CHOZON::IDC_FOLDER), folder);
        dlg.SetDlgItemText(CHOZON::IDC_QUALITY, L"55");
        dlg.SetDlgItemText(CHOZON::IDC_INTERVAL, L"2147483647");
        dlg.GetComboBox(CHOZON::IDC_DEINTERLACE)->setCurrentIndex(3);
        dlg.GetComboBox(CHOZON::IDC_OVERWRITE)->setCurrentIndex(2);
        WhenShown<CVolume>([](CVolume& vol) {
            vol.SetDlgItemText(CVolume::IDC_VOLUME, L"150");
            vol.GetButton(IDOK)->click();
        });
        dlg.GetButton(CHOZON::IDC_AUDIO)->click();
        EXPECT_EQ(dlg.m_info.m_nVolume, 150);
    }

    CInfo caller;
};

}  // namespace

TEST_F(SaveSetting, OkStoresEveryFieldAndCancelOrCloseBoxNone) {
    for (int ending = 0; ending < 3; ++ending) {  // OK, Cancel, close box
        const std::wstring folder = Folder(ending == 0 ? "new" : "old");
        script.ui.folderAnswers = {Folder("new")};
        WhenShown<CHOZON>([this, ending](CHOZON& dlg) {
            EditEverything(dlg, Folder("new"));
            dlg.SetDlgItemText(CHOZON::IDC_REGPOS, L"After");
            if (ending == 0) dlg.GetButton(IDOK)->click();
            else if (ending == 1) dlg.GetButton(IDCANCEL)->click();
            else dlg.close();
        });
        DoSaveSettingDialog(&caller, nullptr);
        const CInfo stored;  // what the profile holds now
        for (const CInfo* info : {static_cast<const CInfo*>(&caller), &stored}) {
            EXPECT_EQ(info->m_strOutputFolder, folder) << ending;
            EXPECT_EQ(info->m_nJpegQuality, ending == 0 ? 55 : 75);
            EXPECT_EQ(info->m_nImageInterval, ending == 0 ? 2147483647 : 10);
            EXPECT_EQ(info->m_nDeinterlace, ending == 0 ? 3 : 2);
            EXPECT_EQ(info->m_nOverwrite, ending == 0 ? 2 : 1);
            EXPECT_EQ(info->m_nVolume, ending == 0 ? 150 : 90);
        }
        EXPECT_EQ(ReadRegPos(), ending == 0 ? L"After" : L"Before");
        ASSERT_TRUE(WriteRegPos(L"Before"));
        ResetCaller();
    }
    EXPECT_TRUE(script.ui.messageBoxes.empty());
}

TEST_F(SaveSetting, QualityIsClampedAsTypedAndTheSpinWraps) {
    CHOZON dlg(nullptr);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    struct Case {
        const wchar_t* typed;
        const wchar_t* shown;
    };
    for (const Case& c : {Case{L"0", L"1"}, Case{L"250", L"100"}, Case{L"", L"1"}, Case{L"42", L"42"}}) {
        dlg.SetDlgItemText(CHOZON::IDC_QUALITY, c.typed);
        EXPECT_EQ(dlg.GetDlgItemText(CHOZON::IDC_QUALITY), c.shown);
    }
    CUpDown* spin = dlg.GetUpDown(CHOZON::IDC_SPIN);
    EXPECT_EQ(spin->GetLower(), 1);
    EXPECT_EQ(spin->GetUpper(), 100);
    dlg.SetDlgItemText(CHOZON::IDC_QUALITY, L"100");
    spin->Step(+1);
    EXPECT_EQ(dlg.GetDlgItemText(CHOZON::IDC_QUALITY), L"1");
    spin->Step(-1);
    EXPECT_EQ(dlg.GetDlgItemText(CHOZON::IDC_QUALITY), L"100");
}

TEST_F(SaveSetting, OkRefusesABadIntervalAndABadRegistryName) {
    struct Case {
        const wchar_t* interval;
        const wchar_t* regpos;
        const wchar_t* shownAfter;  // the registry name shown after the refusal
    };
    const Case cases[] = {
        {L"0", L"Good", L"Good"},
        {L"2147483648", L"Good", L"Good"},
        {L"5", L"", L"Before"},
        {L"5", L"a\\b", L"Before"},
        {L"5", L"tab\there", L"Before"},
    };
    for (const Case& c : cases) {
        CHOZON dlg(nullptr);
        ASSERT_TRUE(dlg.CreateModeless(nullptr));
        dlg.show();
        script.ui.messageBoxes.clear();
        dlg.SetDlgItemText(CHOZON::IDC_INTERVAL, c.interval);
        dlg.SetDlgItemText(CHOZON::IDC_REGPOS, c.regpos);
        dlg.GetButton(IDOK)->click();
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.GetResult(), 0);
        EXPECT_EQ(script.ui.messageBoxes.size(), 1u);
        EXPECT_EQ(dlg.GetDlgItemText(CHOZON::IDC_REGPOS), c.shownAfter);
        EXPECT_EQ(ReadRegPos(), L"Before");
    }
}

TEST_F(SaveSetting, AFailedRegistryNameWriteIsReportedAndTheDialogStays) {
    const std::filesystem::path blocker = NativePath(GetSettingIniPath()) + ".new";
    std::filesystem::create_directories(blocker / "x");
    CHOZON dlg(nullptr);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    dlg.show();
    dlg.SetDlgItemText(CHOZON::IDC_REGPOS, L"Elsewhere");
    dlg.GetButton(IDOK)->click();
    EXPECT_TRUE(dlg.isVisible());
    ASSERT_EQ(script.ui.messageBoxes.size(), 1u);
    EXPECT_NE(script.ui.messageBoxes[0].text.find(GetSettingIniPath()), std::wstring::npos);
    EXPECT_EQ(ReadRegPos(), L"Before");
    std::filesystem::remove_all(blocker);
    dlg.GetButton(IDOK)->click();
    EXPECT_EQ(dlg.GetResult(), IDOK);
    EXPECT_EQ(ReadRegPos(), L"Elsewhere");
}

TEST_F(SaveSetting, AnUnusableFolderAfterOkIsReplacedAndReported) {
    script.ui.folderAnswers = {Folder("gone")};
    WhenShown<CHOZON>([](CHOZON& dlg) {
        dlg.GetButton(CHOZON::IDC_BROWSE)->click();
        dlg.GetButton(IDOK)->click();
    });
    DoSaveSettingDialog(&caller, nullptr);
    ASSERT_EQ(script.ui.messageBoxes.size(), 1u);
    EXPECT_EQ(script.ui.messageBoxes[0].text, L"Save Path is Invalid");
    EXPECT_EQ(script.ui.messageBoxes[0].type, MB_OK);
    EXPECT_EQ(caller.m_strOutputFolder, CInfo::GetDefaultOutputFolder());
}
