#pragma once
// An off-screen drawing context with a bitmap of its own.
#include <QImage>
#include <memory>

#include "platform/ui/DC.h"

class CMemCDC : public CDC {
public:
    CMemCDC() = default;
    ~CMemCDC() override;

    // A one-bit bitmap (0 black, 1 white) of cx x cy. It can be copied from but not
    // drawn into. Whatever the DC held before is released first.
    virtual BOOL CreateMono(CDC* pDC, int cx, int cy);
    // A colour bitmap of cx x cy that can be drawn into; the previous one is released first.
    virtual BOOL CreateCompatible(CDC* pDC, int cx, int cy);
    // This DC receives rcSrc of pSrcDC stretched onto rcDst, without blending.
    virtual BOOL StretchFrom(CDC* pSrcDC, RECT rcDst, RECT rcSrc, DWORD dwRop);
    // pDstDC receives rcSrc of this DC stretched onto rcDst, without blending.
    virtual BOOL StretchTo(CDC* pDstDC, RECT rcDst, RECT rcSrc, DWORD dwRop);
    virtual void DeleteBitmap();

    const QImage* GetImage() const override { return m_bitmap.isNull() ? nullptr : &m_bitmap; }

private:
    QImage m_bitmap;
    std::unique_ptr<QPainter> m_painter;
};
