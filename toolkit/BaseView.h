#pragma once
// Base of the main view: takes files dropped from the desktop and a path dragged
// over it as text, hands each path to OnDropFile, draws through OnDraw, and moves
// the main window when dragged.
#include <QWidget>
#include <string>
#include <vector>

#include "platform/ui/WindowDrag.h"
#include "platform/ui/Wnd.h"

class CDC;
class QMimeData;

class CBaseView : public QWidget, public CWnd {
public:
    explicit CBaseView(QWidget* parent = nullptr);
    ~CBaseView() override = default;
    QWidget* GetWidget() override { return this; }

    // One accepted path. Called from the event loop, never inside a drag handler,
    // so it may open message boxes.
    virtual void OnDropFile(const std::wstring& path);
    // Paints the view; the base draws nothing.
    virtual void OnDraw(CDC* pDC);

    const std::wstring& GetLastDragText() const { return m_strLastDrop; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void QueueDropFiles(std::vector<std::wstring> paths);

    std::wstring m_strLastDrop;
    CWindowDrag m_drag;
};

// The local files of a drag, in drop order; empty when the data holds none.
std::vector<std::wstring> DroppedFilePaths(const QMimeData* data);
