// MPEG-4 part 2 files in the shapes other writers leave (not-coded pictures, packed
// B pictures): every frame of the index, asked for in order, backwards or at random,
// shows ffmpeg's picture at that frame's time, and the last frame reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/avifile/AviFrameDecoder.h"
#include "readers/DecAVI.h"
#include "tests/data/Mpeg4Shapes.h"
#include "tests/data/TestMedia.h"
#include "tests/support/TestSupport.h"

namespace talvern::test {
namespace {

// Our conversion to RGB and ffmpeg's differ in rounding only; a neighbour's
// picture differs by a whole block of the index pattern, far below this.
constexpr double kMinPsnr = 30.0;

// ffmpeg's pictures in showing order, each once, as top-down BGR rows.
std::vector<std::string> FfmpegPictures(const ShapedMovie& m) {
    std::string out;
    RunCommand("ffmpeg -nostdin -loglevel quiet -i " + ShellQuote(m.path.string()) +
                   " -map 0:v -vsync passthrough -f rawvideo -pix_fmt bgr24 -",
               &out);
    const size_t bytes = size_t(m.width) * 3 * m.height;
    std::vector<std::string> pictures;
    for (size_t at = 0; at + bytes <= out.size(); at += bytes) pictures.push_back(out.substr(at, bytes));
    return pictures;
}

double Psnr(const void* dib, const std::string& topDown, int width, int height) {
    const int64_t rowBytes = DibRowBytes(width, 24);
    double sum = 0;
    for (int y = 0; y < height; ++y) {
        const auto* ours = static_cast<const uint8_t*>(dib) + (height - 1 - y) * rowBytes;
        const auto* theirs = reinterpret_cast<const uint8_t*>(topDown.data()) + size_t(y) * width * 3;
        for (int x = 0; x < width * 3; ++x) sum += std::pow(double(ours[x]) - theirs[x], 2);
    }
    const double mse = sum / (double(width) * height * 3);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

struct ShapeCase {
    const char* name;
    ShapedMovie (*make)(const std::filesystem::path&);
    int threads;
};

void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.name; }

class DecAVIMpeg4Shape : public testing::TestWithParam<ShapeCase> {
protected:
    DecAVIMpeg4Shape() { av_log_set_level(AV_LOG_QUIET); }  // the decoder warns about packed B pictures
    ~DecAVIMpeg4Shape() override {
        SetFrameDecoderThreads(0);
        av_log_set_level(AV_LOG_INFO);
    }
};

TEST_P(DecAVIMpeg4Shape, EveryFrameShowsFfmpegsPictureInAnyOrder) {
    TempDir dir;
    const ShapedMovie m = GetParam().make(dir.path());
    ASSERT_FALSE(m.path.empty());
    const int frames = int(m.shows.size());
    // Frame n shows ffmpeg's k-th picture, k counting the new pictures up to n.
    std::vector<int> picture;
    for (int n = 0; n < frames; ++n)
        picture.push_back(n == 0 ? 0 : picture.back() + (m.shows[size_t(n)] != m.shows[size_t(n) - 1]));
    const std::vector<std::string> expected = FfmpegPictures(m);
    ASSERT_EQ(size_t(picture.back() + 1), expected.size());

    SetFrameDecoderThreads(GetParam().threads);
    CDecAVI reader;
    ASSERT_EQ(0, reader.Open(m.path.wstring().c_str()));
    ASSERT_EQ(frames, reader.GetFrameCount());
    // The last frame first, then at random: jumps before anything was read in order;
    // then forwards and backwards.
    std::vector<int> order;
    for (int n = 0; n < frames; ++n) order.push_back(n);
    std::shuffle(order.begin(), order.end(), std::mt19937(5));
    order.insert(order.begin(), frames - 1);
    for (int n = 0; n < frames; ++n) order.push_back(n);
    for (int n = frames - 1; n >= 0; --n) order.push_back(n);
    for (int n : order) {
        void* bits = nullptr;
        ASSERT_EQ(n, reader.GetFrame(n, &bits)) << "frame " << n;
        ASSERT_EQ(m.shows[size_t(n)], ReadIndexFromDib(bits, m.width, m.height)) << "frame " << n;
        ASSERT_LE(kMinPsnr, Psnr(bits, expected[size_t(picture[size_t(n)])], m.width, m.height))
            << "frame " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, DecAVIMpeg4Shape,
    testing::Values(ShapeCase{"NotCoded", MakeNotCodedFramesMovie, 1},
                    ShapeCase{"PackedB", MakePackedBFramesMovie, 1},
                    ShapeCase{"PackedBThreads", MakePackedBFramesMovie, 4}),
    [](const testing::TestParamInfo<ShapeCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace talvern::test
