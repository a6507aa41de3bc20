// Frame reading through the media-detector reader against Debian's ffmpeg decoding
// the same file to 24-bit rows. Sequential reading should cost about what a
// plain decode costs; random access costs a seek and a decode from the key frame.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "readers/DecDShowMovie.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 300;

const std::string& Movie() {
    static const std::string path = [] {
        const fs::path p = fs::temp_directory_path() / "talvern_bench_dshow.avi";
        const std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc2=s=640x360:r=25:d=12 "
                                "-c:v libx264 -bf 2 -g 25 -pix_fmt yuv420p '" +
                                p.string() + "'";
        if (std::system(cmd.c_str()) != 0) std::abort();
        return p.string();
    }();
    return path;
}

void OpenOrFail(CDecDShowMovie& r, benchmark::State& state) {
    const std::string& p = Movie();
    const std::wstring w(p.begin(), p.end());
    if (r.Open(w.c_str()) != 0) state.SkipWithError("open failed");
}

void BM_SequentialFrames(benchmark::State& state) {
    CDecDShowMovie r;
    OpenOrFail(r, state);
    void* bits = nullptr;
    for (auto _ : state)
        for (int n = 0; n < kFrames; ++n) benchmark::DoNotOptimize(r.GetFrame(n, &bits));
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_SequentialFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RandomFrames(benchmark::State& state) {
    CDecDShowMovie r;
    OpenOrFail(r, state);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pick(0, kFrames - 1);
    void* bits = nullptr;
    for (auto _ : state) benchmark::DoNotOptimize(r.GetFrame(pick(rng), &bits));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RandomFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FfmpegDecodeAll(benchmark::State& state) {
    const std::string cmd =
        "ffmpeg -v error -i '" + Movie() + "' -f rawvideo -pix_fmt bgr24 -y /dev/null";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("ffmpeg failed");
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_FfmpegDecodeAll)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
