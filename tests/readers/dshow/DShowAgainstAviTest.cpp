// The media-detector reader must show the same pictures as the AVI reader for
// every codec both can decode, so a movie looks the same whichever opened it.
// Motion JPEG goes through libjpeg in the AVI reader: there the two may differ by
// the rounding of two decoders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "readers/DecAVI.h"
#include "readers/DecDShowMovie.h"
#include "tests/data/TestMedia.h"
#include "tests/support/TestSupport.h"

namespace talvern::test {
namespace {

class DShowAgainstAvi : public testing::TestWithParam<VideoCodec> {};

std::string Frame(CDecMovie& r, int n, int* got) {
    void* bits = nullptr;
    *got = r.GetFrame(n, &bits);
    if (*got < 0 || !bits) return {};
    BITMAPINFOHEADER h{};
    r.GetOutputFormat(&h);
    return std::string(static_cast<const char*>(bits), h.biSizeImage);
}

int LargestDifference(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return 256;
    int most = 0;
    for (size_t i = 0; i < a.size(); ++i)
        most = std::max(most, std::abs(int(uint8_t(a[i])) - int(uint8_t(b[i]))));
    return most;
}

TEST_P(DShowAgainstAvi, SameFramesInAnyOrder) {
    TempDir dir;
    MovieDesc movie;
    movie.video = GetParam();
    // Rows need padding, but that codec takes multiples of 4 only.
    movie.width = GetParam() == VideoCodec::MsVideo1 ? 64 : 62;
    movie.height = 36;
    movie.frames = 40;
    movie.gop = 10;
    const auto path = dir / "movie.avi";
    std::string log;
    ASSERT_TRUE(MakeTestMovie(movie, path, &log)) << log;
    CDecAVI avi;
    CDecDShowMovie ds;
    ASSERT_EQ(avi.Open(path.wstring().c_str()), 0);
    ASSERT_EQ(ds.Open(path.wstring().c_str()), 0);
    ASSERT_EQ(ds.GetWidth(), avi.GetWidth());
    ASSERT_EQ(ds.GetHeight(), std::abs(avi.GetHeight()));
    EXPECT_DOUBLE_EQ(ds.GetFrameRate(), avi.GetFrameRate());
    for (int n : {0, 39, 38, 20, 21, 22, 9, 10, 11, 1, 30}) {
        int a = -5;
        int d = -5;
        const std::string expected = Frame(avi, n, &a);
        const std::string actual = Frame(ds, n, &d);
        ASSERT_EQ(a, n);
        EXPECT_EQ(d, n);
        EXPECT_EQ(ReadIndexFromDib(actual.data(), ds.GetWidth(), ds.GetHeight()), n);
        EXPECT_LE(LargestDifference(actual, expected), GetParam() == VideoCodec::Mjpeg ? 3 : 0)
            << "frame " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, DShowAgainstAvi,
                         testing::Values(VideoCodec::RawBgr24, VideoCodec::Pal8, VideoCodec::Mjpeg,
                                         VideoCodec::Mpeg4BFrames, VideoCodec::H264,
                                         VideoCodec::Huffyuv, VideoCodec::Ffv1,
                                         VideoCodec::MsVideo1),
                         [](const auto& p) { return std::string(VideoCodecName(p.param)); });

}  // namespace
}  // namespace talvern::test
