#include "image/ImgResize.h"

#include <cstring>

#include "image/ImgInterlaced.h"
#include "image/PackedDib.h"
#include "image/ResizeKernels.h"

namespace {

// A sample position in 1/256 units, truncated toward zero, split into its whole part
// and its 8-bit fraction.
struct Sample {
    int whole;
    unsigned fraction;
};

Sample SampleAt(double position) {
    const int v = static_cast<int>(position * 256.0);
    const int whole = v >> 8;
    return {whole, static_cast<unsigned>(v - 256 * whole)};
}

// Scale of n output samples over m input samples; with the corrected form the first
// and last output samples fall on the first and last input samples.
double Scale(int out, int in, bool corrected) {
    if (corrected && out > 1 && in > 1) return static_cast<double>(out - 1) / (in - 1);
    return static_cast<double>(out) / in;
}

unsigned Blend(unsigned weight, unsigned next, unsigned here) {
    return (weight * next + (256 - weight) * here + 0x8000) >> 16;
}

// The bytes after a row's pixels up to its 4-byte boundary: the destination is kept from
// frame to frame and never cleared, and they reach BMP and AVI files as they are.
void ClearPadding(BYTE* row, size_t pixelBytes, size_t stride) {
    for (size_t k = pixelBytes; k < stride; ++k) row[k] = 0;
}

}  // namespace

void CImgResize::SetClipRect(int left, int top, int right, int bottom) {
    m_clip = {left, top, right, bottom};
}

bool CImgResize::ClipInside(int srcW, int srcH) const {
    return m_clip.left >= 0 && m_clip.top >= 0 && m_clip.right <= srcW && m_clip.bottom <= srcH &&
           m_clip.left < m_clip.right && m_clip.top < m_clip.bottom;
}

unsigned int* CImgResize::Accumulator(int elements) {
    if (m_acc.GetCount() != elements) m_acc.Alloc(elements);
    return m_acc.GetCount() == elements ? m_acc.GetData() : nullptr;
}

// The blended row of the 24-bit path with the slack its vector kernels read past the
// last sample; zeroed when made, so that those reads never see undefined memory.
uint16_t* CImgResize::Samples(int elements) {
    const int total = elements + static_cast<int>(kResizeAccSlack);
    if (m_samples.GetCount() != total) {
        m_samples.Alloc(total);
        m_samples.FillAll(0);
    }
    return m_samples.GetCount() == total ? m_samples.GetData() : nullptr;
}

// Per output column: the accumulator offset of its left sample and its fraction (or,
// with pairWeights, the weights of its two samples as the 24-bit kernels take them), so
// that the per-pixel loop does no division.
const unsigned int* CImgResize::Columns(int dstW, int left, double sx, int srcW, int samplesPerPixel,
                                        bool pairWeights) {
    if (m_cols.GetCount() != 2 * dstW) m_cols.Alloc(2 * dstW);
    if (m_cols.GetCount() != 2 * dstW) return nullptr;
    unsigned int* cols = m_cols.GetData();
    for (int k = 0; k < dstW; ++k) {
        const Sample x = SampleAt(left + k / sx);
        cols[2 * k] = unsigned(samplesPerPixel * (x.whole < srcW ? x.whole : srcW - 1));
        cols[2 * k + 1] = pairWeights ? ResizePairWeights(x.fraction) : x.fraction;
    }
    return cols;
}

BYTE* CImgResize::Resize(const BYTE* src, BYTE* dst, const BITMAPINFOHEADER* srcHeader,
                         const BITMAPINFOHEADER* dstHeader) {
    if (!srcHeader) return nullptr;
    if (srcHeader->biCompression == BI_RGB)
        return srcHeader->biBitCount == 24 ? Resize24(src, dst, srcHeader, dstHeader) : nullptr;
    if (srcHeader->biCompression == kFourccYUY2) return ResizeYUY2(src, dst, srcHeader, dstHeader);
    return nullptr;
}

BYTE* CImgResize::Resize24(const BYTE* src, BYTE* dst, const BITMAPINFOHEADER* srcHeader,
                           const BITMAPINFOHEADER* dstHeader) {
    if (!src || !dst || !srcHeader || !dstHeader || srcHeader->biBitCount != 24) return nullptr;
    const int srcW = srcHeader->biWidth, srcH = srcHeader->biHeight;
    const int dstW = dstHeader->biWidth, dstH = dstHeader->biHeight;
    if (!ImageSizeAcceptable(srcW, srcH) || !ImageSizeAcceptable(dstW, dstH) || !ClipInside(srcW, srcH))
        return nullptr;
    const RECT c = m_clip;
    const double sx = Scale(dstW, c.right - c.left, true);
    const double sy = Scale(dstH, c.bottom - c.top, true);
    const size_t srcStride = static_cast<size_t>(DibRowBytes(srcW, 24));
    const size_t dstStride = static_cast<size_t>(DibRowBytes(dstW, 24));
    const int bottomRow = srcH - c.bottom;  // memory row of the clip's bottom line
    const int topRow = srcH - c.top - 1;    // memory row of the clip's top line

    const size_t pixelBytes = 3 * static_cast<size_t>(dstW);
    if (sx == 1.0 && sy == 1.0) {
        for (int j = 0; j < dstH; ++j) {
            std::memcpy(dst + dstStride * j, src + srcStride * (bottomRow + j) + 3 * c.left, pixelBytes);
            ClearPadding(dst + dstStride * j, pixelBytes, dstStride);
        }
        return dst;
    }

    uint16_t* acc = Samples(3 * (srcW + 1));
    const unsigned int* cols = Columns(dstW, c.left, sx, srcW, 3, true);
    if (!acc || !cols) return nullptr;
    const size_t rowSamples = 3 * static_cast<size_t>(srcW);
    // Output columns read the clip's columns and the one after its last (the copy of
    // the row's last pixel when the clip reaches the right edge); no other column.
    const size_t first = 3 * static_cast<size_t>(c.left);
    const size_t end = c.right < srcW ? 3 * static_cast<size_t>(c.right + 1) : rowSamples;
    for (int i = 0; i < dstH; ++i) {
        const Sample y = SampleAt(bottomRow + i / sy);
        const int y0 = y.whole < topRow ? y.whole : topRow;
        const int y1 = y0 + 1 < topRow ? y0 + 1 : topRow;
        BlendRowsVertically(src + srcStride * y0, src + srcStride * y1, y.fraction, acc, first, end);
        if (end == rowSamples)
            for (int ch = 0; ch < 3; ++ch) acc[rowSamples + ch] = acc[rowSamples - 3 + ch];
        BlendColumns24(acc, cols, dstW, dst + dstStride * i);
        ClearPadding(dst + dstStride * i, pixelBytes, dstStride);
    }
    return dst;
}

