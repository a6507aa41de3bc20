#include "toolkit/MemCDC.h"

namespace {
constexpr int kMaxSide = 1 << 14;
bool SizeOk(int cx, int cy) { return cx > 0 && cy > 0 && cx <= kMaxSide && cy <= kMaxSide; }
}  // namespace

CMemCDC::~CMemCDC() { DeleteBitmap(); }

void CMemCDC::DeleteBitmap() {
    SetPainter(nullptr);
    m_painter.reset();
    m_bitmap = QImage();
}

BOOL CMemCDC::CreateMono(CDC*, int cx, int cy) {
    DeleteBitmap();
    if (!SizeOk(cx, cy)) return FALSE;
    m_bitmap = QImage(cx, cy, QImage::Format_Mono);
    m_bitmap.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    m_bitmap.fill(0);
    return m_bitmap.isNull() ? FALSE : TRUE;
}

BOOL CMemCDC::CreateCompatible(CDC*, int cx, int cy) {
    DeleteBitmap();
    if (!SizeOk(cx, cy)) return FALSE;
    m_bitmap = QImage(cx, cy, QImage::Format_RGB32);
    if (m_bitmap.isNull()) return FALSE;
    m_bitmap.fill(Qt::black);
    m_painter = std::make_unique<QPainter>(&m_bitmap);
    SetPainter(m_painter.get());
    return TRUE;
}

BOOL CMemCDC::StretchFrom(CDC* pSrcDC, RECT rcDst, RECT rcSrc, DWORD dwRop) {
    SetStretchBltMode(COLORONCOLOR);
    return StretchBlt(rcDst.left, rcDst.top, rcDst.right - rcDst.left, rcDst.bottom - rcDst.top, pSrcDC,
                      rcSrc.left, rcSrc.top, rcSrc.right - rcSrc.left, rcSrc.bottom - rcSrc.top, dwRop);
}

BOOL CMemCDC::StretchTo(CDC* pDstDC, RECT rcDst, RECT rcSrc, DWORD dwRop) {
    if (!pDstDC) return FALSE;
    pDstDC->SetStretchBltMode(COLORONCOLOR);
    return pDstDC->StretchBlt(rcDst.left, rcDst.top, rcDst.right - rcDst.left, rcDst.bottom - rcDst.top, this,
                              rcSrc.left, rcSrc.top, rcSrc.right - rcSrc.left, rcSrc.bottom - rcSrc.top, dwRop);
}
