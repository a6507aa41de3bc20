#include "platform/avifile/YuvToBgr.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TALVERN_YUV_X86 1
#include <immintrin.h>
#endif

namespace {

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

// The vector code's saturating 16-bit add cannot change a byte here: a sum is never
// below -32768, and any sum past 32767 ends as 255 either way.
uint8_t Channel(int yt, int term) {
    const int level = (yt + term) >> 6;
    return uint8_t(level < 0 ? 0 : level > 255 ? 255 : level);
}

void StorePixel(uint8_t* out, int yt, const ChromaTerms& t) {
    out[0] = Channel(yt, t.b);
    out[1] = Channel(yt, t.g);
    out[2] = Channel(yt, t.r);
}

void ScalarRows(const RowJob& job, int from, int width, bool halfChroma,
                const YuvToBgrFactors& f) {
    const int step = halfChroma ? 2 : 1;
    // A vector block ends on an even pixel, so from is where a chroma block starts.
    for (int x = from; x < width; x += step) {
        const int c = halfChroma ? x >> 1 : x;
        const ChromaTerms t = Terms(job.u[c], job.v[c], f);
        const int pixels = std::min(step, width - x);
        for (int r = 0; r < job.rows; ++r)
            for (int i = x; i < x + pixels; ++i) StorePixel(job.out[r] + 3 * i, LumaTerm(job.y[r][i], f), t);
    }
}

// ---- AVX2: 32 pixels a step ----
#ifdef TALVERN_YUV_X86

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
__attribute__((target("avx2"))) int RowsAvx2(const RowJob& job, int x, int width,
                                             const YuvToBgrFactors& f) {
    const Avx2Factors k = LoadFactors(f);
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

// ---- SSSE3: 16 pixels a step, for CPUs without AVX2 ----
// The AVX2 steps on one 128-bit lane; blends are masks and ORs, as SSSE3 has no
// byte blend.

#define SSSE3_FN __attribute__((target("ssse3"), always_inline)) inline

SSSE3_FN __m128i Load16(const std::array<uint8_t, 32>& a) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(a.data()));
}

struct SseFactors {
    __m128i yMul, yBias, rv, gu, gv, bu, zeroLevel, oddByte, evenByte;
};

struct SseTerms {
    __m128i r, g, b;
};

SSSE3_FN SseFactors LoadFactorsSse(const YuvToBgrFactors& f) {
    return {_mm_set1_epi16(f.yMul), _mm_set1_epi16(f.yBias), _mm_set1_epi16(f.rv),
            _mm_set1_epi16(f.gu),   _mm_set1_epi16(f.gv),    _mm_set1_epi16(f.bu),
            _mm_set1_epi16(16384),  _mm_set1_epi16(int16_t(0xFF00)),
            _mm_set1_epi16(0x00FF)};
}

SSSE3_FN SseTerms TermsSse(__m128i us, __m128i vs, const SseFactors& k) {
    const __m128i r = _mm_mulhrs_epi16(vs, k.rv);
    const __m128i g = _mm_add_epi16(_mm_mulhrs_epi16(us, k.gu), _mm_mulhrs_epi16(vs, k.gv));
    const __m128i b = _mm_add_epi16(us, _mm_mulhrs_epi16(us, k.bu));
    return {_mm_add_epi16(r, k.yBias), _mm_add_epi16(g, k.yBias), _mm_add_epi16(b, k.yBias)};
}

SSSE3_FN __m128i ChannelSse(__m128i yt, __m128i term) {
    return _mm_srai_epi16(_mm_adds_epi16(yt, term), 6);
}

SSSE3_FN __m128i PickBytes(__m128i b, __m128i g, __m128i r, __m128i tb, __m128i tg, __m128i tr) {
    return _mm_or_si128(_mm_or_si128(_mm_and_si128(b, tb), _mm_and_si128(g, tg)), _mm_and_si128(r, tr));
}

