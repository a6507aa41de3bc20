#pragma once
// Menus and accelerator tables as data, built into Qt menus whose items are command
// actions. A "\t" in an item's text separates the key name shown at the right.
#include <QKeySequence>
#include <string>
#include <vector>

#include "platform/ui/Command.h"

class QMenu;
class QMenuBar;
class QPoint;
class QWidget;

struct MenuItem {
    UINT id = 0;        // a command; 0 with no items is a separator
    std::wstring text = {};
    std::vector<MenuItem> items = {};  // non-empty: a popup
};

struct MenuTemplate {
    UINT id = 0;
    std::vector<MenuItem> items;  // the top-level popups
};

struct Accelerator {
    QKeySequence key;
    UINT id = 0;
};

void RegisterMenuTemplate(MenuTemplate menu);
const MenuTemplate* FindMenuTemplate(UINT id);
// The text of the first item with command id anywhere in the template; empty when none.
std::wstring FindMenuItemText(const MenuTemplate& menu, UINT id);

void RegisterAcceleratorTable(UINT id, std::vector<Accelerator> table);
// Null when no table has that id.
const std::vector<Accelerator>* FindAcceleratorTable(UINT id);

// Appends items to menu (popups become submenus).
void BuildMenu(QMenu* menu, const std::vector<MenuItem>& items);
// One top-level menu per popup of the template, each refreshed when shown and
// dispatching what is chosen in it.
void BuildMenuBar(QMenuBar* bar, const MenuTemplate& menu, CommandStart start);
void BindAccelerators(QWidget* window, const std::vector<Accelerator>& table, CommandStart start);

// Shows popup number popup of menu template menuId at a screen point and dispatches the
// chosen command after the menu has closed. Returns the command id, 0 when nothing was
// chosen or the template has no such popup.
UINT TrackContextMenu(QWidget* owner, UINT menuId, size_t popup, const QPoint& screenPos,
                      CommandStart start);
