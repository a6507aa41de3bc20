// Audio decoding through the AVI audio reader and WAV encoding through the
// conversion engine, against Debian's ffmpeg doing the same work on the same
// data. The engine adds block staging and a copy per buffer to the codec's own
// cost; it should stay close to ffmpeg's time.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "readers/DecAVIAudio.h"
#include "writers/WaveFileACM.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSeconds = 60;
constexpr int kRate = 44100;

// 0: MP3 128 kbit/s, 1: AC-3 192 kbit/s (48 kHz), 2: MS ADPCM.
const char* const kCodecArgs[3] = {"-c:a libmp3lame -b:a 128k -ar 44100", "-c:a ac3 -b:a 192k -ar 48000",
                                   "-c:a adpcm_ms -ar 44100"};

const std::string& Movie(int kind) {
    static std::string paths[3];
    if (paths[kind].empty()) {
        const fs::path p = fs::temp_directory_path() / ("talvern_bench_audio" + std::to_string(kind) + ".avi");
        const std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc2=s=64x48:r=25:d=" + std::to_string(kSeconds) +
                                " -f lavfi -i sine=f=440:r=44100:d=" + std::to_string(kSeconds) +
                                " -c:v rawvideo -pix_fmt bgr24 -ac 2 " + kCodecArgs[kind] + " '" + p.string() + "'";
        if (std::system(cmd.c_str()) != 0) std::abort();
        paths[kind] = p.string();
    }
    return paths[kind];
}

void BM_ReaderDecodesToPcm(benchmark::State& state) {
    CDecAVIAudioComp reader;
    if (reader.Open(fs::path(Movie(int(state.range(0)))).wstring().c_str()) != 0 || !reader.HasAudioStream()) {
        state.SkipWithError("open failed");
        return;
    }
    std::vector<unsigned char> buffer(4096);
    int64_t bytes = 0;
    for (auto _ : state) {
        reader.StartAudio(0);
        for (int n; (n = reader.ReadPCM(buffer.data(), int(buffer.size()))) > 0;) bytes += n;
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ReaderDecodesToPcm)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FfmpegDecodesToPcm(benchmark::State& state) {
    const std::string cmd = "ffmpeg -v error -i '" + Movie(int(state.range(0))) + "' -map 0:a -f s16le -y /dev/null";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("ffmpeg failed");
}
BENCHMARK(BM_FfmpegDecodesToPcm)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

const std::vector<unsigned char>& Pcm() {
    static std::vector<unsigned char> pcm;
    if (pcm.empty()) {
        pcm.resize(size_t(kSeconds) * kRate * 4);
        auto* s = reinterpret_cast<int16_t*>(pcm.data());
        for (size_t i = 0; i < pcm.size() / 2; ++i) s[i] = int16_t(8000 * std::sin(double(i / 2) * 0.0627));
    }
    return pcm;
}

// 0: MP3 128 kbit/s, 2: MS ADPCM (the same numbering as the movies).
void BM_WaveFileEncodes(benchmark::State& state) {
    const WORD tag = state.range(0) == 0 ? WAVE_FORMAT_MPEGLAYER3 : WAVE_FORMAT_ADPCM;
    std::vector<BYTE> target;
    for (const auto& d : AcmListFormats()) {
        const auto* f = reinterpret_cast<const WAVEFORMATEX*>(d.format.data());
        if (f->wFormatTag == tag && f->nSamplesPerSec == kRate && f->nChannels == 2 &&
            (tag != WAVE_FORMAT_MPEGLAYER3 || f->nAvgBytesPerSec == 16000)) {
            target = d.format;
            break;
        }
    }
    const std::wstring out = (fs::temp_directory_path() / "talvern_bench_audio_out.wav").wstring();
    WAVEFORMATEX source{WAVE_FORMAT_PCM, 2, kRate, kRate * 4, 4, 16, 0};
    const std::vector<unsigned char>& pcm = Pcm();
    for (auto _ : state) {
        CWaveFileACM wav;
        wav.SetSourceFormat(&source);
        wav.SetTargetFormat(reinterpret_cast<const WAVEFORMATEX*>(target.data()));
        if (!wav.OpenWrite(out.c_str())) {
            state.SkipWithError("open failed");
            return;
        }
        for (size_t pos = 0; pos < pcm.size(); pos += 4096)
            wav.Write(pcm.data() + pos, int(std::min<size_t>(4096, pcm.size() - pos)));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(pcm.size()));
}
BENCHMARK(BM_WaveFileEncodes)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FfmpegEncodes(benchmark::State& state) {
    const std::string codec = state.range(0) == 0 ? "-c:a libmp3lame -b:a 128k" : "-c:a adpcm_ms";
    const std::string cmd = "ffmpeg -v error -f lavfi -i sine=f=440:r=44100:d=" + std::to_string(kSeconds) +
                            " -ac 2 " + codec + " -f wav -y /dev/null";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("ffmpeg failed");
}
BENCHMARK(BM_FfmpegEncodes)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
