// Every text of every settings dialog fits its control with the dialog font, in both
// languages, and no two controls overlap. With TALVERN_SCREENSHOT_DIR set, a picture
// of each dialog in each language is saved there as well.
#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <functional>
#include <map>
#include <memory>

#include "dialogs/AVISetDlg.h"
#include "dialogs/AcmFormatChooseDlg.h"
#include "dialogs/AudioStreamSel.h"
#include "dialogs/BatEncodeDlg.h"
#include "dialogs/BmpInfo.h"
#include "dialogs/ExtractKindDlg.h"
#include "dialogs/HOZON.h"
#include "dialogs/InfoAVIDlg.h"
#include "dialogs/LuminanceDlg.h"
#include "dialogs/MP3Set.h"
#include "dialogs/MyAboutDlg.h"
#include "dialogs/ResizeDlg.h"
#include "dialogs/StreamKindDlg.h"
#include "dialogs/VOBListDlg.h"
#include "dialogs/VcmAboutDlg.h"
#include "dialogs/VcmConfigureDlg.h"
#include "dialogs/Volume.h"
#include "dialogs/WMASet.h"
#include "dialogs/WMVSet.h"
#include "writers/EncAVISetting.h"
#include "tests/dialogs/DialogTestSupport.h"

using namespace dialogs_test;

