#pragma once
// Base of the free-floating side windows: a window of its own that the user moves
// by dragging anywhere in its client area.
#include <QWidget>

#include "platform/ui/WindowDrag.h"
#include "platform/ui/Wnd.h"

class CBaseWnd : public QWidget, public CWnd {
public:
    CBaseWnd();
    ~CBaseWnd() override = default;
    QWidget* GetWidget() override { return this; }

    // A child of pParent with control id nID; dragging it moves the parent's window.
    virtual BOOL CreateChild(CWnd* pParent, UINT nID);
    // A top-level window; pOwner is only remembered. WS_VISIBLE shows it at once.
    virtual BOOL CreatePopup(CWnd* pOwner, DWORD dwStyle);

    CWnd* GetOwnerWnd() const { return m_pOwner; }
    BOOL IsChild() const { return m_bChild; }

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

    CWnd* m_pOwner = nullptr;
    BOOL m_bChild = FALSE;

private:
    CWindowDrag m_drag;
};
