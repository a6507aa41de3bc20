#include "platform/ui/MenuTemplate.h"

#include <QMenu>
#include <QMenuBar>
#include <map>

namespace {
std::map<UINT, MenuTemplate>& Menus() {
    static std::map<UINT, MenuTemplate> menus;
    return menus;
}

std::map<UINT, std::vector<Accelerator>>& AcceleratorTables() {
    static std::map<UINT, std::vector<Accelerator>> tables;
    return tables;
}

const MenuItem* FindItem(const std::vector<MenuItem>& items, UINT id) {
    for (const MenuItem& item : items) {
        if (item.items.empty()) {
            if (item.id == id && id != 0) return &item;
        } else if (const MenuItem* found = FindItem(item.items, id)) {
            return found;
        }
    }
    return nullptr;
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

std::wstring FindMenuItemText(const MenuTemplate& menu, UINT id) {
    const MenuItem* item = FindItem(menu.items, id);
    return item ? item->text : std::wstring();
}

void RegisterAcceleratorTable(UINT id, std::vector<Accelerator> table) {
    AcceleratorTables()[id] = std::move(table);
}

const std::vector<Accelerator>* FindAcceleratorTable(UINT id) {
    const auto it = AcceleratorTables().find(id);
    return it == AcceleratorTables().end() ? nullptr : &it->second;
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

UINT TrackContextMenu(QWidget* owner, UINT menuId, size_t popup, const QPoint& screenPos,
                      CommandStart start) {
    const MenuTemplate* menu = FindMenuTemplate(menuId);
    if (!menu || popup >= menu->items.size()) return 0;
    QMenu context(owner);
    BuildMenu(&context, menu->items[popup].items);
    return RunCommandContextMenu(&context, screenPos, std::move(start));
}
