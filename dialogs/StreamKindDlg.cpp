#include "dialogs/StreamKindDlg.h"

#include "dialogs/DormantResources.h"

CStreamKindDlg::CStreamKindDlg(CWnd* pParent) : CBaseDialog(DormantDialogTemplate(IDD), pParent) {}

BOOL CStreamKindDlg::OnInitDialog() {
    CBaseDialog::OnInitDialog();
    CheckDlgButton(m_bVideoAudio ? IDC_VIDEO_AUDIO : IDC_VIDEO_ONLY, 1);
    return TRUE;
}

void CStreamKindDlg::OnOK() {
    m_bVideoAudio = IsDlgButtonChecked(IDC_VIDEO_AUDIO);
    CDialog::OnOK();
}