SSSE3_FN void StoreBgrSse(uint8_t* out, __m128i b, __m128i g, __m128i r) {
    const __m128i bs = _mm_shuffle_epi8(b, Load16(kShufB));
    const __m128i gs = _mm_shuffle_epi8(g, Load16(kShufG));
    const __m128i rs = _mm_shuffle_epi8(r, Load16(kShufR));
    const __m128i t0 = Load16(kThird0), t1 = Load16(kThird1), t2 = Load16(kThird2);
    __m128i* o = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(o + 0, PickBytes(bs, gs, rs, t0, t1, t2));
    _mm_storeu_si128(o + 1, PickBytes(bs, gs, rs, t2, t0, t1));
    _mm_storeu_si128(o + 2, PickBytes(bs, gs, rs, t1, t2, t0));
}

SSSE3_FN void LumaRowSse(const uint8_t* y, uint8_t* out, const SseTerms& even, const SseTerms& odd,
                         const SseFactors& k) {
    const __m128i luma = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
    const __m128i ye = _mm_mulhi_epu16(_mm_slli_epi16(luma, 8), k.yMul);
    const __m128i yo = _mm_mulhi_epu16(_mm_and_si128(luma, k.oddByte), k.yMul);
    const __m128i b = _mm_packus_epi16(ChannelSse(ye, even.b), ChannelSse(yo, odd.b));
    const __m128i g = _mm_packus_epi16(ChannelSse(ye, even.g), ChannelSse(yo, odd.g));
    const __m128i r = _mm_packus_epi16(ChannelSse(ye, even.r), ChannelSse(yo, odd.r));
    StoreBgrSse(out, b, g, r);
}

SSSE3_FN __m128i HalfChromaLevelsSse(const uint8_t* c, const SseFactors& k) {
    const __m128i w = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(c)),
                                        _mm_setzero_si128());
    return _mm_sub_epi16(_mm_slli_epi16(w, 7), k.zeroLevel);
}

SSSE3_FN __m128i EvenLevelsSse(__m128i c, const SseFactors& k) {
    return _mm_sub_epi16(_mm_slli_epi16(_mm_and_si128(c, k.evenByte), 7), k.zeroLevel);
}

SSSE3_FN __m128i OddLevelsSse(__m128i c, const SseFactors& k) {
    return _mm_sub_epi16(_mm_srli_epi16(_mm_and_si128(c, k.oddByte), 1), k.zeroLevel);
}

template <bool kHalfChroma>
__attribute__((target("ssse3"))) int RowsSsse3(const RowJob& job, int x, int width,
                                               const YuvToBgrFactors& f) {
    const SseFactors k = LoadFactorsSse(f);
    for (; x + 16 <= width; x += 16) {
        SseTerms even, odd;
        if (kHalfChroma) {
            even = odd = TermsSse(HalfChromaLevelsSse(job.u + x / 2, k),
                                  HalfChromaLevelsSse(job.v + x / 2, k), k);
        } else {
            const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(job.u + x));
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(job.v + x));
            even = TermsSse(EvenLevelsSse(u, k), EvenLevelsSse(v, k), k);
            odd = TermsSse(OddLevelsSse(u, k), OddLevelsSse(v, k), k);
        }
        LumaRowSse(job.y[0] + x, job.out[0] + 3 * x, even, odd, k);
        if (job.rows == 2) LumaRowSse(job.y[1] + x, job.out[1] + 3 * x, even, odd, k);
    }
    return x;
}

// ---- AVX-512 with byte permutes: 64 pixels a step ----
// The same steps on twice the lanes; packing works per 128-bit lane as in AVX2, and
// two-table byte permutes place B and G, a masked permute R, in one go per 64 bytes.

// Output register m holds stream bytes 64m..64m+63; its byte j is channel (m + j) % 3
// of pixel (64m + j) / 3. Indices 64 and up pick from the second table (green).
constexpr std::array<uint8_t, 64> PermuteIndex(int m) {
    std::array<uint8_t, 64> idx{};
    for (int j = 0; j < 64; ++j) {
        const int pos = 64 * m + j, pixel = pos / 3;
        const int at = 16 * (pixel / 16) + LanePos(pixel % 16);
        idx[j] = uint8_t(at + (pos % 3 == 1 ? 64 : 0));
    }
    return idx;
}

