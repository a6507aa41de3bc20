// Per-frame output of the view (image files, movie frames and their audio), the frame
// on screen made from the frame read, and the single-frame outputs Save Image and Copy.
#include <algorithm>
#include <cmath>
#include <cwchar>

#include "app/TALVERNDoc.h"
#include "app/TALVERNView.h"
#include "foundation/PathUtil.h"
#include "foundation/RegUtil.h"
#include "foundation/ResultCodes.h"
#include "foundation/SysUtil.h"
#include "platform/win32/ThreadRole.h"

std::wstring WithImageExtension(const std::wstring& path, int filterIndex, const std::wstring& offered) {
    // A name with an extension keeps it: one no writer knows is refused when written,
    // never replaced by a name the user did not type. The movie's title offered
    // unchanged may hold a dot ("clip.2024") that starts no extension.
    if (path != offered && !GetPathExt(path).empty()) return path;
    static const wchar_t* const kFilterExt[] = {L".jpg", L".bmp", L".tif", L".png"};
    const bool listed = filterIndex >= 1 && filterIndex <= 4;
    return path + kFilterExt[listed ? filterIndex - 1 : 0];
}

// ---- Per frame ----

BOOL CTALVERNView::WriteImageFile(const BYTE* bits, const BITMAPINFOHEADER* header, const std::wstring& path) {
    return m_run.WriteImageFile(bits, header, path, m_pDocument->m_Info.m_nJpegQuality);
}

int CTALVERNView::OutputFrame(int frame, int n) {
    CTALVERNDoc* doc = m_pDocument;
    const BYTE* bits = m_pDisplayBits;
    if (!m_run.PlainFrame() && doc->IsAnyOutputOn()) {
        BITMAPINFOHEADER frame{};
        GetSourceHeader(&frame);
        const RECT& c = doc->m_ClipRect;
        m_pipeline->SetClipRect(c.left, c.top, c.right, c.bottom);
        bits = m_pipeline->Resize(m_pDisplayBits, m_run.OutputBuffer(), &frame, &doc->m_OutputHeader);
        if (!bits) return ResultCode::kMemory;
    }
    // The analysis pass of a two-pass encode feeds the WMV writer alone.
    const bool analysis = doc->m_bOutputWmv && m_run.Wmv().IsTwoPass();
    const auto interval = static_cast<unsigned>(std::max(doc->m_Info.m_nImageInterval, 1));
    const bool filesDue = !analysis && static_cast<unsigned>(n) % interval == 0;
    const int code = m_run.OutputFrame({frame, bits}, filesDue);
    if (code != 0) ShowFailedFrame();
    return code;
}

int CTALVERNView::FinishWorkerFrames() {
    const int code = m_run.FinishWorkerFrames();
    ShowFailedFrame();
    return code;
}

void CTALVERNView::ShowFailedFrame() {
    const int failed = m_run.TakeFailedFrame();
    if (failed < 0 || m_nCurrent == failed) return;
    (void)ShowFrameAt(failed);  // the failure is told over the frame that failed, which comes first
}

void CTALVERNView::PumpRunMessages() {
    // A quit stays queued for the main loop; the run ends as after a Stop.
    if (PumpMessages() && m_pDocument) m_pDocument->m_nPlayState = PlayState::Stopped;
}

BOOL CTALVERNView::IsIdentityClip() {
    BITMAPINFOHEADER frame{};
    if (!GetSourceHeader(&frame)) return TRUE;
    const BITMAPINFOHEADER& out = m_pDocument->m_OutputHeader;
    const RECT& clip = m_pDocument->m_ClipRect;
    return frame.biHeight == out.biHeight && frame.biWidth == out.biWidth && clip.top == 0 && clip.left == 0 &&
           clip.right == frame.biWidth && clip.bottom == frame.biHeight;
}

