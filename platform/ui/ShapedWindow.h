#pragma once
// Windows without a caption or frame, shaped by a region, and the popup a closing
// animation is played in. On X11 a window's shape goes through the shape extension
// (Qt's widget mask does this), so both the picture and the input follow it.
#include <QImage>
#include <QRect>
#include <QWidget>

// Takes the caption and the frame off a top-level window that is not shown yet.
void SetWindowFrameless(QWidget* window);
// Only the ellipse inscribed in rect (client coordinates) shows and takes the mouse.
void SetWindowEllipse(QWidget* window, const QRect& rect);

// A borderless window above the others that shows one picture at a time. Each frame
// is painted before ShowFrame returns: the caller's loop needs no event loop (the
// first frame waits, at most half a second, until the window system shows the window).
class CAnimationPopup : public QWidget {
public:
    // geometry is in desktop (logical) pixels.
    explicit CAnimationPopup(const QRect& geometry);
    // frame may have a device pixel ratio; it is drawn over the whole window.
    void ShowFrame(const QImage& frame);
    int FramesShown() const { return m_nFrames; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void ShowAndWaitForExposure();

    QImage m_frame;
    int m_nFrames = 0;
};
