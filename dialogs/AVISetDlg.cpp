#include "dialogs/AVISetDlg.h"

#include <QComboBox>
#include <algorithm>
#include <cstring>

#include "dialogs/CodecResources.h"
#include "dialogs/DialogResources.h"
#include "foundation/StringChar.h"
#include "platform/ui/DataExchange.h"
#include "platform/ui/UpDown.h"
#include "writers/EncAVISetting.h"

namespace {

constexpr UINT kUncompressedText = 51001;
constexpr int kSpinMax = 32767;

// The edit's number, held to lo..hi. Digits beyond what an int holds count as large,
// not as whatever their low 32 bits happen to be.
int ClampedNumber(const std::wstring& text, int lo, int hi) {
    size_t i = text.find_first_not_of(L" \t");
    if (i == std::wstring::npos) return std::clamp(0, lo, hi);
    const bool negative = text[i] == L'-';
    if (text[i] == L'-' || text[i] == L'+') ++i;
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
        value = std::min<long long>(value * 10 + (text[i] - L'0'), 1LL << 40);
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, lo, hi));
}

HGLOBAL CopyBlock(HGLOBAL from, int size) {
    if (!from || size <= 0) return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, static_cast<size_t>(size));
    if (block) std::memcpy(GlobalLock(block), GlobalLock(from), std::min(GlobalSize(from), GlobalSize(block)));
    return block;
}

}  // namespace

CAVISetDlg::CAVISetDlg(CWnd* pParent) : CBaseDialog(CodecDialogTemplate(IDD), pParent) {
    OnSelChange(IDC_CODEC, [this] { OnCodecChange(); });
    OnClicked(IDC_CONFIGURE, [this] { OnConfigure(); });
    OnClicked(IDC_ABOUT, [this] { OnAbout(); });
    OnClicked(IDC_DEFAULT, [this] { OnDefault(); });
    OnEditChange(IDC_QUALITY, [this] { OnQualityChange(); });
    OnEditChange(IDC_KEYFRAME, [this] { OnKeyFrameChange(); });
    OnEditChange(IDC_DATARATE, [this] { OnDataRateChange(); });
}

CAVISetDlg::~CAVISetDlg() { FreeState(); }

void CAVISetDlg::SetSettings(const BITMAPINFOHEADER* input, const CEncAVISetting& setting) {
    m_pInput = input;
    m_nQuality = setting.GetQuality();
    m_nKeyFrame = setting.GetKeyFrameRate();
    m_nDataRate = setting.GetDataRate();
    m_dwHandler = setting.GetHandler();
    FreeState();
    m_hState = CopyBlock(setting.GetState(), setting.GetStateSize());
    m_nStateSize = m_hState ? setting.GetStateSize() : 0;
}

void CAVISetDlg::GetSettings(CEncAVISetting& setting) const {
    setting.SetQuality(m_nQuality);
    setting.SetKeyFrameRate(m_nKeyFrame);
    setting.SetDataRate(m_nDataRate);
    setting.SetHandler(m_dwHandler);
    HGLOBAL copy = CopyBlock(m_hState, m_nStateSize);
    setting.SetStateSize(copy ? m_nStateSize : 0);
    setting.SetState(copy);
}

void CAVISetDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_QUALITY, m_nQuality);
    DDV_MinMaxInt(pDX, m_nQuality, 0, 100);
    DDX_Text(pDX, IDC_KEYFRAME, m_nKeyFrame);
    DDV_MinMaxInt(pDX, m_nKeyFrame, 0, kMaxEditValue);
    DDX_Text(pDX, IDC_DATARATE, m_nDataRate);
    DDV_MinMaxInt(pDX, m_nDataRate, 0, kMaxEditValue);
}

BOOL CAVISetDlg::OnInitDialog() {
    CBaseDialog::OnInitDialog();
    if (CUpDown* spin = GetUpDown(IDC_QUALITY_SPIN)) spin->SetRange(0, 100);
    if (CUpDown* spin = GetUpDown(IDC_KEYFRAME_SPIN)) spin->SetRange(0, kSpinMax);
    if (CUpDown* spin = GetUpDown(IDC_DATARATE_SPIN)) spin->SetRange(0, kSpinMax);
    FillCodecList();
    m_nQuality = std::clamp(m_nQuality, 0, 100);
    m_nKeyFrame = std::clamp(m_nKeyFrame, 0, kMaxEditValue);
    m_nDataRate = std::clamp(m_nDataRate, 0, kMaxEditValue);
    UpdateData(FALSE);
    return TRUE;
}

