#pragma once
// Rebuilds the lines of one field of an interlaced frame from their neighbours, or
// blends every line with its neighbours, for 24-bit bottom-up and YUY2 frames.
#include "platform/win32/Win32Types.h"

constexpr FOURCC kFourccYUY2 = MAKEFOURCC('Y', 'U', 'Y', '2');

class CImgInterlaced {
public:
    enum Mode { None = 0, Odd = 1, Even = 2, Doubling = 3 };

    virtual ~CImgInterlaced() = default;

    // Writes the deinterlaced frame to dst (stride × height bytes, not overlapping src)
    // and returns dst; returns src itself for mode 0 or an unknown mode. Null for a frame
    // that is neither 24-bit BI_RGB nor YUY2, or whose width or height is not positive.
    // Odd and Even set header->biSizeImage.
    BYTE* Deinterlace(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int mode);
    BYTE* Deinterlace24(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int mode);
    BYTE* DeinterlaceYUY2(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int mode);

    BYTE* Deinterlace24Odd(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int mode);
    BYTE* Deinterlace24Even(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int mode);
    BYTE* Deinterlace24Doubling(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int mode);
    BYTE* DeinterlaceYUY2Odd(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int mode);
    BYTE* DeinterlaceYUY2Even(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int mode);
    BYTE* DeinterlaceYUY2Doubling(const BYTE* src, BYTE* dst, BITMAPINFOHEADER* header, int mode);
};
