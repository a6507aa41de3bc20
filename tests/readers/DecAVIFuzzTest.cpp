// Thousands of damaged files through open and read, video and audio: bit flips,
// cuts, and chunk sizes or format fields set to extremes. Nothing may crash, hang,
// leak or allocate without bound; the sanitizer build runs the same cases.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "readers/DecAVI.h"
#include "readers/DecAVIAudio.h"
#include "tests/data/SyntheticAvi.h"
#include "tests/data/TestMedia.h"
#include "tests/support/TestSupport.h"

namespace talvern::test {
namespace {

std::vector<std::string> Seeds(const TempDir& dir) {
    std::vector<std::string> seeds;
    SynthAvi odml = SimpleVideo(12, 16, 8, SynthIndex::OpenDmlIdx1);
    odml.parts = 3;
    SynthStream audio;
    audio.type = streamtypeAUDIO;
    audio.sampleSize = 2;
    audio.format = PcmFormat(8000, 1, 16);
    odml.streams.push_back(audio);
    for (int i = 0; i < 6; ++i) odml.chunks.push_back({1, std::string(64, char(i)), true});
    seeds.push_back(BuildSyntheticAvi(odml));
    seeds.push_back(BuildSyntheticAvi(SimpleVideo(8, 16, 8, SynthIndex::OpenDmlField)));
    seeds.push_back(BuildSyntheticAvi(SimpleVideo(8, 16, 8, SynthIndex::None)));
    for (VideoCodec codec : {VideoCodec::Mjpeg, VideoCodec::Mpeg4BFrames, VideoCodec::H264}) {
        MovieDesc desc;
        desc.video = codec;
        desc.width = 32;
        desc.height = 16;
        desc.frames = 8;
        desc.gop = 4;
        desc.audio = codec == VideoCodec::Mjpeg ? AudioCodec::Pcm16 : AudioCodec::None;
        const auto path = dir / (std::string(VideoCodecName(codec)) + ".avi");
        if (MakeTestMovie(desc, path)) seeds.push_back(ReadFileBytes(path));
    }
    return seeds;
}

// Offsets of the size fields that follow the chunk codes the reader looks at.
std::vector<size_t> SizeFields(const std::string& file) {
    std::vector<size_t> at;
    for (const char* code : {"RIFF", "LIST", "avih", "strh", "strf", "strn", "indx", "ix00", "idx1",
                             "00dc", "01wb", "dmlh"}) {
        for (size_t p = file.find(code); p != std::string::npos && p + 8 <= file.size();
             p = file.find(code, p + 1))
            at.push_back(p + 4);
    }
    return at;
}

std::string Mutate(std::string f, std::mt19937& rng, const std::vector<size_t>& sizes) {
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    switch (pick(3)) {
    case 0:  // bit flips
        for (size_t i = 0, n = 1 + pick(8); i < n; ++i) f[pick(f.size())] ^= char(1 << pick(8));
        break;
    case 1:  // cut short
        f.resize(pick(f.size()));
        break;
    default: {  // a size or count set to an extreme
        static const uint32_t extremes[] = {0, 1, 3, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF0};
        const size_t at = sizes.empty() || pick(4) == 0 ? pick(f.size() - 4) : sizes[pick(sizes.size())];
        const uint32_t v = extremes[pick(std::size(extremes))];
        if (at + 4 <= f.size()) std::memcpy(&f[at], &v, 4);
        break;
    }
    }
    return f;
}

void Exercise(CDecAVI& reader, const std::filesystem::path& path) {
    if (reader.Open(path.wstring().c_str()) != 0) return;
    const int count = reader.GetFrameCount();
    void* bits = nullptr;
    for (int n : {0, count - 1, count / 2, 1, 0}) reader.GetFrame(n, &bits);
    CMemBuffBase<unsigned char> buffer;
    int samples = 0, bytes = 0;
    for (int n : {0, count - 1, count}) (void)reader.ReadSample(n, &samples, &buffer, &bytes);
    reader.IsKeyFrame(count / 2);
    reader.GetFrameRate();
}

// Writes `rounds` damaged copies of the seeds, in turn, and hands each to `use`.
void ForEachDamagedFile(const TempDir& dir, const std::vector<std::string>& seeds,
                        const std::vector<std::vector<size_t>>& sizes, std::mt19937& rng,
                        int rounds, const std::function<void(const std::filesystem::path&)>& use) {
    for (int round = 0; round < rounds; ++round) {
        const size_t s = size_t(round) % seeds.size();
        // A new name each round: truncating one file over and over is slow on some file systems.
        const auto path = dir / ("f" + std::to_string(round) + ".avi");
        WriteFileBytes(path, Mutate(seeds[s], rng, sizes[s]));
        use(path);
        std::filesystem::remove(path);
    }
}

TEST(DecAVIFuzz, DamagedFilesNeverBreakTheReader) {
    av_log_set_level(AV_LOG_QUIET);  // decoders complain loudly about broken pictures
    TempDir dir;
    const std::vector<std::string> seeds = Seeds(dir);
    ASSERT_GE(seeds.size(), 5u);
    std::vector<std::vector<size_t>> sizes;
    for (const std::string& seed : seeds) sizes.push_back(SizeFields(seed));
    std::mt19937 rng(20261209);
    int opened = 0;
    constexpr int kRounds = 3000;
    ForEachDamagedFile(dir, seeds, sizes, rng, kRounds, [&](const std::filesystem::path& path) {
        CDecAVI reader;
        Exercise(reader, path);
        opened += reader.GetVideoStream() != nullptr;
    });
    // Most damage is survivable: the reader should still open a good share.
    EXPECT_GT(opened, kRounds / 4);
    av_log_set_level(AV_LOG_INFO);
}

// Small movies whose audio each decoder of the conversion engine has to take apart.
std::vector<std::string> AudioSeeds(const TempDir& dir) {
    std::vector<std::string> seeds;
    for (AudioCodec codec : {AudioCodec::Pcm16, AudioCodec::MsAdpcm, AudioCodec::ImaAdpcm,
                             AudioCodec::Mp3, AudioCodec::Ac3, AudioCodec::Alaw}) {
        MovieDesc desc;
        desc.width = 16;
        desc.height = 8;
        desc.frames = 6;
        desc.audio = codec;
        desc.channels = 2;
        const auto path = dir / ("audio" + std::to_string(int(codec)) + ".avi");
        if (MakeTestMovie(desc, path)) seeds.push_back(ReadFileBytes(path));
    }
    return seeds;
}

// Where the audio format's tag, channels, rate, block alignment and extra-byte
// count sit: the decoders size their work from them.
std::vector<size_t> AudioFormatFields(const std::string& file) {
    std::vector<size_t> at;
    for (size_t p = file.find("auds"); p != std::string::npos; p = file.find("auds", p + 1)) {
        const size_t strf = file.find("strf", p);
        if (strf == std::string::npos) break;
        for (size_t field : {0, 2, 4, 12, 14, 16}) at.push_back(strf + 8 + field);
    }
    for (size_t p = file.find("01wb"); p != std::string::npos && p + 8 <= file.size();
         p = file.find("01wb", p + 1))
        at.push_back(p + 4);
    return at;
}

// False when PCM kept coming far past what the file's few samples can give.
bool ExerciseAudio(CDecAVIAudioComp& reader, const std::filesystem::path& path) {
    if (reader.Open(path.wstring().c_str()) != 0 || !reader.HasAudioStream()) return true;
    std::vector<BYTE> pcm(4096);
    for (int start : {0, reader.FrameToSample(3), reader.GetAudioLength() + 5}) {
        reader.StartAudio(start);
        int reads = 0;
        while (reader.ReadPCM(pcm.data(), int(pcm.size())) > 0)
            if (++reads > 4096) return false;
    }
    int samples = 0, bytes = int(pcm.size());
    reader.SetAudioPosition(0);
    reader.ReadAudio(&samples, pcm.data(), &bytes);
    return true;
}

TEST(DecAVIFuzz, DamagedAudioNeverBreaksTheAudioReader) {
    av_log_set_level(AV_LOG_QUIET);
    TempDir dir;
    const std::vector<std::string> seeds = AudioSeeds(dir);
    ASSERT_GE(seeds.size(), 4u);
    std::vector<std::vector<size_t>> sizes;
    for (const std::string& seed : seeds) sizes.push_back(AudioFormatFields(seed));
    std::mt19937 rng(1209);
    int withAudio = 0;
    constexpr int kRounds = 1200;
    ForEachDamagedFile(dir, seeds, sizes, rng, kRounds, [&](const std::filesystem::path& path) {
        CDecAVIAudioComp reader;
        EXPECT_TRUE(ExerciseAudio(reader, path)) << path;
        withAudio += reader.HasAudioStream();
    });
    EXPECT_GT(withAudio, kRounds / 4);
    av_log_set_level(AV_LOG_INFO);
}

}  // namespace
}  // namespace talvern::test
