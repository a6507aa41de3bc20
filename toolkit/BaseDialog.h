#pragma once
// The base of every dialog of the system. It settles once for all dialogs what
// closes a dialog (Enter and Esc do nothing; the close box stores the fields and
// ends with IDCANCEL), dragging by the client area, hiding the owner while the
// dialog is minimised, dropped files, tooltips that repeat a control's text, the
// Japanese Cancel caption, the About/Help menu, a tray icon, modeless creation and
// labels that widen to fit.
#include <QIcon>
#include <string>

#include "platform/ui/Dialog.h"
#include "platform/ui/WindowDrag.h"
#include "resources/CommandIds.h"

constexpr UINT SIZE_RESTORED = 0;
constexpr UINT SIZE_MINIMIZED = 1;

class CBaseDialog : public CDialog {
public:
    CBaseDialog(UINT nIDTemplate, CWnd* pParent, BOOL bSysMenuItems = FALSE, BOOL bChild = FALSE);
    ~CBaseDialog() override;

    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    void OnClose() override;

    virtual BOOL TrayRemove();
    // Shows the tray icon with a balloon; returns whether it is there. Adding it again
    // refreshes tip and icon without a second icon or balloon.
    virtual BOOL TrayAdd(UINT uCallbackMessage, const std::wstring& strTip, const QIcon& hIcon);
    virtual void OnDropFile(const std::wstring& path);
    virtual void Redraw() { update(); }
    // Modeless: a top-level window without owner, or embedded in pParent as a child.
    virtual BOOL Create(CWnd* pParent);
    virtual BOOL CanClose() { return m_bCanClose; }
    virtual void SetItemTextFit(UINT nID, const std::wstring& text, BOOL bFit);
    // Hides the owner while this dialog is minimised and shows it otherwise; only an
    // independent top-level dialog does this.
    virtual void OnSizeOwner(UINT nType, int cx, int cy);
    // Runs once, from the event loop, after OnInitDialog has returned.
    virtual int OnPostInit() { return 0; }
    virtual void EnableTabTexture();

    static std::wstring GetAboutCaption();

    BOOL m_bCanClose = TRUE;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    CWnd* m_pOwner;
    BOOL m_bSysMenuItems;
    BOOL m_bChild;
    UINT m_nTemplateId;

private:
    void ShowOwner(bool show);
    void ShowSystemMenu(const QPoint& globalPos);

    CWindowDrag m_drag;
    bool m_bTrayShown = false;
    UINT m_nTrayMessage = 0;
};
