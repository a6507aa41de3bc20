#include "platform/ui/MenuTemplate.h"

#include <QMenu>
#include <QMenuBar>
#include <map>

namespace {
std::map<UINT, MenuTemplate>& Menus() {
    static std::map<UINT, MenuTemplate> menus;
    return menus;
}
}  // namespace

void RegisterMenuTemplate(MenuTemplate menu) {
    const UINT id = menu.id;
    Menus()[id] = std::move(menu);
}

const MenuTemplate* FindMenuTemplate(UINT id) {
    const auto it = Menus().find(id);
    return it == Menus().end() ? nullptr : &it->second;
}

void BuildMenu(QMenu* menu, const std::vector<MenuItem>& items) {
    for (const MenuItem& item : items) {
        if (!item.items.empty()) {
            BuildMenu(menu->addMenu(QString::fromStdWString(item.text)), item.items);
        } else if (item.id == 0) {
            menu->addSeparator();
        } else {
            menu->addAction(MakeCommandAction(menu, item.id, item.text));
        }
    }
}

void BuildMenuBar(QMenuBar* bar, const MenuTemplate& menu, CommandStart start) {
    for (const MenuItem& popup : menu.items) {
        QMenu* top = bar->addMenu(QString::fromStdWString(popup.text));
        BuildMenu(top, popup.items);
        BindCommandMenu(top, start);
    }
}

void BindAccelerators(QWidget* window, const std::vector<Accelerator>& table, CommandStart start) {
    for (const Accelerator& a : table) BindCommandKey(window, a.key, a.id, start);
}
