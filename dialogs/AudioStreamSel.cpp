#include "dialogs/AudioStreamSel.h"

#include "dialogs/DialogResources.h"

CAudioStreamSel::CAudioStreamSel(CWnd* pParent) : CBaseDialog(SettingsDialogTemplate(IDD), pParent) {}

BOOL CAudioStreamSel::OnInitDialog() {
    CBaseDialog::OnInitDialog();
    // Always opens on recompressing, whatever was chosen last time.
    CheckDlgButton(IDC_RECOMPRESS, 1);
    return TRUE;
}

void CAudioStreamSel::OnOK() {
    if (IsDlgButtonChecked(IDC_RECOMPRESS)) m_nChoice = kAudioRecompress;
    else if (IsDlgButtonChecked(IDC_COPY_STREAM)) m_nChoice = kAudioCopy;
    else if (IsDlgButtonChecked(IDC_NO_AUDIO)) m_nChoice = kAudioNone;
    CDialog::OnOK();
}
