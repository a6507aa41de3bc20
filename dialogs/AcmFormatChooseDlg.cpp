#include "dialogs/AcmFormatChooseDlg.h"

#include <QAbstractButton>
#include <QComboBox>
#include <algorithm>
#include <cstring>

#include "dialogs/CodecResources.h"
#include "dialogs/DialogResources.h"

namespace {

constexpr UINT kBitsText = 51009;
constexpr UINT kMonoText = 51011;
constexpr UINT kStereoText = 51013;
constexpr UINT kChannelsText = 51015;

WAVEFORMATEX HeaderOf(const std::vector<BYTE>& block) {
    WAVEFORMATEX f{};
    std::memcpy(&f, block.data(), std::min(block.size(), sizeof f));
    return f;
}

// 16-bit PCM of the format's own rate and channels: what a format is written from
// when the caller names no source.
WAVEFORMATEX OwnPcm(const WAVEFORMATEX& f) {
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = f.nChannels;
    pcm.nSamplesPerSec = f.nSamplesPerSec;
    pcm.wBitsPerSample = 16;
    pcm.nBlockAlign = static_cast<WORD>(f.nChannels * 2);
    pcm.nAvgBytesPerSec = pcm.nBlockAlign * pcm.nSamplesPerSec;
    return pcm;
}

// 44100 as "44,100".
std::wstring Grouped(unsigned n) {
    std::wstring digits = std::to_wstring(n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), L",");
    return digits;
}

}  // namespace

CAcmFormatChooseDlg::CAcmFormatChooseDlg(const ACMFORMATCHOOSEW& request, CWnd* pParent)
    : CBaseDialog(CodecDialogTemplate(IDD), pParent), m_request(request) {
    const bool fromSource = (request.fdwEnum & ACM_FORMATENUMF_CONVERT) && request.pwfxEnum;
    for (AcmFormatDetails& d : AcmListFormats()) {
        if (d.format.size() > request.cbwfx) continue;
        const WAVEFORMATEX f = HeaderOf(d.format);
        const WAVEFORMATEX own = OwnPcm(f);
        if (!AcmCanConvert(fromSource ? request.pwfxEnum : &own, reinterpret_cast<const WAVEFORMATEX*>(d.format.data())))
            continue;
        if (std::find(m_tags.begin(), m_tags.end(), d.tagName) == m_tags.end()) m_tags.push_back(d.tagName);
        m_formats.push_back(std::move(d));
    }
    OnSelChange(IDC_TAG, [this] { OnTagChange(); });
    OnSelChange(IDC_FORMAT, [this] { OnFormatChange(); });
}

BOOL CAcmFormatChooseDlg::OnInitDialog() {
    CBaseDialog::OnInitDialog();
    if (!m_request.title.empty()) setWindowTitle(QString::fromStdWString(m_request.title));
    if (QComboBox* tags = GetComboBox(IDC_TAG)) {
        const QSignalBlocker quiet(tags);
        for (const std::wstring& t : m_tags) tags->addItem(QString::fromStdWString(t));
    }
    SelectFormat(InitialFormat());
    return TRUE;
}

int CAcmFormatChooseDlg::InitialFormat() const {
    if (m_formats.empty()) return -1;
    const WAVEFORMATEX* want = m_request.pwfx;
    if (!(m_request.fdwStyle & ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT) || !want || want->wFormatTag == 0) return 0;
    // The format given, or else the nearest of its tag.
    const size_t bytes = std::min<size_t>(AcmFormatBlockSize(want), m_request.cbwfx);
    int best = 0, bestScore = -1;
    for (size_t i = 0; i < m_formats.size(); ++i) {
        const WAVEFORMATEX f = HeaderOf(m_formats[i].format);
        if (f.wFormatTag != want->wFormatTag) continue;
        const bool same = m_formats[i].format.size() >= bytes && std::memcmp(m_formats[i].format.data(), want, bytes) == 0;
        const int score = (same ? 8 : 0) + (f.nSamplesPerSec == want->nSamplesPerSec ? 4 : 0) +
                          (f.nChannels == want->nChannels ? 2 : 0) + (f.wBitsPerSample == want->wBitsPerSample ? 1 : 0);
        if (score > bestScore) {
            best = static_cast<int>(i);
            bestScore = score;
        }
    }
    return best;
}

void CAcmFormatChooseDlg::SelectFormat(int index) {
    QComboBox* tags = GetComboBox(IDC_TAG);
    if (!tags) return;
    if (index >= 0) {
        const auto tag = std::find(m_tags.begin(), m_tags.end(), m_formats[index].tagName);
        const QSignalBlocker quiet(tags);
        tags->setCurrentIndex(static_cast<int>(tag - m_tags.begin()));
    }
    OnTagChange();
    const auto shown = std::find(m_shown.begin(), m_shown.end(), index);
    if (QComboBox* formats = GetComboBox(IDC_FORMAT); formats && shown != m_shown.end())
        formats->setCurrentIndex(static_cast<int>(shown - m_shown.begin()));
}

void CAcmFormatChooseDlg::OnTagChange() {
    QComboBox* tags = GetComboBox(IDC_TAG);
    QComboBox* formats = GetComboBox(IDC_FORMAT);
    if (!tags || !formats) return;
    const int tag = tags->currentIndex();
    {
        const QSignalBlocker quiet(formats);
        formats->clear();
        m_shown.clear();
        for (size_t i = 0; tag >= 0 && i < m_formats.size(); ++i) {
            if (m_formats[i].tagName != m_tags[tag]) continue;
            m_shown.push_back(static_cast<int>(i));
            formats->addItem(QString::fromStdWString(DescribeAttributes(HeaderOf(m_formats[i].format))));
        }
        formats->setCurrentIndex(m_shown.empty() ? -1 : 0);
    }
    OnFormatChange();
}

int CAcmFormatChooseDlg::SelectedFormat() const {
    const QComboBox* formats = GetComboBox(IDC_FORMAT);
    const int sel = formats ? formats->currentIndex() : -1;
    return sel >= 0 && sel < static_cast<int>(m_shown.size()) ? m_shown[sel] : -1;
}

void CAcmFormatChooseDlg::OnFormatChange() { EnableDlgItem(IDOK, SelectedFormat() >= 0); }

void CAcmFormatChooseDlg::OnOK() {
    const int sel = SelectedFormat();
    if (sel < 0) return;
    m_chosen = m_formats[sel].format;
    EndDialog(IDOK);
}

std::wstring CAcmFormatChooseDlg::DescribeAttributes(const WAVEFORMATEX& f) {
    std::wstring text = Grouped(f.nSamplesPerSec) + L" Hz";
    if (f.wBitsPerSample != 0) text += L", " + DialogTextWithNumber(kBitsText, f.wBitsPerSample);
    text += L", ";
    if (f.nChannels == 1) text += DialogText(kMonoText);
    else if (f.nChannels == 2) text += DialogText(kStereoText);
    else text += DialogTextWithNumber(kChannelsText, f.nChannels);
    const unsigned long long kbits = (static_cast<unsigned long long>(f.nAvgBytesPerSec) * 8 + 500) / 1000;
    return text + L", " + std::to_wstring(kbits) + L" kbit/s";
}
