#pragma once
// A drawing context over a snapshot of the screen, to copy pixels from. The
// snapshot is taken through the screen service when the DC is made.
#include <QImage>

#include "platform/ui/DC.h"

class CScreenDC : public CDC {
public:
    CScreenDC();
    const QImage* GetImage() const override { return m_screen.isNull() ? nullptr : &m_screen; }

private:
    QImage m_screen;
};
