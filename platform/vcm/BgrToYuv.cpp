#include "platform/vcm/BgrToYuv.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <vector>

#include "platform/win32/KernelChoice.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TALVERN_BGR_X86 1
#include <immintrin.h>
#endif

namespace {

constexpr int kLumaShift = 15;
constexpr int kChromaShift = 17;  // 15 bits of factor, 2 bits for the four-pixel sum

// Two picture rows that share a chroma row (the same row twice at an odd bottom
// edge), and where their samples go.
struct RowJob {
    const uint8_t* bgr[2];
    uint8_t* y[2];
    uint8_t* u;
    uint8_t* v;
};

// ---- scalar code: the vector code's integer steps, one block at a time ----

int Dot(const int16_t* k, int b, int g, int r) {
    return k[0] * b + k[1] * g + k[2] * r;
}

uint8_t Clamp(int level) {
    return uint8_t(std::clamp(level, 0, 255));
}

uint8_t Luma(const uint8_t* p, const BgrToYuvFactors& f) {
    return Clamp((Dot(f.y, p[0], p[1], p[2]) + f.yBias) >> kLumaShift);
}

// Block x (an even column) of both rows; the last block of an odd width repeats
// its left pixel as its right one.
void ScalarBlock(const RowJob& job, int x, int width, const BgrToYuvFactors& f) {
    const int right = std::min(x + 1, width - 1);
    int sum[3] = {0, 0, 0};
    for (int r = 0; r < 2; ++r) {
        const uint8_t* row = job.bgr[r];
        for (int i : {x, right}) {
            const uint8_t* p = row + 3 * i;
            for (int c = 0; c < 3; ++c) sum[c] += p[c];
            job.y[r][i] = Luma(p, f);
        }
    }
    job.u[x / 2] = Clamp((Dot(f.u, sum[0], sum[1], sum[2]) + f.chromaBias) >> kChromaShift);
    job.v[x / 2] = Clamp((Dot(f.v, sum[0], sum[1], sum[2]) + f.chromaBias) >> kChromaShift);
}

void ScalarRows(const RowJob& job, int from, int width, const BgrToYuvFactors& f) {
    for (int x = from; x < width; x += 2) ScalarBlock(job, x, width, f);
}

// ---- vector code ----
#ifdef TALVERN_BGR_X86

// Factors in the word order of the (B, G) or (R, 0) pairs the kernels multiply-add.
int32_t PairWord(const int16_t* k, bool red) {
    const int lo = red ? k[2] : k[0], hi = red ? 0 : k[1];
    return int32_t(uint32_t(uint16_t(lo)) | uint32_t(uint16_t(hi)) << 16);
}

#define TALVERN_AVX2 "avx2"
#define TALVERN_STEP __attribute__((target(TALVERN_AVX2))) inline

// 32 pixels of two rows a step. Each 128-bit lane takes four pixels (12 of its 16
// bytes), spread into 32-bit slots as (B, G) and (R, 0) word pairs, so that one
// multiply-add per pair gives a pixel's exact dot product.
struct Avx2 {
    static constexpr int kPixels = 32;
    // Loads read 4 bytes past a block of 8 pixels: stop while 2 whole pixels remain.
    static constexpr int kReadAhead = 2;

    __m256i bgPairs, rPairs;
    __m256i yBg, yR, uBg, uR, vBg, vR, yBias, chromaBias;
    __m256i yOrder, chromaOrder;

    TALVERN_STEP static __m256i PairFactors(const int16_t* k, bool red) {
        return _mm256_set1_epi32(PairWord(k, red));
    }

    TALVERN_STEP static Avx2 Make(const BgrToYuvFactors& f) {
        Avx2 a;
        a.bgPairs = _mm256_setr_epi8(0, -1, 1, -1, 3, -1, 4, -1, 6, -1, 7, -1, 9, -1, 10, -1,  //
                                     0, -1, 1, -1, 3, -1, 4, -1, 6, -1, 7, -1, 9, -1, 10, -1);
        a.rPairs = _mm256_setr_epi8(2, -1, -1, -1, 5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1,  //
                                    2, -1, -1, -1, 5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1);
        a.yBg = PairFactors(f.y, false), a.yR = PairFactors(f.y, true);
        a.uBg = PairFactors(f.u, false), a.uR = PairFactors(f.u, true);
        a.vBg = PairFactors(f.v, false), a.vR = PairFactors(f.v, true);
        a.yBias = _mm256_set1_epi32(f.yBias);
        a.chromaBias = _mm256_set1_epi32(f.chromaBias);
        // After packing, lane 0 holds pixels 0-3, 8-11, 16-19, 24-27 and lane 1 the
        // groups in between.
        a.yOrder = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
        // Chroma words come packed as U, V pairs; put each lane's U words first.
        a.chromaOrder = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15,  //
                                         0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15);
        return a;
    }

