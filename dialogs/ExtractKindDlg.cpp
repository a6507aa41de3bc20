#include "dialogs/ExtractKindDlg.h"

#include "dialogs/DormantResources.h"

namespace {
constexpr UINT kRadios[] = {CExtractKindDlg::IDC_ORIGINAL, CExtractKindDlg::IDC_WAV, CExtractKindDlg::IDC_WMA};
}

CExtractKindDlg::CExtractKindDlg(CWnd* pParent) : CBaseDialog(DormantDialogTemplate(IDD), pParent) {}

BOOL CExtractKindDlg::OnInitDialog() {
    CBaseDialog::OnInitDialog();
    if (m_nKind >= kOriginal && m_nKind <= kWma) CheckDlgButton(kRadios[m_nKind], 1);
    return TRUE;
}

void CExtractKindDlg::OnOK() {
    for (int kind = kOriginal; kind <= kWma; ++kind) {
        if (IsDlgButtonChecked(kRadios[kind])) {
            m_nKind = kind;
            break;
        }
    }
    CDialog::OnOK();
}
