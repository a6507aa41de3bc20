#include "dialogs/MP3Set.h"

#include <QComboBox>

#include "dialogs/DialogResources.h"
#include "dialogs/DormantResources.h"
#include "dialogs/SettingLists.h"

namespace {
constexpr int kCbrRates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int kVbrRates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr UINT kEncTypeTexts = 43685;  // five pairs
constexpr int kEncTypes = 5;
constexpr int kQualities = 10;

template <size_t N>
void FillRates(QComboBox* combo, const int (&rates)[N]) {
    for (int kbps : rates) combo->addItem(QString::asprintf("%3dkbps", kbps), kbps);
}
}  // namespace

CMP3Set::CMP3Set(CWnd* pParent) : CBaseDialog(DormantDialogTemplate(IDD), pParent) {
    OnClicked(IDC_VBR, [this] { EnableByVbr(); });
}

BOOL CMP3Set::OnInitDialog() {
    CBaseDialog::OnInitDialog();
    QComboBox* type = GetComboBox(IDC_ENC_TYPE);
    QComboBox* cbr = GetComboBox(IDC_CBR);
    QComboBox* quality = GetComboBox(IDC_QUALITY);
    QComboBox* vbr = GetComboBox(IDC_VBR_RATE);
    if (!type || !cbr || !quality || !vbr) return TRUE;
    for (int i = 0; i < kEncTypes; ++i) {
        const UINT ja = kEncTypeTexts + 2 * i;
        type->addItem(QString::fromStdWString(DialogText(ja)));
    }
    FillRates(cbr, kCbrRates);
    FillRates(vbr, kVbrRates);
    for (int q = 0; q < kQualities; ++q) quality->addItem(QString::number(q));
    SelectByIndex(type, m_setting.m_nEncType);
    SelectByIndex(quality, m_setting.m_nQuality);
    SelectByData(cbr, m_setting.m_nCbrBitrate);
    SelectByData(vbr, m_setting.m_nVbrBitrate);
    CheckDlgButton(IDC_VBR, m_setting.m_bVbr ? 1 : 0);
    EnableByVbr();
    UpdateData(FALSE);
    return TRUE;
}

void CMP3Set::EnableByVbr() {
    const BOOL vbr = IsDlgButtonChecked(IDC_VBR);
    for (UINT id : {IDC_QUALITY, IDC_QUALITY_LABEL, IDC_VBR_GROUP, IDC_VBR_RATE_LABEL, IDC_VBR_RATE})
        EnableDlgItem(id, vbr);
    for (UINT id : {IDC_CBR, IDC_CBR_LABEL}) EnableDlgItem(id, !vbr);
}

void CMP3Set::OnOK() {
    if (!UpdateData(TRUE)) return;
    m_setting.m_bVbr = IsDlgButtonChecked(IDC_VBR);
    // A list without a selection leaves its value as it was.
    m_setting.m_nEncType = SelectedIndexOr(GetComboBox(IDC_ENC_TYPE), m_setting.m_nEncType);
    m_setting.m_nQuality = SelectedIndexOr(GetComboBox(IDC_QUALITY), m_setting.m_nQuality);
    m_setting.m_nCbrBitrate = SelectedDataOr(GetComboBox(IDC_CBR), m_setting.m_nCbrBitrate);
    m_setting.m_nVbrBitrate = SelectedDataOr(GetComboBox(IDC_VBR_RATE), m_setting.m_nVbrBitrate);
    EndDialog(IDOK);
}
