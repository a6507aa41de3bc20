// Throughput of the frame pipeline and the still-image writers in megapixels per
// second, on 640x480 and 1920x1080 frames; the JPEG writer next to ffmpeg's image
// export of the same frames (single-threaded, one process per batch of frames).
// Rates are wall-clock, so file output counts in full.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/SysUtil.h"
#include "image/IOdataE.h"
#include "image/ImgFileBmp.h"
#include "image/ImgFileJpeg.h"
#include "image/ImgFilePng.h"
#include "image/ImgFileTiff.h"
#include "image/ResizeKernels.h"

namespace fs = std::filesystem;

namespace {

constexpr int kJpegQuality = 85;
constexpr int kFfmpegFrames = 30;

struct Size {
    int w, h;
};
const Size kSizes[] = {{640, 480}, {1920, 1080}};

size_t Stride(int w) { return (3 * static_cast<size_t>(w) + 3) & ~size_t{3}; }

// A frame with smooth areas and fine detail, like camera footage rather than noise.
std::vector<BYTE> MakeFrame(int w, int h, int index = 0) {
    std::vector<BYTE> f(Stride(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            BYTE* p = f.data() + Stride(w) * y + 3 * x;
            p[0] = static_cast<BYTE>((x + index) * 255 / w);
            p[1] = static_cast<BYTE>(y * 255 / h);
            p[2] = static_cast<BYTE>(((x / 16 + y / 16 + index) % 2) * 160 + ((x * y) >> 9) % 64);
        }
    return f;
}

const fs::path& WorkDir() {
    static const fs::path dir = [] {
        std::string t = (fs::temp_directory_path() / "talvern-bench-XXXXXX").string();
        return fs::path(mkdtemp(t.data()));
    }();
    return dir;
}

void SetPixelRate(benchmark::State& state, int64_t pixelsPerIteration) {
    state.counters["Mpx/s"] = benchmark::Counter(
        static_cast<double>(pixelsPerIteration) * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}

void BM_Deinterlace(benchmark::State& state) {
    const Size s = kSizes[state.range(0)];
    const int mode = static_cast<int>(state.range(1));
    const auto src = MakeFrame(s.w, s.h);
    std::vector<BYTE> dst(src.size());
    CIOdataE pipe;
    for (auto _ : state) {
        BITMAPINFOHEADER h = MakeBitmapInfoHeader24(s.w, s.h);
        benchmark::DoNotOptimize(pipe.Deinterlace(src.data(), dst.data(), &h, mode));
    }
    SetPixelRate(state, int64_t{s.w} * s.h);
}
BENCHMARK(BM_Deinterlace)->ArgsProduct({{0, 1}, {1, 2, 3}})->ArgNames({"size", "mode"})->UseRealTime();

// Resize from each size to each size (full-frame clip; same size is the row copy),
// and the centred half of the large frame to two thirds of it; with each kernel family.
void BM_Resize(benchmark::State& state) {
    const Size from = kSizes[state.range(0) == 2 ? 1 : state.range(0)];
    const Size to = state.range(0) == 2 ? Size{from.w * 2 / 3, from.h * 2 / 3} : kSizes[state.range(1)];
    const auto kernels = static_cast<ResizeKernels>(state.range(2));
    if (!HaveResizeKernels(kernels)) return state.SkipWithError("this CPU lacks the kernels");
    UseResizeKernels(kernels);
    const auto src = MakeFrame(from.w, from.h);
    std::vector<BYTE> dst(Stride(to.w) * to.h);
    CIOdataE pipe;
    if (state.range(0) == 2)
        pipe.SetClipRect(from.w / 4, from.h / 4, from.w / 4 + from.w / 2, from.h / 4 + from.h / 2);
    else
        pipe.SetClipRect(0, 0, from.w, from.h);
    const BITMAPINFOHEADER sh = MakeBitmapInfoHeader24(from.w, from.h), dh = MakeBitmapInfoHeader24(to.w, to.h);
    for (auto _ : state) benchmark::DoNotOptimize(pipe.Resize(src.data(), dst.data(), &sh, &dh));
    UseResizeKernels(ResizeKernels::kFastest);
    SetPixelRate(state, int64_t{to.w} * to.h);
}
BENCHMARK(BM_Resize)
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 2, 3}})
    ->ArgsProduct({{2}, {0}, {0, 1, 2, 3}})
    ->ArgNames({"from", "to", "kernels"})
    ->UseRealTime();

