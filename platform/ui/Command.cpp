#include "platform/ui/Command.h"

#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>
#include <QShortcut>
#include <QTimer>
#include <QToolBar>
#include <QWidget>

#include <exception>

#include "foundation/LangString.h"
#include "platform/ui/UiServices.h"
#include "platform/win32/WideChar.h"

void CCmdTarget::OnCommandRange(UINT first, UINT last, Handler handler) {
    m_handlers.push_back({first, last, std::move(handler)});
}

void CCmdTarget::OnUpdateCommandRange(UINT first, UINT last, UpdateHandler update) {
    m_updates.push_back({first, last, std::move(update)});
}

const CCmdTarget::Handler* CCmdTarget::FindHandler(UINT id) const {
    for (const auto& e : m_handlers)
        if (id >= e.first && id <= e.last) return &e.fn;
    return nullptr;
}

const CCmdTarget::UpdateHandler* CCmdTarget::FindUpdateHandler(UINT id) const {
    for (const auto& e : m_updates)
        if (id >= e.first && id <= e.last) return &e.fn;
    return nullptr;
}

namespace {

// Bounds the walk so that a route accidentally made circular cannot hang the UI.
constexpr int kMaxRouteLength = 16;

struct Resolved {
    const CCmdTarget::Handler* handler = nullptr;
    const CCmdTarget::UpdateHandler* update = nullptr;
};

CCmdTarget* g_pApp = nullptr;
std::function<void()> g_failureHook;

// The last guard of the program: a command that throws is reported and undone, so
// that one fault never ends the program with the user's run and settings in it.
void ReportCommandFailure(const char* what) {
    if (g_failureHook) {
        try {
            g_failureHook();
        } catch (...) {
            // Undoing failed as well; the box below still tells the user.
        }
    }
    const std::wstring caption = SelectByLanguage(L"エラー", L"Error");
    const std::wstring text = what && *what ? Utf8ToWide(what) : caption;
    ShowMessageBox(nullptr, text, caption, MB_OK | MB_ICONSTOP);
}

void Visit(Resolved& r, const CCmdTarget& t, UINT id) {
    if (!r.handler) r.handler = t.FindHandler(id);
    if (!r.update) r.update = t.FindUpdateHandler(id);
}

Resolved Resolve(CCmdTarget& start, UINT id) {
    Resolved r;
    bool appSeen = false;
    CCmdTarget* t = &start;
    for (int i = 0; t && i < kMaxRouteLength; ++i) {
        Visit(r, *t, id);
        appSeen = appSeen || t == g_pApp;
        t = t->GetNextCommandTarget();
    }
    if (g_pApp && !appSeen) Visit(r, *g_pApp, id);
    return r;
}

}  // namespace

void SetApplicationCommandTarget(CCmdTarget* app) { g_pApp = app; }
void SetCommandFailureHook(std::function<void()> hook) { g_failureHook = std::move(hook); }
CCmdTarget* GetApplicationCommandTarget() { return g_pApp; }

CCmdUI QueryCommand(CCmdTarget& start, UINT id) {
    CCmdUI ui(id);
    const Resolved r = Resolve(start, id);
    ui.m_bEnabled = r.handler != nullptr;
    if (r.update) {
        ui.m_bEnabled = true;
        (*r.update)(ui);
    }
    return ui;
}

bool DispatchCommand(CCmdTarget& start, UINT id) {
    const Resolved r = Resolve(start, id);
    if (!r.handler) return false;
    if (r.update) {
        CCmdUI ui(id);
        (*r.update)(ui);
        if (!ui.m_bEnabled) return false;
    }
    // Copy: the handler may change the tables it was found in.
    const CCmdTarget::Handler handler = *r.handler;
    try {
        handler(id);
    } catch (const std::exception& e) {
        ReportCommandFailure(e.what());
    } catch (...) {
        ReportCommandFailure("");
    }
    return true;
}

