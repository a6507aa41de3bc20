#include "image/ResizeKernels.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "platform/win32/KernelChoice.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TALVERN_RESIZE_X86 1
#include <immintrin.h>
#endif

namespace {

std::atomic<ResizeKernels> g_use{ResizeKernels::kFastest};

// The offset that turns a sample of 0..65280 into a signed 16-bit number, and what a
// signed multiply-add of two offset samples with weights summing to 256 needs added
// back (256 * 32768) together with the rounding of the >> 16.
constexpr uint16_t kSampleOffset = 0x8000;
constexpr int kBlendBias = 256 * 32768 + 0x8000;

// The rows, the samples and the output never overlap.
void VerticalScalar(const uint8_t* __restrict r0, const uint8_t* __restrict r1, unsigned wy,
                    uint16_t* __restrict acc, size_t b, size_t end) {
    // In blocks of a fixed count, which the compiler unrolls.
    for (; b + 16 <= end; b += 16)
        for (size_t i = b; i < b + 16; ++i)
            acc[i] = static_cast<uint16_t>((wy * r1[i] + (256 - wy) * r0[i]) ^ kSampleOffset);
    for (; b < end; ++b) acc[b] = static_cast<uint16_t>((wy * r1[b] + (256 - wy) * r0[b]) ^ kSampleOffset);
}

// f * next + (256 - f) * here = 256 * here + f * (next - here), and the offset samples
// read as signed numbers differ as the samples do: the vector kernels' multiply-add in
// the fewest scalar steps.
int BlendScalar(int f, int16_t next, int16_t here) {
    return (256 * here + f * (next - here) + kBlendBias) >> 16;
}

// The rows, the samples and the output never overlap.
void HorizontalScalar(const uint16_t* __restrict acc, const unsigned* __restrict cols, int k, int dstW,
                      uint8_t* __restrict out) {
    const auto* signedAcc = reinterpret_cast<const int16_t*>(acc);
    for (; k < dstW; ++k) {
        const int16_t* a = signedAcc + cols[2 * k];
        const int f = static_cast<int>(cols[2 * k + 1] >> 16);
        const int b = BlendScalar(f, a[3], a[0]), g = BlendScalar(f, a[4], a[1]), r = BlendScalar(f, a[5], a[2]);
        out[3 * k] = static_cast<uint8_t>(b);
        out[3 * k + 1] = static_cast<uint8_t>(g);
        out[3 * k + 2] = static_cast<uint8_t>(r);
    }
}

#ifdef TALVERN_RESIZE_X86

bool CpuHas(ResizeKernels kernels) {
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    static const bool avx2 = __builtin_cpu_supports("avx2");
    switch (kernels) {
    case ResizeKernels::kScalar:
    case ResizeKernels::kFastest: return true;
    case ResizeKernels::kSsse3: return ssse3;
    case ResizeKernels::kAvx2: return avx2;
    }
    return false;
}

// Sixteen samples a step; the products stay below 65536, so 16-bit lanes hold them.
__attribute__((target("ssse3"))) size_t VerticalSsse3(const uint8_t* r0, const uint8_t* r1, unsigned wy,
                                                      uint16_t* acc, size_t b, size_t end) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i w0 = _mm_set1_epi16(static_cast<short>(256 - wy)), w1 = _mm_set1_epi16(static_cast<short>(wy));
    const __m128i offset = _mm_set1_epi16(static_cast<short>(kSampleOffset));
    for (; b + 16 <= end; b += 16) {
        const __m128i x0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + b));
        const __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + b));
        const __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(x1, zero), w1),
                                         _mm_mullo_epi16(_mm_unpacklo_epi8(x0, zero), w0));
        const __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(x1, zero), w1),
                                         _mm_mullo_epi16(_mm_unpackhi_epi8(x0, zero), w0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(acc + b), _mm_xor_si128(lo, offset));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(acc + b + 8), _mm_xor_si128(hi, offset));
    }
    return b;
}

__attribute__((target("avx2"))) size_t VerticalAvx2(const uint8_t* r0, const uint8_t* r1, unsigned wy,
                                                    uint16_t* acc, size_t b, size_t end) {
    const __m256i w0 = _mm256_set1_epi16(static_cast<short>(256 - wy));
    const __m256i w1 = _mm256_set1_epi16(static_cast<short>(wy));
    const __m256i offset = _mm256_set1_epi16(static_cast<short>(kSampleOffset));
    for (; b + 32 <= end; b += 32) {
        for (size_t half = 0; half < 32; half += 16) {
            const __m256i x0 = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + b + half)));
            const __m256i x1 = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + b + half)));
            const __m256i v = _mm256_add_epi16(_mm256_mullo_epi16(x1, w1), _mm256_mullo_epi16(x0, w0));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + b + half), _mm256_xor_si256(v, offset));
        }
    }
    return b;
}

