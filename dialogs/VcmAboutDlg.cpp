#include "dialogs/VcmAboutDlg.h"

#include "dialogs/CodecResources.h"
#include "dialogs/DialogResources.h"

namespace {

constexpr UINT kTitle = 51035;
constexpr UINT kName = 51037;
constexpr UINT kHandler = 51039;
constexpr UINT kDriver = 51041;

// A handler's four characters, unprintable ones as '?'.
std::wstring FourCcText(FOURCC code) {
    std::wstring text;
    for (int i = 0; i < 4; ++i) {
        const wchar_t c = static_cast<wchar_t>((code >> (8 * i)) & 0xFF);
        text += c >= 0x20 && c < 0x7F ? c : L'?';
    }
    return text;
}

}  // namespace

CVcmAboutDlg::CVcmAboutDlg(const ICINFO& info, CWnd* pParent)
    : CBaseDialog(CodecDialogTemplate(IDD), pParent), m_info(info) {}

BOOL CVcmAboutDlg::OnInitDialog() {
    CBaseDialog::OnInitDialog();
    setWindowTitle(QString::fromStdWString(DialogTextWithPath(kTitle, m_info.szName)));
    SetDlgItemText(IDC_DESCRIPTION, m_info.szDescription);
    SetDlgItemText(IDC_NAME, DialogTextWithPath(kName, m_info.szName));
    SetDlgItemText(IDC_HANDLER, DialogTextWithPath(kHandler, FourCcText(m_info.fccHandler)));
    SetDlgItemText(IDC_DRIVER, DialogTextWithPath(kDriver, m_info.szDriver));
    return TRUE;
}
