// Encoding throughput of the WMV writer (24-bit 640x360 frames and 48 kHz stereo PCM
// in, a 320x240 system profile of each version out) against Debian's ffmpeg encoding
// the same frames to the same codecs, size and rates.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "writers/EncWMV.h"

namespace {

namespace fs = std::filesystem;

constexpr int kW = 640;
constexpr int kH = 360;
constexpr int kFrames = 250;

const fs::path& WorkDir() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / "talvern_bench_wmv_writer";
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// The source as a raw 24-bit AVI for ffmpeg, and as bottom-up DIB rows in memory for the writer.
const std::vector<uint8_t>& Frames() {
    static std::vector<uint8_t> frames;
    if (frames.empty()) {
        const fs::path raw = WorkDir() / "source.avi";
        const std::string make = "ffmpeg -v error -y -f lavfi -i testsrc2=s=640x360:r=25:d=10 "
                                 "-f lavfi -i sine=r=48000:d=10 -ac 2 -c:v rawvideo -pix_fmt bgr24 -c:a pcm_s16le '" +
                                 raw.string() + "'";
        if (std::system(make.c_str()) != 0) std::abort();
        const std::string read = "ffmpeg -v error -i '" + raw.string() + "' -vf vflip -f rawvideo -pix_fmt bgr24 -";
        FILE* p = popen(read.c_str(), "r");
        frames.resize(static_cast<size_t>(kW) * 3 * kH * kFrames);
        if (!p || std::fread(frames.data(), 1, frames.size(), p) != frames.size()) std::abort();
        pclose(p);
    }
    return frames;
}

// Version 0, 1, 2 (4.0, 7.0, 8.0): the 320x240 profiles of 1 Mbit/s, 700 kbit/s and 700 kbit/s.
constexpr int kProfile[3] = {20, 12, 12};
const char* const kFfmpegCodecs[3] = {"-c:v msmpeg4 -b:v 936k -c:a wmav2 -b:a 64k",
                                      "-c:v wmv1 -b:v 636k -c:a wmav2 -b:a 64k",
                                      "-c:v wmv2 -b:v 636k -c:a wmav2 -b:a 64k"};

void BM_WriterEncode(benchmark::State& state) {
    const auto& frames = Frames();
    const size_t frameBytes = static_cast<size_t>(kW) * 3 * kH;
    const std::wstring out = (WorkDir() / "ours.wmv").wstring();
    BITMAPINFOHEADER bi{40, kW, kH, 1, 24, BI_RGB, static_cast<DWORD>(frameBytes), 0, 0, 0, 0};
    std::vector<uint8_t> silence(48000 * 4);
    CEncWMVWMA writer;
    const int v = static_cast<int>(state.range(0));
    for (auto _ : state) {
        if (writer.LoadSystemProfile(v, kProfile[v], kProfile[v], kProfile[v]) != 0 ||
            writer.Open(out.c_str(), &bi, 250000, 48000, 2, 16) != 0) {
            state.SkipWithError("open failed");
        }
        for (int i = 0; i < kFrames; ++i) {
            (void)writer.WriteVideoFrame(frames.data() + frameBytes * i);
            (void)writer.WriteAudio(silence.data(), writer.GetAudioBytesDue());
        }
        (void)writer.EndPass();
        if (writer.Close() != 0) state.SkipWithError("close failed");
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_WriterEncode)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FfmpegEncode(benchmark::State& state) {
    Frames();
    const std::string cmd = "ffmpeg -v error -y -i '" + (WorkDir() / "source.avi").string() + "' -s 320x240 -ar 44100 " +
                            kFfmpegCodecs[state.range(0)] + " -f asf '" + (WorkDir() / "ffmpeg.wmv").string() + "'";
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("ffmpeg failed");
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_FfmpegEncode)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
BENCHMARK_MAIN();
