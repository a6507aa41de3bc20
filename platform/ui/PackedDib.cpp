#include "platform/ui/PackedDib.h"

#include <cstring>

namespace {
constexpr int64_t kMaxSide = 1 << 15;
}

QImage WrapDib24(const uint8_t* bits, int width, int rows) {
    if (!bits || width <= 0 || rows <= 0) return QImage();
    const qsizetype stride = static_cast<qsizetype>(DibRowBytes(width, 24));
    return QImage(bits, width, rows, stride, QImage::Format_BGR888);
}

QImage ImageFromPackedDib(const uint8_t* packed, size_t bytes) {
    if (!packed || bytes < sizeof(BITMAPINFOHEADER)) return QImage();
    BITMAPINFOHEADER h;
    std::memcpy(&h, packed, sizeof h);
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > bytes || h.biCompression != BI_RGB) return QImage();
    const int64_t width = h.biWidth;
    const bool bottomUp = h.biHeight > 0;
    const int64_t rows = bottomUp ? h.biHeight : -static_cast<int64_t>(h.biHeight);
    if (width <= 0 || rows <= 0 || width > kMaxSide || rows > kMaxSide) return QImage();
    const int bpp = h.biBitCount;
    if (bpp != 8 && bpp != 24 && bpp != 32) return QImage();
    const int64_t colours = bpp == 8 ? (h.biClrUsed ? std::min<int64_t>(h.biClrUsed, 256) : 256) : 0;
    const int64_t stride = DibRowBytes(width, bpp);
    const int64_t offset = h.biSize + colours * 4;
    if (offset + stride * rows > static_cast<int64_t>(bytes)) return QImage();

    const uint8_t* palette = packed + h.biSize;
    const uint8_t* pixels = packed + offset;
    QImage out(static_cast<int>(width), static_cast<int>(rows), QImage::Format_RGB32);
    for (int64_t y = 0; y < rows; ++y) {
        const uint8_t* src = pixels + stride * (bottomUp ? rows - 1 - y : y);
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(static_cast<int>(y)));
        for (int64_t x = 0; x < width; ++x) {
            const uint8_t* p = bpp == 8 ? palette + 4 * std::min<int64_t>(src[x], colours - 1) : src + x * (bpp / 8);
            dst[x] = qRgb(p[2], p[1], p[0]);
        }
    }
    return out;
}
