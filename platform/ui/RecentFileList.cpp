#include "platform/ui/RecentFileList.h"

#include <QAction>
#include <QMenu>
#include <algorithm>

#include "platform/registry/Profile.h"
#include "platform/registry/RegistryStore.h"
#include "platform/ui/Command.h"

using talvern::settings::RegistryData;
using talvern::settings::RegistryStore;
using talvern::settings::RegValue;

namespace {

// Longer paths lose leading folders in the menu; the file name always stays whole.
constexpr size_t kMaxMenuPathChars = 40;
const char* const kPlaceholderText = "talvernRecentPlaceholder";

std::wstring ShortenPath(const std::wstring& path) {
    if (path.size() <= kMaxMenuPathChars) return path;
    size_t cut = path.size() - kMaxMenuPathChars + 4;  // room for ".../"
    const size_t slash = path.find(L'/', cut);
    const size_t nameStart = path.rfind(L'/');
    if (slash != std::wstring::npos && slash <= nameStart)
        cut = slash + 1;
    else
        cut = nameStart == std::wstring::npos ? 0 : nameStart + 1;
    return L".../" + path.substr(cut);
}

std::wstring DoubleAmpersands(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        out += c;
        if (c == L'&') out += L'&';
    }
    return out;
}

struct Placement {
    QMenu* menu = nullptr;
    QAction* action = nullptr;
};

Placement FindCommand(QMenu* menu, UINT id) {
    for (QAction* a : menu->actions()) {
        if (QMenu* sub = a->menu()) {
            if (Placement p = FindCommand(sub, id); p.action) return p;
        } else if (CommandIdOf(a) == id) {
            return {menu, a};
        }
    }
    return {};
}

}  // namespace

CRecentFileList::CRecentFileList(UINT firstId, std::wstring section, std::wstring entryPrefix,
                                 int size)
    : m_nFirstId(firstId),
      m_strSection(std::move(section)),
      m_strEntryPrefix(std::move(entryPrefix)),
      m_nSize(std::max(size, 1)) {}

void CRecentFileList::ReadList() {
    m_paths.clear();
    for (int i = 1; i <= m_nSize; ++i) {
        const std::wstring entry = m_strEntryPrefix + std::to_wstring(i);
        std::wstring path = GetProfileString(m_strSection.c_str(), entry.c_str(), L"");
        if (path.empty() || std::find(m_paths.begin(), m_paths.end(), path) != m_paths.end())
            continue;
        m_paths.push_back(std::move(path));
    }
}

void CRecentFileList::WriteList() const {
    const std::wstring key = L"HKEY_CURRENT_USER\\" + GetProfileSectionKey(m_strSection.c_str());
    RegistryStore().Update([&](RegistryData& data) {
        for (int i = 0; i < m_nSize; ++i) {
            const std::wstring entry = m_strEntryPrefix + std::to_wstring(i + 1);
            if (i < GetCount())
                data.Set(key, entry, RegValue::String((*this)[i]));
            else
                data.DeleteValue(key, entry);
        }
        return true;
    });
}

void CRecentFileList::Add(const std::wstring& path) {
    if (path.empty()) return;
    const auto it = std::find(m_paths.begin(), m_paths.end(), path);
    if (it != m_paths.end()) m_paths.erase(it);
    m_paths.insert(m_paths.begin(), path);
    if (GetCount() > m_nSize) m_paths.resize(static_cast<size_t>(m_nSize));
}

void CRecentFileList::Remove(int index) {
    if (index < 0 || index >= GetCount()) return;
    m_paths.erase(m_paths.begin() + index);
}

bool CRecentFileList::Remove(const std::wstring& path) {
    const auto it = std::find(m_paths.begin(), m_paths.end(), path);
    if (it == m_paths.end()) return false;
    m_paths.erase(it);
    return true;
}

int CRecentFileList::IndexOfCommand(UINT id) const {
    if (id < m_nFirstId || id >= m_nFirstId + static_cast<UINT>(m_nSize)) return -1;
    return static_cast<int>(id - m_nFirstId);
}

std::wstring CRecentFileList::GetMenuText(int index) const {
    if (index < 0 || index >= GetCount()) return {};
    const std::wstring number = std::to_wstring(index + 1);
    // Entries 1-9 take their digit as the mnemonic; 10 and above have none.
    const std::wstring prefix = index < 9 ? L"&" + number : number;
    return prefix + L" " + DoubleAmpersands(ShortenPath((*this)[index]));
}

void CRecentFileList::UpdateMenu(QMenu* menu) const {
    const Placement first = FindCommand(menu, m_nFirstId);
    if (!first.action) return;
    if (!first.action->property(kPlaceholderText).isValid())
        first.action->setProperty(kPlaceholderText, first.action->text());
    // The entries' items follow the placeholder, made once and hidden while unused.
    QAction* previous = first.action;
    for (int i = 1; i < m_nSize; ++i) {
        const UINT id = m_nFirstId + static_cast<UINT>(i);
        QAction* item = FindCommand(first.menu, id).action;
        if (!item) {
            item = MakeCommandAction(first.menu, id, std::wstring());
            const int at = static_cast<int>(first.menu->actions().indexOf(previous)) + 1;
            const QList<QAction*> actions = first.menu->actions();
            first.menu->insertAction(at < actions.size() ? actions[at] : nullptr, item);
        }
        item->setVisible(i < GetCount());
        if (i < GetCount()) item->setText(QString::fromStdWString(GetMenuText(i)));
        previous = item;
    }
    first.action->setText(GetCount() > 0 ? QString::fromStdWString(GetMenuText(0))
                                         : first.action->property(kPlaceholderText).toString());
}
