#pragma once
// The folder picker: the desktop's folder dialog with a folder preselected.
#include <string>

class CWnd;

class CBrowse {
public:
    virtual ~CBrowse() = default;

    // The chosen folder without trailing '/' (the root stays "/"), or initial exactly
    // as given when the user cancels.
    std::wstring BrowseFolder(const std::wstring& initial, CWnd* pOwner);

    static const wchar_t* Title() { return L"フォルダの選択"; }

protected:
    std::wstring m_strInitial;
};
