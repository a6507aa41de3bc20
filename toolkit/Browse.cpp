#include "toolkit/Browse.h"

#include "platform/ui/UiServices.h"
#include "platform/ui/Wnd.h"

std::wstring CBrowse::BrowseFolder(const std::wstring& initial, CWnd* pOwner) {
    return ChooseFolder(initial, pOwner).value_or(initial);
}

std::optional<std::wstring> CBrowse::ChooseFolder(const std::wstring& initial, CWnd* pOwner) {
    m_strInitial = initial;
    const std::optional<std::wstring> chosen = GetUiServices().fileDialog->BrowseForFolder(
        pOwner ? pOwner->GetWidget() : nullptr, Title(), m_strInitial);
    if (!chosen) return std::nullopt;
    std::wstring path = *chosen;
    while (path.size() > 1 && path.back() == L'/') path.pop_back();
    return path;
}
