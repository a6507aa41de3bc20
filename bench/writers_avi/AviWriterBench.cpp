// Re-encoding throughput of the AVI writer (24-bit frames in, compressed AVI out)
// against Debian's ffmpeg encoding the same frames with the same encoder and a
// comparable quality. ffmpeg may use frame threads and B-frames; the writer gives
// one packet per frame, so it can lose some speed on x264 and Xvid.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "writers/EncAVI2.h"

namespace {

namespace fs = std::filesystem;

constexpr int kW = 640;
constexpr int kH = 360;
constexpr int kFrames = 300;

const fs::path& WorkDir() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / "talvern_bench_avi_writer";
        fs::create_directories(d);
        setenv("TALVERN_CONFIG_DIR", d.c_str(), 1);
        return d;
    }();
    return dir;
}

// The source as a raw 24-bit AVI for ffmpeg, and as bottom-up DIB rows in memory for the writer.
const std::vector<uint8_t>& Frames() {
    static std::vector<uint8_t> frames;
    if (frames.empty()) {
        const fs::path raw = WorkDir() / "source.avi";
        const std::string make = "ffmpeg -v error -y -f lavfi -i testsrc2=s=640x360:r=25:d=12 "
                                 "-c:v rawvideo -pix_fmt bgr24 '" + raw.string() + "'";
        if (std::system(make.c_str()) != 0) std::abort();
        const std::string read = "ffmpeg -v error -i '" + raw.string() + "' -vf vflip -f rawvideo -pix_fmt bgr24 -";
        FILE* p = popen(read.c_str(), "r");
        frames.resize(static_cast<size_t>(kW) * 3 * kH * kFrames);
        if (!p || std::fread(frames.data(), 1, frames.size(), p) != frames.size()) std::abort();
        pclose(p);
    }
    return frames;
}

// 0: MJPG, 1: XVID, 2: H264.
constexpr FOURCC kHandlers[3] = {MAKEFOURCC('M', 'J', 'P', 'G'), MAKEFOURCC('X', 'V', 'I', 'D'),
                                 MAKEFOURCC('H', '2', '6', '4')};
// Roughly the same quality as the writer's defaults (quality 100, key frame every 15).
const char* const kFfmpegCodecs[3] = {"-c:v mjpeg -q:v 2 -pix_fmt yuvj420p", "-c:v libxvid -q:v 2 -g 15",
                                      "-c:v libx264 -crf 12 -g 15"};

void BM_WriterReencode(benchmark::State& state) {
    const auto& frames = Frames();
    const size_t frameBytes = static_cast<size_t>(kW) * 3 * kH;
    const std::wstring out = (WorkDir() / "ours.avi").wstring();
    BITMAPINFOHEADER bi{40, kW, kH, 1, 24, BI_RGB, static_cast<DWORD>(frameBytes), 0, 0, 0, 0};
    CEncAVI2 writer;
    writer.GetSetting().SetHandler(kHandlers[state.range(0)]);
    for (auto _ : state) {
        if (writer.Create(out.c_str(), &bi, 250000, 0) != 0) state.SkipWithError("create failed");
        for (int i = 0; i < kFrames; ++i) (void)writer.WriteFrame(frames.data() + frameBytes * i);
        if (writer.Close() != 0) state.SkipWithError("close failed");
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_WriterReencode)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FfmpegReencode(benchmark::State& state) {
    Frames();
    const std::string cmd = "ffmpeg -v error -y -i '" + (WorkDir() / "source.avi").string() + "' " +
                            kFfmpegCodecs[state.range(0)] + " '" + (WorkDir() / "ffmpeg.avi").string() + "'";
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("ffmpeg failed");
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_FfmpegReencode)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
BENCHMARK_MAIN();
