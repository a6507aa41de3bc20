#pragma once
// The two passes of the 24-bit bilinear resize, with vector kernels chosen at run time.
//
// The vertical pass blends two source rows into one row of samples in 1/256 units,
// v = wy * below + (256 - wy) * here, at most 255 * 256, so a sample fits 16 bits.
// It is kept offset by 32768 (stored as v ^ 0x8000, i.e. v - 32768 as a signed
// 16-bit number), so that the horizontal pass can weigh two neighbours with one
// signed 16-bit multiply-add. The horizontal pass gives each output byte
// (f * next + (256 - f) * here + 0x8000) >> 16 for its column's sample offset and
// fraction f; the vector kernels and the scalar code compute exactly that.
#include <cstddef>
#include <cstdint>

// The kernel families, narrowest first; they give the same bytes. kFastest: for each
// pass, the fastest family this CPU has, timed at first use.
enum class ResizeKernels { kScalar, kSsse3, kAvx2, kFastest };

// The family both passes use from now on (narrower ones taking the ends of rows; a
// family the CPU lacks gives way to the next narrower one); for comparing the families
// with one another. By default kFastest.
void UseResizeKernels(ResizeKernels kernels);
bool HaveResizeKernels(ResizeKernels kernels);

// Samples first..end-1 of the blended row: acc[b] = (wy * r1[b] + (256 - wy) * r0[b]) ^ 0x8000.
void BlendRowsVertically(const uint8_t* r0, const uint8_t* r1, unsigned wy, uint16_t* acc, size_t first,
                         size_t end);

// Extra samples the horizontal pass may read after the last one a column names: the
// accumulator needs this many more elements (their values are never used).
constexpr size_t kResizeAccSlack = 8;

// The weights of a column whose fraction is f, as the horizontal pass takes them:
// 256 - f (for the left sample) in the low 16 bits, f in the high 16 bits.
constexpr unsigned ResizePairWeights(unsigned fraction) { return (256 - fraction) | fraction << 16; }

// dstW output pixels of three bytes into out: pixel k blends acc[cols[2k] + ch] with
// acc[cols[2k] + 3 + ch] by the weights cols[2k + 1]. Writes exactly 3 * dstW bytes.
void BlendColumns24(const uint16_t* acc, const unsigned* cols, int dstW, uint8_t* out);