constexpr uint64_t RedBytes(int m) {
    uint64_t mask = 0;
    for (int j = 0; j < 64; ++j)
        if ((64 * m + j) % 3 == 2) mask |= uint64_t(1) << j;
    return mask;
}

alignas(64) constexpr std::array<uint8_t, 64> kPermute0 = PermuteIndex(0);
alignas(64) constexpr std::array<uint8_t, 64> kPermute1 = PermuteIndex(1);
alignas(64) constexpr std::array<uint8_t, 64> kPermute2 = PermuteIndex(2);
constexpr uint64_t kRedBytes[3] = {RedBytes(0), RedBytes(1), RedBytes(2)};

#define AVX512_TARGET target("avx512f,avx512bw,avx512vbmi")
#define AVX512_FN __attribute__((AVX512_TARGET, always_inline)) inline

struct Avx512Factors {
    __m512i yMul, yBias, rv, gu, gv, bu, zeroLevel, oddByte, evenByte;
};

struct Avx512Terms {
    __m512i r, g, b;
};

AVX512_FN Avx512Factors LoadFactors512(const YuvToBgrFactors& f) {
    return {_mm512_set1_epi16(f.yMul), _mm512_set1_epi16(f.yBias), _mm512_set1_epi16(f.rv),
            _mm512_set1_epi16(f.gu),   _mm512_set1_epi16(f.gv),    _mm512_set1_epi16(f.bu),
            _mm512_set1_epi16(16384),  _mm512_set1_epi16(int16_t(0xFF00)),
            _mm512_set1_epi16(0x00FF)};
}

AVX512_FN Avx512Terms TermsAvx512(__m512i us, __m512i vs, const Avx512Factors& k) {
    const __m512i r = _mm512_mulhrs_epi16(vs, k.rv);
    const __m512i g = _mm512_add_epi16(_mm512_mulhrs_epi16(us, k.gu), _mm512_mulhrs_epi16(vs, k.gv));
    const __m512i b = _mm512_add_epi16(us, _mm512_mulhrs_epi16(us, k.bu));
    return {_mm512_add_epi16(r, k.yBias), _mm512_add_epi16(g, k.yBias), _mm512_add_epi16(b, k.yBias)};
}

AVX512_FN __m512i ChannelAvx512(__m512i yt, __m512i term) {
    return _mm512_srai_epi16(_mm512_adds_epi16(yt, term), 6);
}

AVX512_FN __m512i Load64(const std::array<uint8_t, 64>& a) { return _mm512_load_si512(a.data()); }

AVX512_FN void StoreBgr512(uint8_t* out, __m512i b, __m512i g, __m512i r) {
    const __m512i idx[3] = {Load64(kPermute0), Load64(kPermute1), Load64(kPermute2)};
    for (int m = 0; m < 3; ++m) {
        const __m512i bg = _mm512_permutex2var_epi8(b, idx[m], g);
        _mm512_storeu_si512(out + 64 * m, _mm512_mask_permutexvar_epi8(bg, kRedBytes[m], idx[m], r));
    }
}

AVX512_FN void LumaRowAvx512(const uint8_t* y, uint8_t* out, const Avx512Terms& even,
                             const Avx512Terms& odd, const Avx512Factors& k) {
    const __m512i luma = _mm512_loadu_si512(y);
    const __m512i ye = _mm512_mulhi_epu16(_mm512_slli_epi16(luma, 8), k.yMul);
    const __m512i yo = _mm512_mulhi_epu16(_mm512_and_si512(luma, k.oddByte), k.yMul);
    const __m512i b = _mm512_packus_epi16(ChannelAvx512(ye, even.b), ChannelAvx512(yo, odd.b));
    const __m512i g = _mm512_packus_epi16(ChannelAvx512(ye, even.g), ChannelAvx512(yo, odd.g));
    const __m512i r = _mm512_packus_epi16(ChannelAvx512(ye, even.r), ChannelAvx512(yo, odd.r));
    StoreBgr512(out, b, g, r);
}

AVX512_FN __m512i HalfChromaLevels512(const uint8_t* c, const Avx512Factors& k) {
    const __m512i w = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(c)));
    return _mm512_sub_epi16(_mm512_slli_epi16(w, 7), k.zeroLevel);
}

