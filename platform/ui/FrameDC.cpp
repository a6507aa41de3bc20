#include "platform/ui/FrameDC.h"

#include <algorithm>
#include <bit>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The source pixel under the centre of screen pixel at, for a picture starting at
// origin, screen pixels long, showing source pixels from first: first + the integer
// part of c = (at - origin + 1/2) * source / screen. A centre exactly on the edge
// between two source pixels takes the one the painter takes when it stretches the
// whole frame: it samples a hair before the centre in memory order, which for the
// bottom-up rows is a hair below it on screen, so a tie goes left in a row and down
// in a column.
int64_t SampleColumn(int64_t at, int64_t origin, int64_t screen, int64_t first, int64_t source) {
    const int64_t twice = 2 * screen;
    return first + ((2 * (at - origin) + 1) * source + twice - 1) / twice - 1;  // ceil(c) - 1
}

int64_t SampleRow(int64_t at, int64_t origin, int64_t screen, int64_t first, int64_t source) {
    return first + (2 * (at - origin) + 1) * source / (2 * screen);  // floor(c)
}

#if defined(__x86_64__)
// Where a row's columns are the frame's own, one to one, four pixels a step: sixteen
// bytes loaded, their first twelve spread into four opaque words. Returns how many
// pixels it did: whole fours whose loads stay inside the rowBytes bytes at from.
__attribute__((target("ssse3"))) int ConvertOneToOneSsse3(const uint8_t* from, size_t rowBytes, int columns,
                                                          QRgb* out) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int i = 0;
    for (; i + 4 <= columns && 3 * static_cast<size_t>(i) + 16 <= rowBytes; i += 4) {
        const __m128i bgr = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 3 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_or_si128(_mm_shuffle_epi8(bgr, spread), opaque));
    }
    return i;
}
#endif

int ConvertOneToOne(const uint8_t* from, size_t rowBytes, int columns, QRgb* out) {
#if defined(__x86_64__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) return ConvertOneToOneSsse3(from, rowBytes, columns, out);
#endif
    return 0;
}

// Screen pixels done..columns of a row out of one frame row. The first wide pixels
// are each read as four bytes (blue, green, red and a byte of the next pixel, which
// the opaque alpha covers): one load instead of three.
void ConvertRow(const uint8_t* from, const int* offsets, int done, int wide, int columns, QRgb* out) {
    static_assert(std::endian::native == std::endian::little);
    int i = done;
    for (; i < wide; ++i) {
        uint32_t bgrx;
        std::memcpy(&bgrx, from + offsets[i], 4);
        out[i] = 0xFF000000u | bgrx;
    }
    for (; i < columns; ++i) {
        const uint8_t* px = from + offsets[i];
        out[i] = 0xFF000000u | uint32_t{px[2]} << 16 | uint32_t{px[1]} << 8 | px[0];
    }
}

}  // namespace

bool CFrameDC::Same(const Inputs& a, const Inputs& b) {
    return a.bits == b.bits && a.width == b.width && a.height == b.height && SameRect(a.src, b.src) &&
           SameRect(a.picture, b.picture) && SameRect(a.visible, b.visible);
}

void CFrameDC::Render(const uint8_t* bits, int width, int height, const RECT& src, const RECT& picture,
                      const RECT& visible) {
    const Inputs in{bits, width, height, src, picture, visible};
    if (m_valid && Same(in, m_inputs)) return;
    m_inputs = in;
    m_valid = true;
    m_area = RECT{};
    const bool sourceInside = bits && width > 0 && height > 0 && src.left >= 0 && src.top >= 0 &&
                              src.right <= width && src.bottom <= height && src.left < src.right &&
                              src.top < src.bottom;
    if (!sourceInside || picture.right <= picture.left || picture.bottom <= picture.top) return;
    const RECT area{std::max(picture.left, visible.left), std::max(picture.top, visible.top),
                    std::min(picture.right, visible.right), std::min(picture.bottom, visible.bottom)};
    if (area.right <= area.left || area.bottom <= area.top) return;
    if (!Reserve(area.right - area.left, area.bottom - area.top)) return;
    m_area = area;
    Convert(in);
}

bool CFrameDC::Reserve(int width, int height) {
    if (m_pixels.width() < width || m_pixels.height() < height) {
        m_pixels = QImage(std::max(width, m_pixels.width()), std::max(height, m_pixels.height()),
                          QImage::Format_RGB32);
        if (m_pixels.isNull()) return false;
    }
    if (m_columnBytes.size() < static_cast<size_t>(width)) m_columnBytes.resize(static_cast<size_t>(width));
    return true;
}

void CFrameDC::Convert(const Inputs& in) {
    const RECT& p = in.picture;
    const RECT& s = in.src;
    const int64_t pw = int64_t{p.right} - p.left, ph = int64_t{p.bottom} - p.top;
    const int64_t sw = int64_t{s.right} - s.left, sh = int64_t{s.bottom} - s.top;
    const auto stride = static_cast<size_t>(DibRowBytes(in.width, 24));
    const int columns = m_area.right - m_area.left;
    int* const offsets = m_columnBytes.data();
    int wide = 0;  // the leading columns whose pixel can be read as four bytes
    for (int i = 0; i < columns; ++i) {
        offsets[i] = static_cast<int>(3 * SampleColumn(m_area.left + i, p.left, pw, s.left, sw));
        if (static_cast<size_t>(offsets[i]) + 4 <= stride) wide = i + 1;
    }
    const bool oneToOne = sw == pw;  // then column i is the source's offsets[0] / 3 + i
    uchar* const pixels = m_pixels.bits();
    const auto pixelStride = static_cast<size_t>(m_pixels.bytesPerLine());
    int64_t lastRow = -1;
    for (int y = 0; y < m_area.bottom - m_area.top; ++y) {
        uchar* out = pixels + pixelStride * static_cast<size_t>(y);
        // Frame rows are bottom-up: picture row r is memory row height - 1 - r.
        const int64_t row = in.height - 1 - SampleRow(m_area.top + y, p.top, ph, s.top, sh);
        if (row == lastRow) {
            std::memcpy(out, out - pixelStride, static_cast<size_t>(columns) * sizeof(QRgb));
            continue;
        }
        lastRow = row;
        const uint8_t* from = in.bits + stride * static_cast<size_t>(row);
        auto* pixelsOut = reinterpret_cast<QRgb*>(out);
        const int done = oneToOne ? ConvertOneToOne(from + offsets[0], stride - offsets[0], columns, pixelsOut) : 0;
        ConvertRow(from, offsets, done, wide, columns, pixelsOut);
    }
}