    // Pixels 0-3 of a block in lane 0, pixels 4-7 in lane 1.
    TALVERN_STEP static __m256i LoadBlock(const uint8_t* p) {
        return _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12)), 1);
    }

    TALVERN_STEP __m256i Dot(__m256i bg, __m256i r, __m256i kBg, __m256i kR) const {
        return _mm256_add_epi32(_mm256_madd_epi16(bg, kBg), _mm256_madd_epi16(r, kR));
    }

    // Luma of 32 pixels, in order.
    TALVERN_STEP __m256i LumaBytes(const __m256i (&bg)[4], const __m256i (&r)[4]) const {
        __m256i y[4];
        for (int b = 0; b < 4; ++b)
            y[b] =
                _mm256_srai_epi32(_mm256_add_epi32(Dot(bg[b], r[b], yBg, yR), yBias), kLumaShift);
        const __m256i packed =
            _mm256_packus_epi16(_mm256_packs_epi32(y[0], y[1]), _mm256_packs_epi32(y[2], y[3]));
        return _mm256_permutevar8x32_epi32(packed, yOrder);
    }

    // Chroma of a block of 8 pixels in two rows: the row sums' dot products, added in
    // pixel pairs. Lane 0 holds U and V of samples 0 and 1, lane 1 of samples 2 and 3.
    TALVERN_STEP __m256i ChromaPairs(__m256i bg, __m256i r) const {
        const __m256i u = Dot(bg, r, uBg, uR), v = Dot(bg, r, vBg, vR);
        return _mm256_srai_epi32(_mm256_add_epi32(_mm256_hadd_epi32(u, v), chromaBias),
                                 kChromaShift);
    }

    TALVERN_STEP void Step(const RowJob& job, int x) const {
        __m256i bg[2][4], r[2][4], sumBg[4], sumR[4];
        for (int row = 0; row < 2; ++row) {
            for (int b = 0; b < 4; ++b) {
                const __m256i px = LoadBlock(job.bgr[row] + 3 * (x + 8 * b));
                bg[row][b] = _mm256_shuffle_epi8(px, bgPairs);
                r[row][b] = _mm256_shuffle_epi8(px, rPairs);
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(job.y[row] + x),
                                LumaBytes(bg[row], r[row]));
        }
        __m256i c[4];
        for (int b = 0; b < 4; ++b) {
            sumBg[b] = _mm256_add_epi16(bg[0][b], bg[1][b]);
            sumR[b] = _mm256_add_epi16(r[0][b], r[1][b]);
            c[b] = ChromaPairs(sumBg[b], sumR[b]);
        }
        // Each word holds two chroma samples; lane 0 has samples 0-1, 4-5, 8-9 and
        // 12-13 of each plane, lane 1 the pairs in between, so U and V come out of
        // interleaving the lanes' words.
        const __m256i words = _mm256_shuffle_epi8(
            _mm256_packus_epi16(_mm256_packs_epi32(c[0], c[1]), _mm256_packs_epi32(c[2], c[3])),
            chromaOrder);
        const __m128i lo = _mm256_castsi256_si128(words), hi = _mm256_extracti128_si256(words, 1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(job.u + x / 2), _mm_unpacklo_epi16(lo, hi));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(job.v + x / 2), _mm_unpackhi_epi16(lo, hi));
    }
};

// GCC 12's 512-bit intrinsics start from a deliberately undefined register, which
// its flow analysis then reports once they are inlined here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define TALVERN_AVX512 "avx512f,avx512bw,avx512vbmi"
#define TALVERN_STEP512 __attribute__((target(TALVERN_AVX512))) inline

// Byte permutes of the 64-byte registers put the pixels of a 48-byte load straight
// into their word pairs, and the packed results straight into pixel order.
constexpr std::array<uint8_t, 64> PairIndex(int first) {
    std::array<uint8_t, 64> idx{};
    for (int q = 0; q < 16; ++q) {
        idx[4 * q] = uint8_t(3 * q + first);
        idx[4 * q + 2] = uint8_t(3 * q + first + 1);
    }
    return idx;
}

