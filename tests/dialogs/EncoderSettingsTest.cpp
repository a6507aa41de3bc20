#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>

#include "dialogs/MP3Set.h"
#include "dialogs/WMASet.h"
#include "foundation/RegUtil.h"
#include "platform/ui/UiServices.h"
#include "platform/wmf/WmfTypes.h"
#include "tests/support/TestSupport.h"
#include "toolkit/ComboBoxImgEx.h"

using namespace talvern::test;

namespace {

QComboBox* Combo(CDialog& dlg, UINT id) { return dlg.GetComboBox(id); }
bool Enabled(CDialog& dlg, UINT id) { return dlg.GetDlgItem(id)->isEnabled(); }

// A WMA dialog for a writer that offers no system profiles of some versions.
class WMASetWithout : public CWMASet {
public:
    WMASetWithout(bool v4, bool v7) : CWMASet(nullptr), m_v4(v4), m_v7(v7) {}

protected:
    int SystemProfileCount(DWORD version) const override {
        if (version == WMT_VER_4_0) return m_v4 ? 5 : 0;
        if (version == WMT_VER_7_0) return m_v7 ? 5 : 0;
        return 5;
    }

private:
    bool m_v4, m_v7;
};

}  // namespace

TEST(EncAudioSetting, RoundTripsEveryValueButNeverWritesTheVolume) {
    ScopedConfigDir config;
    ProfileWriteInt(L"DATA", L"VOL", 55);
    CEncAudioSetting written;
    written.m_nEncType = 3;
    written.m_nCbrBitrate = 256;
    written.m_bVbr = 1;
    written.m_nQuality = 7;
    written.m_nVbrBitrate = 64;
    written.m_nWma7Bitrate = 19;
    written.m_nWma4Bitrate = 6;
    written.m_strPrxFile = L"/p/a profile.prx";
    written.m_bTwoPass = 1;
    written.m_nVersion = 2;
    written.m_nVolume = 100;
    ASSERT_TRUE(written.WriteProfile());
    EXPECT_EQ(ProfileGetInt(L"DATA", L"VOL", 0), 55u);

    CEncAudioSetting read;
    read.ReadProfile();
    EXPECT_EQ(read.m_nEncType, 3);
    EXPECT_EQ(read.m_nCbrBitrate, 256);
    EXPECT_EQ(read.m_bVbr, 1);
    EXPECT_EQ(read.m_nQuality, 7);
    EXPECT_EQ(read.m_nVbrBitrate, 64);
    EXPECT_EQ(read.m_nWma7Bitrate, 19);
    EXPECT_EQ(read.m_nWma4Bitrate, 6);
    EXPECT_EQ(read.m_strPrxFile, L"/p/a profile.prx");
    EXPECT_EQ(read.m_bTwoPass, 1);
    EXPECT_EQ(read.m_nVersion, 2);
    EXPECT_EQ(read.m_nVolume, 55);
}

