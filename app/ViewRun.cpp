// The conversion run of the view and the error report every long loop uses.
#include <cwchar>

#include "app/TALVERNDoc.h"
#include "app/TALVERNView.h"
#include "foundation/LangString.h"
#include "platform/ui/UiServices.h"

void CTALVERNView::ReportError(int code) {
    wchar_t caption[64];
    std::swprintf(caption, std::size(caption), LoadLangString(50503, 50504).c_str(), code);
    const std::wstring text = ErrorMessageForCode(code);
    if (text.empty()) return;
    if (m_pDocument) m_pDocument->m_nPlayState = PlayState::Stopped;
    m_infoAvi.Release();
    ShowMessageBox(this, std::wstring(caption) + L"\n\n" + text, caption, MB_OK | MB_ICONSTOP);
    if (m_pDocument) m_pDocument->m_Info.OnEncodeError(code);
}