template <typename Write>
void WriteBench(benchmark::State& state, const char* name, Write write) {
    const Size s = kSizes[state.range(0)];
    const auto frame = MakeFrame(s.w, s.h);
    const std::wstring path = (WorkDir() / name).wstring();
    for (auto _ : state) {
        BITMAPINFOHEADER h = MakeBitmapInfoHeader24(s.w, s.h);
        if (!write(frame.data(), &h, path.c_str())) state.SkipWithError("write failed");
    }
    SetPixelRate(state, int64_t{s.w} * s.h);
}

void BM_WriteBmp(benchmark::State& state) {
    WriteBench(state, "f.bmp", [](const BYTE* b, BITMAPINFOHEADER* h, const wchar_t* p) {
        return CImgFileBmp().Save(b, h, p);
    });
}
void BM_WriteJpeg(benchmark::State& state) {
    WriteBench(state, "f.jpg", [](const BYTE* b, BITMAPINFOHEADER* h, const wchar_t* p) {
        return CImgFileJpeg().Save(b, h, p, kJpegQuality);
    });
}
void BM_WriteTiff(benchmark::State& state) {
    WriteBench(state, "f.tif", [](const BYTE* b, BITMAPINFOHEADER* h, const wchar_t* p) {
        return CImgFileTiff().Save(b, h, p);
    });
}
void BM_WritePng(benchmark::State& state) {
    WriteBench(state, "f.png", [](const BYTE* b, BITMAPINFOHEADER* h, const wchar_t* p) {
        return CImgFilePng().Save(b, h, p);
    });
}
BENCHMARK(BM_WriteBmp)->DenseRange(0, 1)->ArgName("size")->UseRealTime();
BENCHMARK(BM_WriteJpeg)->DenseRange(0, 1)->ArgName("size")->UseRealTime();
BENCHMARK(BM_WriteTiff)->DenseRange(0, 1)->ArgName("size")->UseRealTime();
BENCHMARK(BM_WritePng)->DenseRange(0, 1)->ArgName("size")->UseRealTime();

// Our JPEG writer over the same batch of distinct frames that ffmpeg exports below.
void BM_JpegBatchOurs(benchmark::State& state) {
    const Size s = kSizes[state.range(0)];
    std::vector<std::vector<BYTE>> frames;
    for (int i = 0; i < kFfmpegFrames; ++i) frames.push_back(MakeFrame(s.w, s.h, i));
    char name[64];
    for (auto _ : state) {
        for (int i = 0; i < kFfmpegFrames; ++i) {
            std::snprintf(name, sizeof name, "ours %07d.jpg", i + 1);
            BITMAPINFOHEADER h = MakeBitmapInfoHeader24(s.w, s.h);
            const std::wstring path = (WorkDir() / name).wstring();
            if (!CImgFileJpeg().Save(frames[i].data(), &h, path.c_str(), kJpegQuality))
                state.SkipWithError("write failed");
        }
    }
    SetPixelRate(state, int64_t{s.w} * s.h * kFfmpegFrames);
}
BENCHMARK(BM_JpegBatchOurs)->DenseRange(0, 1)->ArgName("size")->Unit(benchmark::kMillisecond)->UseRealTime();

// ffmpeg's image export of the same raw frames (bottom-up BGR, flipped on input).
void BM_JpegBatchFfmpeg(benchmark::State& state) {
    const Size s = kSizes[state.range(0)];
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) {
        state.SkipWithError("ffmpeg not found");
        return;
    }
    const fs::path raw = WorkDir() / ("frames" + std::to_string(s.w) + ".raw");
    {
        FILE* f = std::fopen(raw.c_str(), "wb");
        for (int i = 0; i < kFfmpegFrames; ++i) {
            const auto frame = MakeFrame(s.w, s.h, i);
            // ffmpeg's rawvideo reader wants unpadded rows; both sizes have none.
            std::fwrite(frame.data(), 1, frame.size(), f);
        }
        std::fclose(f);
    }
    const std::string command = "ffmpeg -v error -y -threads 1 -f rawvideo -pix_fmt bgr24 -s " +
                                std::to_string(s.w) + "x" + std::to_string(s.h) + " -i '" + raw.string() +
                                "' -vf vflip -c:v mjpeg -q:v 3 -threads 1 '" +
                                (WorkDir() / "ffmpeg %07d.jpg").string() + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("ffmpeg failed");
    }
    SetPixelRate(state, int64_t{s.w} * s.h * kFfmpegFrames);
}
BENCHMARK(BM_JpegBatchFfmpeg)->DenseRange(0, 1)->ArgName("size")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(WorkDir(), ec);
    return 0;
}