TEST(MP3Set, ListsSelectTheRecordAndTheVbrBoxSwitchesTheControls) {
    CMP3Set dlg(nullptr);
    dlg.m_setting.m_nEncType = 1;
    dlg.m_setting.m_nCbrBitrate = 192;
    dlg.m_setting.m_nQuality = 4;
    dlg.m_setting.m_nVbrBitrate = 144;
    ASSERT_TRUE(dlg.Create(nullptr));
    EXPECT_EQ(Combo(dlg, CMP3Set::IDC_ENC_TYPE)->count(), 5);
    EXPECT_EQ(Combo(dlg, CMP3Set::IDC_ENC_TYPE)->currentText(), QStringLiteral("Stereo"));
    EXPECT_EQ(Combo(dlg, CMP3Set::IDC_CBR)->count(), 14);
    EXPECT_EQ(Combo(dlg, CMP3Set::IDC_CBR)->currentText(), QStringLiteral("192kbps"));
    EXPECT_EQ(Combo(dlg, CMP3Set::IDC_CBR)->itemText(0), QStringLiteral(" 32kbps"));
    EXPECT_EQ(Combo(dlg, CMP3Set::IDC_VBR_RATE)->itemText(0), QStringLiteral("  8kbps"));
    EXPECT_EQ(Combo(dlg, CMP3Set::IDC_VBR_RATE)->currentText(), QStringLiteral("144kbps"));
    EXPECT_EQ(Combo(dlg, CMP3Set::IDC_QUALITY)->currentIndex(), 4);

    const UINT vbrSide[] = {CMP3Set::IDC_QUALITY, CMP3Set::IDC_QUALITY_LABEL, CMP3Set::IDC_VBR_GROUP,
                            CMP3Set::IDC_VBR_RATE_LABEL, CMP3Set::IDC_VBR_RATE};
    const UINT cbrSide[] = {CMP3Set::IDC_CBR, CMP3Set::IDC_CBR_LABEL};
    for (bool vbr : {false, true}) {
        for (UINT id : vbrSide) EXPECT_EQ(Enabled(dlg, id), vbr) << id;
        for (UINT id : cbrSide) EXPECT_EQ(Enabled(dlg, id), !vbr) << id;
        if (!vbr) dlg.GetButton(CMP3Set::IDC_VBR)->click();
    }

    Combo(dlg, CMP3Set::IDC_CBR)->setCurrentIndex(13);
    Combo(dlg, CMP3Set::IDC_ENC_TYPE)->setCurrentIndex(4);
    dlg.GetButton(IDOK)->click();
    EXPECT_EQ(dlg.GetResult(), IDOK);
    EXPECT_EQ(dlg.m_setting.m_bVbr, 1);
    EXPECT_EQ(dlg.m_setting.m_nCbrBitrate, 320);
    EXPECT_EQ(dlg.m_setting.m_nEncType, 4);
    EXPECT_EQ(dlg.m_setting.m_nVbrBitrate, 144);
}

TEST(MP3Set, ValuesNoListHoldsSurviveOk) {
    CMP3Set dlg(nullptr);
    dlg.m_setting.m_nEncType = 9;
    dlg.m_setting.m_nCbrBitrate = 100;
    dlg.m_setting.m_nQuality = -1;
    dlg.m_setting.m_nVbrBitrate = 7;
    ASSERT_TRUE(dlg.Create(nullptr));
    EXPECT_EQ(Combo(dlg, CMP3Set::IDC_CBR)->currentIndex(), -1);
    dlg.GetButton(IDOK)->click();
    EXPECT_EQ(dlg.m_setting.m_nEncType, 9);
    EXPECT_EQ(dlg.m_setting.m_nCbrBitrate, 100);
    EXPECT_EQ(dlg.m_setting.m_nQuality, -1);
    EXPECT_EQ(dlg.m_setting.m_nVbrBitrate, 7);
}

