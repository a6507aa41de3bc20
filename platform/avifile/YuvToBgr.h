#pragma once
// Same-size conversion of 8-bit planar YUV (4:2:0, 4:2:2, 4:4:4) to packed 24-bit
// BGR rows, written bottom-up. Chroma is not interpolated: every pixel takes the
// chroma sample of the block it lies in, as the general scaler's unscaled path does.
//
// All arithmetic is 16-bit fixed point, and the scalar code repeats the vector
// code's integer steps exactly, so a pixel's value never depends on the CPU, on the
// row width or on where the vector blocks end.
#include <cstddef>
#include <cstdint>

// Fixed-point factors of one matrix and range. Luma: yt = ((Y << 8) * yMul >> 16) + yBias,
// chroma: c = (C << 7) - 16384, terms as (c * k + 0x4000) >> 15, all in 1/64 units.
struct YuvToBgrFactors {
    int16_t yMul = 0;   // unsigned 16-bit in effect: luma gain * 2^14
    int16_t yBias = 0;  // black level and rounding, 1/64 units
    int16_t rv = 0;     // V's share of red * 2^14
    int16_t gu = 0;     // U's share of green * 2^14 (negative)
    int16_t gv = 0;     // V's share of green * 2^14 (negative)
    int16_t bu = 0;     // U's share of blue * 2^14, less the exact 2 added separately
};

// From a table of four 16.16 factors {crv, cbu, cgu, cgv} (the general scaler's
// layout) for limited-range (16-235) or full-range pictures, to full-range RGB.
YuvToBgrFactors MakeYuvToBgrFactors(const int* table, bool fullRange);

enum class ChromaLayout { k420, k422, k444 };

struct YuvPlanes {
    const uint8_t* data[3];  // Y, U, V
    ptrdiff_t stride[3];
};

// Writes width x height pixels into bits: the picture's last row first, rows
// rowBytes apart. Only width * 3 bytes of each row are written, so row padding
// keeps what the caller put there.
void ConvertYuvToBgr(const YuvPlanes& planes, ChromaLayout layout, int width, int height,
                     const YuvToBgrFactors& factors, uint8_t* bits, ptrdiff_t rowBytes);

// The kernel families, narrowest first. Both AVX2 families give the same bytes: the
// second keeps every step within 128-bit halves, for cores that run AVX2 as two of them.
// kFastest: the fastest of those this CPU has, timed at first use.
enum class YuvToBgrKernels { kScalar, kSsse3, kAvx2, kAvx2InLane, kAvx512, kFastest };

// The family the conversion uses from now on (with narrower ones taking the ends of
// rows; a family the CPU lacks gives way to the next narrower one); for comparing the
// families with one another. By default kFastest.
void UseYuvToBgrKernels(YuvToBgrKernels kernels);
bool HaveYuvToBgrKernels(YuvToBgrKernels kernels);
// Which family kFastest stands for on this CPU.
YuvToBgrKernels FastestYuvToBgrKernels();
