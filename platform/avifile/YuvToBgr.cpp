#include "platform/avifile/YuvToBgr.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <vector>

#include "platform/win32/KernelChoice.h"

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

// ---- vector code: the same steps on 16, 32 or 64 pixels ----
#ifdef TALVERN_YUV_X86

// Luma and chroma bytes are split into even and odd pixels by 16-bit shifts and
// masks, not by shuffles; the byte order this leaves after packing is undone by the
// same shuffle that interleaves B, G and R. Packing works per 128-bit lane: within a
// lane of 16 pixels, pixel q sits at byte (q odd ? 8 : 0) + q / 2.
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

// With byte permutes over 64 bytes, output register m holds stream bytes
// 64m..64m+63; its byte j is channel (m + j) % 3 of pixel (64m + j) / 3. Indices 64
// and up pick from the second table (green).
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

#define TALVERN_SSSE3 "ssse3"
#define TALVERN_AVX2 "avx2"
#define TALVERN_AVX512 "avx512f,avx512bw,avx512vbmi"
#define TALVERN_STEP(target_) __attribute__((target(target_))) static inline

// The 16-bit lane operations, which differ between widths only in their prefix. Vec is
// a register as the steps pass it around: wrapped in a struct, so that how it is passed
// does not depend on the target of the function passing it. A bare 256- or 512-bit
// vector is passed differently with and without AVX (AVX-512), and the generic steps
// below carry no target; everything is inlined into the kernels in the end anyway.
#define TALVERN_LANE_STEPS(P, V, SI, T)                                                             \
    struct Vec {                                                                                   \
        V v;                                                                                       \
    };                                                                                             \
    TALVERN_STEP(T) Vec Set(int v) { return {P##_set1_epi16(int16_t(v))}; }                        \
    TALVERN_STEP(T) Vec Load(const uint8_t* p) { return {P##_loadu_##SI(reinterpret_cast<const V*>(p))}; } \
    TALVERN_STEP(T) Vec Add(Vec a, Vec b) { return {P##_add_epi16(a.v, b.v)}; }                    \
    TALVERN_STEP(T) Vec AddSat(Vec a, Vec b) { return {P##_adds_epi16(a.v, b.v)}; }                \
    TALVERN_STEP(T) Vec Sub(Vec a, Vec b) { return {P##_sub_epi16(a.v, b.v)}; }                    \
    TALVERN_STEP(T) Vec MulHrs(Vec a, Vec b) { return {P##_mulhrs_epi16(a.v, b.v)}; }              \
    TALVERN_STEP(T) Vec MulHiU(Vec a, Vec b) { return {P##_mulhi_epu16(a.v, b.v)}; }               \
    TALVERN_STEP(T) Vec And(Vec a, Vec b) { return {P##_and_##SI(a.v, b.v)}; }                     \
    TALVERN_STEP(T) Vec Shl7(Vec a) { return {P##_slli_epi16(a.v, 7)}; }                          \
    TALVERN_STEP(T) Vec Shl8(Vec a) { return {P##_slli_epi16(a.v, 8)}; }                          \
    TALVERN_STEP(T) Vec Shr1(Vec a) { return {P##_srli_epi16(a.v, 1)}; }                          \
    TALVERN_STEP(T) Vec Sar6(Vec a) { return {P##_srai_epi16(a.v, 6)}; }                          \
    TALVERN_STEP(T) Vec PackUs(Vec a, Vec b) { return {P##_packus_epi16(a.v, b.v)}; }

// 16 pixels a step, for CPUs without AVX2; SSSE3 has no byte blend, so channels
// are picked with masks.
struct Ssse3 {
    static constexpr int kPixels = 16;
    TALVERN_LANE_STEPS(_mm, __m128i, si128, TALVERN_SSSE3)

    // kPixels / 2 chroma samples widened to 16 bits, in order.
    TALVERN_STEP(TALVERN_SSSE3) Vec LoadHalf(const uint8_t* c) {
        return {_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(c)), _mm_setzero_si128())};
    }

    TALVERN_STEP(TALVERN_SSSE3) __m128i Table(const std::array<uint8_t, 32>& a) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(a.data()));
    }

    TALVERN_STEP(TALVERN_SSSE3) __m128i Pick(__m128i b, __m128i g, __m128i r, __m128i tb, __m128i tg, __m128i tr) {
        return _mm_or_si128(_mm_or_si128(_mm_and_si128(b, tb), _mm_and_si128(g, tg)), _mm_and_si128(r, tr));
    }

    TALVERN_STEP(TALVERN_SSSE3) void StoreBgr(uint8_t* out, Vec b, Vec g, Vec r) {
        const __m128i bs = _mm_shuffle_epi8(b.v, Table(kShufB));
        const __m128i gs = _mm_shuffle_epi8(g.v, Table(kShufG));
        const __m128i rs = _mm_shuffle_epi8(r.v, Table(kShufR));
        const __m128i t0 = Table(kThird0), t1 = Table(kThird1), t2 = Table(kThird2);
        __m128i* o = reinterpret_cast<__m128i*>(out);
        _mm_storeu_si128(o + 0, Pick(bs, gs, rs, t0, t1, t2));
        _mm_storeu_si128(o + 1, Pick(bs, gs, rs, t2, t0, t1));
        _mm_storeu_si128(o + 2, Pick(bs, gs, rs, t1, t2, t0));
    }
};

// 32 pixels a step: the SSSE3 steps on both lanes, then the lanes' chunks put in
// stream order.
struct Avx2 {
    static constexpr int kPixels = 32;
    TALVERN_LANE_STEPS(_mm256, __m256i, si256, TALVERN_AVX2)

    TALVERN_STEP(TALVERN_AVX2) Vec LoadHalf(const uint8_t* c) {
        return {_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c)))};
    }

    TALVERN_STEP(TALVERN_AVX2) __m256i Table(const std::array<uint8_t, 32>& a) {
        return _mm256_load_si256(reinterpret_cast<const __m256i*>(a.data()));
    }

    TALVERN_STEP(TALVERN_AVX2) void StoreBgr(uint8_t* out, Vec b, Vec g, Vec r) {
        const __m256i bs = _mm256_shuffle_epi8(b.v, Table(kShufB));
        const __m256i gs = _mm256_shuffle_epi8(g.v, Table(kShufG));
        const __m256i rs = _mm256_shuffle_epi8(r.v, Table(kShufR));
        const __m256i t0 = Table(kThird0), t1 = Table(kThird1), t2 = Table(kThird2);
        // Chunk k takes green where (k + j) % 3 == 1 and red where it is 2.
        const __m256i c0 = _mm256_blendv_epi8(_mm256_blendv_epi8(bs, gs, t1), rs, t2);
        const __m256i c1 = _mm256_blendv_epi8(_mm256_blendv_epi8(bs, gs, t0), rs, t1);
        const __m256i c2 = _mm256_blendv_epi8(_mm256_blendv_epi8(bs, gs, t2), rs, t0);
        __m256i* o = reinterpret_cast<__m256i*>(out);
        _mm256_storeu_si256(o + 0, _mm256_permute2x128_si256(c0, c1, 0x20));
        _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(c2, c0, 0x30));
        _mm256_storeu_si256(o + 2, _mm256_permute2x128_si256(c1, c2, 0x31));
    }
};

// The same 32 pixels a step with nothing moved between the 128-bit halves: chroma is
// widened by an in-lane shuffle of a loaded pair of halves, and each half of the three
// output chunks is stored where it belongs. Cores that split 256-bit operations run
// the lane-crossing forms above as several slow steps.
struct Avx2InLane : Avx2 {
    TALVERN_STEP(TALVERN_AVX2) Vec LoadHalf(const uint8_t* c) {
        const __m256i both = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c)));
        const __m256i widen = _mm256_setr_epi8(0, -1, 1, -1, 2, -1, 3, -1, 4, -1, 5, -1, 6, -1, 7, -1,  //
                                               8, -1, 9, -1, 10, -1, 11, -1, 12, -1, 13, -1, 14, -1, 15, -1);
        return {_mm256_shuffle_epi8(both, widen)};
    }

    TALVERN_STEP(TALVERN_AVX2) void StoreBgr(uint8_t* out, Vec b, Vec g, Vec r) {
        const __m256i bs = _mm256_shuffle_epi8(b.v, Table(kShufB));
        const __m256i gs = _mm256_shuffle_epi8(g.v, Table(kShufG));
        const __m256i rs = _mm256_shuffle_epi8(r.v, Table(kShufR));
        const __m256i t0 = Table(kThird0), t1 = Table(kThird1), t2 = Table(kThird2);
        const __m256i c[3] = {_mm256_blendv_epi8(_mm256_blendv_epi8(bs, gs, t1), rs, t2),
                              _mm256_blendv_epi8(_mm256_blendv_epi8(bs, gs, t0), rs, t1),
                              _mm256_blendv_epi8(_mm256_blendv_epi8(bs, gs, t2), rs, t0)};
        __m128i* o = reinterpret_cast<__m128i*>(out);
        for (int k = 0; k < 3; ++k) {
            _mm_storeu_si128(o + k, _mm256_castsi256_si128(c[k]));
            _mm_storeu_si128(o + 3 + k, _mm256_extracti128_si256(c[k], 1));
        }
    }
};

// 64 pixels a step: two-table byte permutes place B and G, a masked permute R, in
// one go per 64 bytes of output.
struct Avx512 {
    static constexpr int kPixels = 64;
    TALVERN_LANE_STEPS(_mm512, __m512i, si512, TALVERN_AVX512)

    TALVERN_STEP(TALVERN_AVX512) Vec LoadHalf(const uint8_t* c) {
        return {_mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(c)))};
    }

    TALVERN_STEP(TALVERN_AVX512) void StoreBgr(uint8_t* out, Vec b, Vec g, Vec r) {
        const __m512i idx[3] = {_mm512_load_si512(kPermute0.data()), _mm512_load_si512(kPermute1.data()),
                                _mm512_load_si512(kPermute2.data())};
        for (int m = 0; m < 3; ++m) {
            const __m512i bg = _mm512_permutex2var_epi8(b.v, idx[m], g.v);
            _mm512_storeu_si512(out + 64 * m, _mm512_mask_permutexvar_epi8(bg, kRedBytes[m], idx[m], r.v));
        }
    }
};

// The steps themselves, written once for every width. They carry no target of their
// own and are always inlined into the kernels below, which have their width's target
// and are flattened; the width's operations then inline there too (marking those
// always-inline as well would be refused at the first step without a target).
// Registers cross the steps wrapped (see Vec), so the ABI note GCC still gives for
// wide vectors near such functions does not apply (GCC gives it at the end of the
// file, so it stays off).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
#define TALVERN_GENERIC static inline __attribute__((always_inline))

template <class W>
struct Steps {
    using Vec = typename W::Vec;

    struct Factors {
        Vec yMul, yBias, rv, gu, gv, bu, zeroLevel, oddByte, evenByte;
    };

    struct Terms {
        Vec r, g, b;
    };

    TALVERN_GENERIC Factors Load(const YuvToBgrFactors& f) {
        return {W::Set(f.yMul), W::Set(f.yBias), W::Set(f.rv),     W::Set(f.gu),    W::Set(f.gv),
                W::Set(f.bu),   W::Set(16384),   W::Set(0xFF00), W::Set(0x00FF)};
    }

    // us, vs: chroma levels (C << 7) - 16384. The luma bias rides on the chroma terms,
    // which serve several pixels, instead of on every luma term; the sums stay in 16
    // bits, so the saturating add that follows sees the same totals.
    TALVERN_GENERIC Terms ChromaTerms(Vec us, Vec vs, const Factors& k) {
        const Vec r = W::MulHrs(vs, k.rv);
        const Vec g = W::Add(W::MulHrs(us, k.gu), W::MulHrs(vs, k.gv));
        const Vec b = W::Add(us, W::MulHrs(us, k.bu));
        return {W::Add(r, k.yBias), W::Add(g, k.yBias), W::Add(b, k.yBias)};
    }

    // Chroma for pixels in pairs: 16-bit lane i holds sample i, which is what even
    // pixel 2i and odd pixel 2i + 1 both need.
    TALVERN_GENERIC Vec HalfLevels(const uint8_t* c, const Factors& k) {
        return W::Sub(W::Shl7(W::LoadHalf(c)), k.zeroLevel);
    }

    TALVERN_GENERIC Vec EvenLevels(Vec c, const Factors& k) {
        return W::Sub(W::Shl7(W::And(c, k.evenByte)), k.zeroLevel);
    }

    TALVERN_GENERIC Vec OddLevels(Vec c, const Factors& k) {
        return W::Sub(W::Shr1(W::And(c, k.oddByte)), k.zeroLevel);
    }

    TALVERN_GENERIC Vec Channel(Vec yt, Vec term) { return W::Sar6(W::AddSat(yt, term)); }

    TALVERN_GENERIC void LumaRow(const uint8_t* y, uint8_t* out, const Terms& even, const Terms& odd,
                                 const Factors& k) {
        const Vec luma = W::Load(y);
        const Vec ye = W::MulHiU(W::Shl8(luma), k.yMul);
        const Vec yo = W::MulHiU(W::And(luma, k.oddByte), k.yMul);
        W::StoreBgr(out, W::PackUs(Channel(ye, even.b), Channel(yo, odd.b)),
                    W::PackUs(Channel(ye, even.g), Channel(yo, odd.g)),
                    W::PackUs(Channel(ye, even.r), Channel(yo, odd.r)));
    }

    template <bool kHalfChroma>
    TALVERN_GENERIC int Rows(const RowJob& job, int x, int width, const YuvToBgrFactors& f) {
        const Factors k = Load(f);
        for (; x + W::kPixels <= width; x += W::kPixels) {
            Terms even, odd;
            if (kHalfChroma) {
                even = odd = ChromaTerms(HalfLevels(job.u + x / 2, k), HalfLevels(job.v + x / 2, k), k);
            } else {
                const Vec u = W::Load(job.u + x), v = W::Load(job.v + x);
                even = ChromaTerms(EvenLevels(u, k), EvenLevels(v, k), k);
                odd = ChromaTerms(OddLevels(u, k), OddLevels(v, k), k);
            }
            LumaRow(job.y[0] + x, job.out[0] + 3 * x, even, odd, k);
            if (job.rows == 2) LumaRow(job.y[1] + x, job.out[1] + 3 * x, even, odd, k);
        }
        return x;
    }
};

template <bool kHalfChroma>
__attribute__((target(TALVERN_SSSE3), flatten)) int RowsSsse3(const RowJob& job, int x, int width,
                                                     const YuvToBgrFactors& f) {
    return Steps<Ssse3>::Rows<kHalfChroma>(job, x, width, f);
}

template <bool kHalfChroma>
__attribute__((target(TALVERN_AVX2), flatten)) int RowsAvx2(const RowJob& job, int x, int width,
                                                   const YuvToBgrFactors& f) {
    return Steps<Avx2>::Rows<kHalfChroma>(job, x, width, f);
}

template <bool kHalfChroma>
__attribute__((target(TALVERN_AVX2), flatten)) int RowsAvx2InLane(const RowJob& job, int x, int width,
                                                         const YuvToBgrFactors& f) {
    return Steps<Avx2InLane>::Rows<kHalfChroma>(job, x, width, f);
}

template <bool kHalfChroma>
__attribute__((target(TALVERN_AVX512), flatten)) int RowsAvx512(const RowJob& job, int x, int width,
                                                       const YuvToBgrFactors& f) {
    return Steps<Avx512>::Rows<kHalfChroma>(job, x, width, f);
}

#endif  // TALVERN_YUV_X86

std::atomic<YuvToBgrKernels> g_use{YuvToBgrKernels::kFastest};

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
    case YuvToBgrKernels::kScalar:
    case YuvToBgrKernels::kFastest: return true;
    case YuvToBgrKernels::kSsse3: return ssse3;
    case YuvToBgrKernels::kAvx2:
    case YuvToBgrKernels::kAvx2InLane: return avx2;
    case YuvToBgrKernels::kAvx512: return avx512;
    }
    return false;
#else
    return kernels == YuvToBgrKernels::kScalar || kernels == YuvToBgrKernels::kFastest;
#endif
}

VectorChain ChainFor(YuvToBgrKernels use, bool halfChroma) {
    VectorChain chain;
#ifdef TALVERN_YUV_X86
    const auto usable = [&](YuvToBgrKernels k) { return use >= k && CpuHas(k); };
    int n = 0;
    if (usable(YuvToBgrKernels::kAvx512))
        chain.kernels[n++] = halfChroma ? RowsAvx512<true> : RowsAvx512<false>;
    if (use == YuvToBgrKernels::kAvx2InLane && CpuHas(use))
        chain.kernels[n++] = halfChroma ? RowsAvx2InLane<true> : RowsAvx2InLane<false>;
    else if (usable(YuvToBgrKernels::kAvx2))
        chain.kernels[n++] = halfChroma ? RowsAvx2<true> : RowsAvx2<false>;
    if (usable(YuvToBgrKernels::kSsse3))
        chain.kernels[n++] = halfChroma ? RowsSsse3<true> : RowsSsse3<false>;
#else
    (void)use;
    (void)halfChroma;
#endif
    return chain;
}

void ConvertWith(const VectorChain& vector, const YuvPlanes& planes, bool halfChroma, bool pairRows, int width,
                 int height, const YuvToBgrFactors& factors, uint8_t* bits, ptrdiff_t rowBytes) {
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

// Times each family the CPU has on a strip of a 4:2:0 picture that stays in the
// cache: what differs between them is their arithmetic and shuffling, while reading
// and writing memory costs all of them alike.
YuvToBgrKernels TimeFamilies() {
    std::vector<YuvToBgrKernels> families;
    for (YuvToBgrKernels k : {YuvToBgrKernels::kSsse3, YuvToBgrKernels::kAvx2, YuvToBgrKernels::kAvx2InLane,
                              YuvToBgrKernels::kAvx512})
        if (CpuHas(k)) families.push_back(k);
    if (families.size() < 2) return families.empty() ? YuvToBgrKernels::kScalar : families[0];
    constexpr int kWidth = 1920, kHeight = 16;
    std::vector<uint8_t> luma(kWidth * kHeight), chroma(kWidth * kHeight / 2), out(3 * kWidth * kHeight);
    for (size_t i = 0; i < luma.size(); ++i) luma[i] = uint8_t(i * 7 + i / kWidth);
    for (size_t i = 0; i < chroma.size(); ++i) chroma[i] = uint8_t(i * 13 + 64);
    const YuvPlanes planes{{luma.data(), chroma.data(), chroma.data() + kWidth / 2 * kHeight / 2},
                           {kWidth, kWidth / 2, kWidth / 2}};
    YuvToBgrFactors factors;
    factors.yMul = int16_t(19077), factors.rv = 22970, factors.gu = -5638, factors.gv = -11700, factors.bu = 12277;
    const int fastest = FastestKernel(int(families.size()), [&](int i) {
        ConvertWith(ChainFor(families[size_t(i)], true), planes, true, true, kWidth, kHeight, factors, out.data(),
                    3 * kWidth);
    });
    return families[size_t(fastest)];
}

YuvToBgrKernels Fastest() {
    static const YuvToBgrKernels fastest = TimeFamilies();
    return fastest;
}

VectorChain PickVectorRows(bool halfChroma) {
    YuvToBgrKernels use = g_use.load(std::memory_order_relaxed);
    if (use == YuvToBgrKernels::kFastest) use = Fastest();
    return ChainFor(use, halfChroma);
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
    ConvertWith(PickVectorRows(halfChroma), planes, halfChroma, layout == ChromaLayout::k420, width, height, factors,
                bits, rowBytes);
}

void UseYuvToBgrKernels(YuvToBgrKernels kernels) { g_use.store(kernels, std::memory_order_relaxed); }

YuvToBgrKernels FastestYuvToBgrKernels() { return Fastest(); }

bool HaveYuvToBgrKernels(YuvToBgrKernels kernels) { return CpuHas(kernels); }