TEST(WMASet, TheVersionEnablesItsControlsAndOkStoresTheChoices) {
    ScopedScriptedUi script;
    CWMASet dlg(nullptr);
    dlg.m_setting.m_nVersion = CWMASet::kV7;
    dlg.m_setting.m_nWma4Bitrate = 8;
    dlg.m_setting.m_nWma7Bitrate = 24;
    dlg.m_setting.m_strPrxFile = L"/p/old.prx";
    ASSERT_TRUE(dlg.Create(nullptr));
    CComboBoxImgEx* version = dlg.GetVersionCombo();
    ASSERT_TRUE(version);
    EXPECT_EQ(version->count(), 3);
    EXPECT_EQ(version->itemText(2), QStringLiteral("PRX"));
    EXPECT_EQ(version->GetItemImage(2), 2);
    EXPECT_EQ(version->currentIndex(), CWMASet::kV7);
    EXPECT_EQ(Combo(dlg, CWMASet::IDC_V4)->currentText(), QStringLiteral(" 32kbps Stereo"));
    EXPECT_EQ(Combo(dlg, CWMASet::IDC_V7)->currentText(), QStringLiteral("128kbps Stereo"));
    EXPECT_EQ(dlg.GetDlgItemText(CWMASet::IDC_PRX), L"/p/old.prx");

    const UINT v4[] = {CWMASet::IDC_V4, CWMASet::IDC_V4_LABEL};
    const UINT v7[] = {CWMASet::IDC_V7, CWMASet::IDC_V7_LABEL};
    const UINT prx[] = {CWMASet::IDC_PRX_LABEL, CWMASet::IDC_PRX, CWMASet::IDC_BROWSE, CWMASet::IDC_TWO_PASS};
    for (int choice : {CWMASet::kV4, CWMASet::kV7, CWMASet::kPrx}) {
        version->setCurrentIndex(choice);
        for (UINT id : v4) EXPECT_EQ(Enabled(dlg, id), choice == CWMASet::kV4) << id;
        for (UINT id : v7) EXPECT_EQ(Enabled(dlg, id), choice == CWMASet::kV7) << id;
        for (UINT id : prx) EXPECT_EQ(Enabled(dlg, id), choice == CWMASet::kPrx) << id;
    }

    FileDialogRequest answer;
    answer.path = L"/p/new.prx";
    script.ui.fileAnswers = {answer};
    dlg.GetButton(CWMASet::IDC_BROWSE)->click();
    EXPECT_EQ(script.ui.fileRequests.at(0).path, L"/p/old.prx");
    EXPECT_EQ(script.ui.fileRequests.at(0).defaultExt, L"prx");
    EXPECT_EQ(script.ui.fileRequests.at(0).filter, L"PRX (*.PRX)|*.PRX|");
    EXPECT_EQ(dlg.GetDlgItemText(CWMASet::IDC_PRX), L"/p/new.prx");
    dlg.OnDropFile(L"/p/dropped.prx");
    dlg.GetButton(CWMASet::IDC_TWO_PASS)->click();
    Combo(dlg, CWMASet::IDC_V4)->setCurrentIndex(0);
    dlg.GetButton(IDOK)->click();
    EXPECT_EQ(dlg.GetResult(), IDOK);
    EXPECT_EQ(dlg.m_setting.m_nVersion, CWMASet::kPrx);
    EXPECT_EQ(dlg.m_setting.m_nWma4Bitrate, 4);
    EXPECT_EQ(dlg.m_setting.m_nWma7Bitrate, 24);
    EXPECT_EQ(dlg.m_setting.m_strPrxFile, L"/p/dropped.prx");
    EXPECT_EQ(dlg.m_setting.m_bTwoPass, 1);
}

TEST(WMASet, VersionsWithoutProfilesEmptyTheirListsAndKeepTheirRates) {
    WMASetWithout dlg(false, false);
    dlg.m_setting.m_nVersion = CWMASet::kV4;
    dlg.m_setting.m_nWma4Bitrate = 9;
    dlg.m_setting.m_nWma7Bitrate = 22;
    ASSERT_TRUE(dlg.Create(nullptr));
    EXPECT_EQ(Combo(dlg, CWMASet::IDC_V4)->count(), 0);
    EXPECT_EQ(Combo(dlg, CWMASet::IDC_V7)->count(), 0);
    EXPECT_EQ(dlg.GetVersionCombo()->currentIndex(), CWMASet::kV7);  // version 4 is not there
    dlg.GetButton(IDOK)->click();
    EXPECT_EQ(dlg.m_setting.m_nVersion, CWMASet::kV7);
    EXPECT_EQ(dlg.m_setting.m_nWma4Bitrate, 9);
    EXPECT_EQ(dlg.m_setting.m_nWma7Bitrate, 22);

    CWMASet odd(nullptr);
    odd.m_setting.m_nVersion = 7;  // no such choice: the first one
    ASSERT_TRUE(odd.Create(nullptr));
    EXPECT_EQ(odd.GetVersionCombo()->currentIndex(), CWMASet::kV4);
}