// Packing works per 128-bit lane: lane L of the luma bytes holds pixels 4L..4L+3 of
// each of the four 16-pixel blocks in turn.
constexpr std::array<uint8_t, 64> LumaIndex() {
    std::array<uint8_t, 64> idx{};
    for (int px = 0; px < 64; ++px)
        idx[px] = uint8_t(16 * ((px % 16) / 4) + 4 * (px / 16) + px % 4);
    return idx;
}

// Chroma bytes come as U, V pairs; lane L holds samples 2L and 2L + 1 of each block
// of 8 samples. Output: the 32 U samples, then the 32 V samples.
constexpr std::array<uint8_t, 64> ChromaIndex() {
    std::array<uint8_t, 64> idx{};
    for (int o = 0; o < 64; ++o) {
        const int sample = o % 32, block = sample / 8, rem = sample % 8;
        const int pair = 2 * block + (rem & 1);
        idx[o] = uint8_t(16 * (rem / 2) + 2 * pair + (o >= 32 ? 1 : 0));
    }
    return idx;
}

alignas(64) constexpr std::array<uint8_t, 64> kBgIndex = PairIndex(0);
alignas(64) constexpr std::array<uint8_t, 64> kRIndex = PairIndex(2);
alignas(64) constexpr std::array<uint8_t, 64> kLumaIndex = LumaIndex();
alignas(64) constexpr std::array<uint8_t, 64> kChromaIndex = ChromaIndex();

// 64 pixels of two rows a step, in blocks of 16. Loads are masked to the block's 48
// bytes, so nothing past the row is read.
struct Avx512 {
    static constexpr int kPixels = 64;
    static constexpr int kReadAhead = 0;
    static constexpr __mmask64 kBlockBytes = (__mmask64(1) << 48) - 1;
    static constexpr __mmask64 kFirstByte = 0x1111111111111111ull;

    __m512i bgIndex, rIndex, lumaIndex, chromaIndex;
    __m512i yBg, yR, uBg, uR, vBg, vR, yBias, chromaBias;

    TALVERN_STEP512 static __m512i PairFactors(const int16_t* k, bool red) {
        return _mm512_set1_epi32(PairWord(k, red));
    }

    TALVERN_STEP512 static Avx512 Make(const BgrToYuvFactors& f) {
        Avx512 a;
        a.bgIndex = _mm512_load_si512(kBgIndex.data());
        a.rIndex = _mm512_load_si512(kRIndex.data());
        a.lumaIndex = _mm512_load_si512(kLumaIndex.data());
        a.chromaIndex = _mm512_load_si512(kChromaIndex.data());
        a.yBg = PairFactors(f.y, false), a.yR = PairFactors(f.y, true);
        a.uBg = PairFactors(f.u, false), a.uR = PairFactors(f.u, true);
        a.vBg = PairFactors(f.v, false), a.vR = PairFactors(f.v, true);
        a.yBias = _mm512_set1_epi32(f.yBias);
        a.chromaBias = _mm512_set1_epi32(f.chromaBias);
        return a;
    }

    TALVERN_STEP512 __m512i Dot(__m512i bg, __m512i r, __m512i kBg, __m512i kR) const {
        return _mm512_add_epi32(_mm512_madd_epi16(bg, kBg), _mm512_madd_epi16(r, kR));
    }

    TALVERN_STEP512 void Step(const RowJob& job, int x) const {
        __m512i bg[2][4], r[2][4], y[4];
        for (int row = 0; row < 2; ++row) {
            for (int b = 0; b < 4; ++b) {
                const __m512i px =
                    _mm512_maskz_loadu_epi8(kBlockBytes, job.bgr[row] + 3 * (x + 16 * b));
                // Even bytes of the pairs carry B and G; the red pair's G slot stays 0.
                bg[row][b] = _mm512_maskz_permutexvar_epi8(0x5555555555555555ull, bgIndex, px);
                r[row][b] = _mm512_maskz_permutexvar_epi8(kFirstByte, rIndex, px);
                y[b] = _mm512_srai_epi32(
                    _mm512_add_epi32(Dot(bg[row][b], r[row][b], yBg, yR), yBias), kLumaShift);
            }
            const __m512i packed =
                _mm512_packus_epi16(_mm512_packs_epi32(y[0], y[1]), _mm512_packs_epi32(y[2], y[3]));
            _mm512_storeu_si512(job.y[row] + x, _mm512_permutexvar_epi8(lumaIndex, packed));
        }
        __m512i c[4];
        for (int b = 0; b < 4; ++b) {
            // Sums of the two rows, then of pixel pairs: even dwords hold each block's.
            __m512i sbg = _mm512_add_epi16(bg[0][b], bg[1][b]),
                    sr = _mm512_add_epi16(r[0][b], r[1][b]);
            sbg = _mm512_add_epi16(sbg, _mm512_srli_epi64(sbg, 32));
            sr = _mm512_add_epi16(sr, _mm512_srli_epi64(sr, 32));
            const __m512i u = Dot(sbg, sr, uBg, uR), v = Dot(sbg, sr, vBg, vR);
            const __m512i uv = _mm512_mask_blend_epi32(0xAAAA, u, _mm512_slli_epi64(v, 32));
            c[b] = _mm512_srai_epi32(_mm512_add_epi32(uv, chromaBias), kChromaShift);
        }
        const __m512i packed =
            _mm512_packus_epi16(_mm512_packs_epi32(c[0], c[1]), _mm512_packs_epi32(c[2], c[3]));
        const __m512i planar = _mm512_permutexvar_epi8(chromaIndex, packed);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(job.u + x / 2),
                            _mm512_castsi512_si256(planar));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(job.v + x / 2),
                            _mm512_extracti64x4_epi64(planar, 1));
    }
};

