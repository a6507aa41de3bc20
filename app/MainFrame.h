#pragma once
// The main frame: the docking menu bar, tool bar 128, the three-pane status bar, the
// nine visual styles (40001-40009) and the process priority commands (32780-32782).
// The view reports the output folder and JPEG quality through SetStatus.
#include <QPointer>
#include <memory>
#include <string>

#include "app/ProcessPriority.h"
#include "platform/ui/CustomizeDlg.h"
#include "platform/ui/FrameWnd.h"
#include "resources/CommandIds.h"

class CDockMenuBar;
class CStatusBar;
class CToolBar;

class CMainFrame : public CFrameWnd {
public:
    // priority: where the priority commands act (the real process when null).
    explicit CMainFrame(std::unique_ptr<IProcessPriority> priority = nullptr);
    ~CMainFrame() override;

    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    int OnCreate() override;

    // Status pane 1 shows text, pane 2 number as "%3d".
    void SetStatus(const std::wstring& text, int number);

    void OnApplicationLook(UINT id);
    UINT GetApplicationLook() const { return m_nAppLook; }

    // Opens the tool-bar customisation (brings it to the front when it is open).
    void OnViewCustomize();
    CCustomizeDlg* GetCustomizeDlg() const { return m_pCustomizeDlg; }

    // The context menus of the view: 140 on a Japanese system, else 141.
    static UINT GetContextMenuId();

    CStatusBar* GetStatusBar() const { return m_pStatusBar; }
    CToolBar* GetToolBar() const { return m_pToolBar; }
    CDockMenuBar* GetDockMenuBar() const { return m_pMenuBar; }

protected:
    // The user's new tool bar gets the customise button too.
    CToolBar* OnToolbarCreateNew(UINT id, const std::wstring& name) override;

private:
    BOOL CreateMenuBar();
    BOOL CreateToolBar();
    BOOL CreateStatusBar();
    void RegisterCommands();
    void OnPriority(UINT id);
    void OnUpdatePriority(CCmdUI& ui);

    UINT m_nAppLook;
    CStatusBar* m_pStatusBar = nullptr;
    CDockMenuBar* m_pMenuBar = nullptr;
    CToolBar* m_pToolBar = nullptr;
    std::unique_ptr<IProcessPriority> m_pPriority;
    QPointer<CCustomizeDlg> m_pCustomizeDlg;
};
