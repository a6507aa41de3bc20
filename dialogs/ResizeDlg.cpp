#include "dialogs/ResizeDlg.h"

#include <algorithm>
#include <cwchar>
#include <utility>

#include "dialogs/WindowResources.h"
#include "foundation/LangString.h"
#include "foundation/RegUtil.h"
#include "platform/registry/ProfileBatch.h"
#include "platform/ui/DataExchange.h"
#include "platform/ui/UpDown.h"

namespace {

constexpr wchar_t kSection[] = L"DATA";
constexpr UINT kSummaryText = 51401;

int ProfileInt(const wchar_t* key, int def) { return static_cast<int>(ProfileGetInt(kSection, key, def)); }

int Clamp(int64_t v, int lo, int hi) { return static_cast<int>(std::clamp<int64_t>(v, lo, hi)); }

}  // namespace

CResizeDlg::CResizeDlg(CWnd* owner, const BITMAPINFOHEADER& source, BITMAPINFOHEADER* output, RECT* clip,
                       UINT changeId, UINT closeId)
    : CBaseDialog(WindowDialogTemplate(IDD), nullptr),
      m_pNotifyOwner(owner),
      m_nSrcWidth(std::max<LONG>(source.biWidth, 1)),
      m_nSrcHeight(std::max<LONG>(source.biHeight, 1)),
      m_pOutput(output),
      m_pClip(clip),
      m_nChangeId(changeId),
      m_nCloseId(closeId) {
    // It belongs to its owner: left open, it must not keep the program running.
    setAttribute(Qt::WA_QuitOnClose, false);
    SetDestination(ProfileInt(L"DST_WIDTH", m_pOutput->biWidth), ProfileInt(L"DST_HEIGHT", m_pOutput->biHeight));
    m_pOutput->biWidth = m_nDstWidth;
    m_pOutput->biHeight = m_nDstHeight;
    // Stored margins may come from another movie or from a hand-edited profile.
    m_nLeft = ProfileInt(L"CLIP_LEFT", 0);
    m_nRight = ProfileInt(L"CLIP_RIGHT", 0);
    m_nTop = ProfileInt(L"CLIP_TOP", 0);
    m_nBottom = ProfileInt(L"CLIP_BOTTOM", 0);
    ClampMargins();
    ApplyClip();

    OnEdit(IDC_WIDTH, &CResizeDlg::OnChangeWidth);
    OnEdit(IDC_HEIGHT, &CResizeDlg::OnChangeHeight);
    OnEdit(IDC_TOP, &CResizeDlg::OnChangeClipTop);
    OnEdit(IDC_LEFT, &CResizeDlg::OnChangeClipLeft);
    OnEdit(IDC_RIGHT, &CResizeDlg::OnChangeClipRight);
    OnEdit(IDC_BOTTOM, &CResizeDlg::OnChangeClipBottom);
    OnClicked(IDC_CLEAR, [this] { OnReset(); });
    for (const Preset& preset : kPresets) OnClicked(preset.id, [this, &preset] { OnPreset(preset); });
}

BOOL CResizeDlg::CreateModeless() { return Create(nullptr); }

void CResizeDlg::OnEdit(UINT id, void (CResizeDlg::*handler)()) {
    OnEditChange(id, [this, id, handler] {
        // Writing the other edits back changes them too, so the handlers nest.
        const UINT outer = std::exchange(m_nEditing, id);
        (this->*handler)();
        m_nEditing = outer;
    });
}

void CResizeDlg::DoDataExchange(CDataExchange* pDX) {
    auto exchange = [this, pDX](UINT id, int& value) {
        // The edit being typed in keeps a text that is no number yet (emptied, or a lone
        // sign): the clamped value written in would stand before the digits typed next.
        int typed = 0;
        if (!pDX->m_bSaveAndValidate && id == m_nEditing && !ParseDialogInt(GetDlgItemText(id), typed)) return;
        DDX_Text(pDX, id, value);
    };
    exchange(IDC_WIDTH, m_nDstWidth);
    exchange(IDC_HEIGHT, m_nDstHeight);
    exchange(IDC_BOTTOM, m_nBottom);
    exchange(IDC_LEFT, m_nLeft);
    exchange(IDC_RIGHT, m_nRight);
    exchange(IDC_TOP, m_nTop);
}

BOOL CResizeDlg::OnInitDialog() {
    CBaseDialog::OnInitDialog();
    const struct {
        UINT id;
        int upper;
    } spins[] = {
        {IDC_SPIN_TOP, m_nSrcHeight},         {IDC_SPIN_BOTTOM, m_nSrcHeight},   {IDC_SPIN_LEFT, m_nSrcWidth},
        {IDC_SPIN_RIGHT, m_nSrcWidth},        {IDC_SPIN_WIDTH, kMaxOutputSide}, {IDC_SPIN_HEIGHT, kMaxOutputSide},
    };
    for (const auto& s : spins)
        if (CUpDown* spin = GetUpDown(s.id)) spin->SetRange(s.id == IDC_SPIN_WIDTH || s.id == IDC_SPIN_HEIGHT ? 1 : 0, s.upper);
    m_bBound = true;
    Recalc();
    return TRUE;
}

