#include "platform/avifile/YuvToBgr.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TALVERN_YUV_AVX2 1
#include <immintrin.h>
#endif

namespace {

std::atomic<bool> g_vectorEnabled{true};

// One or two luma rows that share a chroma row, and where their pixels go.
struct RowJob {
    const uint8_t* y[2];
    const uint8_t* u;
    const uint8_t* v;
    uint8_t* out[2];
    int rows;
};

// ---- scalar code: the vector code's integer steps, one lane at a time ----

int MulHrs(int a, int b) { return (a * b + 0x4000) >> 15; }

int LumaTerm(int y, const YuvToBgrFactors& f) {
    return int((uint32_t(y) * 256u * uint16_t(f.yMul)) >> 16) + f.yBias;
}

int ChromaLevel(int c) { return c * 128 - 16384; }

struct ChromaTerms {
    int r, g, b;
};

ChromaTerms Terms(int u, int v, const YuvToBgrFactors& f) {
    const int us = ChromaLevel(u), vs = ChromaLevel(v);
    return {MulHrs(vs, f.rv), MulHrs(us, f.gu) + MulHrs(vs, f.gv), us + MulHrs(us, f.bu)};
}

// Saturating 16-bit add, arithmetic shift, then unsigned saturation to a byte.
uint8_t Channel(int yt, int term) {
    const int sum = std::clamp(yt + term, -32768, 32767) >> 6;
    return uint8_t(std::clamp(sum, 0, 255));
}

void ScalarRows(const RowJob& job, int from, int width, bool halfChroma,
                const YuvToBgrFactors& f) {
    for (int r = 0; r < job.rows; ++r) {
        const uint8_t* y = job.y[r];
        uint8_t* out = job.out[r];
        for (int x = from; x < width; ++x) {
            const int c = halfChroma ? x >> 1 : x;
            const ChromaTerms t = Terms(job.u[c], job.v[c], f);
            const int yt = LumaTerm(y[x], f);
            out[3 * x + 0] = Channel(yt, t.b);
            out[3 * x + 1] = Channel(yt, t.g);
            out[3 * x + 2] = Channel(yt, t.r);
        }
    }
}

// ---- AVX2: 32 pixels a step ----
#ifdef TALVERN_YUV_AVX2

// Luma and chroma bytes are split into even and odd pixels by 16-bit shifts and
// masks, not by shuffles; the byte order this leaves after packing is undone by the
// same shuffle that interleaves B, G and R. Within a 16-pixel lane, pixel q sits at
// byte (q odd ? 8 : 0) + q / 2.
constexpr int LanePos(int q) { return (q & 1) ? 8 + (q >> 1) : (q >> 1); }

// Output chunk k (16 bytes) of a lane holds stream bytes 16k..16k+15; byte j of
// chunk k is channel (k + j) % 3 of pixel (16k + j) / 3. For each channel, every j
// belongs to exactly one chunk, so one shuffle per channel serves all three chunks.
constexpr std::array<uint8_t, 32> ChannelShuffle(int channel) {
    std::array<uint8_t, 32> m{};
    for (int j = 0; j < 16; ++j) {
        const int k = ((channel - j) % 3 + 3) % 3;
        m[j] = m[j + 16] = uint8_t(LanePos((16 * k + j) / 3));
    }
    return m;
}

constexpr std::array<uint8_t, 32> EveryThird(int phase) {
    std::array<uint8_t, 32> m{};
    for (int j = 0; j < 16; ++j) m[j] = m[j + 16] = j % 3 == phase ? 0xFF : 0;
    return m;
}

alignas(32) constexpr std::array<uint8_t, 32> kShufB = ChannelShuffle(0);
alignas(32) constexpr std::array<uint8_t, 32> kShufG = ChannelShuffle(1);
alignas(32) constexpr std::array<uint8_t, 32> kShufR = ChannelShuffle(2);
alignas(32) constexpr std::array<uint8_t, 32> kThird0 = EveryThird(0);
alignas(32) constexpr std::array<uint8_t, 32> kThird1 = EveryThird(1);
alignas(32) constexpr std::array<uint8_t, 32> kThird2 = EveryThird(2);

#define AVX2_FN __attribute__((target("avx2"), always_inline)) inline

AVX2_FN __m256i Load32(const std::array<uint8_t, 32>& a) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(a.data()));
}

struct Avx2Factors {
    __m256i yMul, yBias, rv, gu, gv, bu, zeroLevel, oddByte, evenByte;
};

