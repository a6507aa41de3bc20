#pragma once
// Moving a window by dragging inside it: the first mouse move with only the left
// button held (no other button, no Shift or Ctrl) starts one move through the
// window mover; nothing more happens until the button is released.
class QMouseEvent;
class QWidget;

class CWindowDrag {
public:
    // target is the window to move; null moves nothing. Returns whether a move started.
    bool OnMouseMove(const QMouseEvent* event, QWidget* target);
    void OnMouseRelease() { m_bMoving = false; }

private:
    bool m_bMoving = false;
};
