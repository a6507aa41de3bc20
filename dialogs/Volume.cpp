#include "dialogs/Volume.h"

#include "dialogs/DialogResources.h"
#include "platform/ui/DataExchange.h"

CVolume::CVolume(CWnd* pParent) : CBaseDialog(SettingsDialogTemplate(IDD), pParent) {}

void CVolume::DoDataExchange(CDataExchange* pDX) { DDX_Text(pDX, IDC_VOLUME, m_nVolume); }
