#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QSlider>

#include "dialogs/ExtractKindDlg.h"
#include "dialogs/LuminanceDlg.h"
#include "dialogs/StreamKindDlg.h"
#include "tests/dialogs/DormantFakes.h"

using namespace talvern::test;

TEST(StreamKind, OpensOnTheGivenKindAndOkReadsTheChoice) {
    CStreamKindDlg dlg(nullptr);
    dlg.SetVideoAudio(TRUE);
    ASSERT_TRUE(dlg.Create(nullptr));
    EXPECT_TRUE(dlg.IsDlgButtonChecked(CStreamKindDlg::IDC_VIDEO_AUDIO));
    EXPECT_FALSE(dlg.IsDlgButtonChecked(CStreamKindDlg::IDC_VIDEO_ONLY));
    dlg.GetButton(CStreamKindDlg::IDC_VIDEO_ONLY)->click();
    dlg.close();  // the close box keeps the value
    EXPECT_EQ(dlg.GetResult(), IDCANCEL);
    EXPECT_TRUE(dlg.GetVideoAudio());
    dlg.GetButton(IDOK)->click();
    EXPECT_EQ(dlg.GetResult(), IDOK);
    EXPECT_FALSE(dlg.GetVideoAudio());
}

TEST(ExtractKind, AKindOutsideTheChoicesStaysUnlessOneIsChosen) {
    CExtractKindDlg dlg(nullptr);
    dlg.m_nKind = 5;
    ASSERT_TRUE(dlg.Create(nullptr));
    for (UINT id : {CExtractKindDlg::IDC_ORIGINAL, CExtractKindDlg::IDC_WAV, CExtractKindDlg::IDC_WMA})
        EXPECT_FALSE(dlg.IsDlgButtonChecked(id));
    dlg.GetButton(IDOK)->click();
    EXPECT_EQ(dlg.m_nKind, 5);
    dlg.GetButton(CExtractKindDlg::IDC_WMA)->click();
    dlg.GetButton(IDOK)->click();
    EXPECT_EQ(dlg.m_nKind, CExtractKindDlg::kWma);

    CExtractKindDlg wav(nullptr);
    wav.m_nKind = CExtractKindDlg::kWav;
    ASSERT_TRUE(wav.Create(nullptr));
    EXPECT_TRUE(wav.IsDlgButtonChecked(CExtractKindDlg::IDC_WAV));
}

TEST(Luminance, TheOwnerHearsOfEveryChangeButNotOfTheStart) {
    FakeOwner owner;
    CLuminanceDlg dlg(nullptr, &owner);
    dlg.m_nGamma = 40;
    dlg.m_nOffset = -300;  // beyond the sliders: shown as what they hold
    ASSERT_TRUE(dlg.Create(nullptr));
    auto* gamma = qobject_cast<QSlider*>(dlg.GetDlgItem(CLuminanceDlg::IDC_GAMMA_SLIDER));
    auto* offset = qobject_cast<QSlider*>(dlg.GetDlgItem(CLuminanceDlg::IDC_OFFSET_SLIDER));
    ASSERT_TRUE(gamma && offset);
    EXPECT_TRUE(owner.luminance.empty());
    EXPECT_EQ(gamma->minimum(), -256);
    EXPECT_EQ(gamma->maximum(), 256);
    EXPECT_EQ(gamma->value(), 40);
    EXPECT_EQ(offset->value(), -256);
    EXPECT_EQ(dlg.GetDlgItemText(CLuminanceDlg::IDC_OFFSET), L"-256");

    gamma->setValue(41);
    gamma->setValue(41);  // no change, no call
    offset->setValue(12);
    const std::vector<std::pair<int, int>> expected = {{41, -256}, {41, 12}};
    EXPECT_EQ(owner.luminance, expected);
    EXPECT_EQ(dlg.GetDlgItemText(CLuminanceDlg::IDC_GAMMA), L"41");
    EXPECT_EQ(dlg.GetDlgItemText(CLuminanceDlg::IDC_OFFSET), L"12");
    EXPECT_TRUE(dlg.GetEdit(CLuminanceDlg::IDC_GAMMA)->isReadOnly());
}