struct Avx2Terms {
    __m256i r, g, b;
};

AVX2_FN Avx2Factors LoadFactors(const YuvToBgrFactors& f) {
    return {_mm256_set1_epi16(f.yMul), _mm256_set1_epi16(f.yBias), _mm256_set1_epi16(f.rv),
            _mm256_set1_epi16(f.gu),   _mm256_set1_epi16(f.gv),    _mm256_set1_epi16(f.bu),
            _mm256_set1_epi16(16384),  _mm256_set1_epi16(int16_t(0xFF00)),
            _mm256_set1_epi16(0x00FF)};
}

// us, vs: chroma levels (C << 7) - 16384 in 16-bit lanes. The luma bias rides on
// the chroma terms, which serve several pixels, instead of on every luma term; the
// sums stay in 16 bits, so the saturating add that follows sees the same totals.
AVX2_FN Avx2Terms TermsAvx2(__m256i us, __m256i vs, const Avx2Factors& k) {
    const __m256i r = _mm256_mulhrs_epi16(vs, k.rv);
    const __m256i g = _mm256_add_epi16(_mm256_mulhrs_epi16(us, k.gu), _mm256_mulhrs_epi16(vs, k.gv));
    const __m256i b = _mm256_add_epi16(us, _mm256_mulhrs_epi16(us, k.bu));
    return {_mm256_add_epi16(r, k.yBias), _mm256_add_epi16(g, k.yBias), _mm256_add_epi16(b, k.yBias)};
}

AVX2_FN __m256i ChannelAvx2(__m256i yt, __m256i term) {
    return _mm256_srai_epi16(_mm256_adds_epi16(yt, term), 6);
}

// b, g, r: 32 bytes each in lane order; writes 96 bytes of B, G, R triples.
AVX2_FN void StoreBgr(uint8_t* out, __m256i b, __m256i g, __m256i r) {
    const __m256i bs = _mm256_shuffle_epi8(b, Load32(kShufB));
    const __m256i gs = _mm256_shuffle_epi8(g, Load32(kShufG));
    const __m256i rs = _mm256_shuffle_epi8(r, Load32(kShufR));
    const __m256i t0 = Load32(kThird0), t1 = Load32(kThird1), t2 = Load32(kThird2);
    // Chunk k takes green where (k + j) % 3 == 1 and red where it is 2.
    const __m256i c0 = _mm256_blendv_epi8(_mm256_blendv_epi8(bs, gs, t1), rs, t2);
    const __m256i c1 = _mm256_blendv_epi8(_mm256_blendv_epi8(bs, gs, t0), rs, t1);
    const __m256i c2 = _mm256_blendv_epi8(_mm256_blendv_epi8(bs, gs, t2), rs, t0);
    __m256i* o = reinterpret_cast<__m256i*>(out);
    _mm256_storeu_si256(o + 0, _mm256_permute2x128_si256(c0, c1, 0x20));
    _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(c2, c0, 0x30));
    _mm256_storeu_si256(o + 2, _mm256_permute2x128_si256(c1, c2, 0x31));
}

AVX2_FN void LumaRowAvx2(const uint8_t* y, uint8_t* out, const Avx2Terms& even,
                         const Avx2Terms& odd, const Avx2Factors& k) {
    const __m256i luma = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y));
    const __m256i ye = _mm256_mulhi_epu16(_mm256_slli_epi16(luma, 8), k.yMul);
    const __m256i yo = _mm256_mulhi_epu16(_mm256_and_si256(luma, k.oddByte), k.yMul);
    const __m256i b = _mm256_packus_epi16(ChannelAvx2(ye, even.b), ChannelAvx2(yo, odd.b));
    const __m256i g = _mm256_packus_epi16(ChannelAvx2(ye, even.g), ChannelAvx2(yo, odd.g));
    const __m256i r = _mm256_packus_epi16(ChannelAvx2(ye, even.r), ChannelAvx2(yo, odd.r));
    StoreBgr(out, b, g, r);
}

// Chroma for 32 pixels sharing 16 samples, widened in order: 16-bit lane i holds
// sample i, which is what even pixel 2i and odd pixel 2i + 1 both need.
AVX2_FN __m256i HalfChromaLevels(const uint8_t* c, const Avx2Factors& k) {
    const __m256i w = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c)));
    return _mm256_sub_epi16(_mm256_slli_epi16(w, 7), k.zeroLevel);
}

