#include "platform/ui/ToolBar.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QToolButton>
#include <climits>

#include "platform/ui/MenuTemplate.h"

const char* const kCommandMimeType = "application/x-talvern-command";

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

QImage FindCommandImage(UINT id) {
    for (const auto& [barId, bar] : ToolBars())
        if (const auto it = bar.images.find(id); it != bar.images.end()) return it->second;
    return {};
}

std::wstring ToolTipFromMenuText(const std::wstring& text) {
    const size_t tab = text.find(L'\t');
    std::wstring tip = StripMnemonics(text.substr(0, tab));
    if (tab != std::wstring::npos && tab + 1 < text.size())
        tip += L" (" + text.substr(tab + 1) + L")";
    return tip;
}

std::wstring LabelFromMenuText(const std::wstring& text) {
    return StripMnemonics(text.substr(0, text.find(L'\t')));
}

QMimeData* MakeCommandMimeData(UINT id) {
    auto* data = new QMimeData;
    data->setData(kCommandMimeType, QByteArray::number(id));
    return data;
}

UINT CommandOfMimeData(const QMimeData* data) {
    if (!data || !data->hasFormat(kCommandMimeType)) return 0;
    bool ok = false;
    const uint id = data->data(kCommandMimeType).toUInt(&ok);
    return ok ? id : 0;
}

CToolBar::CToolBar(QWidget* parent, UINT nID) : QToolBar(parent), m_nID(nID) {
    setObjectName(QStringLiteral("ToolBar%1").arg(nID));
    setAcceptDrops(true);
}

BOOL CToolBar::LoadToolBar(UINT id, const MenuTemplate* texts) {
    const ToolBarTemplate* bar = FindToolBarTemplate(id);
    if (!bar) return FALSE;
    m_nTemplateId = id;
    m_pTexts = texts;
    setIconSize(bar->buttonSize);
    SetButtons(bar->buttons);
    return TRUE;
}

void CToolBar::ResetToolBar() {
    if (const ToolBarTemplate* bar = FindToolBarTemplate(m_nTemplateId)) SetButtons(bar->buttons);
}

QAction* CToolBar::MakeButton(UINT id) {
    if (id == 0) {
        auto* separator = new QAction(this);
        separator->setSeparator(true);
        return separator;
    }
    const std::wstring text = m_pTexts ? FindMenuItemText(*m_pTexts, id) : L"";
    QAction* button = MakeCommandAction(this, id, LabelFromMenuText(text));
    const QImage image = FindCommandImage(id);
    if (!image.isNull()) button->setIcon(QIcon(QPixmap::fromImage(image)));
    button->setToolTip(QString::fromStdWString(ToolTipFromMenuText(text)));
    return button;
}

QList<QAction*> CToolBar::ContentActions() const {
    QList<QAction*> out = actions();
    out.removeAll(m_pCustomizeAction);
    return out;
}

std::vector<UINT> CToolBar::GetButtons() const {
    std::vector<UINT> out;
    for (QAction* a : ContentActions()) out.push_back(a->isSeparator() ? 0 : CommandIdOf(a));
    return out;
}

void CToolBar::SetButtons(const std::vector<UINT>& buttons) {
    for (QAction* a : ContentActions()) {
        removeAction(a);
        delete a;
    }
    for (UINT id : buttons) InsertButton(id, INT_MAX);
}

void CToolBar::InsertButton(UINT id, int index) {
    const QList<QAction*> content = ContentActions();
    QAction* before = index >= 0 && index < content.size() ? content[index] : m_pCustomizeAction;
    QAction* button = MakeButton(id);
    insertAction(before, button);
    if (QWidget* w = widgetForAction(button)) w->installEventFilter(this);
}

QAction* CToolBar::FindButton(UINT id) const {
    for (QAction* a : ContentActions())
        if (CommandIdOf(a) == id) return a;
    return nullptr;
}

void CToolBar::EnableCustomizeButton(UINT id, const std::wstring& text, CommandStart start) {
    if (m_pCustomizeAction) return;
    auto* button = new QToolButton(this);
    button->setObjectName(QStringLiteral("CustomizeButton"));
    button->setArrowType(orientation() == Qt::Horizontal ? Qt::DownArrow : Qt::RightArrow);
    button->setAutoRaise(true);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    auto* menu = new QMenu(button);
    menu->addAction(MakeCommandAction(menu, id, text));
    BindCommandMenu(menu, std::move(start));
    button->setMenu(menu);
    button->setToolTip(QString::fromStdWString(text).trimmed());
    connect(this, &QToolBar::orientationChanged, button, [button](Qt::Orientation o) {
        button->setArrowType(o == Qt::Horizontal ? Qt::DownArrow : Qt::RightArrow);
    });
    m_pCustomizeAction = addWidget(button);
}

void CToolBar::SetTextLabels(bool on) {
    m_bTextLabels = on;
    setToolButtonStyle(on ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
}

int CToolBar::DropIndexAt(const QPoint& pos) const {
    const QList<QAction*> content = ContentActions();
    const bool across = orientation() == Qt::Horizontal;
    for (int i = 0; i < content.size(); ++i) {
        const QRect r = actionGeometry(content[i]);
        if (r.isEmpty()) continue;
        if (across ? pos.x() < r.center().x() : pos.y() < r.center().y()) return i;
    }
    return static_cast<int>(content.size());
}

void CToolBar::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void CToolBar::dragMoveEvent(QDragMoveEvent* event) {
    if (m_bCustomizing && CommandOfMimeData(event->mimeData()) != 0)
        event->acceptProposedAction();
    else
        event->ignore();
}

void CToolBar::dropEvent(QDropEvent* event) {
    const UINT id = CommandOfMimeData(event->mimeData());
    if (!m_bCustomizing || id == 0) {
        event->ignore();
        return;
    }
    InsertButton(id, DropIndexAt(event->position().toPoint()));
    event->acceptProposedAction();
}

// While customising, a press on a button does not issue its command; moving the mouse
// with the button held drags the button off the bar.
bool CToolBar::eventFilter(QObject* watched, QEvent* event) {
    auto* button = qobject_cast<QToolButton*>(watched);
    if (!m_bCustomizing || !button) return QToolBar::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            m_pPressed = mouse->button() == Qt::LeftButton ? button->defaultAction() : nullptr;
            m_pressPos = mouse->globalPosition().toPoint();
            return true;
        }
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (m_pPressed && (mouse->globalPosition().toPoint() - m_pressPos).manhattanLength() >=
                                  QApplication::startDragDistance()) {
                // Started once this event is over: the drag takes the button away.
                QPointer<QAction> pressed = m_pPressed;
                m_pPressed = nullptr;
                QMetaObject::invokeMethod(
                    this, [this, pressed] { if (pressed) DragButtonOff(pressed); },
                    Qt::QueuedConnection);
            }
            return true;
        }
        case QEvent::MouseButtonRelease:
            m_pPressed = nullptr;
            return true;
        default:
            return QToolBar::eventFilter(watched, event);
    }
}

// The button leaves the bar when the drag starts: dropped on a bar it comes back
// there, dropped anywhere else it is gone.
void CToolBar::DragButtonOff(QAction* button) {
    const UINT id = CommandIdOf(button);
    if (id == 0 || !ContentActions().contains(button)) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(MakeCommandMimeData(id));
    if (QWidget* w = widgetForAction(button)) drag->setPixmap(w->grab());
    removeAction(button);
    button->deleteLater();
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}
