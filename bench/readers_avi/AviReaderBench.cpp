// Frame reading through the AVI reader against Debian's ffmpeg decoding the same
// file (`-f null`, and to 24-bit rows). Sequential reading should cost about what
// a plain decode plus the conversion to 24-bit rows costs; random access adds a
// decode from the key frame before each frame.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "readers/DecAVI.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 300;

// 0: H.264 with B frames, 1: MPEG-4 part 2 with B frames, 2: MJPEG.
const std::string& Movie(int kind) {
    static std::string paths[3];
    static const char* const codecs[3] = {"-c:v libx264 -bf 2 -g 25 -pix_fmt yuv420p",
                                          "-c:v mpeg4 -q:v 4 -bf 2 -g 25",
                                          "-c:v mjpeg -q:v 4 -pix_fmt yuvj420p"};
    if (paths[kind].empty()) {
        const fs::path p = fs::temp_directory_path() / ("talvern_bench_avi" + std::to_string(kind) + ".avi");
        const std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc2=s=640x360:r=25:d=12 " +
                                std::string(codecs[kind]) + " '" + p.string() + "'";
        if (std::system(cmd.c_str()) != 0) std::abort();
        paths[kind] = p.string();
    }
    return paths[kind];
}

bool OpenOrFail(CDecAVI& r, benchmark::State& state) {
    const std::string& p = Movie(int(state.range(0)));
    if (r.Open(fs::path(p).wstring().c_str()) == 0 && r.GetFrameCount() == kFrames) return true;
    state.SkipWithError("open failed");
    return false;
}

void BM_SequentialFrames(benchmark::State& state) {
    CDecAVI r;
    if (!OpenOrFail(r, state)) return;
    void* bits = nullptr;
    for (auto _ : state)
        for (int n = 0; n < kFrames; ++n) benchmark::DoNotOptimize(r.GetFrame(n, &bits));
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_SequentialFrames)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RandomFrames(benchmark::State& state) {
    CDecAVI r;
    if (!OpenOrFail(r, state)) return;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pick(0, kFrames - 1);
    void* bits = nullptr;
    for (auto _ : state) benchmark::DoNotOptimize(r.GetFrame(pick(rng), &bits));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RandomFrames)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void RunFfmpeg(benchmark::State& state, const std::string& output) {
    const std::string cmd = "ffmpeg -v error -i '" + Movie(int(state.range(0))) + "' " + output;
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("ffmpeg failed");
    state.SetItemsProcessed(state.iterations() * kFrames);
}

void BM_FfmpegNull(benchmark::State& state) { RunFfmpeg(state, "-f null -"); }
BENCHMARK(BM_FfmpegNull)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FfmpegBgr24(benchmark::State& state) {
    RunFfmpeg(state, "-f rawvideo -pix_fmt bgr24 -y /dev/null");
}
BENCHMARK(BM_FfmpegBgr24)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
