#include "platform/ui/ShapedWindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QWindow>
#include <QPainter>
#include <QRegion>

namespace {
constexpr qint64 kExposureWaitMs = 500;
}  // namespace

void SetWindowFrameless(QWidget* window) {
    if (!window) return;
    window->setWindowFlag(Qt::FramelessWindowHint, true);
}

void SetWindowEllipse(QWidget* window, const QRect& rect) {
    if (!window || rect.isEmpty()) return;
    window->setMask(QRegion(rect, QRegion::Ellipse));
}

CAnimationPopup::CAnimationPopup(const QRect& geometry)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Every pixel is painted from the frame: no background erase between frames.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(geometry);
}

void CAnimationPopup::ShowFrame(const QImage& frame) {
    m_frame = frame;
    ++m_nFrames;
    if (!isVisible()) ShowAndWaitForExposure();
    // repaint paints and hands the pixels to the window system at once.
    repaint();
}

void CAnimationPopup::ShowAndWaitForExposure() {
    show();
    // The window system takes pixels only once it has mapped the window; until then
    // every frame would be lost. No input is handled while waiting.
    QElapsedTimer waited;
    waited.start();
    while (windowHandle() && !windowHandle()->isExposed() && waited.elapsed() < kExposureWaitMs)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
}

void CAnimationPopup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_frame.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.drawImage(rect(), m_frame);
}
