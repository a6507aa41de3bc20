#include "app/MainFrame.h"

#include "app/ApplicationLook.h"
#include "foundation/LangString.h"
#include "foundation/RegUtil.h"
#include "platform/ui/CustomizeDlg.h"
#include "platform/ui/DockMenuBar.h"
#include "platform/ui/MenuTemplate.h"
#include "platform/ui/StatusBar.h"
#include "platform/ui/ToolBar.h"
#include "platform/ui/UiServices.h"
#include "resources/AppResources.h"

namespace {

constexpr int kWidth = 760;
constexpr int kHeight = 675;
constexpr int kOutputPaneWidth = 250;
constexpr int kQualityPaneWidth = 50;
const wchar_t kWorkspace[] = L"Workspace";
const wchar_t kApplicationLook[] = L"ApplicationLook";
// The dialog offers labels and menu animations; it has no help button, and menu
// shadows are the window system's.
constexpr UINT kCustomizeFlags = kCustomizeTextLabels | kCustomizeMenuAnimations;

int NiceOf(UINT priorityId) {
    switch (priorityId) {
        case ID_PRIORITY_HIGH:
            return kNiceHigh;
        case ID_PRIORITY_LOW:
            return kNiceLow;
        default:
            return kNiceNormal;
    }
}

}  // namespace

CMainFrame::CMainFrame(std::unique_ptr<IProcessPriority> priority)
    : m_nAppLook(
          ProfileGetInt(kWorkspace, kApplicationLook, static_cast<int>(ID_VIEW_APPLOOK_DEFAULT))),
      m_pPriority(priority ? std::move(priority) : std::make_unique<CProcessPriority>()) {
    SetBarStateSection(kWorkspace);
    RegisterCommands();
}

CMainFrame::~CMainFrame() = default;

BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs) {
    cs.cx = kWidth;
    cs.cy = kHeight;
    return CFrameWnd::PreCreateWindow(cs);
}

int CMainFrame::OnCreate() {
    if (CFrameWnd::OnCreate() == -1) return -1;
    OnApplicationLook(m_nAppLook);
    if (!CreateMenuBar() || !CreateToolBar() || !CreateStatusBar()) return -1;
    EnableUserToolBars(ID_VIEW_USER_TOOLBAR_FIRST, ID_VIEW_USER_TOOLBAR_LAST);
    setDockOptions(AnimatedDocks | AllowNestedDocks | AllowTabbedDocks);
    EnablePaneMenu(ID_VIEW_CUSTOMIZE, GetMsgCustomize());
    m_pStatusBar->SetPaneWidth(1, kOutputPaneWidth);
    m_pStatusBar->SetPaneWidth(2, kQualityPaneWidth);
    // Threads started before the frame (Qt's own among them) take the main thread's value.
    m_pPriority->SetNice(m_pPriority->GetNice());
    return 0;
}

BOOL CMainFrame::CreateMenuBar() {
    m_pMenuBar = new CDockMenuBar(this, ID_VIEW_MENUBAR);
    if (!m_pMenuBar->Create(GetMenuBarWidget())) return FALSE;
    m_pMenuBar->setAllowedAreas(Qt::AllToolBarAreas);
    addToolBar(Qt::TopToolBarArea, m_pMenuBar);
    addToolBarBreak(Qt::TopToolBarArea);
    return TRUE;
}

BOOL CMainFrame::CreateToolBar() {
    m_pToolBar = new CToolBar(this, ID_VIEW_TOOLBAR);
    if (!m_pToolBar->LoadToolBar(IDR_MAINFRAME, FindMenuTemplate(GetMenuId()))) return FALSE;
    m_pToolBar->setWindowTitle(QString::fromStdWString(GetMsgDefault()));
    m_pToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
    BindCommandToolBar(m_pToolBar, GetCommandStart());
    m_pToolBar->EnableCustomizeButton(ID_VIEW_CUSTOMIZE, GetMsgCustomize(), GetCommandStart());
    AddControlBar(ID_VIEW_TOOLBAR, m_pToolBar, [] { return GetMsgDefault(); });
    return TRUE;
}

BOOL CMainFrame::CreateStatusBar() {
    m_pStatusBar = new CStatusBar(this);
    if (!m_pStatusBar->SetIndicators({{ID_SEPARATOR, L""},
                                      {ID_INDICATOR_OUTPUT, LoadLangString(50003, 50004)},
                                      {ID_INDICATOR_QUALITY, L"     "}}))
        return FALSE;
    setStatusBar(m_pStatusBar);
    AddControlBar(ID_VIEW_STATUS_BAR, m_pStatusBar);
    return TRUE;
}

CToolBar* CMainFrame::OnToolbarCreateNew(UINT id, const std::wstring& name) {
    CToolBar* bar = CFrameWnd::OnToolbarCreateNew(id, name);
    if (bar) bar->EnableCustomizeButton(ID_VIEW_CUSTOMIZE, GetMsgCustomize(), GetCommandStart());
    return bar;
}

// A dialog closed earlier is only hidden; it is replaced here, outside its own handlers.
void CMainFrame::OnViewCustomize() {
    if (m_pCustomizeDlg && m_pCustomizeDlg->isVisible()) {
        m_pCustomizeDlg->raise();
        m_pCustomizeDlg->activateWindow();
        return;
    }
    delete m_pCustomizeDlg;
    m_pCustomizeDlg = new CCustomizeDlg(*this, kCustomizeFlags);
    m_pCustomizeDlg->show();
}

void CMainFrame::RegisterCommands() {
    OnCommand(ID_VIEW_CUSTOMIZE, [this](UINT) { OnViewCustomize(); });
    OnCommandRange(ID_VIEW_APPLOOK_FIRST, ID_VIEW_APPLOOK_LAST,
                   [this](UINT id) { OnApplicationLook(id); });
    OnUpdateCommandRange(ID_VIEW_APPLOOK_FIRST, ID_VIEW_APPLOOK_LAST,
                         [this](CCmdUI& ui) { ui.SetRadio(ui.m_nID == m_nAppLook); });
    OnCommandRange(ID_PRIORITY_HIGH, ID_PRIORITY_LOW, [this](UINT id) { OnPriority(id); });
    OnUpdateCommandRange(ID_PRIORITY_HIGH, ID_PRIORITY_LOW,
                         [this](CCmdUI& ui) { OnUpdatePriority(ui); });
}

void CMainFrame::OnApplicationLook(UINT id) {
    ApplyApplicationLook(this, id);
    m_nAppLook = id;
    ProfileWriteInt(kWorkspace, kApplicationLook, static_cast<int>(id));
}

void CMainFrame::SetStatus(const std::wstring& text, int number) {
    wchar_t digits[16];
    std::swprintf(digits, 16, L"%3d", number);
    m_pStatusBar->SetPaneText(1, text);
    m_pStatusBar->SetPaneText(2, digits);
}

UINT CMainFrame::GetContextMenuId() {
    return IsJapaneseSystem() ? IDR_CONTEXT_JA : IDR_CONTEXT_EN;
}

void CMainFrame::OnPriority(UINT id) {
    if (m_pPriority->SetNice(NiceOf(id))) return;
    ShowMessageBox(this, LoadLangString(50005, 50006), LoadStringTableEntry(AFX_IDS_APP_TITLE),
                   MB_OK | MB_ICONEXCLAMATION);
}

void CMainFrame::OnUpdatePriority(CCmdUI& ui) {
    ui.SetCheck(m_pPriority->GetNice() == NiceOf(ui.m_nID) ? 1 : 0);
}
