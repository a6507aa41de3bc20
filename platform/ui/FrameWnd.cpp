#include "platform/ui/FrameWnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDataStream>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QToolBar>
#include <algorithm>

#include "foundation/LangString.h"
#include "platform/registry/Profile.h"
#include "platform/ui/ByteNameModel.h"
#include "platform/ui/DockMenuBar.h"
#include "platform/ui/Document.h"
#include "platform/ui/Icons.h"
#include "platform/ui/MenuTemplate.h"
#include "platform/ui/RecentFileList.h"
#include "platform/ui/ToolBar.h"
#include "platform/ui/WinApp.h"

namespace {

// Layout blob: a tag, Qt's own state of the tool bars, then the shown flag of every
// other bar by id. A blob that does not parse is ignored.
constexpr quint32 kBarStateTag = 0x54424C31;  // "TBL1"
constexpr int kQtStateVersion = 1;
constexpr quint32 kMaxStoredBars = 64;
const wchar_t kBarStateEntry[] = L"BarLayout";

// Tool bar blob: a tag, the number of bars, then per bar its id, name, whether it shows
// labels and its buttons (0 a separator). It is taken only when it parses whole.
constexpr quint32 kToolBarsTag = 0x54424331;  // "TBC1"
constexpr quint32 kMaxStoredButtons = 256;
constexpr qsizetype kMaxBarName = 256;
const wchar_t kToolBarsEntry[] = L"ToolBars";
const wchar_t kMenuAnimationEntry[] = L"MenuAnimation";

struct StoredToolBar {
    quint32 id = 0;
    QString name;
    bool labels = false;
    std::vector<UINT> buttons;
};

bool ReadStoredToolBar(QDataStream& in, StoredToolBar& bar) {
    quint32 count = 0;
    in >> bar.id >> bar.name >> bar.labels >> count;
    if (in.status() != QDataStream::Ok || count > kMaxStoredButtons) return false;
    for (quint32 i = 0; i < count; ++i) {
        quint32 id = 0;
        in >> id;
        bar.buttons.push_back(id);
    }
    bar.name.truncate(kMaxBarName);
    return in.status() == QDataStream::Ok;
}

// The menu whose own items include command id, searched below menu.
QMenu* DirectMenuOf(QMenu* menu, UINT id) {
    for (QAction* a : menu->actions()) {
        if (QMenu* sub = a->menu()) {
            if (QMenu* found = DirectMenuOf(sub, id)) return found;
        } else if (CommandIdOf(a) == id) {
            return menu;
        }
    }
    return nullptr;
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.rfind(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// A literal "[*]" in a title would be taken for the modified-flag placeholder.
// A name that is not UTF-8 shows as the open dialog lists it, not as U+FFFD.
QString EscapeTitle(const std::wstring& title) {
    return PathForDisplay(title).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

QMenu* MenuHolding(QMenu* menu, UINT id) {
    for (QAction* a : menu->actions()) {
        if (QMenu* sub = a->menu()) {
            if (MenuHolding(sub, id)) return menu;
        } else if (CommandIdOf(a) == id) {
            return menu;
        }
    }
    return nullptr;
}

}  // namespace

CFrameWnd::CFrameWnd() : QMainWindow(nullptr) {}

CFrameWnd::~CFrameWnd() {
    DestroyView();
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT&) {
    return TRUE;
}

BOOL CFrameWnd::LoadFrame(UINT menuId, UINT resourceId, CCreateContext* context) {
    CREATESTRUCT cs;
    if (!PreCreateWindow(cs)) return FALSE;
    if (cs.cx > 0 && cs.cy > 0) resize(cs.cx, cs.cy);
    m_nMenuId = menuId;
    m_pDocument = context ? context->m_pCurrentDoc : nullptr;
    BuildMenuBar();
    if (const auto* keys = FindAcceleratorTable(resourceId))
        BindAccelerators(this, *keys, GetCommandStart());
    setWindowIcon(LoadIconResource(resourceId));
    m_pCreateContext = context;
    const int created = OnCreate();
    m_pCreateContext = nullptr;
    if (created == -1) return FALSE;
    LoadBarState();
    OnUpdateFrameTitle();
    return TRUE;
}

void CFrameWnd::BuildMenuBar() {
    m_pMenuBar = new CRowMenuBar(this);
    setMenuBar(m_pMenuBar);
    const MenuTemplate* menu = FindMenuTemplate(m_nMenuId);
    if (!menu) return;
    ::BuildMenuBar(m_pMenuBar, *menu, GetCommandStart());
    CWinApp* app = AfxGetApp();
    CRecentFileList* recent = app ? app->GetRecentFileList() : nullptr;
    if (!recent) return;
    if (QMenu* file = FindMenuWithCommand(recent->GetFirstId())) {
        recent->UpdateMenu(file);
        connect(file, &QMenu::aboutToShow, this, [file] {
            if (CWinApp* a = AfxGetApp(); a && a->GetRecentFileList())
                a->GetRecentFileList()->UpdateMenu(file);
        });
    }
}

int CFrameWnd::OnCreate() {
    return OnCreateClient(m_pCreateContext) ? 0 : -1;
}

BOOL CFrameWnd::OnCreateClient(CCreateContext* context) {
    if (!context || !context->m_viewFactory) return TRUE;
    CWnd* view = context->m_viewFactory(*this);
    if (!view) return FALSE;
    setCentralWidget(view->GetWidget());
    m_pActiveView = view;
    if (m_pDocument) {
        m_pDocument->SetView(view);
        view->SetNextCommandTarget(m_pDocument);
        m_pDocument->SetNextCommandTarget(this);
    } else {
        view->SetNextCommandTarget(this);
    }
    return TRUE;
}

void CFrameWnd::DestroyView() {
    if (!m_pActiveView) return;
    CWnd* view = m_pActiveView;
    m_pActiveView = nullptr;
    delete view->GetWidget();
    if (m_pDocument && m_pDocument->GetView() == view) m_pDocument->SetView(nullptr);
}

CommandStart CFrameWnd::GetCommandStart() {
    return [this]() -> CCmdTarget* {
        if (m_pActiveView) return m_pActiveView;
        return this;
    };
}

void CFrameWnd::PostFrameCommand(UINT id) {
    QMetaObject::invokeMethod(
        this,
        [this, id] {
            if (CCmdTarget* t = GetCommandStart()()) DispatchCommand(*t, id);
        },
        Qt::QueuedConnection);
}

void CFrameWnd::OnUpdateFrameTitle() {
    const std::wstring app = LoadStringTableEntry(AFX_IDS_APP_TITLE);
    const std::wstring path = m_pDocument ? m_pDocument->GetPathName() : std::wstring();
    setWindowTitle(EscapeTitle(path.empty() ? app : FileNameOf(path) + L" - " + app));
}

void CFrameWnd::CenterWindow() {
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s) return;
    const QRect area = s->availableGeometry();
    const QSize size = frameGeometry().size();
    move(area.x() + (area.width() - size.width()) / 2,
         area.y() + (area.height() - size.height()) / 2);
}

QMenu* CFrameWnd::FindMenuWithCommand(UINT id) const {
    if (!m_pMenuBar) return nullptr;
    for (QAction* top : m_pMenuBar->actions())
        if (QMenu* menu = top->menu(); menu && MenuHolding(menu, id)) return menu;
    return nullptr;
}

void CFrameWnd::AddControlBar(UINT id, QWidget* bar, std::function<std::wstring()> title) {
    m_controlBars.push_back({id, bar, std::move(title)});
    // A user's tool bar id comes back after its bar was deleted; its handlers stay.
    if (!FindHandler(id)) {
        OnCommand(id, [this](UINT cmd) { ShowControlBar(cmd, !IsControlBarVisible(cmd)); });
        OnUpdateCommand(id, [this](CCmdUI& ui) {
            const ControlBar* b = FindControlBar(ui.m_nID);
            ui.Enable(b != nullptr);
            ui.SetCheck(IsControlBarVisible(ui.m_nID) ? 1 : 0);
            if (b && b->title) ui.SetText(b->title());
        });
    }
    RefreshToolBarList();
}

std::vector<CToolBar*> CFrameWnd::GetToolBars() const {
    std::vector<CToolBar*> bars;
    for (const ControlBar& b : m_controlBars)
        if (auto* bar = dynamic_cast<CToolBar*>(b.bar)) bars.push_back(bar);
    return bars;
}

void CFrameWnd::EnableUserToolBars(UINT first, UINT last) {
    m_nFirstUserBar = first;
    m_nLastUserBar = last;
}

UINT CFrameWnd::FreeUserToolBarId() const {
    for (UINT id = m_nFirstUserBar; id <= m_nLastUserBar; ++id)
        if (!FindControlBar(id)) return id;
    return 0;
}

CToolBar* CFrameWnd::CreateUserToolBar(const std::wstring& name) {
    const UINT id = FreeUserToolBarId();
    return id ? OnToolbarCreateNew(id, name) : nullptr;
}

CToolBar* CFrameWnd::OnToolbarCreateNew(UINT id, const std::wstring& name) {
    auto* bar = new CToolBar(this, id);
    bar->setWindowTitle(QString::fromStdWString(name));
    bar->setAllowedAreas(Qt::AllToolBarAreas);
    const std::vector<CToolBar*> others = GetToolBars();
    if (!others.empty()) bar->setIconSize(others.front()->iconSize());
    bar->SetCustomizeMode(m_bCustomizing);
    addToolBar(Qt::TopToolBarArea, bar);
    BindCommandToolBar(bar, GetCommandStart());
    AddControlBar(id, bar, [bar] { return bar->windowTitle().toStdWString(); });
    bar->show();
    return bar;
}

void CFrameWnd::RenameToolBar(UINT id, const std::wstring& name) {
    if (QWidget* bar = GetControlBar(id)) bar->setWindowTitle(QString::fromStdWString(name));
    RefreshToolBarList();
}

bool CFrameWnd::DeleteUserToolBar(UINT id) {
    if (!IsUserToolBar(id)) return false;
    const auto it = std::find_if(m_controlBars.begin(), m_controlBars.end(),
                                 [id](const ControlBar& b) { return b.id == id; });
    if (it == m_controlBars.end()) return false;
    auto* bar = qobject_cast<QToolBar*>(it->bar);
    m_controlBars.erase(it);
    removeToolBar(bar);
    delete bar;
    RefreshToolBarList();
    return true;
}

void CFrameWnd::SetCustomizeMode(bool on) {
    m_bCustomizing = on;
    for (CToolBar* bar : GetToolBars()) bar->SetCustomizeMode(on);
}

void CFrameWnd::SetMenuAnimation(int animation) {
    m_nMenuAnimation = std::clamp(animation, int{kMenuAnimationNone}, int{kMenuAnimationFade});
    const bool animate = m_nMenuAnimation != kMenuAnimationNone;
    if (animate) QApplication::setEffectEnabled(Qt::UI_General, true);
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, animate);
    QApplication::setEffectEnabled(Qt::UI_FadeMenu, m_nMenuAnimation == kMenuAnimationFade);
}

void CFrameWnd::RefreshToolBarList() {
    QMenu* menu = nullptr;
    if (m_pMenuBar)
        for (QAction* top : m_pMenuBar->actions())
            if (top->menu() && (menu = DirectMenuOf(top->menu(), ID_VIEW_TOOLBAR))) break;
    if (!menu) return;
    for (QAction* a : menu->actions()) {
        if (IsUserToolBar(CommandIdOf(a))) {
            menu->removeAction(a);
            delete a;
        }
    }
    const QList<QAction*> items = menu->actions();
    const qsizetype anchor = std::find_if(items.begin(), items.end(), [](QAction* a) {
                                 return CommandIdOf(a) == ID_VIEW_TOOLBAR;
                             }) - items.begin();
    QAction* next = anchor + 1 < items.size() ? items[anchor + 1] : nullptr;
    for (CToolBar* bar : GetToolBars())
        if (IsUserToolBar(bar->GetID()))
            menu->insertAction(next, MakeCommandAction(menu, bar->GetID(),
                                                       bar->windowTitle().toStdWString()));
}

const CFrameWnd::ControlBar* CFrameWnd::FindControlBar(UINT id) const {
    for (const ControlBar& b : m_controlBars)
        if (b.id == id) return &b;
    return nullptr;
}

QWidget* CFrameWnd::GetControlBar(UINT id) const {
    const ControlBar* b = FindControlBar(id);
    return b ? b->bar : nullptr;
}

void CFrameWnd::ShowControlBar(UINT id, bool show) {
    if (QWidget* bar = GetControlBar(id)) bar->setVisible(show);
}

bool CFrameWnd::IsControlBarVisible(UINT id) const {
    const QWidget* bar = GetControlBar(id);
    return bar && !bar->isHidden();
}

void CFrameWnd::EnablePaneMenu(UINT customizeId, std::wstring customizeText) {
    m_nCustomizeId = customizeId;
    m_strCustomizeText = std::move(customizeText);
}

QMenu* CFrameWnd::createPopupMenu() {
    if (m_nCustomizeId == 0) return nullptr;
    auto* menu = new QMenu(this);
    for (const ControlBar& b : m_controlBars) {
        if (!qobject_cast<QToolBar*>(b.bar)) continue;
        const std::wstring text = b.title ? b.title() : b.bar->windowTitle().toStdWString();
        menu->addAction(MakeCommandAction(menu, b.id, text));
    }
    menu->addSeparator();
    menu->addAction(MakeCommandAction(menu, m_nCustomizeId, m_strCustomizeText));
    BindCommandMenu(menu, GetCommandStart());
    return menu;
}

bool CFrameWnd::IsOfferedCommand(UINT id) const {
    const MenuTemplate* menu = FindMenuTemplate(m_nMenuId);
    return (menu && !FindMenuItemText(*menu, id).empty()) || !FindCommandImage(id).isNull();
}

void CFrameWnd::SaveToolBars() const {
    const std::vector<CToolBar*> bars = GetToolBars();
    QByteArray blob;
    QDataStream out(&blob, QIODevice::WriteOnly);
    out << kToolBarsTag << quint32(bars.size());
    for (const CToolBar* bar : bars) {
        const std::vector<UINT> buttons = bar->GetButtons();
        out << quint32{bar->GetID()} << bar->windowTitle() << bar->GetTextLabels()
            << quint32(buttons.size());
        for (UINT id : buttons) out << quint32{id};
    }
    WriteProfileBinary(m_strBarStateSection.c_str(), kToolBarsEntry,
                       reinterpret_cast<const BYTE*>(blob.constData()),
                       static_cast<UINT>(blob.size()));
    WriteProfileInt(m_strBarStateSection.c_str(), kMenuAnimationEntry, m_nMenuAnimation);
}

void CFrameWnd::LoadToolBars() {
    SetMenuAnimation(static_cast<int>(GetProfileInt(m_strBarStateSection.c_str(),
                                                    kMenuAnimationEntry, kMenuAnimationNone)));
    std::vector<BYTE> bytes;
    if (!GetProfileBinary(m_strBarStateSection.c_str(), kToolBarsEntry, bytes)) return;
    QDataStream in(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                              static_cast<qsizetype>(bytes.size())));
    quint32 tag = 0;
    quint32 count = 0;
    in >> tag >> count;
    if (in.status() != QDataStream::Ok || tag != kToolBarsTag || count > kMaxStoredBars) return;
    std::vector<StoredToolBar> stored(count);
    for (StoredToolBar& bar : stored)
        if (!ReadStoredToolBar(in, bar)) return;
    for (const StoredToolBar& s : stored) {
        auto* bar = dynamic_cast<CToolBar*>(GetControlBar(s.id));
        if (!bar && IsUserToolBar(s.id)) bar = OnToolbarCreateNew(s.id, s.name.toStdWString());
        if (!bar) continue;
        std::vector<UINT> buttons;
        for (UINT id : s.buttons)
            if (id == 0 || IsOfferedCommand(id)) buttons.push_back(id);
        bar->SetButtons(buttons);
        bar->SetTextLabels(s.labels);
    }
}