namespace {

struct Maker {
    const char* name;
    std::function<std::unique_ptr<CDialog>()> make;
};

// The compressor dialogs open on H.264, whose description and options are the longest.
const ICINFO& X264() {
    static const ICINFO info = [] {
        ICINFO i{};
        HIC hic = ICOpen(ICTYPE_VIDEO, MAKEFOURCC('H', '2', '6', '4'), ICMODE_COMPRESS);
        ICGetInfo(hic, &i, sizeof i);
        ICClose(hic);
        return i;
    }();
    return info;
}

std::unique_ptr<CDialog> MakeAviSet() {
    static const BITMAPINFOHEADER frames{sizeof(BITMAPINFOHEADER), 64, 48, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    auto dlg = std::make_unique<CAVISetDlg>(nullptr);
    CEncAVISetting setting;
    setting.SetHandler(X264().fccHandler);
    dlg->SetSettings(&frames, setting);
    return dlg;
}

// 16-bit stereo PCM, whose attribute lines are the longest.
std::unique_ptr<CDialog> MakeChooser() {
    static WAVEFORMATEX source{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    static std::vector<BYTE> block(256);
    static ACMFORMATCHOOSEW request{};
    request.pwfx = reinterpret_cast<WAVEFORMATEX*>(block.data());
    request.cbwfx = static_cast<DWORD>(block.size());
    request.fdwEnum = ACM_FORMATENUMF_CONVERT;
    request.pwfxEnum = &source;
    return std::make_unique<CAcmFormatChooseDlg>(request, nullptr);
}

// A 640 x 480 source with every margin at work, so the summary holds its longest numbers.
std::unique_ptr<CDialog> MakeResize() {
    static BITMAPINFOHEADER out{sizeof(BITMAPINFOHEADER), 640, 480, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    static RECT clip{};
    return std::make_unique<CResizeDlg>(nullptr, out, &out, &clip, 0, 0);
}

const Maker kDialogs[] = {
    {"avi-codec", MakeAviSet},
    {"wmv-setting", [] { return std::make_unique<CWMVSet>(nullptr); }},
    {"sound-selection", MakeChooser},
    {"codec-configure",
     [] { return std::make_unique<CVcmConfigureDlg>(X264(), VcmGetOptionLimits(X264().fccHandler), VcmCodecOptions{}, nullptr); }},
    {"codec-about", [] { return std::make_unique<CVcmAboutDlg>(X264(), nullptr); }},
    {"save-setting", [] { return std::make_unique<CHOZON>(nullptr); }},
    {"audio-choice", [] { return std::make_unique<CAudioStreamSel>(nullptr); }},
    {"volume", [] { return std::make_unique<CVolume>(nullptr); }},
    {"about", [] { return std::make_unique<CMyAboutDlg>(RGB(255, 255, 255), RGB(0, 0, 0), nullptr); }},
    {"batch", [] { return std::make_unique<CBatEncodeDlg>(nullptr, nullptr); }},
    {"vob-list", [] { return std::make_unique<CVOBListDlg>(nullptr); }},
    {"stream-kind", [] { return std::make_unique<CStreamKindDlg>(nullptr); }},
    {"extract-kind", [] { return std::make_unique<CExtractKindDlg>(nullptr); }},
    {"luminance", [] { return std::make_unique<CLuminanceDlg>(nullptr, nullptr); }},
    {"mp3", [] { return std::make_unique<CMP3Set>(nullptr); }},
    {"wma", [] { return std::make_unique<CWMASet>(nullptr); }},
    {"clip-resize", MakeResize},
    {"movie-info", [] { return std::make_unique<CInfoAVIDlg>(nullptr); }},
    {"frame-header", [] { return std::make_unique<CBmpInfo>(nullptr); }},
};

// Text as drawn: a single '&' marks the mnemonic and takes no room.
QString Drawn(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    return text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

// The room a control's text needs, and the room it has (width, height).
std::pair<QSize, QSize> Need(QWidget* w, const CDialog& dlg) {
    const QFontMetrics fm(w->font());
    const QSize has = w->size();
    if (auto* l = qobject_cast<QLabel*>(w)) {
        if (l->text().isEmpty()) return {};
        const int frame = 2 * l->frameWidth();
        if (l->wordWrap()) {
            const QRect r = fm.boundingRect(QRect(0, 0, has.width() - frame, 10000), Qt::TextWordWrap, l->text());
            return {r.size() + QSize(frame, frame), has};
        }
        return {QSize(fm.horizontalAdvance(l->text()) + frame, fm.height() + frame), has};
    }
    if (auto* g = qobject_cast<QGroupBox*>(w)) return {QSize(fm.horizontalAdvance(Drawn(g->title())) + 16, 0), has};
    if (auto* r = qobject_cast<QRadioButton*>(w)) return {QSize(r->sizeHint().width(), fm.height()), has};
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        int widest = 0;
        for (int i = 0; i < c->count(); ++i) widest = std::max(widest, fm.horizontalAdvance(c->itemText(i)));
        return {QSize(widest + 30, fm.height()), has};
    }
    if (auto* b = qobject_cast<QPushButton*>(w)) {
        // The icon button keeps its first 32 pixels for the icon.
        const int icon = dlg.GetDlgCtrlID(b) == IDOK && dynamic_cast<const CMyAboutDlg*>(&dlg) ? 32 : 0;
        return {QSize(fm.horizontalAdvance(Drawn(b->text())) + 10 + icon, fm.height() + 4), has};
    }
    return {};
}

std::string Describe(const char* dialog, const CDialog& dlg, QWidget* w) {
    return std::string(dialog) + " control " + std::to_string(dlg.GetDlgCtrlID(w)) + " \"" +
           w->property("text").toString().toStdString() + "\"";
}

void CheckDialog(const Maker& maker, const char* lang) {
    std::unique_ptr<CDialog> dlg = maker.make();
    ASSERT_TRUE(dlg->CreateModeless(nullptr));
    std::vector<QWidget*> placed;
    for (QWidget* w : dlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->isHidden()) continue;
        const std::string what = Describe(maker.name, *dlg, w) + " in " + lang;
        EXPECT_TRUE(dlg->rect().contains(w->geometry())) << what;
        const auto [need, has] = Need(w, *dlg);
        EXPECT_LE(need.width(), has.width()) << what;
        EXPECT_LE(need.height(), has.height()) << what;
        if (!qobject_cast<QGroupBox*>(w)) placed.push_back(w);
    }
    for (size_t i = 0; i < placed.size(); ++i)
        for (size_t j = i + 1; j < placed.size(); ++j)
            EXPECT_FALSE(placed[i]->geometry().intersects(placed[j]->geometry()))
                << Describe(maker.name, *dlg, placed[i]) << " overlaps " << Describe(maker.name, *dlg, placed[j])
                << " in " << lang;
    if (const char* out = std::getenv("TALVERN_SCREENSHOT_DIR"); out && *out) {
        QDir().mkpath(QString::fromUtf8(out));
        const QString file = QStringLiteral("%1/%2-%3.png").arg(QString::fromUtf8(out), QString::fromUtf8(maker.name),
                                                                 QString::fromUtf8(lang).left(2));
        dlg->grab().save(file);
    }
}

// The letter a text's single '&' marks, lower case; 0 when it marks none.
QChar Mnemonic(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) continue;
        if (text[i + 1] != QLatin1Char('&')) return text[i + 1].toLower();
        ++i;
    }
    return QChar();
}

// Two controls of one dialog with one mnemonic: Qt finds the key ambiguous and neither acts.
void CheckMnemonics(const Maker& maker, const char* lang) {
    std::unique_ptr<CDialog> dlg = maker.make();
    ASSERT_TRUE(dlg->CreateModeless(nullptr));
    std::map<QChar, QWidget*> owner;
    for (QWidget* w : dlg->findChildren<QWidget*>()) {
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
        else if (auto* g = qobject_cast<QGroupBox*>(w)) text = g->title();
        else if (auto* l = qobject_cast<QLabel*>(w); l && l->buddy()) text = l->text();
        const QChar key = Mnemonic(text);
        if (key.isNull()) continue;
        const auto [at, fresh] = owner.emplace(key, w);
        EXPECT_TRUE(fresh) << Describe(maker.name, *dlg, w) << " shares its mnemonic with "
                           << Describe(maker.name, *dlg, at->second) << " in " << lang;
    }
}

class LabelsFit : public DialogFixture {};

}  // namespace

TEST_F(LabelsFit, EveryTextFitsItsControlInBothLanguages) {
    for (const char* lang : {"C.UTF-8", "ja_JP.UTF-8"}) {
        talvern::test::ScopedLanguage scope(lang);
        for (const Maker& m : kDialogs) CheckDialog(m, lang);
    }
}

TEST_F(LabelsFit, NoTwoControlsOfADialogShareAMnemonic) {
    for (const char* lang : {"C.UTF-8", "ja_JP.UTF-8"}) {
        talvern::test::ScopedLanguage scope(lang);
        for (const Maker& m : kDialogs) CheckMnemonics(m, lang);
    }
}
