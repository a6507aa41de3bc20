// The view's side windows that show or edit facts of the open movie: the movie
// information, the frame header and the clipping and resize window.
#include "app/TALVERNView.h"
#include "resources/CommandIds.h"

void CTALVERNView::OnFileInfo() {
    if (m_infoAvi) {
        m_infoAvi.Release();
        return;
    }
    auto* window = new CInfoAVIDlg(this);
    m_infoAvi.Attach(window);
    window->Create(nullptr);
    if (m_pDocument) window->SetInfo(m_pDocument->m_InfoLines);
}

void CTALVERNView::OnBmpInfo() {
    if (m_bmpInfo) {
        m_bmpInfo.Release();
        return;
    }
    BITMAPINFOHEADER header{};
    if (!GetSourceHeader(&header)) return;
    auto* window = new CBmpInfo(this);
    m_bmpInfo.Attach(window);
    window->Create(nullptr);
    window->SetInfo(&header);
}

void CTALVERNView::OnClipResize() {
    if (m_resize) {
        m_resize.Release();
        return;
    }
    BITMAPINFOHEADER source{};
    if (!m_pDocument || !GetSourceHeader(&source)) return;
    auto* window = new CResizeDlg(this, source, &m_pDocument->m_OutputHeader, &m_pDocument->m_ClipRect,
                                  ID_DISPLAY_REFRESH, ID_RESIZE_CLOSED);
    m_resize.Attach(window);
    window->CreateModeless();
}
