#include "platform/ui/FrameDC.h"

#include <algorithm>
#include <bit>
#include <cstring>

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

// One screen row out of one frame row. The first wide pixels are each read as four
// bytes (blue, green, red and a byte of the next pixel, which the opaque alpha covers):
// one load instead of three.
void ConvertRow(const uint8_t* from, const int* offsets, int wide, int columns, QRgb* out) {
    static_assert(std::endian::native == std::endian::little);
    int i = 0;
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
        ConvertRow(in.bits + stride * static_cast<size_t>(row), offsets, wide, columns, reinterpret_cast<QRgb*>(out));
    }
}