int64_t CResizeDlg::ReadEdit(UINT id) const {
    const std::wstring text = GetDlgItemText(id);
    // Saturates where WideToInt would wrap: eleven digits read as a large number, not a negative one.
    return std::wcstoll(text.c_str(), nullptr, 10);
}

void CResizeDlg::ClampMargins() {
    m_nLeft = Clamp(m_nLeft, 0, m_nSrcWidth - 1);
    m_nRight = Clamp(m_nRight, 0, m_nSrcWidth - 1 - m_nLeft);
    m_nTop = Clamp(m_nTop, 0, m_nSrcHeight - 1);
    m_nBottom = Clamp(m_nBottom, 0, m_nSrcHeight - 1 - m_nTop);
}

void CResizeDlg::ApplyClip() {
    *m_pClip = {m_nLeft, m_nTop, m_nSrcWidth - m_nRight, m_nSrcHeight - m_nBottom};
}

void CResizeDlg::SetDestination(int64_t width, int64_t height) {
    m_nDstWidth = Clamp(width, 1, kMaxOutputSide);
    m_nDstHeight = Clamp(height, 1, kMaxOutputSide);
}

void CResizeDlg::Notify(UINT id) {
    if (m_pNotifyOwner) SendCommand(*m_pNotifyOwner, id);
}

void CResizeDlg::Recalc() {
    m_pOutput->biWidth = m_nDstWidth;
    m_pOutput->biHeight = m_nDstHeight;
    wchar_t summary[160];
    std::swprintf(summary, std::size(summary), LoadLangString(kSummaryText, kSummaryText + 1).c_str(), m_nSrcWidth,
                  m_nSrcHeight, static_cast<int>(m_pClip->right - m_pClip->left),
                  static_cast<int>(m_pClip->bottom - m_pClip->top));
    SetDlgItemText(IDC_SUMMARY, summary);
    UpdateData(FALSE);
    Notify(m_nChangeId);
    for (const Preset& p : kPresets)
        CheckDlgButton(p.id, p.width == m_nDstWidth && p.height == m_nDstHeight ? 1 : 0);
}

void CResizeDlg::OnChangeWidth() {
    if (!m_bBound) return;
    // Every edit into its field; one that holds no integer is reported.
    UpdateData(TRUE);
    ClampMargins();
    ApplyClip();
    SetDestination(ReadEdit(IDC_WIDTH), m_nDstHeight);
    Recalc();
}

void CResizeDlg::OnChangeHeight() {
    if (!m_bBound) return;
    SetDestination(m_nDstWidth, ReadEdit(IDC_HEIGHT));
    Recalc();
}

void CResizeDlg::ClipChanged() {
    ApplyClip();
    // A new clip starts again from the clipped picture at scale 1.
    SetDestination(m_pClip->right - m_pClip->left, m_pClip->bottom - m_pClip->top);
    Recalc();
}

void CResizeDlg::OnChangeClipTop() {
    if (!m_bBound) return;
    m_nTop = Clamp(ReadEdit(IDC_TOP), 0, m_nSrcHeight - 1 - m_nBottom);
    ClipChanged();
}

void CResizeDlg::OnChangeClipLeft() {
    if (!m_bBound) return;
    m_nLeft = Clamp(ReadEdit(IDC_LEFT), 0, m_nSrcWidth - 1 - m_nRight);
    ClipChanged();
}

void CResizeDlg::OnChangeClipRight() {
    if (!m_bBound) return;
    m_nRight = Clamp(ReadEdit(IDC_RIGHT), 0, m_nSrcWidth - 1 - m_nLeft);
    ClipChanged();
}

void CResizeDlg::OnChangeClipBottom() {
    if (!m_bBound) return;
    m_nBottom = Clamp(ReadEdit(IDC_BOTTOM), 0, m_nSrcHeight - 1 - m_nTop);
    ClipChanged();
}

void CResizeDlg::OnPreset(const Preset& preset) {
    SetDestination(preset.width, preset.height);
    Recalc();
}

void CResizeDlg::OnReset() {
    m_nTop = m_nLeft = m_nRight = m_nBottom = 0;
    SetDestination(m_nSrcWidth, m_nSrcHeight);
    UpdateData(FALSE);
    ApplyClip();
    Recalc();
}

void CResizeDlg::SaveSettings() {
    auto num = [](int v) { return talvern::settings::RegValue::Dword(static_cast<DWORD>(v)); };
    WriteProfileValues(kSection, {
                                     {L"DST_WIDTH", num(m_nDstWidth)},
                                     {L"DST_HEIGHT", num(m_nDstHeight)},
                                     {L"CLIP_LEFT", num(m_nLeft)},
                                     {L"CLIP_RIGHT", num(m_nRight)},
                                     {L"CLIP_TOP", num(m_nTop)},
                                     {L"CLIP_BOTTOM", num(m_nBottom)},
                                 });
    Notify(m_nCloseId);
}
