// Decoded 1920x1080 pictures to bottom-up BGR rows: our kernels (vector and scalar)
// next to the general scaler set up as it was before, and a plain fill of the same
// output as the floor that memory bandwidth sets.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include "platform/avifile/BgrConverter.h"
#include "platform/avifile/YuvToBgr.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int64_t kRowBytes = (kWidth * 3 + 3) & ~3;

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
    LimitYuvToBgrKernels(kernels);
    for (auto _ : state) {
        c.Convert(pic.frame, kWidth, kHeight, bits.data(), kRowBytes);
        benchmark::DoNotOptimize(bits.data());
    }
    LimitYuvToBgrKernels(YuvToBgrKernels::kAvx512);
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

// The widest kernels the CPU has, then each family alone.
BENCHMARK_CAPTURE(BM_Ours, yuv420p, AV_PIX_FMT_YUV420P, YuvToBgrKernels::kAvx512);
BENCHMARK_CAPTURE(BM_Ours, yuv422p, AV_PIX_FMT_YUV422P, YuvToBgrKernels::kAvx512);
BENCHMARK_CAPTURE(BM_Ours, yuv444p, AV_PIX_FMT_YUV444P, YuvToBgrKernels::kAvx512);
BENCHMARK_CAPTURE(BM_Ours, yuv420p_avx2, AV_PIX_FMT_YUV420P, YuvToBgrKernels::kAvx2);
BENCHMARK_CAPTURE(BM_Ours, yuv422p_avx2, AV_PIX_FMT_YUV422P, YuvToBgrKernels::kAvx2);
BENCHMARK_CAPTURE(BM_Ours, yuv420p_ssse3, AV_PIX_FMT_YUV420P, YuvToBgrKernels::kSsse3);
BENCHMARK_CAPTURE(BM_Ours, yuv420p_scalar, AV_PIX_FMT_YUV420P, YuvToBgrKernels::kScalar);
BENCHMARK_CAPTURE(BM_Scaler, yuv420p, AV_PIX_FMT_YUV420P);
BENCHMARK_CAPTURE(BM_Scaler, yuv422p, AV_PIX_FMT_YUV422P);
BENCHMARK_CAPTURE(BM_Scaler, yuv444p, AV_PIX_FMT_YUV444P);
BENCHMARK(BM_Fill);

}  // namespace

BENCHMARK_MAIN();
