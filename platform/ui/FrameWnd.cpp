#include "platform/ui/FrameWnd.h"

#include <QCloseEvent>
#include <QDataStream>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QToolBar>

#include "foundation/LangString.h"
#include "platform/registry/Profile.h"
#include "platform/ui/DockMenuBar.h"
#include "platform/ui/Document.h"
#include "platform/ui/Icons.h"
#include "platform/ui/MenuTemplate.h"
#include "platform/ui/RecentFileList.h"
#include "platform/ui/WinApp.h"

namespace {

// Layout blob: a tag, Qt's own state of the tool bars, then the shown flag of every
// other bar by id. A blob that does not parse is ignored.
constexpr quint32 kBarStateTag = 0x54424C31;  // "TBL1"
constexpr int kQtStateVersion = 1;
constexpr quint32 kMaxStoredBars = 64;
const wchar_t kBarStateEntry[] = L"BarLayout";

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.rfind(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// A literal "[*]" in a title would be taken for the modified-flag placeholder.
QString EscapeTitle(const std::wstring& title) {
    return QString::fromStdWString(title).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
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
    OnCommand(id, [this](UINT cmd) { ShowControlBar(cmd, !IsControlBarVisible(cmd)); });
    OnUpdateCommand(id, [this](CCmdUI& ui) {
        const ControlBar* b = FindControlBar(ui.m_nID);
        ui.SetCheck(IsControlBarVisible(ui.m_nID) ? 1 : 0);
        if (b && b->title) ui.SetText(b->title());
    });
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

void CFrameWnd::SaveBarState() const {
    if (m_strBarStateSection.empty()) return;
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
