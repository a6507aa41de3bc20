#pragma once
// CWnd is what the system's own code knows of a window: a command target that owns
// a Qt widget. The widget classes of the toolkit derive from their Qt widget and
// from CWnd, so a CWnd* can name a dialog, a view or a side window alike.
#include <QWidget>

#include "platform/ui/Command.h"
#include "platform/win32/Win32Types.h"

class CWnd : public CCmdTarget {
public:
    virtual QWidget* GetWidget() = 0;
    const QWidget* GetWidget() const { return const_cast<CWnd*>(this)->GetWidget(); }

    static CWnd* FromWidget(QWidget* w) { return dynamic_cast<CWnd*>(w); }

    // The opaque handle the foundation's system functions take.
    HWND GetSafeHwnd() { return reinterpret_cast<HWND>(GetWidget()); }
    static QWidget* FromHandle(HWND hwnd) { return reinterpret_cast<QWidget*>(hwnd); }

    // The top-level window the widget belongs to.
    QWidget* GetTopLevel() { return GetWidget()->window(); }

    // Called by the single-document framework on the view once its frame is built and
    // again after every successful open of its document.
    virtual void OnInitialUpdate() {}
};
