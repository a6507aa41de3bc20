// Per-frame output of the view: the frame on screen made from the frame read, and
// whether the output is the source frame unchanged.
#include "app/TALVERNDoc.h"
#include "app/TALVERNView.h"

BOOL CTALVERNView::IsIdentityClip() {
    BITMAPINFOHEADER frame{};
    if (!GetSourceHeader(&frame)) return TRUE;
    const BITMAPINFOHEADER& out = m_pDocument->m_OutputHeader;
    const RECT& clip = m_pDocument->m_ClipRect;
    return frame.biHeight == out.biHeight && frame.biWidth == out.biWidth && clip.top == 0 && clip.left == 0 &&
           clip.right == frame.biWidth && clip.bottom == frame.biHeight;
}

void CTALVERNView::ApplyDeinterlace() {
    if (m_shorityu) m_shorityu->DrawImage();
    m_pDisplayBits = m_pSourceBits;
    if (m_nDeinterlace == 0 || !m_pSourceBits) return;
    BITMAPINFOHEADER frame{};
    BYTE* out = nullptr;
    if (GetSourceHeader(&frame) && frame.biWidth > 0 && frame.biHeight > 0) {
        const int64_t bytes = int64_t{Stride24(frame.biWidth)} * frame.biHeight;
        // Allocated on first use and kept; grown when a movie needs more.
        BYTE* buffer = bytes <= INT32_MAX ? m_deinterlaced.GetBuffer(static_cast<int>(bytes)) : nullptr;
        if (buffer && m_deinterlaced.GetCount() >= bytes)
            out = m_pipeline->Deinterlace(m_pSourceBits, buffer, &frame, m_nDeinterlace);
    }
    if (out) {
        m_pDisplayBits = out;
        return;
    }
    m_pDisplayBits = m_pSourceBits;
    m_nDeinterlace = 0;
    ReportError(501);
}
