#pragma once
// Uncompressed DIB rows (1, 4, 8, 16, 24 or 32 bits, BI_RGB or BI_BITFIELDS,
// bottom-up or top-down) to 24-bit BI_RGB bottom-up rows padded to 4 bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win32/Win32Types.h"

class DibConverter {
public:
    // False when the layout is not one we convert. `format` is the whole strf
    // block (header, then masks or colour table).
    bool Init(const uint8_t* format, size_t formatSize);
    // Bytes a frame must have.
    int64_t FrameBytes() const { return m_srcRowBytes * m_height; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // `out` holds Height() rows of DibRowBytes(Width(), 24) bytes, bottom row first.
    void Convert(const uint8_t* frame, uint8_t* out) const;

private:
    struct Mask {
        uint32_t mask = 0;
        int shift = 0;
        int bits = 0;
        uint8_t Expand(uint32_t px) const;
    };
    void SetMasks(uint32_t r, uint32_t g, uint32_t b);
    void ConvertRow(const uint8_t* src, uint8_t* dst) const;

    int m_width = 0;
    int m_height = 0;
    int m_bits = 0;
    bool m_topDown = false;
    int64_t m_srcRowBytes = 0;
    RGBQUAD m_palette[256] = {};
    Mask m_r, m_g, m_b;
};