// Pairs each of a pixel's three samples with the one three further on, as the 16-bit
// halves of a word; the fourth word is zero.
#define TALVERN_PAIR_NEIGHBOURS 0, 1, 6, 7, 2, 3, 8, 9, 4, 5, 10, 11, -1, -1, -1, -1
// Keeps bytes 0-2 of each of four words: four pixels' twelve bytes, in order.
#define TALVERN_PACK_PIXELS 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1

// One pixel: its three blended values in words 0-2 (0..255 each).
__attribute__((target("ssse3"))) inline __m128i PixelSsse3(const uint16_t* acc, const unsigned* cols, int k,
                                                           __m128i pair, __m128i bias) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + cols[2 * k]));
    const __m128i weights = _mm_set1_epi32(static_cast<int>(cols[2 * k + 1]));
    return _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_shuffle_epi8(a, pair), weights), bias), 16);
}

// Four pixels a step.
__attribute__((target("ssse3"))) int HorizontalSsse3(const uint16_t* acc, const unsigned* cols, int k, int dstW,
                                                     uint8_t* out) {
    const __m128i pair = _mm_setr_epi8(TALVERN_PAIR_NEIGHBOURS);
    const __m128i pack = _mm_setr_epi8(TALVERN_PACK_PIXELS);
    const __m128i bias = _mm_set1_epi32(kBlendBias);
    for (; k + 4 <= dstW; k += 4) {
        const __m128i p01 = _mm_packs_epi32(PixelSsse3(acc, cols, k, pair, bias), PixelSsse3(acc, cols, k + 1, pair, bias));
        const __m128i p23 =
            _mm_packs_epi32(PixelSsse3(acc, cols, k + 2, pair, bias), PixelSsse3(acc, cols, k + 3, pair, bias));
        const __m128i bytes = _mm_shuffle_epi8(_mm_packus_epi16(p01, p23), pack);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 3 * k), bytes);
        const int last = _mm_cvtsi128_si32(_mm_srli_si128(bytes, 8));
        std::memcpy(out + 3 * k + 8, &last, 4);
    }
    return k;
}

// Pixels k (low half) and k + 4 (high half), with their weights in every word of
// each half.
__attribute__((target("avx2"))) inline __m256i PixelsAvx2(const uint16_t* acc, const unsigned* cols, int k,
                                                          __m256i weights, __m256i pair, __m256i bias) {
    const __m256i a = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + cols[2 * k]))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + cols[2 * k + 8])), 1);
    return _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(_mm256_shuffle_epi8(a, pair), weights), bias), 16);
}

// Eight pixels a step: the halves hold pixels k..k+3 and k+4..k+7, whose twelve
// bytes each are then moved together into 24 contiguous bytes. The weights come
// from two loads of the column table, (offset, weights) pairs of pixels k..k+3 and
// k+4..k+7, whose halves are regrouped so that each pixel pair's weights share a
// 128-bit half and are then spread over it.
__attribute__((target("avx2"))) int HorizontalAvx2(const uint16_t* acc, const unsigned* cols, int k, int dstW,
                                                   uint8_t* out) {
    const __m256i pair = _mm256_setr_epi8(TALVERN_PAIR_NEIGHBOURS, TALVERN_PAIR_NEIGHBOURS);
    const __m256i pack = _mm256_setr_epi8(TALVERN_PACK_PIXELS, TALVERN_PACK_PIXELS);
    const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
    const __m256i bias = _mm256_set1_epi32(kBlendBias);
    for (; k + 8 <= dstW; k += 8) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols + 2 * k));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols + 2 * k + 8));
        const __m256i w01 = _mm256_permute2x128_si256(low, high, 0x20);  // pixels k, k+1 | k+4, k+5
        const __m256i w23 = _mm256_permute2x128_si256(low, high, 0x31);  // pixels k+2, k+3 | k+6, k+7
        const __m256i p01 = _mm256_packs_epi32(PixelsAvx2(acc, cols, k, _mm256_shuffle_epi32(w01, 0x55), pair, bias),
                                               PixelsAvx2(acc, cols, k + 1, _mm256_shuffle_epi32(w01, 0xFF), pair, bias));
        const __m256i p23 =
            _mm256_packs_epi32(PixelsAvx2(acc, cols, k + 2, _mm256_shuffle_epi32(w23, 0x55), pair, bias),
                               PixelsAvx2(acc, cols, k + 3, _mm256_shuffle_epi32(w23, 0xFF), pair, bias));
        const __m256i bytes =
            _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(_mm256_packus_epi16(p01, p23), pack), join);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * k), _mm256_castsi256_si128(bytes));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 3 * k + 16), _mm256_extracti128_si256(bytes, 1));
    }
    return k;
}

