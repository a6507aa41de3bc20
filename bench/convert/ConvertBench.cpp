// Decoded 1920x1080 pictures to bottom-up BGR rows: our kernels (vector and scalar)
// next to the general scaler set up as it was before, and a plain fill of the same
// output as the floor that memory bandwidth sets. Then the other way, bottom-up BGR
// rows to 4:2:0 for the compressors, at 1280x720 and 1920x1080.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include "platform/avifile/BgrConverter.h"
#include "platform/avifile/YuvToBgr.h"
#include "platform/vcm/BgrToYuv.h"
#include "platform/win32/Win32Types.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int64_t kRowBytes = DibRowBytes(kWidth, 24);

struct Picture {
    AVFrame* frame = av_frame_alloc();
    explicit Picture(AVPixelFormat format) {
        frame->format = format;
        frame->width = kWidth;
        frame->height = kHeight;
        av_frame_get_buffer(frame, 0);
        const int chromaRows = format == AV_PIX_FMT_YUV420P ? kHeight / 2 : kHeight;
        for (int p = 0; p < 3; ++p)
            for (int y = 0; y < (p ? chromaRows : kHeight); ++y)
                for (int x = 0; x < frame->linesize[p]; ++x)
                    frame->data[p][y * frame->linesize[p] + x] = uint8_t(x * 3 + y * (p + 1));
    }
    ~Picture() { av_frame_free(&frame); }
};

void BM_Ours(benchmark::State& state, AVPixelFormat format, YuvToBgrKernels kernels) {
    Picture pic(format);
    std::vector<uint8_t> bits(size_t(kRowBytes * kHeight));
    BgrConverter c;
    UseYuvToBgrKernels(kernels);
    for (auto _ : state) {
        c.Convert(pic.frame, kWidth, kHeight, bits.data(), kRowBytes);
        benchmark::DoNotOptimize(bits.data());
    }
    UseYuvToBgrKernels(YuvToBgrKernels::kFastest);
    if (kernels == YuvToBgrKernels::kFastest) {
        static const char* const kNames[] = {"scalar", "ssse3", "avx2", "avx2 in-lane", "avx512"};
        state.SetLabel(std::string("timed fastest: ") + kNames[int(FastestYuvToBgrKernels())]);
    }
}

void BM_Scaler(benchmark::State& state, AVPixelFormat format) {
    Picture pic(format);
    std::vector<uint8_t> bits(size_t(kRowBytes * kHeight) + 64);
    SwsContext* sws = sws_getContext(kWidth, kHeight, format, kWidth, kHeight, AV_PIX_FMT_BGR24,
                                     SWS_BICUBIC, nullptr, nullptr, nullptr);
    const int* k = sws_getCoefficients(SWS_CS_DEFAULT);
    sws_setColorspaceDetails(sws, k, 0, k, 1, 0, 1 << 16, 1 << 16);
    uint8_t* dst[4] = {bits.data() + kRowBytes * (kHeight - 1), nullptr, nullptr, nullptr};
    const int dstStride[4] = {-int(kRowBytes), 0, 0, 0};
    for (auto _ : state) {
        sws_scale(sws, pic.frame->data, pic.frame->linesize, 0, kHeight, dst, dstStride);
        benchmark::DoNotOptimize(bits.data());
    }
    sws_freeContext(sws);
}

void BM_Fill(benchmark::State& state) {
    std::vector<uint8_t> bits(size_t(kRowBytes * kHeight));
    for (auto _ : state) {
        std::memset(bits.data(), int(state.iterations() & 0xFF), bits.size());
        benchmark::DoNotOptimize(bits.data());
    }
}

// A bottom-up BGR picture and a 4:2:0 frame for it.
struct BgrInput {
    int width, height;
    int rowBytes;
    std::vector<uint8_t> bits;
    AVFrame* frame = av_frame_alloc();
    BgrInput(int w, int h)
        : width(w), height(h), rowBytes(static_cast<int>(DibRowBytes(w, 24))), bits(size_t(rowBytes) * h) {
        for (size_t i = 0; i < bits.size(); ++i) bits[i] = uint8_t(i * 7 + i / size_t(rowBytes));
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = w;
        frame->height = h;
        av_frame_get_buffer(frame, 0);
    }
    ~BgrInput() { av_frame_free(&frame); }
};

