// The AVI codec settings dialog over the real compressors: which rows it lists, what
// each row enables, the edits' limits, and what becomes of the compressor's state.
#include <QComboBox>
#include <QLineEdit>
#include <memory>

#include "dialogs/AVISetDlg.h"
#include "dialogs/Launchers.h"
#include "dialogs/PlatformDialogs.h"
#include "dialogs/VcmConfigureDlg.h"
#include "tests/dialogs/DialogTestSupport.h"
#include "writers/EncAVISetting.h"

using namespace dialogs_test;

namespace {

constexpr FOURCC kMjpg = MAKEFOURCC('M', 'J', 'P', 'G');
constexpr FOURCC kX264 = MAKEFOURCC('H', '2', '6', '4');
constexpr UINT kCodecControls[] = {CAVISetDlg::IDC_CONFIGURE, CAVISetDlg::IDC_ABOUT,    CAVISetDlg::IDC_QUALITY_SPIN,
                                   CAVISetDlg::IDC_QUALITY,   CAVISetDlg::IDC_KEYFRAME_SPIN, CAVISetDlg::IDC_KEYFRAME,
                                   CAVISetDlg::IDC_DATARATE_SPIN, CAVISetDlg::IDC_DATARATE};

const std::pair<UINT, DWORD> kFlagControls[] = {
    {CAVISetDlg::IDC_QUALITY, VIDCF_QUALITY},   {CAVISetDlg::IDC_QUALITY_SPIN, VIDCF_QUALITY},
    {CAVISetDlg::IDC_KEYFRAME, VIDCF_TEMPORAL}, {CAVISetDlg::IDC_KEYFRAME_SPIN, VIDCF_TEMPORAL},
    {CAVISetDlg::IDC_DATARATE, VIDCF_CRUNCH},   {CAVISetDlg::IDC_DATARATE_SPIN, VIDCF_CRUNCH},
};

BITMAPINFOHEADER Frames(WORD bits) {
    BITMAPINFOHEADER bi{};
    bi.biSize = sizeof bi;
    bi.biWidth = 64;
    bi.biHeight = 48;
    bi.biPlanes = 1;
    bi.biBitCount = bits;
    bi.biSizeImage = static_cast<DWORD>(DibRowBytes(64, bits) * 48);
    return bi;
}

class AVISetDlgTest : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        InstallPlatformDialogs();
    }
    void TearDown() override {
        VcmSetDialogs(nullptr);
        DialogFixture::TearDown();
    }

    std::unique_ptr<CAVISetDlg> Open(const CEncAVISetting& setting, WORD bits = 24) {
        input = Frames(bits);
        auto dlg = std::make_unique<CAVISetDlg>(nullptr);
        dlg->SetSettings(&input, setting);
        EXPECT_TRUE(dlg->CreateModeless(nullptr));
        return dlg;
    }
    static void Select(CAVISetDlg& dlg, FOURCC handler) {
        const auto& rows = dlg.Codecs();
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].fccHandler == handler) dlg.GetComboBox(CAVISetDlg::IDC_CODEC)->setCurrentIndex(static_cast<int>(i));
    }
    static bool Enabled(const CAVISetDlg& dlg, UINT id) { return dlg.GetDlgItem(id)->isEnabled(); }

    BITMAPINFOHEADER input{};
};

}  // namespace

TEST_F(AVISetDlgTest, TwentyFourBitFramesStartUncompressedWithEveryCodecControlOff) {
    CEncAVISetting setting;
    auto dlg = Open(setting);
    QComboBox* codecs = dlg->GetComboBox(CAVISetDlg::IDC_CODEC);
    EXPECT_EQ(codecs->currentText(), QStringLiteral("UnCompressed(24bit RGB)"));
    EXPECT_EQ(codecs->currentIndex(), codecs->count() - 1);
    for (UINT id : kCodecControls) EXPECT_FALSE(Enabled(*dlg, id)) << id;
    setting.SetHandler(kMjpg);
    dlg->OnOK();
    EXPECT_EQ(dlg->GetResult(), IDOK);
    dlg->GetSettings(setting);
    EXPECT_EQ(setting.GetHandler(), ICHANDLER_DIB);
}

