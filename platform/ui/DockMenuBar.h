#pragma once
// The menu bar as a bar that docks like a tool bar. Lying along the top or the bottom
// it holds the frame's menu bar itself; standing at the left or the right it shows the
// same top-level menus as a column of buttons, which open them and keep their
// mnemonics. Either way the menus are the frame's, so their command binding stays.
#include <QMenuBar>
#include <QToolBar>

#include "platform/win32/Win32Types.h"

// A menu bar that asks for the room of all its items in one row. Qt's own asks for
// the width of its first item and relies on the window giving it the whole width,
// which a tool bar does not do.
class CRowMenuBar : public QMenuBar {
public:
    explicit CRowMenuBar(QWidget* parent) : QMenuBar(parent) {}
    QSize sizeHint() const override;

private:
    QSize ItemSize(QAction* a) const;
};

class CDockMenuBar : public QToolBar {
public:
    CDockMenuBar(QWidget* parent, UINT nID);

    // Takes the frame's menu bar into this bar; false when there is none.
    BOOL Create(QMenuBar* menuBar);
    QMenuBar* GetMenuBar() const { return m_pMenuBar; }
    UINT GetID() const { return m_nID; }

private:
    void OnOrientation(Qt::Orientation orientation);

    UINT m_nID;
    QMenuBar* m_pMenuBar = nullptr;
    QAction* m_pMenuBarAction = nullptr;
    QList<QAction*> m_columnButtons;
};
