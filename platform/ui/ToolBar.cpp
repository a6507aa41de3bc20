#include "platform/ui/ToolBar.h"

#include <QAction>
#include <QPixmap>

#include "platform/ui/MenuTemplate.h"

namespace {
std::map<UINT, ToolBarTemplate>& ToolBars() {
    static std::map<UINT, ToolBarTemplate> bars;
    return bars;
}

// Drops "(&X)" groups and single '&' marks; "&&" stays a literal '&'.
std::wstring StripMnemonics(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'(' && i + 3 < text.size() && text[i + 1] == L'&' && text[i + 3] == L')') {
            i += 3;
            continue;
        }
        if (text[i] == L'&') {
            if (i + 1 < text.size() && text[i + 1] == L'&') out += text[++i];
            continue;
        }
        out += text[i];
    }
    return out;
}
}  // namespace

void RegisterToolBarTemplate(ToolBarTemplate bar) {
    const UINT id = bar.id;
    ToolBars()[id] = std::move(bar);
}

const ToolBarTemplate* FindToolBarTemplate(UINT id) {
    const auto it = ToolBars().find(id);
    return it == ToolBars().end() ? nullptr : &it->second;
}

std::wstring ToolTipFromMenuText(const std::wstring& text) {
    const size_t tab = text.find(L'\t');
    std::wstring tip = StripMnemonics(text.substr(0, tab));
    if (tab != std::wstring::npos && tab + 1 < text.size())
        tip += L" (" + text.substr(tab + 1) + L")";
    return tip;
}

CToolBar::CToolBar(QWidget* parent, UINT nID) : QToolBar(parent), m_nID(nID) {
    setObjectName(QStringLiteral("ToolBar%1").arg(nID));
}

BOOL CToolBar::LoadToolBar(UINT id, const MenuTemplate* texts) {
    const ToolBarTemplate* bar = FindToolBarTemplate(id);
    if (!bar) return FALSE;
    clear();
    setIconSize(bar->buttonSize);
    for (UINT command : bar->buttons) {
        if (command == 0) {
            addSeparator();
            continue;
        }
        const std::wstring tip =
            texts ? ToolTipFromMenuText(FindMenuItemText(*texts, command)) : L"";
        QAction* button = MakeCommandAction(this, command, tip);
        if (const auto it = bar->images.find(command); it != bar->images.end())
            button->setIcon(QIcon(QPixmap::fromImage(it->second)));
        button->setToolTip(QString::fromStdWString(tip));
        addAction(button);
    }
    return TRUE;
}

QAction* CToolBar::FindButton(UINT id) const {
    for (QAction* a : actions())
        if (CommandIdOf(a) == id) return a;
    return nullptr;
}
