#pragma once
// The folder picker: the desktop's folder dialog with a folder preselected.
#include <optional>
#include <string>

class CWnd;

class CBrowse {
public:
    virtual ~CBrowse() = default;

    // The chosen folder without trailing '/' (the root stays "/"), or initial exactly
    // as given when the user cancels.
    std::wstring BrowseFolder(const std::wstring& initial, CWnd* pOwner);
    // The same, but nothing when the user cancels, so that a caller can tell a cancel
    // from choosing the initial folder again.
    std::optional<std::wstring> ChooseFolder(const std::wstring& initial, CWnd* pOwner);

    static const wchar_t* Title() { return L"フォルダの選択"; }

protected:
    std::wstring m_strInitial;
};
