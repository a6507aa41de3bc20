#pragma once
// Frames and independent readers shared by the image file tests. The readers call
// libjpeg, libpng and libtiff directly, so a fault in our loaders cannot hide one in
// our writers.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32/Win32Types.h"

namespace imagetest {

struct Rgb {
    int r, g, b;
};

// A bottom-up 24-bit frame (rows padded to 4 bytes, padding 0xAB) whose pixel at x of
// picture line y (top = 0) is colour(x, y).
struct Frame {
    int width, height;
    std::vector<BYTE> bits;

    Frame(int w, int h, Rgb (*colour)(int x, int y));
    size_t Stride() const { return (3 * static_cast<size_t>(width) + 3) & ~size_t{3}; }
    Rgb At(int x, int y) const;
    BITMAPINFOHEADER Header() const;
};

// Coordinate-coded colours: every pixel differs in each channel from its neighbours.
Rgb Coded(int x, int y);
// Flat 8 × 8 blocks of strong colours, which JPEG keeps close to the source.
Rgb Blocks(int x, int y);

std::wstring Wide(const std::filesystem::path& p);

// Decoded pictures as top-down rows of R, G, B (components 3) or grey (components 1).
struct Decoded {
    int width = 0, height = 0, components = 0;
    std::vector<BYTE> pixels;
    Rgb At(int x, int y) const;
};
Decoded DecodeJpegDirect(const std::filesystem::path& p);
Decoded DecodePngDirect(const std::filesystem::path& p);

// Writes a small JPEG whose colour space is CMYK.
void WriteCmykJpeg(const std::filesystem::path& p, int w, int h);

}  // namespace imagetest
