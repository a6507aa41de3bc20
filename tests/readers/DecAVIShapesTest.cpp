// AVI files as other programs write them (tests/data/AviShapes): each one either
// reads as ffmpeg reads it, every frame in any order and every audio sample, or is
// refused when opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "readers/DecAVIAudio.h"
#include "tests/data/AviShapes.h"
#include "tests/support/TestSupport.h"

namespace talvern::test {
namespace {

std::string Ffmpeg(const std::filesystem::path& file, const std::string& output) {
    std::string out;
    RunCommand("ffmpeg -nostdin -v quiet -i " + ShellQuote(file.string()) + " " + output + " -", &out);
    return out;
}

// Frame n against ffmpeg's top-down rows: infinity when equal.
double Psnr(const void* bits, const std::string& theirs, int n, int w, int h) {
    const int64_t rowBytes = DibRowBytes(w, 24), frameBytes = int64_t(w) * h * 3;
    const auto* ours = static_cast<const uint8_t*>(bits);
    const auto* ref = reinterpret_cast<const uint8_t*>(theirs.data()) + n * frameBytes;
    double sum = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * 3; ++x) {
            const double d = double(ours[(h - 1 - y) * rowBytes + x]) - ref[y * w * 3 + x];
            sum += d * d;
        }
    return sum == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 * double(frameBytes) / sum);
}

// Against ffmpeg's picture at each frame's time: a dropped frame shows the picture
// before it, in the reader as in a player.
void CheckFrames(CDecAVIAudioComp& reader, const std::filesystem::path& file, double least) {
    const int w = reader.GetWidth(), h = reader.GetHeight();
    ASSERT_GT(w, 0);
    ASSERT_GT(h, 0);
    const std::string theirs = Ffmpeg(file, "-map 0:v -fps_mode passthrough -f rawvideo -pix_fmt bgr24");
    std::string times;
    RunCommand("ffprobe -v quiet -select_streams v -show_entries frame=pts -of csv=p=0 " +
                   ShellQuote(file.string()), &times);
    std::vector<int> picture;  // ffmpeg's picture of each frame
    std::istringstream in(times);
    // Packed B pictures leave ffmpeg's pts unset, and the few it sets are off: its
    // pictures then come one a frame, in order.
    const bool unset = times.find("N/A") != std::string::npos;
    std::string token;
    for (int i = 0; in >> token; ++i) {
        const int pts = unset ? i : std::atoi(token.c_str());
        if (size_t(pts) >= picture.size() && size_t(i + 1) * w * h * 3 <= theirs.size()) {
            picture.resize(size_t(pts), picture.empty() ? i : picture.back());
            picture.push_back(i);
        }
    }
    ASSERT_FALSE(picture.empty());
    // Frames after ffmpeg's last picture (not coded, or empty chunks) show that picture,
    // up to the stream's length in the header.
    std::string length;
    RunCommand("ffprobe -v quiet -select_streams v:0 -show_entries stream=nb_frames -of csv=p=0 " +
                   ShellQuote(file.string()), &length);
    if (reader.GetFrameCount() > int(picture.size()) && std::atoi(length.c_str()) == reader.GetFrameCount())
        picture.resize(size_t(reader.GetFrameCount()), picture.back());
    const int count = int(picture.size());
    ASSERT_EQ(count, reader.GetFrameCount());
    std::vector<int> order(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) order[size_t(i)] = i;
    for (int i = count - 1; i >= 0; --i) order.push_back(i);
    std::vector<int> shuffled(order.begin(), order.begin() + count);
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(11));
    order.insert(order.end(), shuffled.begin(), shuffled.end());
    for (int n : order) {
        void* bits = nullptr;
        ASSERT_EQ(n, reader.GetFrame(n, &bits)) << "frame " << n;
        ASSERT_NE(nullptr, bits);
        const double psnr = Psnr(bits, theirs, picture[size_t(n)], w, h);
        if (least == 0) ASSERT_TRUE(std::isinf(psnr)) << "frame " << n << ": " << psnr << " dB";
        else ASSERT_GE(psnr, least) << "frame " << n;
    }
}

void CheckAudio(CDecAVIAudioComp& reader, const std::filesystem::path& file, ShapeAudio kind) {
    ASSERT_TRUE(reader.HasAudioStream());
    reader.StartAudio(0);
    const WAVEFORMATEX pcm = *reader.GetPCMFormat();
    ASSERT_EQ(WAVE_FORMAT_PCM, pcm.wFormatTag);
    ASSERT_GT(pcm.nBlockAlign, 0);
    std::string ours(1 << 16, '\0');
    size_t have = 0;
    for (int n; (n = reader.ReadPCM(ours.data() + have, int(ours.size() - have))) > 0;) {
        have += size_t(n);
        if (ours.size() - have < 4096) ours.resize(ours.size() * 2);
    }
    ours.resize(have);
    if (kind == ShapeAudio::Pcm) {
        const int bits = pcm.wBitsPerSample;
        const std::string layout = bits == 8 ? "u8" : "s" + std::to_string(bits) + "le";
        EXPECT_TRUE(ours == Ffmpeg(file, "-map 0:a -f " + layout + " -c:a pcm_" + layout))
            << ours.size() << " bytes";
    } else {
        const std::string theirs = Ffmpeg(file, "-map 0:a -f s16le -c:a pcm_s16le");
        EXPECT_EQ(theirs.size() / 2 / pcm.nChannels, ours.size() / pcm.nBlockAlign);
    }
}

}  // namespace

void PrintTo(const AviShape& shape, std::ostream* os) { *os << shape.name; }

namespace {

class DecAVIShapes : public testing::TestWithParam<AviShape> {};

TEST_P(DecAVIShapes, ReadsAsFfmpegReadsOrIsRefused) {
    const AviShape& shape = GetParam();
    TempDir dir;
    const auto file = dir / (shape.name + ".avi");
    ASSERT_TRUE(shape.make(file));
    CDecAVIAudioComp reader;
    const int opened = reader.Open(file.wstring().c_str());
    if (!shape.reads) {
        // What the document refuses: no file it can read, or nothing to show.
        EXPECT_TRUE(opened != 0 || reader.GetFrameCount() < 1) << reader.GetFrameCount() << " frames";
        return;
    }
    ASSERT_EQ(0, opened);
    CheckFrames(reader, file, shape.psnr);
    if (shape.audio != ShapeAudio::None) CheckAudio(reader, file, shape.audio);
}

INSTANTIATE_TEST_SUITE_P(Corpus, DecAVIShapes, testing::ValuesIn(AviShapes()),
                         [](const auto& p) { return p.param.name; });

}  // namespace
}  // namespace talvern::test