// Whole steps from x on; then, if at least one more step fits in the row, one step
// that ends where the row (less the read-ahead) ends, overlapping pixels already
// done. Rewriting them gives the same bytes, and the scalar code is left with at
// most three pixels instead of most of a step.
template <class W>
int RowsWith(const W& k, const RowJob& job, int x, int width, bool overlapTail) {
    const int last = width - W::kPixels - W::kReadAhead;  // the last start that fits
    for (; x <= last; x += W::kPixels) k.Step(job, x);
    if (overlapTail && last >= 0 && x < width) {
        const int start = last & ~1;  // a chroma block starts on an even pixel
        if (start + W::kPixels > x) {
            k.Step(job, start);
            x = start + W::kPixels;
        }
    }
    return x;
}

__attribute__((target(TALVERN_AVX2), flatten)) int RowsAvx2(const RowJob& job, int x, int width,
                                                            const BgrToYuvFactors& f) {
    return RowsWith(Avx2::Make(f), job, x, width, true);
}

// Leaves the tail to the AVX2 kernels: a whole step of 64 for a few pixels costs more.
__attribute__((target(TALVERN_AVX512), flatten)) int RowsAvx512(const RowJob& job, int x, int width,
                                                                const BgrToYuvFactors& f) {
    return RowsWith(Avx512::Make(f), job, x, width, false);
}

#endif  // TALVERN_BGR_X86

std::atomic<BgrToYuvKernels> g_use{BgrToYuvKernels::kFastest};

using VectorRows = int (*)(const RowJob&, int, int, const BgrToYuvFactors&);

// The vector kernels to run, widest first: each carries on where the one before
// stopped, and the scalar code does the rest of the row.
struct VectorChain {
    VectorRows kernels[2] = {nullptr, nullptr};
};

bool CpuHas(BgrToYuvKernels kernels) {
#ifdef TALVERN_BGR_X86
    static const bool avx2 = __builtin_cpu_supports("avx2");
    static const bool avx512 =
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
    switch (kernels) {
        case BgrToYuvKernels::kScalar:
        case BgrToYuvKernels::kFastest:
            return true;
        case BgrToYuvKernels::kAvx2:
            return avx2;
        case BgrToYuvKernels::kAvx512:
            return avx512 && avx2;
    }
    return false;
#else
    return kernels == BgrToYuvKernels::kScalar || kernels == BgrToYuvKernels::kFastest;
#endif
}

VectorChain ChainFor(BgrToYuvKernels use) {
    VectorChain chain;
#ifdef TALVERN_BGR_X86
    const auto usable = [&](BgrToYuvKernels k) { return use >= k && CpuHas(k); };
    int n = 0;
    if (usable(BgrToYuvKernels::kAvx512)) chain.kernels[n++] = RowsAvx512;
    if (usable(BgrToYuvKernels::kAvx2)) chain.kernels[n++] = RowsAvx2;
#else
    (void)use;
#endif
    return chain;
}

void ConvertWith(const VectorChain& vector, const uint8_t* bits, ptrdiff_t rowBytes, int width, int height,
                 const BgrToYuvFactors& factors, const YuvPlanesOut& planes) {
    // Picture row i is memory row height - 1 - i.
    const auto pictureRow = [&](int i) { return bits + ptrdiff_t(height - 1 - i) * rowBytes; };
    for (int row = 0; row < height; row += 2) {
        const int second = std::min(row + 1, height - 1);
        RowJob job;
        job.bgr[0] = pictureRow(row);
        job.bgr[1] = pictureRow(second);
        job.y[0] = planes.data[0] + ptrdiff_t(row) * planes.stride[0];
        job.y[1] = planes.data[0] + ptrdiff_t(second) * planes.stride[0];
        job.u = planes.data[1] + ptrdiff_t(row / 2) * planes.stride[1];
        job.v = planes.data[2] + ptrdiff_t(row / 2) * planes.stride[2];
        int done = 0;
        for (VectorRows kernel : vector.kernels)
            if (kernel) done = kernel(job, done, width, factors);
        ScalarRows(job, done, width, factors);
    }
}

