// The dialogs the audio and video layers show: formats chosen in the chooser are
// ones the audio layer then converts to, and a compressor's configuration reaches
// its state only within the limits the state accepts.
#include <QComboBox>
#include <QLineEdit>
#include <cmath>
#include <cstring>

#include "dialogs/AcmFormatChooseDlg.h"
#include "dialogs/PlatformDialogs.h"
#include "dialogs/VcmAboutDlg.h"
#include "dialogs/VcmConfigureDlg.h"
#include "platform/ui/UpDown.h"
#include "tests/dialogs/DialogTestSupport.h"
#include "writers/WavACM.h"

using namespace dialogs_test;

namespace {

int Swallow(const void*, int bytes, void* user) {
    *static_cast<int64_t*>(user) += bytes;
    return bytes;
}

// Converts one second of a tone from 16-bit stereo 44.1 kHz into target; the bytes
// the stream handed out, or -1 when the audio layer refused.
int64_t Convert(const std::vector<BYTE>& target) {
    CWavACM acm;
    acm.SetPCMFormat(44100, 16, 2);
    acm.SetTargetFormat(reinterpret_cast<const WAVEFORMATEX*>(target.data()));
    if (!acm.PrepareWriteFormats()) return -1;
    if (*acm.TargetFormatRef() && !acm.OpenWriteStreams()) return -1;
    std::vector<int16_t> pcm(44100 * 2);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(8000 * std::sin(i * 0.03));
    int64_t out = 0;
    const int bytes = static_cast<int>(pcm.size() * 2);
    if (acm.Write(pcm.data(), bytes, Swallow, &out) != bytes || !acm.Flush(Swallow, &out)) return -1;
    return out;
}

WAVEFORMATEX Pcm(DWORD rate, WORD bits, WORD channels) {
    WAVEFORMATEX f{WAVE_FORMAT_PCM, channels, rate, 0, static_cast<WORD>(channels * bits / 8), bits, 0};
    f.nAvgBytesPerSec = f.nBlockAlign * rate;
    return f;
}

class PlatformDialogsTest : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        InstallPlatformDialogs();
    }
    void TearDown() override {
        AcmSetFormatChooser(nullptr);
        VcmSetDialogs(nullptr);
        DialogFixture::TearDown();
    }
};

}  // namespace

TEST_F(PlatformDialogsTest, EveryOfferedFormatIsOneTheAudioLayerConvertsTo) {
    WAVEFORMATEX source = Pcm(44100, 16, 2);
    std::vector<BYTE> block(256);
    ACMFORMATCHOOSEW request{};
    request.pwfx = reinterpret_cast<WAVEFORMATEX*>(block.data());
    request.cbwfx = static_cast<DWORD>(block.size());
    request.fdwEnum = ACM_FORMATENUMF_CONVERT;
    request.pwfxEnum = &source;
    CAcmFormatChooseDlg dlg(request, nullptr);
    ASSERT_GT(dlg.Formats().size(), 20u);
    for (const AcmFormatDetails& d : dlg.Formats())
        EXPECT_GT(Convert(d.format), 0) << QString::fromStdWString(d.tagName + L" " + d.description).toStdString();
}

TEST_F(PlatformDialogsTest, TheChoiceThroughTheAudioLayerComesBackWhole) {
    WhenShown<CAcmFormatChooseDlg>([](CAcmFormatChooseDlg& c) {
        QComboBox* tags = c.GetComboBox(CAcmFormatChooseDlg::IDC_TAG);
        tags->setCurrentIndex(tags->findText(QStringLiteral("IMA ADPCM")));
        QComboBox* formats = c.GetComboBox(CAcmFormatChooseDlg::IDC_FORMAT);
        formats->setCurrentIndex(formats->findText(QStringLiteral("22,050 Hz, 4 Bit, Stereo"), Qt::MatchStartsWith));
        c.OnOK();
    });
    CWavACM acm;
    acm.SetPCMFormat(44100, 16, 2);
    ASSERT_TRUE(acm.ChooseFormat(nullptr));
    const WAVEFORMATEX* chosen = acm.GetTargetFormat();
    EXPECT_EQ(chosen->wFormatTag, WAVE_FORMAT_IMA_ADPCM);
    EXPECT_EQ(chosen->nSamplesPerSec, 22050u);
    EXPECT_EQ(chosen->nChannels, 2);
    EXPECT_EQ(chosen->cbSize, 2) << "with its samples-per-block word";
    std::vector<BYTE> whole(reinterpret_cast<const BYTE*>(chosen), reinterpret_cast<const BYTE*>(chosen) + 20);
    EXPECT_GT(Convert(whole), 0);

    // The next choice opens on it; a cancel keeps it.
    WhenShown<CAcmFormatChooseDlg>([](CAcmFormatChooseDlg& c) {
        EXPECT_EQ(c.GetComboBox(CAcmFormatChooseDlg::IDC_TAG)->currentText(), QStringLiteral("IMA ADPCM"));
        EXPECT_TRUE(c.GetComboBox(CAcmFormatChooseDlg::IDC_FORMAT)->currentText().startsWith(QStringLiteral("22,050 Hz")));
        c.close();
    });
    EXPECT_FALSE(acm.ChooseFormat(nullptr));
    EXPECT_EQ(std::memcmp(acm.GetTargetFormat(), whole.data(), whole.size()), 0);
}