namespace {
const char* const kCommandProperty = "talvernCommandId";
const char* const kRadioGroupProperty = "talvernRadioLook";

// Menus draw a bullet instead of a tick for an item of an exclusive group. Each radio
// item gets a group of its own: the look is what counts, while which item is on stays
// the update handler's decision alone.
void ApplyRadioLook(QAction* action, bool radio) {
    QActionGroup* group = action->actionGroup();
    const bool ours = group && group->property(kRadioGroupProperty).toBool();
    if (radio && !group) {
        auto* own = new QActionGroup(action);
        own->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        own->setProperty(kRadioGroupProperty, true);
        own->addAction(action);
    } else if (!radio && ours) {
        group->removeAction(action);
        delete group;
    }
}

void ApplyState(QAction* action, const CCmdUI& ui) {
    action->setEnabled(ui.m_bEnabled);
    const bool checkable = ui.m_nCheck != 0 || ui.m_bRadio || action->isCheckable();
    action->setCheckable(checkable);
    ApplyRadioLook(action, ui.m_bRadio);
    if (checkable) action->setChecked(ui.m_nCheck != 0);
    if (ui.m_text) action->setText(QString::fromStdWString(*ui.m_text));
}

void DispatchAction(QAction* action, const CommandStart& start) {
    const UINT id = CommandIdOf(action);
    if (id == 0) return;
    if (CCmdTarget* t = start()) DispatchCommand(*t, id);
}
}  // namespace

QAction* MakeCommandAction(QWidget* owner, UINT id, const std::wstring& text) {
    auto* action = new QAction(QString::fromStdWString(text), owner);
    action->setProperty(kCommandProperty, static_cast<uint>(id));
    return action;
}

UINT CommandIdOf(const QAction* action) {
    if (!action) return 0;
    return action->property(kCommandProperty).toUInt();
}

void RefreshCommandActions(const QList<QAction*>& actions, CCmdTarget& start) {
    for (QAction* a : actions) {
        if (QMenu* sub = a->menu()) {
            RefreshCommandActions(sub->actions(), start);
            continue;
        }
        if (const UINT id = CommandIdOf(a)) ApplyState(a, QueryCommand(start, id));
    }
}

void BindCommandMenu(QMenu* menu, CommandStart start) {
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, start] {
        if (CCmdTarget* t = start()) RefreshCommandActions(menu->actions(), *t);
    });
    QObject::connect(menu, &QMenu::triggered, menu,
                     [start](QAction* a) { DispatchAction(a, start); });
}

void BindCommandToolBar(QToolBar* bar, CommandStart start, int intervalMs) {
    auto* timer = new QTimer(bar);
    timer->setInterval(intervalMs);
    QObject::connect(timer, &QTimer::timeout, bar, [bar, start] {
        if (CCmdTarget* t = start()) RefreshCommandActions(bar->actions(), *t);
    });
    timer->start();
    QObject::connect(bar, &QToolBar::actionTriggered, bar,
                     [start](QAction* a) { DispatchAction(a, start); });
}

void BindCommandKey(QWidget* window, const QKeySequence& key, UINT id, CommandStart start) {
    auto* shortcut = new QShortcut(key, window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, window, [id, start] {
        if (CCmdTarget* t = start()) DispatchCommand(*t, id);
    });
}

UINT RunCommandContextMenu(QMenu* menu, const QPoint& screenPos, CommandStart start) {
    if (CCmdTarget* t = start()) RefreshCommandActions(menu->actions(), *t);
    QAction* chosen = menu->exec(screenPos);
    const UINT id = CommandIdOf(chosen);
    if (id == 0) return 0;
    if (CCmdTarget* t = start()) DispatchCommand(*t, id);
    return id;
}

bool SendCommand(CCmdTarget& target, UINT id) { return DispatchCommand(target, id); }

void PostCommand(QWidget* context, CCmdTarget& target, UINT id) {
    CCmdTarget* t = &target;
    QMetaObject::invokeMethod(context, [t, id] { DispatchCommand(*t, id); }, Qt::QueuedConnection);
}
