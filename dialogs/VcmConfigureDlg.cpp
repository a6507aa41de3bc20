#include "dialogs/VcmConfigureDlg.h"

#include <QComboBox>
#include <algorithm>

#include "dialogs/CodecResources.h"
#include "dialogs/DialogResources.h"
#include "platform/ui/DataExchange.h"
#include "platform/ui/UpDown.h"

namespace {

constexpr UINT kTitle = 51021;
constexpr UINT kSpeedDefault = 51025;
constexpr UINT kSpeedSlowest = 51027;
constexpr UINT kSpeedFastest = 51029;
constexpr UINT kQuantHint = 51033;

}  // namespace

CVcmConfigureDlg::CVcmConfigureDlg(const ICINFO& info, const VcmOptionLimits& limits,
                                   const VcmCodecOptions& options, CWnd* pParent)
    : CBaseDialog(CodecDialogTemplate(IDD), pParent), m_info(info), m_limits(limits), m_options(options) {
    // What the compressor cannot take is shown as its default.
    m_options.speed = std::clamp<LONG>(m_options.speed, -1, m_limits.speedMax);
    m_options.quantizer = std::clamp<LONG>(m_options.quantizer, 0, m_limits.quantizerMax);
}

void CVcmConfigureDlg::DoDataExchange(CDataExchange* pDX) {
    int quantizer = m_options.quantizer;
    DDX_Text(pDX, IDC_QUANT, quantizer);
    DDV_MinMaxInt(pDX, quantizer, 0, m_limits.quantizerMax);
    m_options.quantizer = quantizer;
    QComboBox* speeds = GetComboBox(IDC_SPEED);
    if (!speeds || pDX->Failed()) return;
    if (pDX->m_bSaveAndValidate) m_options.speed = std::max(speeds->currentIndex(), 0) - 1;
    else speeds->setCurrentIndex(m_options.speed + 1);
}

BOOL CVcmConfigureDlg::OnInitDialog() {
    CBaseDialog::OnInitDialog();
    setWindowTitle(QString::fromStdWString(DialogTextWithPath(kTitle, m_info.szName)));
    FillSpeeds();
    const BOOL hasSpeed = m_limits.speedMax >= 0;
    EnableDlgItem(IDC_SPEED_LABEL, hasSpeed);
    EnableDlgItem(IDC_SPEED, hasSpeed);
    const BOOL hasQuant = m_limits.quantizerMax > 0;
    for (UINT id : {IDC_QUANT_LABEL, IDC_QUANT, IDC_QUANT_SPIN, IDC_QUANT_HINT}) EnableDlgItem(id, hasQuant);
    if (hasQuant) SetDlgItemText(IDC_QUANT_HINT, DialogTextWithNumber(kQuantHint, m_limits.quantizerMax));
    if (CUpDown* spin = GetUpDown(IDC_QUANT_SPIN)) spin->SetRange(0, std::max<int>(m_limits.quantizerMax, 0));
    UpdateData(FALSE);
    return TRUE;
}

// Item i + 1 is speed i; item 0 leaves the encoder's own choice.
void CVcmConfigureDlg::FillSpeeds() {
    QComboBox* speeds = GetComboBox(IDC_SPEED);
    if (!speeds) return;
    speeds->clear();
    speeds->addItem(QString::fromStdWString(DialogText(kSpeedDefault)));
    for (int s = 0; s <= m_limits.speedMax; ++s) {
        std::wstring text = std::to_wstring(s);
        if (s == 0) text = DialogTextWithNumber(kSpeedSlowest, s);
        if (s == m_limits.speedMax) text = DialogTextWithNumber(kSpeedFastest, s);
        speeds->addItem(QString::fromStdWString(text));
    }
}
