#include "dialogs/LuminanceDlg.h"

#include <QSlider>
#include <algorithm>

#include "dialogs/DormantResources.h"
#include "dialogs/EncodeOwner.h"
#include "platform/ui/DataExchange.h"

CLuminanceDlg::CLuminanceDlg(CWnd* pParent, IEncodeOwner* pOwner)
    : CBaseDialog(DormantDialogTemplate(IDD), pParent), m_pEncodeOwner(pOwner) {
    for (UINT id : {IDC_GAMMA_SLIDER, IDC_OFFSET_SLIDER}) {
        OnControlNotify(id, NM_SLIDERMOVED, [this, id] {
            if (auto* slider = qobject_cast<QSlider*>(GetDlgItem(id))) OnSliderMoved(id, slider->value());
        });
    }
}

BOOL CLuminanceDlg::OnInitDialog() {
    CBaseDialog::OnInitDialog();
    // The values shown are the values the sliders can hold.
    m_nGamma = std::clamp(m_nGamma, kMin, kMax);
    m_nOffset = std::clamp(m_nOffset, kMin, kMax);
    const std::pair<UINT, int> sliders[] = {{IDC_GAMMA_SLIDER, m_nGamma}, {IDC_OFFSET_SLIDER, m_nOffset}};
    for (const auto& [id, value] : sliders) {
        if (auto* slider = qobject_cast<QSlider*>(GetDlgItem(id))) {
            slider->setRange(kMin, kMax);
            slider->setValue(value);
        }
    }
    UpdateData(FALSE);
    // Setting up the sliders is no change the owner has to follow.
    m_bInitialised = true;
    return TRUE;
}

void CLuminanceDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_GAMMA, m_nGamma);
    DDX_Text(pDX, IDC_OFFSET, m_nOffset);
}

void CLuminanceDlg::OnSliderMoved(UINT nID, int pos) {
    if (!m_bInitialised) return;
    if (nID == IDC_GAMMA_SLIDER) m_nGamma = pos;
    else if (nID == IDC_OFFSET_SLIDER) m_nOffset = pos;
    else return;
    if (m_pEncodeOwner) m_pEncodeOwner->OnLuminanceChanged(m_nGamma, m_nOffset);
    UpdateData(FALSE);
}