// Asking a compressor whether it takes the frames opens its encoder at the frame
// size, which is slow for large frames: the list is built once per dialog.
void CAVISetDlg::FillCodecList() {
    m_codecs.clear();
    for (DWORD i = 0; m_pInput; ++i) {
        ICINFO info{};
        if (!ICInfo(ICTYPE_VIDEO, i, &info)) break;
        HIC hic = ICOpen(info.fccType, info.fccHandler, ICMODE_COMPRESS);
        if (!hic) continue;
        ICINFO row{};
        if (ICCompressQuery(hic, m_pInput, nullptr) == ICERR_OK && ICGetInfo(hic, &row, sizeof row))
            m_codecs.push_back(row);
        ICClose(hic);
    }
    QComboBox* combo = GetComboBox(IDC_CODEC);
    if (!combo) return;
    const QSignalBlocker quiet(combo);
    combo->clear();
    int selection = static_cast<int>(m_codecs.size());
    for (size_t r = 0; r < m_codecs.size(); ++r) {
        combo->addItem(QString::fromWCharArray(m_codecs[r].szDescription));
        if (m_codecs[r].fccHandler == m_dwHandler) selection = static_cast<int>(r);
    }
    if (m_pInput && m_pInput->biBitCount == 24) {
        ICINFO plain{};
        plain.dwSize = sizeof plain;
        plain.fccType = ICTYPE_VIDEO;
        plain.fccHandler = ICHANDLER_DIB;
        m_codecs.push_back(plain);
        combo->addItem(QString::fromStdWString(DialogText(kUncompressedText)));
    }
    combo->setCurrentIndex(selection < combo->count() ? selection : -1);
    OnCodecChange();
}

const ICINFO* CAVISetDlg::SelectedCodec() const {
    const QComboBox* combo = GetComboBox(IDC_CODEC);
    const int sel = combo ? combo->currentIndex() : -1;
    return sel >= 0 && sel < static_cast<int>(m_codecs.size()) ? &m_codecs[sel] : nullptr;
}

HIC CAVISetDlg::OpenSelected() const {
    const ICINFO* row = SelectedCodec();
    return row ? ICOpen(row->fccType, row->fccHandler, ICMODE_COMPRESS) : nullptr;
}

void CAVISetDlg::EnableSettings(DWORD flags, BOOL configure, BOOL about) {
    EnableDlgItem(IDC_CONFIGURE, configure);
    EnableDlgItem(IDC_ABOUT, about);
    const BOOL quality = (flags & VIDCF_QUALITY) != 0;
    const BOOL temporal = (flags & VIDCF_TEMPORAL) != 0;
    const BOOL crunch = (flags & VIDCF_CRUNCH) != 0;
    EnableDlgItem(IDC_QUALITY, quality);
    EnableDlgItem(IDC_QUALITY_SPIN, quality);
    EnableDlgItem(IDC_KEYFRAME, temporal);
    EnableDlgItem(IDC_KEYFRAME_SPIN, temporal);
    EnableDlgItem(IDC_DATARATE, crunch);
    EnableDlgItem(IDC_DATARATE_SPIN, crunch);
}

void CAVISetDlg::OnCodecChange() {
    const ICINFO* row = SelectedCodec();
    if (!row) return;
    HIC hic = OpenSelected();
    if (!hic) {
        // Uncompressed, or a compressor that no longer opens: nothing to set.
        EnableSettings(0, FALSE, FALSE);
        return;
    }
    EnableSettings(row->dwFlags, ICQueryConfigure(hic), ICQueryAbout(hic));
    ICClose(hic);
}

void CAVISetDlg::FreeState() {
    if (m_hState) GlobalFree(m_hState);
    m_hState = nullptr;
    m_nStateSize = 0;
}

void CAVISetDlg::OnConfigure() {
    HIC hic = OpenSelected();
    if (!hic) return;
    const LRESULT need = ICGetStateSize(hic);
    if (m_hState && m_nStateSize == need)
        ICSetState(hic, GlobalLock(m_hState), static_cast<DWORD>(need));  // start from the stored settings
    else
        FreeState();
    // Only a confirmed configuration is kept: cancelling keeps the block the dialog
    // had, and a compressor without a stored state stays at its defaults.
    if (ICConfigure(hic, GetSafeHwnd()) == ICERR_OK) {
        const LRESULT size = ICGetStateSize(hic);
        if (size != m_nStateSize || !m_hState) {
            FreeState();
            if (size > 0) m_hState = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, static_cast<size_t>(size));
        }
        if (m_hState && ICGetState(hic, GlobalLock(m_hState), static_cast<DWORD>(size)) == size)
            m_nStateSize = static_cast<int>(size);
        else
            FreeState();
    }
    ICClose(hic);
}

void CAVISetDlg::OnAbout() {
    HIC hic = OpenSelected();
    if (!hic) return;
    ICAbout(hic, GetSafeHwnd());
    ICClose(hic);
}

void CAVISetDlg::OnDefault() {
    FreeState();
    m_nQuality = 100;
    m_nKeyFrame = 15;
    m_nDataRate = 300;
    UpdateData(FALSE);
}

void CAVISetDlg::OnQualityChange() {
    const std::wstring text = GetDlgItemText(IDC_QUALITY);
    m_nQuality = ClampedNumber(text, 0, 100);
    if (m_nQuality != WideToInt(text.c_str())) SetDlgItemInt(IDC_QUALITY, m_nQuality);
}

void CAVISetDlg::OnKeyFrameChange() {
    const std::wstring text = GetDlgItemText(IDC_KEYFRAME);
    m_nKeyFrame = ClampedNumber(text, 0, kMaxEditValue);
    if (m_nKeyFrame != WideToInt(text.c_str())) SetDlgItemInt(IDC_KEYFRAME, m_nKeyFrame);
}

void CAVISetDlg::OnDataRateChange() { m_nDataRate = WideToInt(GetDlgItemText(IDC_DATARATE).c_str()); }

void CAVISetDlg::OnOK() {
    if (const ICINFO* row = SelectedCodec()) m_dwHandler = row->fccHandler;
    CDialog::OnOK();
}
