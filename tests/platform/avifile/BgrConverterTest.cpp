// Planar YUV to bottom-up BGR rows: our own kernels against the general scaler, the
// vector kernels against the scalar code, and what lands where in the caller's rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include "platform/avifile/BgrConverter.h"
#include "platform/avifile/YuvToBgr.h"

namespace talvern::test {
namespace {

enum class Fill { kRandom, kGradient };

struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

int ChromaShiftX(AVPixelFormat f) { return f == AV_PIX_FMT_YUV444P || f == AV_PIX_FMT_YUVJ444P ? 0 : 1; }
int ChromaShiftY(AVPixelFormat f) {
    return f == AV_PIX_FMT_YUV420P || f == AV_PIX_FMT_YUVJ420P ? 1 : 0;
}

// A triangle wave: a ramp without jumps.
int Ramp(int t) { return std::abs(t % 192 - 96) - 48; }

// Random pictures make every lane and every saturation edge count; gradients are
// smooth, in-range pictures like camera footage, where rounding shows.
FramePtr MakePicture(AVPixelFormat format, int w, int h, Fill fill, unsigned seed) {
    FramePtr f(av_frame_alloc());
    f->format = format;
    f->width = w;
    f->height = h;
    if (av_frame_get_buffer(f.get(), 0) < 0) return nullptr;
    std::mt19937 rng(seed);
    for (int p = 0; p < 3; ++p) {
        const int pw = p ? -((-w) >> ChromaShiftX(format)) : w;
        const int ph = p ? -((-h) >> ChromaShiftY(format)) : h;
        for (int y = 0; y < ph; ++y)
            for (int x = 0; x < pw; ++x) {
                int v = int(rng() & 0xFF);
                if (fill == Fill::kGradient)
                    v = p == 0 ? (x * 7 + y * 3 + int(seed)) & 0xFF
                               : 128 + Ramp((x + (p == 1 ? y : 2 * ph - y)) / 2 + int(seed));
                f->data[p][ptrdiff_t(y) * f->linesize[p] + x] = uint8_t(v);
            }
    }
    return f;
}

int64_t RowBytes(int w) { return (int64_t(w) * 3 + 3) & ~int64_t(3); }

// The converter's output, every byte it must not touch keeping a marker.
std::vector<uint8_t> Convert(BgrConverter& c, const AVFrame* f) {
    std::vector<uint8_t> bits(size_t(RowBytes(f->width) * f->height), 0xA5);
    EXPECT_TRUE(c.Convert(f, f->width, f->height, bits.data(), RowBytes(f->width)));
    return bits;
}

// The conversion worked out in floating point from the same BT.601 factors: each
// pixel takes the chroma sample of its block (the last one past an odd edge).
std::vector<uint8_t> ExactReference(const AVFrame* f, bool fullRange) {
    const int* k = sws_getCoefficients(SWS_CS_DEFAULT);
    const double chroma = fullRange ? 224.0 / 255.0 / 65536.0 : 1.0 / 65536.0;
    const double gain = fullRange ? 1.0 : 255.0 / 219.0, black = fullRange ? 0.0 : 16.0;
    const AVPixelFormat format = AVPixelFormat(f->format);
    const int64_t rb = RowBytes(f->width);
    std::vector<uint8_t> out(size_t(rb * f->height), 0xA5);
    for (int y = 0; y < f->height; ++y)
        for (int x = 0; x < f->width; ++x) {
            const int cx = x >> ChromaShiftX(format), cy = y >> ChromaShiftY(format);
            const double l = gain * (f->data[0][y * f->linesize[0] + x] - black);
            const double u = f->data[1][cy * f->linesize[1] + cx] - 128.0;
            const double v = f->data[2][cy * f->linesize[2] + cx] - 128.0;
            const double bgr[3] = {l + chroma * k[1] * u, l - chroma * (k[2] * u + k[3] * v),
                                   l + chroma * k[0] * v};
            for (int c = 0; c < 3; ++c)
                out[size_t(rb * (f->height - 1 - y) + 3 * x + c)] =
                    uint8_t(std::clamp(std::lround(bgr[c]), 0L, 255L));
        }
    return out;
}

// The general scaler as the converter sets it, into rows with room to spare: its
// vector code rounds the width up to 8 pixels and leaves a tight row's last ones out.
std::vector<uint8_t> ScalerReference(const AVFrame* f, bool fullRange) {
    static const AVPixelFormat plain[][2] = {{AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV420P},
                                             {AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUV422P}};
    AVPixelFormat format = AVPixelFormat(f->format);
    for (const auto& p : plain)
        if (format == p[0]) format = p[1];
    SwsContext* sws = sws_getContext(f->width, f->height, format, f->width, f->height,
                                     AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
    const int* k = sws_getCoefficients(SWS_CS_DEFAULT);
    sws_setColorspaceDetails(sws, k, fullRange ? 1 : 0, k, 1, 0, 1 << 16, 1 << 16);
    const int stride = (f->width * 3 + 64 + 63) & ~63;
    std::vector<uint8_t> wide(size_t(stride) * f->height + 64);
    uint8_t* dst[4] = {wide.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {stride, 0, 0, 0};
    sws_scale(sws, f->data, f->linesize, 0, f->height, dst, dstStride);
    sws_freeContext(sws);
    // Repacked bottom-up with our row length, so both outputs compare byte for byte.
    const int64_t rb = RowBytes(f->width);
    std::vector<uint8_t> out(size_t(rb * f->height), 0xA5);
    for (int y = 0; y < f->height; ++y)
        std::copy_n(wide.data() + size_t(stride) * y, f->width * 3,
                    out.data() + size_t(rb) * (f->height - 1 - y));
    return out;
}

// Largest per-channel difference over the pixels, and whether the padding bytes of
// both are the same.
struct Comparison {
    int worst = 0;
    int64_t differing = 0;
    int64_t total = 0;
    bool samePadding = true;
};

Comparison Compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int w, int h) {
    Comparison c;
    const int64_t rb = RowBytes(w);
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < rb; ++i) {
            const size_t at = size_t(rb * y + i);
            if (i >= w * 3)
                c.samePadding = c.samePadding && a[at] == b[at];
            else {
                const int d = std::abs(int(a[at]) - int(b[at]));
                c.worst = std::max(c.worst, d);
                c.differing += d != 0;
                ++c.total;
            }
        }
    return c;
}

struct Format {
    AVPixelFormat format;
    bool fullRange;
    const char* name;
};

const Format kFormats[] = {
    {AV_PIX_FMT_YUV420P, false, "yuv420p"},  {AV_PIX_FMT_YUVJ420P, true, "yuvj420p"},
    {AV_PIX_FMT_YUV422P, false, "yuv422p"},  {AV_PIX_FMT_YUVJ422P, true, "yuvj422p"},
    {AV_PIX_FMT_YUV444P, false, "yuv444p"},  {AV_PIX_FMT_YUVJ444P, true, "yuvj444p"},
};

struct Size {
    int w, h;
};

// Every width up to two vector blocks and a tail, heights odd and even, a few large.
std::vector<Size> Sizes() {
    std::vector<Size> sizes;
    for (int w = 1; w <= 67; ++w) sizes.push_back({w, 1 + w % 6});
    for (Size s : {Size{1920, 1080}, Size{1283, 9}, Size{720, 577}, Size{97, 1}}) sizes.push_back(s);
    return sizes;
}

std::string Describe(const Format& fmt, Size s, Fill fill) {
    return std::string(fmt.name) + " " + std::to_string(s.w) + "x" + std::to_string(s.h) +
           (fill == Fill::kRandom ? " random" : " gradient");
}

FramePtr TestPicture(const Format& fmt, Size s, Fill fill) {
    FramePtr f = MakePicture(fmt.format, s.w, s.h, fill, unsigned(s.w * 31 + s.h));
    if (f) f->color_range = fmt.fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    return f;
}

// One kernel family for one scope.
class KernelLimit {
public:
    explicit KernelLimit(YuvToBgrKernels kernels) { UseYuvToBgrKernels(kernels); }
    ~KernelLimit() { UseYuvToBgrKernels(YuvToBgrKernels::kFastest); }
};

// Within one level, and rounded as the exact values are nearly always: a rounding
// step that is off by a fraction of a level moves a good share of the pixels.
TEST(BgrConverter, SameSizePlanarYuvIsTheExactConversionBottomUpWithPaddingKept) {
    int64_t differing = 0, total = 0;
    for (const Format& fmt : kFormats)
        for (Size s : Sizes())
            for (Fill fill : {Fill::kRandom, Fill::kGradient}) {
                SCOPED_TRACE(Describe(fmt, s, fill));
                FramePtr f = TestPicture(fmt, s, fill);
                ASSERT_TRUE(f);
                BgrConverter c;
                const Comparison r = Compare(Convert(c, f.get()), ExactReference(f.get(), fmt.fullRange),
                                             s.w, s.h);
                EXPECT_LE(r.worst, 1);
                EXPECT_TRUE(r.samePadding);
                differing += r.differing;
                total += r.total;
            }
    EXPECT_LT(differing * 100, total);
}

// The scaler's vector code rounds each term down and so strays up to 3 levels from the
// exact values; pictures stay that close to what the scaler made of them.
TEST(BgrConverter, SameSizePlanarYuvStaysCloseToTheScaler) {
    for (const Format& fmt : kFormats)
        for (Size s : Sizes()) {
            // Only its unscaled path takes each block's chroma sample as it is.
            if (ChromaShiftX(fmt.format) == 0 || s.h % 2) continue;
            SCOPED_TRACE(Describe(fmt, s, Fill::kRandom));
            FramePtr f = TestPicture(fmt, s, Fill::kRandom);
            ASSERT_TRUE(f);
            BgrConverter c;
            EXPECT_LE(Compare(Convert(c, f.get()), ScalerReference(f.get(), fmt.fullRange), s.w, s.h).worst,
                      3);
        }
}

// Every kernel family this CPU has, narrower ones finishing the rows of wider ones.
TEST(BgrConverter, EveryKernelFamilyGivesTheSameBytes) {
    for (const Format& fmt : kFormats)
        for (Size s : Sizes()) {
            SCOPED_TRACE(Describe(fmt, s, Fill::kRandom));
            FramePtr f = TestPicture(fmt, s, Fill::kRandom);
            ASSERT_TRUE(f);
            BgrConverter c;
            std::vector<uint8_t> scalar;
            {
                KernelLimit limit(YuvToBgrKernels::kScalar);
                scalar = Convert(c, f.get());
            }
            for (YuvToBgrKernels k : {YuvToBgrKernels::kSsse3, YuvToBgrKernels::kAvx2, YuvToBgrKernels::kAvx2InLane,
                                      YuvToBgrKernels::kAvx512, YuvToBgrKernels::kFastest}) {
                if (!HaveYuvToBgrKernels(k)) continue;
                KernelLimit limit(k);
                EXPECT_TRUE(Convert(c, f.get()) == scalar) << "kernels " << int(k);
            }
        }
}

// One converter seeing pictures of another range, layout or size (as a stream whose
// pictures change does) converts each as if it were its first.
TEST(BgrConverter, KnownLevelsWhateverCameBefore) {
    struct Case {
        Format fmt;
        uint8_t y, u, v;
        uint8_t b, g, r;
    };
    const Case cases[] = {
        {kFormats[0], 16, 128, 128, 0, 0, 0},        // limited black
        {kFormats[1], 16, 128, 128, 16, 16, 16},     // full range keeps the level
        {kFormats[2], 235, 128, 128, 255, 255, 255}, // limited white
        {kFormats[5], 255, 128, 128, 255, 255, 255},
        {kFormats[4], 81, 90, 240, 0, 0, 255},       // limited red
        {kFormats[1], 0, 128, 128, 0, 0, 0},
        {kFormats[0], 41, 240, 110, 255, 0, 0},      // limited blue
    };
    BgrConverter c;
    for (const Case& k : cases)
        for (Size s : {Size{37, 3}, Size{64, 2}}) {
            SCOPED_TRACE(Describe(k.fmt, s, Fill::kGradient) + " level " + std::to_string(k.y));
            FramePtr f = TestPicture(k.fmt, s, Fill::kGradient);
            ASSERT_TRUE(f);
            for (int p = 0; p < 3; ++p)
                for (int y = 0; y < s.h; ++y)
                    std::fill_n(f->data[p] + y * f->linesize[p], s.w, p == 0 ? k.y : p == 1 ? k.u : k.v);
            const std::vector<uint8_t> bits = Convert(c, f.get());
            for (int y = 0; y < s.h; ++y)
                for (int x = 0; x < s.w; ++x) {
                    const uint8_t* px = bits.data() + RowBytes(s.w) * y + 3 * x;
                    ASSERT_NEAR(px[0], k.b, 1);
                    ASSERT_NEAR(px[1], k.g, 1);
                    ASSERT_NEAR(px[2], k.r, 1);
                }
        }
}

}  // namespace
}  // namespace talvern::test