size_t VerticalWith(ResizeKernels use, const uint8_t* r0, const uint8_t* r1, unsigned wy, uint16_t* acc, size_t b,
                    size_t end) {
    if (use >= ResizeKernels::kAvx2 && CpuHas(ResizeKernels::kAvx2)) b = VerticalAvx2(r0, r1, wy, acc, b, end);
    if (use >= ResizeKernels::kSsse3 && CpuHas(ResizeKernels::kSsse3)) b = VerticalSsse3(r0, r1, wy, acc, b, end);
    return b;
}

int HorizontalWith(ResizeKernels use, const uint16_t* acc, const unsigned* cols, int dstW, uint8_t* out) {
    int k = 0;
    if (use >= ResizeKernels::kAvx2 && CpuHas(ResizeKernels::kAvx2)) k = HorizontalAvx2(acc, cols, k, dstW, out);
    if (use >= ResizeKernels::kSsse3 && CpuHas(ResizeKernels::kSsse3)) k = HorizontalSsse3(acc, cols, k, dstW, out);
    return k;
}

// Each pass timed on a row of a 1080p frame's width that stays in the cache (what
// differs between the families is their arithmetic and shuffling, not the memory
// they share), the columns scaled by two thirds.
struct Fastest {
    ResizeKernels vertical = ResizeKernels::kScalar, horizontal = ResizeKernels::kScalar;

    Fastest() {
        std::vector<ResizeKernels> families;
        for (ResizeKernels k : {ResizeKernels::kSsse3, ResizeKernels::kAvx2})
            if (CpuHas(k)) families.push_back(k);
        if (families.size() < 2) {
            vertical = horizontal = families.empty() ? ResizeKernels::kScalar : families[0];
            return;
        }
        constexpr int kDstW = 1280, kSamples = 3 * 1920;
        std::vector<uint8_t> rows(2 * kSamples), out(3 * kDstW);
        std::vector<uint16_t> acc(kSamples + kResizeAccSlack);
        std::vector<unsigned> cols(2 * kDstW);
        for (size_t i = 0; i < rows.size(); ++i) rows[i] = uint8_t(i * 7);
        for (int k = 0; k < kDstW; ++k) {
            const int at = k * 3 * 256 / 2;  // 1.5 source columns an output one, in 1/256
            cols[2 * k] = unsigned(3 * std::min(at >> 8, 1918));
            cols[2 * k + 1] = ResizePairWeights(unsigned(at & 255));
        }
        const auto pick = [&](auto pass) { return families[size_t(FastestKernel(int(families.size()), pass))]; };
        vertical = pick([&](int i) {
            for (unsigned wy = 0; wy < 256; wy += 64)
                VerticalWith(families[size_t(i)], rows.data(), rows.data() + kSamples, wy, acc.data(), 0, kSamples);
        });
        horizontal = pick([&](int i) {
            for (int r = 0; r < 4; ++r) HorizontalWith(families[size_t(i)], acc.data(), cols.data(), kDstW, out.data());
        });
    }
};

ResizeKernels Pick(bool vertical) {
    const ResizeKernels use = g_use.load(std::memory_order_relaxed);
    if (use != ResizeKernels::kFastest) return use;
    static const Fastest fastest;
    return vertical ? fastest.vertical : fastest.horizontal;
}

#endif  // TALVERN_RESIZE_X86

}  // namespace

void UseResizeKernels(ResizeKernels kernels) { g_use.store(kernels, std::memory_order_relaxed); }

bool HaveResizeKernels(ResizeKernels kernels) {
#ifdef TALVERN_RESIZE_X86
    return CpuHas(kernels);
#else
    return kernels == ResizeKernels::kScalar;
#endif
}

void BlendRowsVertically(const uint8_t* r0, const uint8_t* r1, unsigned wy, uint16_t* acc, size_t first,
                         size_t end) {
    size_t b = first;
#ifdef TALVERN_RESIZE_X86
    b = VerticalWith(Pick(true), r0, r1, wy, acc, b, end);
#endif
    VerticalScalar(r0, r1, wy, acc, b, end);
}

void BlendColumns24(const uint16_t* acc, const unsigned* cols, int dstW, uint8_t* out) {
    int k = 0;
#ifdef TALVERN_RESIZE_X86
    k = HorizontalWith(Pick(false), acc, cols, dstW, out);
#endif
    HorizontalScalar(acc, cols, k, dstW, out);
}