void BM_OursToYuv(benchmark::State& state, BgrToYuvKernels kernels) {
    BgrInput in(int(state.range(0)), int(state.range(1)));
    const BgrToYuvFactors factors = MakeBgrToYuvFactors(false);
    const YuvPlanesOut planes{
        {in.frame->data[0], in.frame->data[1], in.frame->data[2]},
        {in.frame->linesize[0], in.frame->linesize[1], in.frame->linesize[2]}};
    UseBgrToYuvKernels(kernels);
    for (auto _ : state) {
        ConvertBgrToYuv420(in.bits.data(), in.rowBytes, in.width, in.height, factors, planes);
        benchmark::DoNotOptimize(in.frame->data[0]);
    }
    UseBgrToYuvKernels(BgrToYuvKernels::kFastest);
}

// The scaler as the encoder set it up before: bilinear, rows read bottom-up.
void BM_ScalerToYuv(benchmark::State& state) {
    BgrInput in(int(state.range(0)), int(state.range(1)));
    SwsContext* sws = sws_getContext(in.width, in.height, AV_PIX_FMT_BGR24, in.width, in.height,
                                     AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    const uint8_t* src[1] = {in.bits.data() + ptrdiff_t(in.rowBytes) * (in.height - 1)};
    const int srcStride[1] = {-in.rowBytes};
    for (auto _ : state) {
        sws_scale(sws, src, srcStride, 0, in.height, in.frame->data, in.frame->linesize);
        benchmark::DoNotOptimize(in.frame->data[0]);
    }
    sws_freeContext(sws);
}

// The family timed fastest at first use, then each family alone.
BENCHMARK_CAPTURE(BM_Ours, yuv420p, AV_PIX_FMT_YUV420P, YuvToBgrKernels::kFastest);
BENCHMARK_CAPTURE(BM_Ours, yuv422p, AV_PIX_FMT_YUV422P, YuvToBgrKernels::kFastest);
BENCHMARK_CAPTURE(BM_Ours, yuv444p, AV_PIX_FMT_YUV444P, YuvToBgrKernels::kFastest);
BENCHMARK_CAPTURE(BM_Ours, yuv420p_avx512, AV_PIX_FMT_YUV420P, YuvToBgrKernels::kAvx512);
BENCHMARK_CAPTURE(BM_Ours, yuv420p_avx2, AV_PIX_FMT_YUV420P, YuvToBgrKernels::kAvx2);
BENCHMARK_CAPTURE(BM_Ours, yuv420p_avx2_inlane, AV_PIX_FMT_YUV420P, YuvToBgrKernels::kAvx2InLane);
BENCHMARK_CAPTURE(BM_Ours, yuv422p_avx2, AV_PIX_FMT_YUV422P, YuvToBgrKernels::kAvx2);
BENCHMARK_CAPTURE(BM_Ours, yuv420p_ssse3, AV_PIX_FMT_YUV420P, YuvToBgrKernels::kSsse3);
BENCHMARK_CAPTURE(BM_Ours, yuv420p_scalar, AV_PIX_FMT_YUV420P, YuvToBgrKernels::kScalar);
BENCHMARK_CAPTURE(BM_Scaler, yuv420p, AV_PIX_FMT_YUV420P);
BENCHMARK_CAPTURE(BM_Scaler, yuv422p, AV_PIX_FMT_YUV422P);
BENCHMARK_CAPTURE(BM_Scaler, yuv444p, AV_PIX_FMT_YUV444P);
BENCHMARK(BM_Fill);
BENCHMARK_CAPTURE(BM_OursToYuv, fastest, BgrToYuvKernels::kFastest)
    ->Args({1280, 720})
    ->Args({1920, 1080});
BENCHMARK_CAPTURE(BM_OursToYuv, avx512, BgrToYuvKernels::kAvx512)
    ->Args({1280, 720})
    ->Args({1920, 1080});
BENCHMARK_CAPTURE(BM_OursToYuv, avx2, BgrToYuvKernels::kAvx2)
    ->Args({1280, 720})
    ->Args({1920, 1080});
BENCHMARK_CAPTURE(BM_OursToYuv, scalar, BgrToYuvKernels::kScalar)
    ->Args({1280, 720})
    ->Args({1920, 1080});
BENCHMARK(BM_ScalerToYuv)->Args({1280, 720})->Args({1920, 1080});

}  // namespace

BENCHMARK_MAIN();