AVX512_FN __m512i EvenLevels512(__m512i c, const Avx512Factors& k) {
    return _mm512_sub_epi16(_mm512_slli_epi16(_mm512_and_si512(c, k.evenByte), 7), k.zeroLevel);
}

AVX512_FN __m512i OddLevels512(__m512i c, const Avx512Factors& k) {
    return _mm512_sub_epi16(_mm512_srli_epi16(_mm512_and_si512(c, k.oddByte), 1), k.zeroLevel);
}

template <bool kHalfChroma>
__attribute__((AVX512_TARGET)) int RowsAvx512(const RowJob& job, int x, int width,
                                              const YuvToBgrFactors& f) {
    const Avx512Factors k = LoadFactors512(f);
    for (; x + 64 <= width; x += 64) {
        Avx512Terms even, odd;
        if (kHalfChroma) {
            even = odd = TermsAvx512(HalfChromaLevels512(job.u + x / 2, k),
                                     HalfChromaLevels512(job.v + x / 2, k), k);
        } else {
            const __m512i u = _mm512_loadu_si512(job.u + x);
            const __m512i v = _mm512_loadu_si512(job.v + x);
            even = TermsAvx512(EvenLevels512(u, k), EvenLevels512(v, k), k);
            odd = TermsAvx512(OddLevels512(u, k), OddLevels512(v, k), k);
        }
        LumaRowAvx512(job.y[0] + x, job.out[0] + 3 * x, even, odd, k);
        if (job.rows == 2) LumaRowAvx512(job.y[1] + x, job.out[1] + 3 * x, even, odd, k);
    }
    return x;
}

#endif  // TALVERN_YUV_X86

std::atomic<YuvToBgrKernels> g_best{YuvToBgrKernels::kAvx512};

using VectorRows = int (*)(const RowJob&, int, int, const YuvToBgrFactors&);

// The vector kernels to run, widest first: each carries on where the one before
// stopped, and the scalar code does the rest of the row.
struct VectorChain {
    VectorRows kernels[3] = {nullptr, nullptr, nullptr};
};

bool CpuHas(YuvToBgrKernels kernels) {
#ifdef TALVERN_YUV_X86
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    static const bool avx2 = __builtin_cpu_supports("avx2");
    static const bool avx512 = __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
    switch (kernels) {
    case YuvToBgrKernels::kScalar: return true;
    case YuvToBgrKernels::kSsse3: return ssse3;
    case YuvToBgrKernels::kAvx2: return avx2;
    case YuvToBgrKernels::kAvx512: return avx512;
    }
    return false;
#else
    return kernels == YuvToBgrKernels::kScalar;
#endif
}

VectorChain PickVectorRows(bool halfChroma) {
    VectorChain chain;
#ifdef TALVERN_YUV_X86
    const YuvToBgrKernels best = g_best.load(std::memory_order_relaxed);
    const auto usable = [&](YuvToBgrKernels k) { return best >= k && CpuHas(k); };
    int n = 0;
    if (usable(YuvToBgrKernels::kAvx512))
        chain.kernels[n++] = halfChroma ? RowsAvx512<true> : RowsAvx512<false>;
    if (usable(YuvToBgrKernels::kAvx2))
        chain.kernels[n++] = halfChroma ? RowsAvx2<true> : RowsAvx2<false>;
    if (usable(YuvToBgrKernels::kSsse3))
        chain.kernels[n++] = halfChroma ? RowsSsse3<true> : RowsSsse3<false>;
#else
    (void)halfChroma;
#endif
    return chain;
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
    const VectorChain vector = PickVectorRows(halfChroma);
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
        int done = 0;
        for (VectorRows kernel : vector.kernels)
            if (kernel) done = kernel(job, done, width, factors);
        ScalarRows(job, done, width, halfChroma, factors);
        row += job.rows;
    }
}

void LimitYuvToBgrKernels(YuvToBgrKernels best) { g_best.store(best, std::memory_order_relaxed); }

bool HaveYuvToBgrKernels(YuvToBgrKernels kernels) { return CpuHas(kernels); }