TEST_F(AVISetDlgTest, EachCompressorEnablesWhatItsFlagsSay) {
    CEncAVISetting setting;
    setting.SetHandler(kMjpg);
    auto dlg = Open(setting);
    ASSERT_GT(dlg->Codecs().size(), 10u) << "every compressor takes 24-bit frames";
    EXPECT_EQ(dlg->Codecs()[dlg->GetComboBox(CAVISetDlg::IDC_CODEC)->currentIndex()].fccHandler, kMjpg);
    EXPECT_TRUE(Enabled(*dlg, CAVISetDlg::IDC_QUALITY) && Enabled(*dlg, CAVISetDlg::IDC_QUALITY_SPIN));
    EXPECT_FALSE(Enabled(*dlg, CAVISetDlg::IDC_KEYFRAME) || Enabled(*dlg, CAVISetDlg::IDC_DATARATE));

    for (const ICINFO& row : std::vector<ICINFO>(dlg->Codecs())) {
        if (row.fccHandler == ICHANDLER_DIB) continue;
        Select(*dlg, row.fccHandler);
        const std::string name = QString::fromWCharArray(row.szName).toStdString();
        for (const auto& [id, flag] : kFlagControls)
            EXPECT_EQ(Enabled(*dlg, id), (row.dwFlags & flag) != 0) << name << " control " << id;
        EXPECT_EQ(Enabled(*dlg, CAVISetDlg::IDC_CONFIGURE), VcmGetOptionLimits(row.fccHandler).HasOptions()) << name;
        EXPECT_TRUE(Enabled(*dlg, CAVISetDlg::IDC_ABOUT)) << name;
    }
}

TEST_F(AVISetDlgTest, FramesNoCompressorTakesKeepTheStoredHandler) {
    CEncAVISetting setting;
    setting.SetHandler(MAKEFOURCC('n', 'o', 'n', 'e'));
    auto dlg = Open(setting, 16);
    EXPECT_TRUE(dlg->Codecs().empty()) << "no uncompressed row for 16-bit frames";
    EXPECT_EQ(dlg->GetComboBox(CAVISetDlg::IDC_CODEC)->currentIndex(), -1);
    dlg->OnOK();
    dlg->GetSettings(setting);
    EXPECT_EQ(setting.GetHandler(), MAKEFOURCC('n', 'o', 'n', 'e'));
}

TEST_F(AVISetDlgTest, EditsAreHeldToTheirLimits) {
    CEncAVISetting setting;
    setting.SetHandler(kX264);
    setting.SetQuality(-5);
    auto dlg = Open(setting);
    EXPECT_EQ(dlg->GetDlgItemText(CAVISetDlg::IDC_QUALITY), L"0") << "clamped when the dialog opens";
    const struct {
        UINT id;
        const char* typed;
        const wchar_t* shown;
    } cases[] = {
        {CAVISetDlg::IDC_QUALITY, "150", L"100"},
        {CAVISetDlg::IDC_QUALITY, "42", L"42"},
        {CAVISetDlg::IDC_KEYFRAME, "1234567", L"999999"},
        {CAVISetDlg::IDC_KEYFRAME, "4294967296", L"999999"},  // not its low 32 bits
        {CAVISetDlg::IDC_DATARATE, "1234567", L"1234567"},    // refused only at OK
    };
    for (const auto& c : cases) {
        dlg->GetEdit(c.id)->setText(QString::fromLatin1(c.typed));
        EXPECT_EQ(dlg->GetDlgItemText(c.id), c.shown) << c.typed;
    }
    dlg->OnOK();
    EXPECT_EQ(dlg->GetResult(), 0) << "a data rate above 999999 keeps the dialog open";
    EXPECT_EQ(script.ui.messageBoxes.size(), 1u);
    dlg->GetEdit(CAVISetDlg::IDC_DATARATE)->setText(QStringLiteral("500"));
    dlg->OnOK();
    ASSERT_EQ(dlg->GetResult(), IDOK);
    dlg->GetSettings(setting);
    EXPECT_EQ(setting.GetQuality(), 42);
    EXPECT_EQ(setting.GetKeyFrameRate(), 999999);
    EXPECT_EQ(setting.GetDataRate(), 500);
}

