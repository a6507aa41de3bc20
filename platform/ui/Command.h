#pragma once
// Commands keep their numeric ids. Each command target holds a table of handlers
// and update handlers (by id or id range) and names the next target of its route;
// every way of issuing a command (menu, tool bar, key, context menu, a child window)
// goes through DispatchCommand, which asks the update handler first and drops a
// command that is disabled at that moment.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QList>

#include "platform/win32/Win32Types.h"

class QAction;
class QMenu;
class QToolBar;
class QWidget;
class QKeySequence;
class QPoint;

// The state an update handler fills in for one command.
class CCmdUI {
public:
    explicit CCmdUI(UINT id) : m_nID(id) {}

    void Enable(BOOL on = TRUE) { m_bEnabled = on != FALSE; }
    // 0 clear, 1 ticked, 2 indeterminate (shown as ticked in menus)
    void SetCheck(int state = 1) { m_nCheck = state; m_bRadio = false; }
    void SetRadio(BOOL on = TRUE) { m_nCheck = on ? 1 : 0; m_bRadio = true; }
    void SetText(const std::wstring& text) { m_text = text; }

    UINT m_nID;
    bool m_bEnabled = true;
    int m_nCheck = 0;
    bool m_bRadio = false;
    std::optional<std::wstring> m_text;
};

class CCmdTarget {
public:
    using Handler = std::function<void(UINT id)>;
    using UpdateHandler = std::function<void(CCmdUI& ui)>;

    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    void OnCommand(UINT id, Handler handler) { OnCommandRange(id, id, std::move(handler)); }
    void OnCommandRange(UINT first, UINT last, Handler handler);
    void OnUpdateCommand(UINT id, UpdateHandler update) { OnUpdateCommandRange(id, id, std::move(update)); }
    void OnUpdateCommandRange(UINT first, UINT last, UpdateHandler update);

    const Handler* FindHandler(UINT id) const;
    const UpdateHandler* FindUpdateHandler(UINT id) const;

    // The target asked after this one (view -> document -> frame -> application,
    // dialog -> owner). Null ends the route.
    void SetNextCommandTarget(CCmdTarget* next) { m_pNextTarget = next; }
    virtual CCmdTarget* GetNextCommandTarget() const { return m_pNextTarget; }

private:
    template <typename F>
    struct Entry {
        UINT first;
        UINT last;
        F fn;
    };
    std::vector<Entry<Handler>> m_handlers;
    std::vector<Entry<UpdateHandler>> m_updates;
    CCmdTarget* m_pNextTarget = nullptr;
};

// The application object: asked last on every route that has not reached it.
void SetApplicationCommandTarget(CCmdTarget* app);
CCmdTarget* GetApplicationCommandTarget();

// The state of a command along the route from start: the first update handler found
// decides; without one, a command is enabled exactly when some target handles it.
CCmdUI QueryCommand(CCmdTarget& start, UINT id);

// Runs the command's update handler, then its handler, unless the command is disabled
// or nobody handles it. Returns whether a handler ran. An exception a handler throws
// ends there: the failure hook runs, then an "Error" box with the stop icon shows the
// exception's text, and the program goes on.
bool DispatchCommand(CCmdTarget& start, UINT id);

// What a failed command must undo, such as ending a run and closing its files; set by
// the application, empty by default.
void SetCommandFailureHook(std::function<void()> hook);

// Where commands issued through Qt start their route; usually the active view.
using CommandStart = std::function<CCmdTarget*()>;

// A menu item or tool button standing for a command.
QAction* MakeCommandAction(QWidget* owner, UINT id, const std::wstring& text);
UINT CommandIdOf(const QAction* action);  // 0 when the action is no command

// Applies the command states to every command action of a menu tree (recursively).
void RefreshCommandActions(const QList<QAction*>& actions, CCmdTarget& start);

// A top-level menu refreshes its whole tree when shown and dispatches the item chosen
// anywhere in it (bind top-level menus only: submenus report through them).
void BindCommandMenu(QMenu* menu, CommandStart start);
// The tool bar refreshes on a short idle timer; a pressed button is dispatched.
void BindCommandToolBar(QToolBar* bar, CommandStart start, int intervalMs = 250);
// A key of the accelerator table, active anywhere in window.
void BindCommandKey(QWidget* window, const QKeySequence& key, UINT id, CommandStart start);
// Shows a context menu at a screen point and dispatches the chosen command after the
// menu has closed; returns the command id or 0.
UINT RunCommandContextMenu(QMenu* menu, const QPoint& screenPos, CommandStart start);
// A command sent by a child window to its owner (synchronous) or posted (queued).
bool SendCommand(CCmdTarget& target, UINT id);
void PostCommand(QWidget* context, CCmdTarget& target, UINT id);