BYTE* CImgResize::ResizeYUY2(const BYTE* src, BYTE* dst, const BITMAPINFOHEADER* srcHeader,
                             const BITMAPINFOHEADER* dstHeader) {
    if (!src || !dst || !srcHeader || !dstHeader) return nullptr;
    const int srcW = srcHeader->biWidth, srcH = srcHeader->biHeight;
    const int dstW = dstHeader->biWidth, dstH = dstHeader->biHeight;
    // Pixels come in pairs sharing one U and one V, so the source width must be even.
    if (!ImageSizeAcceptable(srcW, srcH) || !ImageSizeAcceptable(dstW, dstH) || srcW % 2 != 0 ||
        !ClipInside(srcW, srcH))
        return nullptr;
    const RECT c = m_clip;
    const double sx = Scale(dstW, c.right - c.left, false);
    const double sy = Scale(dstH, c.bottom - c.top, false);
    const size_t srcStride = 2 * static_cast<size_t>(srcW);
    const size_t dstStride = 2 * static_cast<size_t>(dstW);

    if (sx == 1.0 && sy == 1.0) {
        for (int j = 0; j < dstH; ++j)
            std::memcpy(dst + dstStride * j, src + srcStride * (c.top + j) + 2 * c.left, dstStride);
        return dst;
    }

    unsigned int* acc = Accumulator(srcW + 1);
    const unsigned int* cols = Columns(dstW, c.left, sx, srcW, 1, false);
    if (!acc || !cols) return nullptr;
    const int lastRow = c.bottom - 1;
    for (int i = 0; i < dstH; ++i) {
        const Sample y = SampleAt(c.top + i / sy);
        const int y0 = y.whole < lastRow ? y.whole : lastRow;
        const int y1 = y0 + 1 < lastRow ? y0 + 1 : lastRow;
        const BYTE* r0 = src + srcStride * y0;
        const BYTE* r1 = src + srcStride * y1;
        const unsigned wy = y.fraction;
        for (int x = 0; x < srcW; ++x) acc[x] = wy * r1[2 * x] + (256 - wy) * r0[2 * x];
        acc[srcW] = acc[srcW - 1];

        BYTE* out = dst + dstStride * i;
        for (int l = 0; l < dstW; ++l) {
            const unsigned x0 = cols[2 * l];
            out[2 * l] = static_cast<BYTE>(Blend(cols[2 * l + 1], acc[x0 + 1], acc[x0]));
            if (l % 2 != 0) continue;
            // Chroma is blended vertically only, from the pair under the sample position.
            const size_t pair = 4 * static_cast<size_t>(x0 >> 1);
            out[2 * l + 1] = static_cast<BYTE>(((256 - wy) * r0[pair + 1] + wy * r1[pair + 1] + 128) >> 8);
            if (2 * static_cast<size_t>(l) + 3 < dstStride)
                out[2 * l + 3] = static_cast<BYTE>(((256 - wy) * r0[pair + 3] + wy * r1[pair + 3] + 128) >> 8);
        }
    }
    return dst;
}

HGLOBAL CImgResize::ResizeToDIB(HGLOBAL block, const BYTE* src, BITMAPINFOHEADER* srcHeader,
                                const BITMAPINFOHEADER* dstHeader) {
    if (!dstHeader || !ImageSizeAcceptable(dstHeader->biWidth, dstHeader->biHeight)) return nullptr;
    const size_t bytes = sizeof(BITMAPINFOHEADER) +
                         static_cast<size_t>(DibRowBytes(dstHeader->biWidth, 24)) * dstHeader->biHeight;
    const bool ours = block == nullptr;
    if (ours) block = GlobalAlloc(GHND, bytes);
    if (!block) return nullptr;
    auto* p = static_cast<BYTE*>(GlobalLock(block));
    if (!p) {
        GlobalFree(block);
        return nullptr;
    }
    BYTE* rows = nullptr;
    if (GlobalSize(block) >= bytes) {
        std::memcpy(p, dstHeader, sizeof(BITMAPINFOHEADER));
        rows = Resize24(src, p + sizeof(BITMAPINFOHEADER), srcHeader, dstHeader);
    }
    GlobalUnlock(block);
    if (rows) return block;
    if (ours) GlobalFree(block);
    return nullptr;
}
