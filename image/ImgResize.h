#pragma once
// Cuts the clip rectangle out of a frame and scales it to the output size with a
// fixed-point bilinear filter (8-bit fractions), for 24-bit bottom-up and YUY2 frames.
#include "foundation/MemBuffBase.h"
#include "platform/win32/GlobalMemory.h"
#include "platform/win32/Win32Types.h"

class CImgResize {
public:
    CImgResize() = default;
    virtual ~CImgResize() = default;

    // Clip in picture coordinates (y from the top line down); right and bottom exclusive.
    void SetClipRect(int left, int top, int right, int bottom);
    const RECT& GetClipRect() const { return m_clip; }

    // Writes the scaled clip to dst (rows laid out as the source's format) and returns dst.
    // Null for an unsupported format, a clip that is empty or reaches outside the source,
    // or an output size that is not positive. Only biWidth and biHeight of dstHeader are read.
    BYTE* Resize(const BYTE* src, BYTE* dst, const BITMAPINFOHEADER* srcHeader,
                 const BITMAPINFOHEADER* dstHeader);
    BYTE* Resize24(const BYTE* src, BYTE* dst, const BITMAPINFOHEADER* srcHeader,
                   const BITMAPINFOHEADER* dstHeader);
    BYTE* ResizeYUY2(const BYTE* src, BYTE* dst, const BITMAPINFOHEADER* srcHeader,
                     const BITMAPINFOHEADER* dstHeader);

    // Fills block (or, when null, a new GHND block) with dstHeader followed by the scaled
    // 24-bit rows and returns it unlocked; null on failure, when a block made here is freed.
    HGLOBAL ResizeToDIB(HGLOBAL block, const BYTE* src, BITMAPINFOHEADER* srcHeader,
                        const BITMAPINFOHEADER* dstHeader);

private:
    bool ClipInside(int srcW, int srcH) const;
    unsigned int* Accumulator(int elements);
    uint16_t* Samples(int elements);
    const unsigned int* Columns(int dstW, int left, double sx, int srcW, int samplesPerPixel, bool pairWeights);

    RECT m_clip{};
    // One source row of vertically blended samples in 1/256 units, kept between frames:
    // 32-bit for YUY2, 16-bit and offset as the 24-bit kernels take them (ResizeKernels.h).
    CMemBuffBase<unsigned int> m_acc;
    CMemBuffBase<uint16_t> m_samples;
    // Per output column: accumulator offset and 8-bit fraction or weights, rebuilt for each frame.
    CMemBuffBase<unsigned int> m_cols;
};
