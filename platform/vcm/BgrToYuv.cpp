#include "platform/vcm/BgrToYuv.h"

#include <algorithm>
#include <atomic>
#include <cmath>

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

int Dot(const int16_t* k, int b, int g, int r) { return k[0] * b + k[1] * g + k[2] * r; }

uint8_t Clamp(int level) { return uint8_t(std::clamp(level, 0, 255)); }

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
        const int lo = red ? k[2] : k[0], hi = red ? 0 : k[1];
        return _mm256_set1_epi32(int32_t(uint32_t(uint16_t(lo)) | uint32_t(uint16_t(hi)) << 16));
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
        return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12)), 1);
    }

    TALVERN_STEP __m256i Dot(__m256i bg, __m256i r, __m256i kBg, __m256i kR) const {
        return _mm256_add_epi32(_mm256_madd_epi16(bg, kBg), _mm256_madd_epi16(r, kR));
    }

    // Luma of 32 pixels, in order.
    TALVERN_STEP __m256i LumaBytes(const __m256i (&bg)[4], const __m256i (&r)[4]) const {
        __m256i y[4];
        for (int b = 0; b < 4; ++b)
            y[b] = _mm256_srai_epi32(_mm256_add_epi32(Dot(bg[b], r[b], yBg, yR), yBias), kLumaShift);
        const __m256i packed = _mm256_packus_epi16(_mm256_packs_epi32(y[0], y[1]), _mm256_packs_epi32(y[2], y[3]));
        return _mm256_permutevar8x32_epi32(packed, yOrder);
    }

    // Chroma of a block of 8 pixels in two rows: the row sums' dot products, added in
    // pixel pairs. Lane 0 holds U and V of samples 0 and 1, lane 1 of samples 2 and 3.
    TALVERN_STEP __m256i ChromaPairs(__m256i bg, __m256i r) const {
        const __m256i u = Dot(bg, r, uBg, uR), v = Dot(bg, r, vBg, vR);
        return _mm256_srai_epi32(_mm256_add_epi32(_mm256_hadd_epi32(u, v), chromaBias), kChromaShift);
    }

    TALVERN_STEP void Step(const RowJob& job, int x) const {
        __m256i bg[2][4], r[2][4], sumBg[4], sumR[4];
        for (int row = 0; row < 2; ++row) {
            for (int b = 0; b < 4; ++b) {
                const __m256i px = LoadBlock(job.bgr[row] + 3 * (x + 8 * b));
                bg[row][b] = _mm256_shuffle_epi8(px, bgPairs);
                r[row][b] = _mm256_shuffle_epi8(px, rPairs);
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(job.y[row] + x), LumaBytes(bg[row], r[row]));
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
            _mm256_packus_epi16(_mm256_packs_epi32(c[0], c[1]), _mm256_packs_epi32(c[2], c[3])), chromaOrder);
        const __m128i lo = _mm256_castsi256_si128(words), hi = _mm256_extracti128_si256(words, 1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(job.u + x / 2), _mm_unpacklo_epi16(lo, hi));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(job.v + x / 2), _mm_unpackhi_epi16(lo, hi));
    }
};

__attribute__((target(TALVERN_AVX2), flatten)) int RowsAvx2(const RowJob& job, int x, int width,
                                                          const BgrToYuvFactors& f) {
    const Avx2 k = Avx2::Make(f);
    for (; x + Avx2::kPixels + Avx2::kReadAhead <= width; x += Avx2::kPixels) k.Step(job, x);
    return x;
}

#endif  // TALVERN_BGR_X86

std::atomic<BgrToYuvKernels> g_best{BgrToYuvKernels::kAvx2};

using VectorRows = int (*)(const RowJob&, int, int, const BgrToYuvFactors&);

bool CpuHas(BgrToYuvKernels kernels) {
#ifdef TALVERN_BGR_X86
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return kernels == BgrToYuvKernels::kScalar || avx2;
#else
    return kernels == BgrToYuvKernels::kScalar;
#endif
}

VectorRows PickVectorRows() {
#ifdef TALVERN_BGR_X86
    if (g_best.load(std::memory_order_relaxed) >= BgrToYuvKernels::kAvx2 && CpuHas(BgrToYuvKernels::kAvx2))
        return RowsAvx2;
#endif
    return nullptr;
}

int16_t ToFactor(double value) { return int16_t(std::lround(value * (1 << kLumaShift))); }

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
    const VectorRows vector = PickVectorRows();
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
        const int done = vector ? vector(job, 0, width, factors) : 0;
        ScalarRows(job, done, width, factors);
    }
}

void LimitBgrToYuvKernels(BgrToYuvKernels best) { g_best.store(best, std::memory_order_relaxed); }

bool HaveBgrToYuvKernels(BgrToYuvKernels kernels) { return CpuHas(kernels); }
