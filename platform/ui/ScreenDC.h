#pragma once
// A drawing context over a snapshot of the screen, to copy pixels from. The
// snapshot is taken through the screen service when the DC is made.
#include <QImage>
#include <QRect>

#include "platform/ui/DC.h"

class QWidget;

class CScreenDC : public CDC {
public:
    // The primary screen.
    CScreenDC();
    // The screen window is on, in its device pixels: a point p of the desktop (logical
    // pixels) is at (p - Geometry().topLeft()) * DevicePixelRatio() in this DC.
    explicit CScreenDC(const QWidget* window);
    const QImage* GetImage() const override { return m_screen.isNull() ? nullptr : &m_screen; }
    const QRect& Geometry() const { return m_geometry; }
    qreal DevicePixelRatio() const { return m_dpr; }

private:
    QImage m_screen;
    QRect m_geometry;
    qreal m_dpr = 1.0;
};