TEST_F(PlatformDialogsTest, TheChooserOffersOnlyWhatFitsTheCallersBlock) {
    WAVEFORMATEX start = Pcm(22050, 8, 1);
    ACMFORMATCHOOSEW request{};
    request.fdwStyle = ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT;
    request.pwfx = &start;
    request.cbwfx = sizeof start;
    CAcmFormatChooseDlg dlg(request, nullptr);
    ASSERT_FALSE(dlg.Formats().empty());
    for (const AcmFormatDetails& d : dlg.Formats()) EXPECT_LE(d.format.size(), sizeof start);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    EXPECT_EQ(dlg.GetComboBox(CAcmFormatChooseDlg::IDC_TAG)->findText(QStringLiteral("MPEG Layer-3")), -1);
    EXPECT_EQ(dlg.GetComboBox(CAcmFormatChooseDlg::IDC_TAG)->currentText(), QStringLiteral("PCM"));
    EXPECT_EQ(dlg.GetComboBox(CAcmFormatChooseDlg::IDC_FORMAT)->currentText(),
              QStringLiteral("22,050 Hz, 8 Bit, Mono, 176 kbit/s"));
}

TEST_F(PlatformDialogsTest, ConfigurationTakesOnlyWhatTheStateAccepts) {
    HIC x264 = ICOpen(ICTYPE_VIDEO, MAKEFOURCC('H', '2', '6', '4'), ICMODE_COMPRESS);
    ASSERT_TRUE(ICQueryConfigure(x264));
    WhenShown<CVcmConfigureDlg>([this](CVcmConfigureDlg& c) {
        QComboBox* speeds = c.GetComboBox(CVcmConfigureDlg::IDC_SPEED);
        EXPECT_EQ(speeds->count(), 11) << "default and 0..9";
        speeds->setCurrentIndex(10);
        c.GetEdit(CVcmConfigureDlg::IDC_QUANT)->setText(QStringLiteral("52"));
        c.OnOK();
        EXPECT_EQ(c.GetResult(), 0) << "refused: the state takes 0..51";
        EXPECT_EQ(script.ui.messageBoxes.size(), 1u);
        c.GetEdit(CVcmConfigureDlg::IDC_QUANT)->setText(QStringLiteral("30"));
        c.OnOK();
    });
    EXPECT_EQ(ICConfigure(x264, nullptr), ICERR_OK);
    WhenShown<CVcmConfigureDlg>([](CVcmConfigureDlg& c) {
        EXPECT_EQ(c.GetComboBox(CVcmConfigureDlg::IDC_SPEED)->currentIndex(), 10) << "opens on the options held";
        EXPECT_EQ(c.GetDlgItemText(CVcmConfigureDlg::IDC_QUANT), L"30");
        c.close();
    });
    EXPECT_EQ(ICConfigure(x264, nullptr), ICERR_CANTUPDATE);
    ICClose(x264);

    HIC mjpg = ICOpen(ICTYPE_VIDEO, MAKEFOURCC('M', 'J', 'P', 'G'), ICMODE_COMPRESS);
    WhenShown<CVcmConfigureDlg>([](CVcmConfigureDlg& c) {
        EXPECT_FALSE(c.GetDlgItem(CVcmConfigureDlg::IDC_SPEED)->isEnabled());
        EXPECT_EQ(c.GetUpDown(CVcmConfigureDlg::IDC_QUANT_SPIN)->GetUpper(), 31);
        c.OnCancel();
    });
    EXPECT_EQ(ICConfigure(mjpg, nullptr), ICERR_CANTUPDATE);
    WhenShown<CVcmAboutDlg>([](CVcmAboutDlg& a) {
        EXPECT_EQ(a.GetDlgItemText(CVcmAboutDlg::IDC_DESCRIPTION), L"Motion JPEG");
        EXPECT_EQ(a.GetDlgItemText(CVcmAboutDlg::IDC_HANDLER), L"Handler: MJPG");
        a.OnOK();
    });
    EXPECT_EQ(ICAbout(mjpg, nullptr), ICERR_OK);
    ICClose(mjpg);
}