int CTALVERNView::ApplyDeinterlace() {
    m_picture.Invalidate();
    if (m_shorityu) m_shorityu->DrawImage();
    m_pDisplayBits = m_pSourceBits;
    if (m_nDeinterlace == 0 || !m_pSourceBits) return 0;
    BITMAPINFOHEADER frame{};
    BYTE* out = nullptr;
    if (GetSourceHeader(&frame) && frame.biWidth > 0 && frame.biHeight > 0) {
        const std::optional<int64_t> bytes = FrameBytes24(frame.biWidth, frame.biHeight);
        // Allocated on first use and kept; grown when a movie needs more.
        BYTE* buffer = bytes ? m_deinterlaced.GetBuffer(static_cast<int>(*bytes)) : nullptr;
        if (buffer && m_deinterlaced.GetCount() >= *bytes)
            out = m_pipeline->Deinterlace(m_pSourceBits, buffer, &frame, m_nDeinterlace);
    }
    if (out) {
        m_pDisplayBits = out;
        return 0;
    }
    m_pDisplayBits = m_pSourceBits;
    m_nDeinterlace = 0;
    return ResultCode::kMemory;
}

// ---- Single frame ----

void CTALVERNView::OnSaveImage() {
    CTALVERNDoc* doc = m_pDocument;
    if (!IsFileOpen()) return;
    CInfo& info = doc->m_Info;
    const std::wstring& movie = doc->GetPathName();
    const std::wstring offered = JoinOutputPath(info.m_strOutputFolder, GetPathFileTitle(movie));
    std::wstring path = offered;
    if (BrowseImageSaveFile(path, movie) != kImageFileChosen) return;
    // A name without an extension gets the one of the filter chosen.
    path = WithImageExtension(path, static_cast<int>(ProfileGetInt(L"data", L"Index", 1)), offered);
    info.SaveChecked();
    RefreshFolderDisplay();
    m_run.IdentifyMovieFile(movie);
    if (m_run.IsTheMovie(path)) {
        StopOnError(ResultCode::kOutput);
        return;
    }
    const BITMAPINFOHEADER& out = doc->m_OutputHeader;
    CMemBuffBase<unsigned char> frame(static_cast<int>(FrameBytes24(out.biWidth, out.biHeight).value_or(0)));
    if (!frame.GetData() || m_pDisplayBits == nullptr) {
        StopOnError(ResultCode::kMemory);
        return;
    }
    BITMAPINFOHEADER source{};
    GetSourceHeader(&source);
    const RECT& c = doc->m_ClipRect;
    m_pipeline->SetClipRect(c.left, c.top, c.right, c.bottom);
    const BYTE* bits = m_pipeline->Resize(m_pDisplayBits, frame.GetData(), &source, &out);
    if (!bits) StopOnError(ResultCode::kMemory);
    else if (!WriteImageFile(bits, &out, path)) StopOnError(ResultCode::kOutput);
}

void CTALVERNView::OnEditCopy() {
    CTALVERNDoc* doc = m_pDocument;
    if (!IsFileOpen()) return;
    BITMAPINFOHEADER out = doc->m_OutputHeader;
    const int64_t bytes = FrameBytes24(out.biWidth, out.biHeight).value_or(0);
    out.biBitCount = 24;
    out.biCompression = BI_RGB;
    out.biSizeImage = static_cast<DWORD>(bytes);
    HGLOBAL block = bytes > 0 && m_pDisplayBits
                        ? GlobalAlloc(GHND, static_cast<size_t>(bytes) + sizeof(BITMAPINFOHEADER))
                        : nullptr;
    BITMAPINFOHEADER source{};
    GetSourceHeader(&source);
    const RECT& c = doc->m_ClipRect;
    m_pipeline->SetClipRect(c.left, c.top, c.right, c.bottom);
    HGLOBAL dib = block ? m_pipeline->ResizeToDIB(block, m_pDisplayBits, &source, &out) : nullptr;
    if (!dib) {
        if (block) GlobalFree(block);
        StopOnError(ResultCode::kMemory);
        return;
    }
    CopyDIBToClipboard(dib);
}
