#pragma once
// Same-size conversion of packed 24-bit bottom-up BGR rows to planar YUV 4:2:0
// (BT.601), for the compressors that take yuv420p or yuvj420p.
//
// Luma is a 15-bit fixed-point dot product of each pixel, rounded once. Chroma of a
// 2x2 block is the average of its four pixels' chroma, taken exactly: the dot
// product of the block's summed B, G and R, rounded once. An odd last column or row
// repeats its edge pixels to fill the block. The scalar code performs the same
// integer steps as the vector code, so the output never depends on the CPU or on
// the row width.
#include <cstddef>
#include <cstdint>

// Factors * 2^15 of B, G and R in each component, and the offsets that carry the
// black level (or 128 for chroma) and the rounding.
struct BgrToYuvFactors {
    int16_t y[3] = {};  // B, G, R
    int16_t u[3] = {};
    int16_t v[3] = {};
    int32_t yBias = 0;       // added before >> 15
    int32_t chromaBias = 0;  // added to the four-pixel sum before >> 17
};

// Limited range: Y 16-235, chroma 16-240 (yuv420p). Full range: 0-255 (yuvj420p).
BgrToYuvFactors MakeBgrToYuvFactors(bool fullRange);

struct YuvPlanesOut {
    uint8_t* data[3];  // Y, U, V; top-down
    ptrdiff_t stride[3];
};

// Reads width x height pixels from bits, whose first row is the picture's last,
// rows rowBytes apart; writes width x height luma and ((width + 1) / 2) x
// ((height + 1) / 2) samples of each chroma plane.
void ConvertBgrToYuv420(const uint8_t* bits, ptrdiff_t rowBytes, int width, int height,
                        const BgrToYuvFactors& factors, const YuvPlanesOut& planes);

// The kernel families, narrowest first; they give the same bytes. kFastest: the
// fastest of those this CPU has, timed at first use.
enum class BgrToYuvKernels { kScalar, kAvx2, kAvx512, kFastest };

// The family the conversion uses from now on (narrower ones taking the ends of rows;
// a family the CPU lacks gives way to the next narrower one); for comparing the
// families with one another. By default kFastest.
void UseBgrToYuvKernels(BgrToYuvKernels kernels);
bool HaveBgrToYuvKernels(BgrToYuvKernels kernels);