void CFrameWnd::SaveBarState() const {
    if (m_strBarStateSection.empty()) return;
    SaveToolBars();
    QByteArray blob;
    QDataStream out(&blob, QIODevice::WriteOnly);
    out << kBarStateTag << saveState(kQtStateVersion);
    quint32 others = 0;
    for (const ControlBar& b : m_controlBars)
        if (!qobject_cast<QToolBar*>(b.bar)) ++others;
    out << others;
    for (const ControlBar& b : m_controlBars)
        if (!qobject_cast<QToolBar*>(b.bar)) out << quint32{b.id} << !b.bar->isHidden();
    WriteProfileBinary(m_strBarStateSection.c_str(), kBarStateEntry,
                       reinterpret_cast<const BYTE*>(blob.constData()),
                       static_cast<UINT>(blob.size()));
}

void CFrameWnd::LoadBarState() {
    if (m_strBarStateSection.empty()) return;
    LoadToolBars();
    std::vector<BYTE> bytes;
    if (!GetProfileBinary(m_strBarStateSection.c_str(), kBarStateEntry, bytes) || bytes.empty())
        return;
    const QByteArray blob(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    QDataStream in(blob);
    quint32 tag = 0;
    QByteArray state;
    quint32 others = 0;
    in >> tag >> state >> others;
    if (in.status() != QDataStream::Ok || tag != kBarStateTag) return;
    restoreState(state, kQtStateVersion);
    for (quint32 i = 0; i < others && i < kMaxStoredBars; ++i) {
        quint32 id = 0;
        bool shown = true;
        in >> id >> shown;
        if (in.status() != QDataStream::Ok) return;
        if (GetControlBar(id) && !qobject_cast<QToolBar*>(GetControlBar(id)))
            ShowControlBar(id, shown);
    }
}

BOOL CFrameWnd::CanCloseFrame() {
    return m_pDocument ? m_pDocument->SaveModified() : TRUE;
}

void CFrameWnd::closeEvent(QCloseEvent* event) {
    if (!CanCloseFrame()) {
        event->ignore();
        return;
    }
    SaveBarState();
    event->accept();
    if (CWinApp* app = AfxGetApp(); app && app->GetMainWnd() == this) app->OnMainFrameClosed();
}