AVX2_FN __m256i EvenLevels(__m256i c, const Avx2Factors& k) {
    return _mm256_sub_epi16(_mm256_slli_epi16(_mm256_and_si256(c, k.evenByte), 7), k.zeroLevel);
}

AVX2_FN __m256i OddLevels(__m256i c, const Avx2Factors& k) {
    return _mm256_sub_epi16(_mm256_srli_epi16(_mm256_and_si256(c, k.oddByte), 1), k.zeroLevel);
}

template <bool kHalfChroma>
__attribute__((target("avx2"))) int RowsAvx2(const RowJob& job, int width, const YuvToBgrFactors& f) {
    const Avx2Factors k = LoadFactors(f);
    int x = 0;
    for (; x + 32 <= width; x += 32) {
        Avx2Terms even, odd;
        if (kHalfChroma) {
            even = odd = TermsAvx2(HalfChromaLevels(job.u + x / 2, k),
                                   HalfChromaLevels(job.v + x / 2, k), k);
        } else {
            const __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(job.u + x));
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(job.v + x));
            even = TermsAvx2(EvenLevels(u, k), EvenLevels(v, k), k);
            odd = TermsAvx2(OddLevels(u, k), OddLevels(v, k), k);
        }
        LumaRowAvx2(job.y[0] + x, job.out[0] + 3 * x, even, odd, k);
        if (job.rows == 2) LumaRowAvx2(job.y[1] + x, job.out[1] + 3 * x, even, odd, k);
    }
    return x;
}

#endif  // TALVERN_YUV_AVX2

using VectorRows = int (*)(const RowJob&, int, const YuvToBgrFactors&);

VectorRows PickVectorRows(bool halfChroma) {
    if (!g_vectorEnabled.load(std::memory_order_relaxed)) return nullptr;
#ifdef TALVERN_YUV_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) return halfChroma ? RowsAvx2<true> : RowsAvx2<false>;
#endif
    return nullptr;
}

int16_t ToFactor(double value) {
    return int16_t(std::clamp<long>(std::lround(value), -32768, 32767));
}

}  // namespace

YuvToBgrFactors MakeYuvToBgrFactors(const int* table, bool fullRange) {
    // Chroma factors are 16.16 for limited-range chroma (±112 about 128); full-range
    // chroma spans ±127.5, so each step is worth 224/255 of one.
    const double chromaScale = fullRange ? 224.0 / 255.0 : 1.0;
    const double lumaGain = fullRange ? 1.0 : 255.0 / 219.0;
    const double toQ14 = chromaScale / 4.0;  // 16.16 -> 2^14 units
    YuvToBgrFactors f;
    const long yMul = std::lround(lumaGain * 16384.0);
    f.yMul = int16_t(uint16_t(yMul));
    const long black = fullRange ? 0 : (16L * 256 * yMul) >> 16;
    f.yBias = int16_t(32 - black);
    f.rv = ToFactor(table[0] * toQ14);
    f.bu = ToFactor(table[1] * toQ14 - 32768.0);
    f.gu = ToFactor(-table[2] * toQ14);
    f.gv = ToFactor(-table[3] * toQ14);
    return f;
}

void ConvertYuvToBgr(const YuvPlanes& planes, ChromaLayout layout, int width, int height,
                     const YuvToBgrFactors& factors, uint8_t* bits, ptrdiff_t rowBytes) {
    const bool halfChroma = layout != ChromaLayout::k444;
    const bool pairRows = layout == ChromaLayout::k420;
    const VectorRows vector = PickVectorRows(halfChroma);
    for (int row = 0; row < height;) {
        RowJob job{};
        job.rows = pairRows && row + 1 < height ? 2 : 1;
        const ptrdiff_t chromaRow = pairRows ? row / 2 : row;
        job.u = planes.data[1] + chromaRow * planes.stride[1];
        job.v = planes.data[2] + chromaRow * planes.stride[2];
        for (int r = 0; r < job.rows; ++r) {
            job.y[r] = planes.data[0] + ptrdiff_t(row + r) * planes.stride[0];
            job.out[r] = bits + ptrdiff_t(height - 1 - row - r) * rowBytes;
        }
        const int done = vector ? vector(job, width, factors) : 0;
        ScalarRows(job, done, width, halfChroma, factors);
        row += job.rows;
    }
}

void EnableYuvToBgrVectorKernels(bool enabled) {
    g_vectorEnabled.store(enabled, std::memory_order_relaxed);
}
