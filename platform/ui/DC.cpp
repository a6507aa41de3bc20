#include "platform/ui/DC.h"

#include <utility>

#include "platform/ui/PackedDib.h"

QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }
COLORREF FromQColor(const QColor& c) {
    return RGB(static_cast<BYTE>(c.red()), static_cast<BYTE>(c.green()), static_cast<BYTE>(c.blue()));
}
QRect ToQRect(const RECT& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }
RECT FromQRect(const QRect& r) { return RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

void CDC::FillSolidRect(const RECT& rc, COLORREF color) {
    if (!m_pPainter) return;
    m_pPainter->fillRect(ToQRect(rc), ToQColor(color));
}

COLORREF CDC::SetTextColor(COLORREF color) { return std::exchange(m_crText, color); }
COLORREF CDC::SetBkColor(COLORREF color) { return std::exchange(m_crBack, color); }
int CDC::SetBkMode(int mode) { return std::exchange(m_nBkMode, mode); }
int CDC::SetStretchBltMode(int mode) { return std::exchange(m_nStretchMode, mode); }

std::optional<QFont> CDC::SelectFont(const std::optional<QFont>& font) {
    return std::exchange(m_font, font);
}

int CDC::DrawText(const std::wstring& text, const RECT& rc, UINT format) {
    if (!m_pPainter) return 0;
    int flags = 0;
    flags |= (format & DT_CENTER) ? Qt::AlignHCenter : (format & DT_RIGHT) ? Qt::AlignRight : Qt::AlignLeft;
    if (format & DT_SINGLELINE) {
        flags |= (format & DT_VCENTER) ? Qt::AlignVCenter : (format & DT_BOTTOM) ? Qt::AlignBottom : Qt::AlignTop;
        flags |= Qt::TextSingleLine;
    } else {
        flags |= Qt::AlignTop;
        if (format & DT_WORDBREAK) flags |= Qt::TextWordWrap;
    }
    if (!(format & DT_NOPREFIX)) flags |= Qt::TextShowMnemonic;
    QPainter& p = *m_pPainter;
    p.save();
    if (m_font) p.setFont(*m_font);
    const QRect box = ToQRect(rc);
    QString q = QString::fromStdWString(text);
    if (format & DT_END_ELLIPSIS) q = p.fontMetrics().elidedText(q, Qt::ElideRight, box.width());
    const QRect used = p.boundingRect(box, flags, q);
    if (m_nBkMode == OPAQUE) p.fillRect(used.intersected(box), ToQColor(m_crBack));
    p.setPen(ToQColor(m_crText));
    p.drawText(box, flags, q);
    p.restore();
    return used.height();
}

void CDC::DrawEdge(const RECT& rc, UINT edge, UINT flags) {
    if (!m_pPainter) return;
    // Two one-pixel rings: the outer one, then the inner one just inside it.
    struct Ring {
        COLORREF topLeft, bottomRight;
    };
    std::optional<Ring> outer, inner;
    if (edge & BDR_RAISEDOUTER) outer = Ring{kColor3DLight, kColor3DDarkShadow};
    else if (edge & BDR_SUNKENOUTER) outer = Ring{kColor3DShadow, kColor3DHighlight};
    if (edge & BDR_RAISEDINNER) inner = Ring{kColor3DHighlight, kColor3DShadow};
    else if (edge & BDR_SUNKENINNER) inner = Ring{kColor3DDarkShadow, kColor3DLight};
    RECT r = rc;
    for (const auto& ring : {outer, inner}) {
        if (ring && r.right - r.left > 0 && r.bottom - r.top > 0) {
            if (flags & BF_TOP) FillSolidRect({r.left, r.top, r.right, r.top + 1}, ring->topLeft);
            if (flags & BF_LEFT) FillSolidRect({r.left, r.top, r.left + 1, r.bottom}, ring->topLeft);
            if (flags & BF_BOTTOM) FillSolidRect({r.left, r.bottom - 1, r.right, r.bottom}, ring->bottomRight);
            if (flags & BF_RIGHT) FillSolidRect({r.right - 1, r.top, r.right, r.bottom}, ring->bottomRight);
        }
        if (flags & BF_LEFT) ++r.left;
        if (flags & BF_TOP) ++r.top;
        if (flags & BF_RIGHT) --r.right;
        if (flags & BF_BOTTOM) --r.bottom;
    }
}

void CDC::DrawFocusRect(const RECT& rc) {
    if (!m_pPainter || rc.right <= rc.left || rc.bottom <= rc.top) return;
    QPainter& p = *m_pPainter;
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(Qt::white);
    // Every other pixel of the border, counted along x + y as the native one does.
    for (int x = rc.left; x < rc.right; ++x) {
        if (((x + rc.top) & 1) == 0) p.drawPoint(x, rc.top);
        if (rc.bottom - 1 > rc.top && ((x + rc.bottom - 1) & 1) == 0) p.drawPoint(x, rc.bottom - 1);
    }
    for (int y = rc.top + 1; y < rc.bottom - 1; ++y) {
        if (((rc.left + y) & 1) == 0) p.drawPoint(rc.left, y);
        if (rc.right - 1 > rc.left && ((rc.right - 1 + y) & 1) == 0) p.drawPoint(rc.right - 1, y);
    }
    p.restore();
}

void CDC::DrawIcon(int x, int y, const QIcon& icon) {
    if (!m_pPainter || icon.isNull()) return;
    icon.paint(m_pPainter, QRect(x, y, 32, 32));
}

void CDC::DrawImageScaled(const QImage& image, int x, int y, int w, int h, const QRectF& source) {
    QPainter& p = *m_pPainter;
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, m_nStretchMode == HALFTONE);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    QTransform t;
    t.translate(x, y);
    t.scale(static_cast<double>(w) / source.width(), static_cast<double>(h) / source.height());
    p.setTransform(t, true);
    p.drawImage(QPointF(0, 0), image, source);
    p.restore();
}

BOOL CDC::StretchBlt(int x, int y, int w, int h, const CDC* source, int sx, int sy, int sw, int sh, DWORD) {
    if (!m_pPainter || !source || !source->GetImage() || w == 0 || h == 0 || sw <= 0 || sh <= 0) return FALSE;
    DrawImageScaled(*source->GetImage(), x, y, w, h, QRectF(sx, sy, sw, sh));
    return TRUE;
}

BOOL CDC::BitBlt(int x, int y, int w, int h, const CDC* source, int sx, int sy, DWORD rop) {
    return StretchBlt(x, y, w, h, source, sx, sy, w, h, rop);
}

void CDC::DrawFrame24(const RECT& dst, const uint8_t* bits, int width, int height, const RECT& src) {
    const int sw = src.right - src.left, sh = src.bottom - src.top;
    if (!m_pPainter || sw <= 0 || sh <= 0) return;
    const QImage rows = WrapDib24(bits, width, height);
    if (rows.isNull()) return;
    // Memory row 0 is the picture's bottom row: read the region's rows from the bottom
    // up and draw them mirrored, so nothing is copied.
    const int w = dst.right - dst.left, h = dst.bottom - dst.top;
    DrawImageScaled(rows, dst.left, dst.top + h, w, -h, QRectF(src.left, height - src.bottom, sw, sh));
}
