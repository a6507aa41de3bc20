#pragma once
// The list of recently opened files: newest first, each path once, kept in a profile
// section as entries File1, File2, ... and shown in a menu in place of the item with
// the list's first command id (one command id per entry, in order).
#include <string>
#include <vector>

#include "platform/win32/Win32Types.h"

class QMenu;

class CRecentFileList {
public:
    CRecentFileList(UINT firstId, std::wstring section, std::wstring entryPrefix, int size);

    // Replaces the list by the section's entries; empty entries are skipped.
    void ReadList();
    // Writes every entry in one change of the store: File1..FileN for the paths held,
    // the remaining entries removed.
    void WriteList() const;

    // Moves path to the top (adding it when new); the oldest entry falls off a full list.
    void Add(const std::wstring& path);
    void Remove(int index);
    // Removes path when it is held; false when it is not.
    bool Remove(const std::wstring& path);

    int GetSize() const { return m_nSize; }
    int GetCount() const { return static_cast<int>(m_paths.size()); }
    const std::wstring& operator[](int index) const { return m_paths[static_cast<size_t>(index)]; }
    UINT GetFirstId() const { return m_nFirstId; }
    // The entry that command id stands for, or -1.
    int IndexOfCommand(UINT id) const;

    // The menu text of an entry: its number as the mnemonic, then the path (with '&'
    // kept literal), long paths shortened at the front.
    std::wstring GetMenuText(int index) const;
    // Shows the list in menu (or one of its submenus) in place of the item with the
    // first id: one item per entry; with no entries the placeholder item alone.
    void UpdateMenu(QMenu* menu) const;

private:
    UINT m_nFirstId;
    std::wstring m_strSection;
    std::wstring m_strEntryPrefix;
    int m_nSize;
    std::vector<std::wstring> m_paths;
};
