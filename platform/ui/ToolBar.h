#pragma once
// Tool bars as data: per template its id, the button size and its buttons in order
// (0 is a separator), each with its picture. A loaded tool bar's buttons are command
// actions; their tool tips come from the menu item of the same command.
#include <QImage>
#include <QToolBar>
#include <map>
#include <vector>

#include "platform/ui/Command.h"

struct MenuTemplate;

struct ToolBarTemplate {
    UINT id = 0;
    QSize buttonSize{16, 15};
    std::vector<UINT> buttons;
    std::map<UINT, QImage> images;  // by command id
};

void RegisterToolBarTemplate(ToolBarTemplate bar);
const ToolBarTemplate* FindToolBarTemplate(UINT id);

// A menu item's text as a tool tip: mnemonics dropped, the key name after the tab put
// in brackets ("Open(&O)...\tCtrl+O" gives "Open... (Ctrl+O)").
std::wstring ToolTipFromMenuText(const std::wstring& text);

class CToolBar : public QToolBar {
public:
    // nID is the bar's command id (the one that shows and hides it).
    CToolBar(QWidget* parent, UINT nID);

    // Builds the buttons of template id; false when there is no such template. Tool
    // tips are taken from texts when given.
    BOOL LoadToolBar(UINT id, const MenuTemplate* texts = nullptr);
    UINT GetID() const { return m_nID; }
    // The button of a command, or null.
    QAction* FindButton(UINT id) const;

private:
    UINT m_nID;
};
