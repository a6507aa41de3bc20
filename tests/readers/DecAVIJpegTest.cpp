// Motion JPEG frames are decoded by libjpeg straight into rows. Whatever the chroma
// layout and size, they must show what FFmpeg's own decoder decodes, and a frame
// libjpeg can only patch up must come from the general decoder instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/avifile/AviFrameDecoder.h"
#include "readers/DecAVI.h"
#include "tests/data/RewrittenAvi.h"
#include "tests/support/TestSupport.h"

namespace talvern::test {
namespace {

constexpr int kFrames = 6;

bool MakeMjpeg(const std::filesystem::path& out, const char* pixFmt, int w, int h) {
    // Cropped from RGB: cropping the generator's YUV would round to whole chroma samples.
    const std::string cmd = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=s=" +
                            std::to_string(w + 1) + "x" + std::to_string(h + 1) + ":r=25 -frames:v " +
                            std::to_string(kFrames) + " -vf format=rgb24,crop=" + std::to_string(w) +
                            ":" + std::to_string(h) + ":0:0 -c:v mjpeg -q:v 3 -pix_fmt " + pixFmt +
                            " -f avi " + ShellQuote(out.string());
    return RunCommand(cmd) == 0;
}

struct Layout {
    const char* pixFmt;
    int shiftX, shiftY;  // chroma subsampling
};

// FFmpeg's decoded planes of every frame, unconverted.
std::string FfmpegPlanes(const std::filesystem::path& movie, const Layout& l,
                         const std::filesystem::path& raw) {
    const std::string cmd = "ffmpeg -nostdin -loglevel error -y -i " + ShellQuote(movie.string()) +
                            " -f rawvideo -pix_fmt " + l.pixFmt + " " + ShellQuote(raw.string());
    return RunCommand(cmd) == 0 ? ReadFileBytes(raw) : std::string();
}

uint8_t Clamp(double v) { return uint8_t(std::clamp(v + 0.5, 0.0, 255.0)); }

// Frame n's pixels against FFmpeg's planes turned into BGR by the textbook
// full-range formula, each pixel with the chroma sample of its block.
int LargestDifference(CDecAVI& reader, int n, const std::string& planes, const Layout& l, int w, int h) {
    void* bits = nullptr;
    if (reader.GetFrame(n, &bits) != n || !bits) return 256;
    const int cw = -((-w) >> l.shiftX), ch = -((-h) >> l.shiftY);
    const size_t frameBytes = size_t(w) * h + 2 * size_t(cw) * ch;
    if (planes.size() < frameBytes * (n + 1)) return 256;
    const auto* yp = reinterpret_cast<const uint8_t*>(planes.data()) + frameBytes * n;
    const uint8_t* up = yp + size_t(w) * h;
    const uint8_t* vp = up + size_t(cw) * ch;
    const int64_t rowBytes = (int64_t(w) * 3 + 3) & ~3;
    const auto* ours = static_cast<const uint8_t*>(bits);
    int most = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double Y = yp[y * w + x];
            const int c = (y >> l.shiftY) * cw + (x >> l.shiftX);
            const double u = up[c] - 128.0, v = vp[c] - 128.0;
            const uint8_t bgr[3] = {Clamp(Y + 1.772 * u), Clamp(Y - 0.344136 * u - 0.714136 * v),
                                    Clamp(Y + 1.402 * v)};
            for (int k = 0; k < 3; ++k)
                most = std::max(most, std::abs(int(ours[rowBytes * (h - 1 - y) + x * 3 + k]) - int(bgr[k])));
        }
    return most;
}

TEST(DecAVIJpeg, EveryChromaLayoutAndSizeShowsWhatFfmpegDecodes) {
    for (const Layout& l : {Layout{"yuvj420p", 1, 1}, Layout{"yuvj422p", 1, 0}, Layout{"yuvj444p", 0, 0}}) {
        for (auto [w, h] : {std::pair{64, 48}, std::pair{65, 49}, std::pair{33, 17}}) {
            SCOPED_TRACE(std::string(l.pixFmt) + " " + std::to_string(w) + "x" + std::to_string(h));
            TempDir dir;
            const auto movie = dir / "movie.avi";
            ASSERT_TRUE(MakeMjpeg(movie, l.pixFmt, w, h));
            const std::string planes = FfmpegPlanes(movie, l, dir / "ref.yuv");
            CDecAVI reader;
            ASSERT_EQ(0, reader.Open(movie.wstring().c_str()));
            for (int n : {3, 0, 5, 1}) EXPECT_LE(LargestDifference(reader, n, planes, l, w, h), 3) << "frame " << n;
        }
    }
}

// A frame whose coded data ends half way: libjpeg warns and fills the rest in grey,
// FFmpeg's decoder keeps what it has its own way. The reader must give FFmpeg's
// picture, so that a damaged frame looks the same from either decoder.
TEST(DecAVIJpeg, DamagedFrameComesFromTheGeneralDecoder) {
    TempDir dir;
    const auto movie = dir / "movie.avi";
    const int w = 64, h = 48;
    ASSERT_TRUE(MakeMjpeg(movie, "yuvj420p", w, h));
    std::string bytes = ReadFileBytes(movie);
    size_t at = 0;  // the third frame's chunk
    for (int i = 0; i < 3; ++i) at = bytes.find("00dc", at + 1);
    ASSERT_NE(at, std::string::npos);
    const size_t end = at + 8 + (uint8_t(bytes[at + 4]) | uint8_t(bytes[at + 5]) << 8);
    const size_t scan = bytes.find("\xFF\xDA", at);
    ASSERT_LT(scan, end);
    const size_t cut = scan + (end - scan) / 2;
    bytes[cut] = char(0xFF);
    bytes[cut + 1] = char(0xD9);
    std::fill(bytes.begin() + ptrdiff_t(cut + 2), bytes.begin() + ptrdiff_t(end), '\0');
    ASSERT_TRUE(WriteFileBytes(movie, bytes));
    const Layout l{"yuvj420p", 1, 1};
    const std::string planes = FfmpegPlanes(movie, l, dir / "ref.yuv");
    // Asked for in order, when the frames are decoded ahead, then out of order.
    SetFrameDecoderThreads(4);
    CDecAVI reader;
    ASSERT_EQ(0, reader.Open(movie.wstring().c_str()));
    for (int n : {0, 1, 2, 3, 2, 1, 3})
        EXPECT_LE(LargestDifference(reader, n, planes, l, w, h), 3) << "frame " << n;
    SetFrameDecoderThreads(0);
}

// A frame without quantisation tables decodes with those of the frame before it in the
// file, as FFmpeg decoding in order does: the same picture in line, decoded ahead on other
// threads, and after a jump.
TEST(DecAVIJpeg, AFrameWithoutTablesTakesThoseOfTheFrameBefore) {
    TempDir dir;
    const auto movie = dir / "movie.avi";
    std::string log;
    ASSERT_TRUE(MakeAbbreviatedMjpeg(movie, &log)) << log;
    const int w = 320, h = 240, frames = 60;
    const Layout l{"yuvj420p", 1, 1};
    const std::string planes = FfmpegPlanes(movie, l, dir / "ref.yuv");
    const auto picture = [&](CDecAVI& reader, int n) {
        void* bits = nullptr;
        if (reader.GetFrame(n, &bits) != n || !bits) return std::string();
        return std::string(static_cast<const char*>(bits), size_t(DibRowBytes(w, 24)) * h);
    };
    std::vector<std::string> inLine;
    SetFrameDecoderThreads(1);
    {
        CDecAVI reader;
        ASSERT_EQ(0, reader.Open(movie.wstring().c_str()));
        for (int n = 0; n < frames; ++n) inLine.push_back(picture(reader, n));
        for (int n : {28, 29, 30, 31}) EXPECT_LE(LargestDifference(reader, n, planes, l, w, h), 3) << "frame " << n;
    }
    SetFrameDecoderThreads(4);
    CDecAVI reader;
    ASSERT_EQ(0, reader.Open(movie.wstring().c_str()));
    for (int n = 0; n < frames; ++n) ASSERT_TRUE(picture(reader, n) == inLine[size_t(n)]) << "frame " << n;
    for (int n : {30, 50, 30, 31, 30, 29, 10, 31})
        EXPECT_TRUE(picture(reader, n) == inLine[size_t(n)]) << "frame " << n << " after a jump";
    SetFrameDecoderThreads(0);
}

}  // namespace
}  // namespace talvern::test
