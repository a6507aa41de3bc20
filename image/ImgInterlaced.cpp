#include "image/ImgInterlaced.h"

#include <cstring>

namespace {

// Row geometry of a frame: bytes between rows, pixel bytes per row, rows.
struct Frame {
    size_t stride;
    size_t rowBytes;
    int height;
};

Frame Frame24(const BITMAPINFOHEADER& h) {
    const size_t w = static_cast<size_t>(h.biWidth);
    return {static_cast<size_t>(DibRowBytes(h.biWidth, 24)), 3 * w, h.biHeight};
}

Frame FrameYUY2(const BITMAPINFOHEADER& h) {
    const size_t w = static_cast<size_t>(h.biWidth);
    return {2 * w, 2 * w, h.biHeight};
}

// Frames past a signed 32-bit size cannot be described by biSizeImage.
bool SizeAcceptable(const BITMAPINFOHEADER& h) {
    return h.biWidth > 0 && h.biHeight > 0 && FrameBytes24(h.biWidth, h.biHeight).has_value();
}

// Copies the frame, then replaces memory row (height − fromTop) and every second row
// below it with the rounded mean of its two neighbours in src; an edge row stands in
// for its missing neighbour, and neighbours are never taken from rebuilt rows. The
// padding is cleared, whatever the source's holds.
BYTE* RebuildField(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, Frame (*geometry)(const BITMAPINFOHEADER&),
                   int fromTop) {
    if (!src || !dst || !header || !SizeAcceptable(*header)) return nullptr;
    const Frame f = geometry(*header);
    const int start = f.height - fromTop;
    header->biSizeImage = static_cast<DWORD>(f.stride * f.height);
    std::memcpy(dst, src, header->biSizeImage);
    for (int r = start; r >= 0; r -= 2) {
        const BYTE* lo = src + f.stride * (r > 0 ? r - 1 : 0);
        const BYTE* hi = src + f.stride * (r < f.height - 1 ? r + 1 : f.height - 1);
        BYTE* out = dst + f.stride * r;
        for (size_t k = 0; k < f.rowBytes; ++k) out[k] = static_cast<BYTE>((lo[k] + hi[k] + 1) >> 1);
    }
    if (f.stride > f.rowBytes) {
        for (int r = 0; r < f.height; ++r) std::memset(dst + f.stride * r + f.rowBytes, 0, f.stride - f.rowBytes);
    }
    return dst;
}

// Every row becomes the 1-2-1 blend of itself and its neighbours; the padding is cleared,
// as the destination is kept from frame to frame and its rows reach files whole.
BYTE* BlendAllRows(const BYTE* src, BYTE* dst, const BITMAPINFOHEADER* header, Frame (*geometry)(const BITMAPINFOHEADER&)) {
    if (!src || !dst || !header || !SizeAcceptable(*header)) return nullptr;
    const Frame f = geometry(*header);
    for (int r = f.height - 1; r >= 0; --r) {
        const BYTE* lo = src + f.stride * (r > 0 ? r - 1 : 0);
        const BYTE* mid = src + f.stride * r;
        const BYTE* hi = src + f.stride * (r < f.height - 1 ? r + 1 : f.height - 1);
        BYTE* out = dst + f.stride * r;
        for (size_t k = 0; k < f.rowBytes; ++k)
            out[k] = static_cast<BYTE>((lo[k] + 2 * mid[k] + hi[k] + 2) >> 2);
        for (size_t k = f.rowBytes; k < f.stride; ++k) out[k] = 0;
    }
    return dst;
}

}  // namespace

BYTE* CImgInterlaced::Deinterlace(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int mode) {
    if (!header) return nullptr;
    if (header->biCompression == BI_RGB) {
        if (header->biBitCount != 24) return nullptr;
        return Deinterlace24(src, dst, header, mode);
    }
    if (header->biCompression == kFourccYUY2) return DeinterlaceYUY2(src, dst, header, mode);
    return nullptr;
}

BYTE* CImgInterlaced::Deinterlace24(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int mode) {
    if (!src || !dst || !header || !SizeAcceptable(*header)) return nullptr;
    switch (mode) {
        case Odd: return Deinterlace24Odd(src, dst, header, mode);
        case Even: return Deinterlace24Even(src, dst, header, mode);
        case Doubling: return Deinterlace24Doubling(src, dst, header, mode);
        default: return const_cast<BYTE*>(src);
    }
}

BYTE* CImgInterlaced::DeinterlaceYUY2(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int mode) {
    if (!src || !dst || !header || !SizeAcceptable(*header)) return nullptr;
    switch (mode) {
        case Odd: return DeinterlaceYUY2Odd(src, dst, header, mode);
        case Even: return DeinterlaceYUY2Even(src, dst, header, mode);
        case Doubling: return DeinterlaceYUY2Doubling(src, dst, header, mode);
        default: return const_cast<BYTE*>(src);
    }
}

// In a bottom-up frame the last memory row is the top line.
BYTE* CImgInterlaced::Deinterlace24Odd(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int) {
    return RebuildField(src, dst, header, Frame24, 1);
}

BYTE* CImgInterlaced::Deinterlace24Even(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int) {
    return RebuildField(src, dst, header, Frame24, 2);
}

BYTE* CImgInterlaced::Deinterlace24Doubling(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int) {
    return BlendAllRows(src, dst, header, Frame24);
}

BYTE* CImgInterlaced::DeinterlaceYUY2Odd(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int) {
    return RebuildField(src, dst, header, FrameYUY2, 2);
}

BYTE* CImgInterlaced::DeinterlaceYUY2Even(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int) {
    return RebuildField(src, dst, header, FrameYUY2, 1);
}

BYTE* CImgInterlaced::DeinterlaceYUY2Doubling(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int) {
    return BlendAllRows(src, dst, header, FrameYUY2);
}
