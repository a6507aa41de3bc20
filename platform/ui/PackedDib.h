#pragma once
// Qt images over device-independent bitmaps.
#include <QImage>
#include <cstddef>
#include <cstdint>

#include "platform/win32/Win32Types.h"

// A copy of a packed DIB (header, palette, rows) as an image: 24-bit and 32-bit BI_RGB,
// 8-bit with palette, bottom-up or top-down. Null when the block is too short or
// its header makes no sense.
QImage ImageFromPackedDib(const uint8_t* packed, size_t bytes);

// A read-only view of 24-bit BGR rows (stride rounded to 4 bytes) without copying
// them. Row 0 of the image is the first row in memory, which is the bottom row of
// a bottom-up frame. The bits must outlive the image.
QImage WrapDib24(const uint8_t* bits, int width, int rows);
