#pragma once
// PackedDib: one block holding a 40-byte 24-bit BITMAPINFOHEADER followed by the
// picture's rows, bottom line first, each row B, G, R pixels padded to 4 bytes.
// The still-image loaders hand pictures out in this form (malloc'ed, freed with free).
#include <cstdint>
#include <cstdio>

#include "platform/win32/Win32Types.h"

struct PackedDib {
    BITMAPINFOHEADER bmiHeader;

    BYTE* Bits() { return reinterpret_cast<BYTE*>(this) + sizeof(BITMAPINFOHEADER); }
    const BYTE* Bits() const {
        return reinterpret_cast<const BYTE*>(this) + sizeof(BITMAPINFOHEADER);
    }
};
static_assert(sizeof(PackedDib) == 40);

// Largest picture (pixel bytes) that a loader or writer accepts: sizes come from
// untrusted files, so they are bounded before anything is allocated.
constexpr int64_t kMaxImageBytes = int64_t{1} << 28;

// True when width × height is a picture we are prepared to hold as 24-bit rows.
constexpr bool ImageSizeAcceptable(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= 65535 && height <= 65535 &&
           FrameBytes24(width, height, kMaxImageBytes).has_value();
}

// A new PackedDib from malloc with the canonical header; null when the size is
// unacceptable or memory is short.
PackedDib* AllocPackedDib(int width, int height);

// The loaders' common contract: with a null block, a new PackedDib of width × height;
// a passed block is used only if it already describes a 24-bit picture of that size.
// *owned tells whether the result was allocated here (and must be freed on failure).
PackedDib* TakePackedDib(PackedDib* block, int width, int height, bool* owned);

// Frees a block that TakePackedDib allocated; returns null for convenient tail calls.
PackedDib* DropPackedDib(PackedDib* block, bool owned);

// fopen of a wide path for reading (the loaders' way in); the narrow form is UTF-8.
// Only a regular file opens: a FIFO or a device named as a picture gives null at once.
FILE* OpenFileWide(const wchar_t* path, const char* mode);
