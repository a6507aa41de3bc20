#pragma once
// The main frame of the single-document framework: a window holding the menu bar
// (from a menu template), the keys of an accelerator table, the document's view in
// the middle and any number of control bars, each with the command id that shows and
// hides it. Commands issued in the frame start at the active view, which hands them
// on to its document, the document to the frame and the frame to the application.
// Closing the frame asks the document's SaveModified; once it is closed the
// application leaves its main loop.
#include <QMainWindow>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/Command.h"
#include "platform/ui/Wnd.h"
#include "resources/CommandIds.h"

class CDocument;
class CFrameWnd;
class CToolBar;
class QMenu;
class QMenuBar;

// The window's size before it is shown; 0 leaves Qt's default.
struct CREATESTRUCT {
    int cx = 0;
    int cy = 0;
};

// What the framework hands a frame it builds: the document and how to make its view.
struct CCreateContext {
    CDocument* m_pCurrentDoc = nullptr;
    // Builds the view as a child of the frame; null fails the frame's creation.
    std::function<CWnd*(CFrameWnd& frame)> m_viewFactory;
};

class CFrameWnd : public QMainWindow, public CWnd {
public:
    CFrameWnd();
    ~CFrameWnd() override;
    QWidget* GetWidget() override { return this; }

    // Size (PreCreateWindow), menu menuId, keys of table resourceId, program icon
    // resourceId, then OnCreate and the saved bar layout. False when OnCreate fails.
    virtual BOOL LoadFrame(UINT menuId, UINT resourceId, CCreateContext* context);
    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    // The base makes the view; a frame adds its bars after calling it. -1 fails.
    virtual int OnCreate();

    CWnd* GetActiveView() const { return m_pActiveView; }
    // Destroys the view while the frame is still whole (the view's destructor may
    // still talk to its frame and document) and unlinks it from the document.
    void DestroyView();
    CDocument* GetActiveDocument() const { return m_pDocument; }
    // Where commands issued in this frame start: the active view, else the frame.
    CommandStart GetCommandStart();
    // Queues a command on the frame's route, as a context menu's choice is sent.
    void PostFrameCommand(UINT id);

    // "<file name> - <application title>" while the document has a path, else the
    // application title.
    virtual void OnUpdateFrameTitle();
    void CenterWindow();

    UINT GetMenuId() const { return m_nMenuId; }
    QMenuBar* GetMenuBarWidget() const { return m_pMenuBar; }
    // The top-level menu that holds command id (at any depth), or null.
    QMenu* FindMenuWithCommand(UINT id) const;

    // A bar shown and hidden by command id, ticked while shown; title gives the text
    // of its item (by default the text the menu template gives it).
    void AddControlBar(UINT id, QWidget* bar, std::function<std::wstring()> title = {});
    void ShowControlBar(UINT id, bool show);
    bool IsControlBarVisible(UINT id) const;
    QWidget* GetControlBar(UINT id) const;

    // The menu of a right click on the bars: the tool bars, then the customisation
    // command (disabled while nothing handles it).
    void EnablePaneMenu(UINT customizeId, std::wstring customizeText);

    // The tool bars among the control bars, in the order they were added.
    std::vector<CToolBar*> GetToolBars() const;
    // Tool bars the user makes, names and deletes take the free ids first..last.
    void EnableUserToolBars(UINT first, UINT last);
    bool IsUserToolBar(UINT id) const { return id >= m_nFirstUserBar && id <= m_nLastUserBar; }
    bool CanCreateUserToolBar() const { return FreeUserToolBarId() != 0; }
    // A new, empty, shown bar; null when every id is taken.
    CToolBar* CreateUserToolBar(const std::wstring& name);
    void RenameToolBar(UINT id, const std::wstring& name);
    // False for a bar that is not the user's.
    bool DeleteUserToolBar(UINT id);
    // While on, the buttons of every tool bar are dragged instead of pressed.
    void SetCustomizeMode(bool on);
    bool IsCustomizeMode() const { return m_bCustomizing; }

    // How menus open: 0 at once, 1 unfolding, 2 fading in.
    enum MenuAnimation { kMenuAnimationNone = 0, kMenuAnimationUnfold = 1, kMenuAnimationFade = 2 };
    void SetMenuAnimation(int animation);
    int GetMenuAnimation() const { return m_nMenuAnimation; }

    // The bars' layout (places, shown or not, the tool bars' buttons and labels, the
    // user's tool bars) and the menu animation are kept in this profile section: read
    // after OnCreate, written when the frame closes.
    void SetBarStateSection(std::wstring section) { m_strBarStateSection = std::move(section); }
    void LoadBarState();
    void SaveBarState() const;

protected:
    virtual BOOL OnCreateClient(CCreateContext* context);
    // Makes the user's tool bar id, named name, at the top; a frame may add to it.
    virtual CToolBar* OnToolbarCreateNew(UINT id, const std::wstring& name);
    // FALSE keeps the frame open; the base asks the document's SaveModified.
    virtual BOOL CanCloseFrame();
    void closeEvent(QCloseEvent* event) override;
    QMenu* createPopupMenu() override;

private:
    struct ControlBar {
        UINT id;
        QWidget* bar;
        std::function<std::wstring()> title;
    };
    const ControlBar* FindControlBar(UINT id) const;
    void BuildMenuBar();
    UINT FreeUserToolBarId() const;
    bool IsOfferedCommand(UINT id) const;
    // The items of the tool bars in the menu that holds ID_VIEW_TOOLBAR.
    void RefreshToolBarList();
    void SaveToolBars() const;
    void LoadToolBars();

    UINT m_nMenuId = 0;
    QMenuBar* m_pMenuBar = nullptr;
    CWnd* m_pActiveView = nullptr;
    CDocument* m_pDocument = nullptr;
    CCreateContext* m_pCreateContext = nullptr;
    std::vector<ControlBar> m_controlBars;
    UINT m_nCustomizeId = 0;
    std::wstring m_strCustomizeText;
    std::wstring m_strBarStateSection;
    UINT m_nFirstUserBar = 1;
    UINT m_nLastUserBar = 0;
    bool m_bCustomizing = false;
    int m_nMenuAnimation = kMenuAnimationNone;
};
