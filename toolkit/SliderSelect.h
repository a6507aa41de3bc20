#pragma once
// The frame slider of the main view, which jumps straight to the position under
// the mouse, marks a selected stretch of its range over the groove, and tells its
// owner about what the user does to it (never about what code sets).
#include <QSlider>
#include <functional>

#include "platform/win32/Win32Types.h"

class CSliderSelect : public QSlider {
public:
    // What the user did: a key, a wheel turn, or the left button pressed, moved
    // while held, or released.
    enum class Scroll { Key, Wheel, Press, Track, Release };
    using ScrollHandler = std::function<void(Scroll)>;

    explicit CSliderSelect(QWidget* parent = nullptr);

    void SetScrollHandler(ScrollHandler handler) { m_onScroll = std::move(handler); }

    // Set from code: none of these comes back through the scroll handler.
    void SetRange(int first, int last);
    void SetPos(int pos);
    // A tick every freq positions; 0 (or less) shows no ticks.
    void SetTicFreq(int freq);
    // The stretch marked over the groove; an empty or reversed one marks nothing.
    void SetSelection(int start, int end);
    int GetSelStart() const { return m_selStart; }
    int GetSelEnd() const { return m_selEnd; }

    // True between a left-button press on the slider and its release.
    bool IsLeftButtonDown() const { return m_leftDown; }

    // Moves the thumb to the position under the mouse cursor; returns the position.
    int SetPosFromCursor();
    // The same for a point given in the slider's own coordinates.
    int SetPosFromPoint(int x);
    // The position x maps to, before the slider clamps it to its range; the slider's
    // current position when it is too narrow to map anything.
    int PositionForPoint(int x) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void Notify(Scroll what);
    // The x of a position's centre on the track, the same mapping the cursor uses.
    int PointForPosition(int pos) const;

    ScrollHandler m_onScroll;
    int m_selStart = 0;
    int m_selEnd = 0;
    bool m_leftDown = false;
};