// Times each family the CPU has on a strip of a 1080p frame that stays in the cache:
// what differs between them is their arithmetic and shuffling, while reading and
// writing memory costs all of them alike.
BgrToYuvKernels TimeFamilies() {
    std::vector<BgrToYuvKernels> families;
    for (BgrToYuvKernels k : {BgrToYuvKernels::kAvx2, BgrToYuvKernels::kAvx512})
        if (CpuHas(k)) families.push_back(k);
    if (families.size() < 2) return families.empty() ? BgrToYuvKernels::kScalar : families[0];
    constexpr int kWidth = 1920, kHeight = 8;
    std::vector<uint8_t> bgr(3 * kWidth * kHeight), luma(kWidth * kHeight), chroma(kWidth * kHeight / 2);
    for (size_t i = 0; i < bgr.size(); ++i) bgr[i] = uint8_t(i * 7 + i / (3 * kWidth));
    const YuvPlanesOut planes{{luma.data(), chroma.data(), chroma.data() + kWidth * kHeight / 4},
                              {kWidth, kWidth / 2, kWidth / 2}};
    const BgrToYuvFactors factors = MakeBgrToYuvFactors(false);
    const int fastest = FastestKernel(int(families.size()), [&](int i) {
        ConvertWith(ChainFor(families[size_t(i)]), bgr.data(), 3 * kWidth, kWidth, kHeight, factors, planes);
    });
    return families[size_t(fastest)];
}

VectorChain PickVectorRows() {
    BgrToYuvKernels use = g_use.load(std::memory_order_relaxed);
    if (use == BgrToYuvKernels::kFastest) {
        static const BgrToYuvKernels fastest = TimeFamilies();
        use = fastest;
    }
    return ChainFor(use);
}

int16_t ToFactor(double value) {
    return int16_t(std::lround(value * (1 << kLumaShift)));
}

// Kb, Kg, Kr-weighted chroma with the weight of its own primary 0.5: the green
// factor makes the three sum to zero, so every grey gives exactly 128.
void ChromaFactors(int16_t* k, int own, int other, double ownShare, double otherShare) {
    k[own] = ToFactor(ownShare);
    k[other] = ToFactor(otherShare);
    k[1] = int16_t(-(k[own] + k[other]));
}

}  // namespace

BgrToYuvFactors MakeBgrToYuvFactors(bool fullRange) {
    constexpr double kr = 0.299, kb = 0.114, kg = 1.0 - kr - kb;
    const double lumaScale = fullRange ? 1.0 : 219.0 / 255.0;
    const double chromaScale = fullRange ? 1.0 : 224.0 / 255.0;
    BgrToYuvFactors f;
    f.y[0] = ToFactor(kb * lumaScale);
    f.y[1] = ToFactor(kg * lumaScale);
    f.y[2] = ToFactor(kr * lumaScale);
    // U = (B - Y) / (2 (1 - Kb)), V = (R - Y) / (2 (1 - Kr)).
    ChromaFactors(f.u, 0, 2, 0.5 * chromaScale, -0.5 * kr / (1 - kb) * chromaScale);
    ChromaFactors(f.v, 2, 0, 0.5 * chromaScale, -0.5 * kb / (1 - kr) * chromaScale);
    const int black = fullRange ? 0 : 16;
    f.yBias = (black << kLumaShift) + (1 << (kLumaShift - 1));
    f.chromaBias = (128 << kChromaShift) + (1 << (kChromaShift - 1));
    return f;
}

void ConvertBgrToYuv420(const uint8_t* bits, ptrdiff_t rowBytes, int width, int height,
                        const BgrToYuvFactors& factors, const YuvPlanesOut& planes) {
    if (width <= 0 || height <= 0) return;
    ConvertWith(PickVectorRows(), bits, rowBytes, width, height, factors, planes);
}

void UseBgrToYuvKernels(BgrToYuvKernels kernels) {
    g_use.store(kernels, std::memory_order_relaxed);
}

bool HaveBgrToYuvKernels(BgrToYuvKernels kernels) {
    return CpuHas(kernels);
}