TEST_F(AVISetDlgTest, OnlyAConfirmedConfigurationIsKeptAndDefaultForgetsIt) {
    auto configure = [](CAVISetDlg& dlg, bool confirm) {
        WhenShown<CVcmConfigureDlg>([confirm](CVcmConfigureDlg& c) {
            c.GetEdit(CVcmConfigureDlg::IDC_QUANT)->setText(QStringLiteral("20"));
            if (confirm) c.OnOK();
            else c.OnCancel();
        });
        dlg.OnConfigure();
    };
    {
        CEncAVISetting setting;
        setting.SetHandler(kX264);
        auto dlg = Open(setting);
        configure(*dlg, false);
        EXPECT_EQ(dlg->GetState(), nullptr) << "nothing kept from a cancelled configuration";
        EXPECT_EQ(dlg->GetStateSize(), 0);
        configure(*dlg, true);
        ASSERT_NE(dlg->GetState(), nullptr);
        const int size = dlg->GetStateSize();
        HIC hic = ICOpen(ICTYPE_VIDEO, kX264, ICMODE_COMPRESS);
        EXPECT_EQ(size, ICGetStateSize(hic));
        EXPECT_EQ(ICSetState(hic, GlobalLock(dlg->GetState()), size), size) << "the compressor's own state";
        ICClose(hic);
        const std::vector<BYTE> kept(static_cast<BYTE*>(GlobalLock(dlg->GetState())),
                                     static_cast<BYTE*>(GlobalLock(dlg->GetState())) + size);
        configure(*dlg, false);
        EXPECT_EQ(std::vector<BYTE>(static_cast<BYTE*>(GlobalLock(dlg->GetState())),
                                    static_cast<BYTE*>(GlobalLock(dlg->GetState())) + size),
                  kept)
            << "a cancel keeps the block that fitted";
        dlg->OnOK();
        dlg->GetSettings(setting);
        EXPECT_EQ(setting.GetStateSize(), size);
        EXPECT_NE(setting.GetState(), dlg->GetState()) << "the setting gets a copy";
    }
    {
        CEncAVISetting setting;
        ASSERT_NE(setting.GetState(), nullptr) << "stored at exit";
        auto dlg = Open(setting);
        dlg->GetEdit(CAVISetDlg::IDC_QUALITY)->setText(QStringLiteral("7"));
        dlg->OnDefault();
        EXPECT_EQ(dlg->GetState(), nullptr);
        EXPECT_EQ(dlg->GetDlgItemText(CAVISetDlg::IDC_QUALITY), L"100");
        EXPECT_EQ(dlg->GetDlgItemText(CAVISetDlg::IDC_KEYFRAME), L"15");
        EXPECT_EQ(dlg->GetDlgItemText(CAVISetDlg::IDC_DATARATE), L"300");
        dlg->OnOK();
        dlg->GetSettings(setting);
        EXPECT_EQ(setting.GetHandler(), kX264) << "the compressor stays";
    }
    EXPECT_EQ(CEncAVISetting().GetState(), nullptr) << "the compressor's defaults after a restart";
}

TEST_F(AVISetDlgTest, TheLauncherCopiesBackOnlyAfterOk) {
    CEncAVISetting setting;
    const BITMAPINFOHEADER frames = Frames(24);
    WhenShown<CAVISetDlg>([](CAVISetDlg& dlg) {
        Select(dlg, kMjpg);
        dlg.GetEdit(CAVISetDlg::IDC_QUALITY)->setText(QStringLiteral("55"));
        dlg.close();
    });
    EXPECT_EQ(DoAviSettingDialog(&frames, &setting, nullptr), DialogCancelled);
    EXPECT_EQ(setting.GetHandler(), ICHANDLER_DIB);
    EXPECT_EQ(setting.GetQuality(), 100);

    WhenShown<CAVISetDlg>([](CAVISetDlg& dlg) {
        Select(dlg, kMjpg);
        dlg.GetEdit(CAVISetDlg::IDC_QUALITY)->setText(QStringLiteral("55"));
        dlg.OnOK();
    });
    EXPECT_EQ(DoAviSettingDialog(&frames, &setting, nullptr), 0);
    EXPECT_EQ(setting.GetHandler(), kMjpg);
    EXPECT_EQ(setting.GetQuality(), 55);
}
