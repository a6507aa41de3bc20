// Decoding on several threads changes nothing a reader delivers: every frame, asked
// for in any order, is the picture of a single-threaded straight decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/avifile/AviFrameDecoder.h"
#include "readers/DecAVI.h"
#include "tests/data/TestMedia.h"
#include "tests/support/TestSupport.h"

namespace talvern::test {
namespace {

std::string Frame(CDecAVI& reader, int n) {
    void* bits = nullptr;
    EXPECT_EQ(n, reader.GetFrame(n, &bits)) << "frame " << n;
    if (!bits) return {};
    BITMAPINFOHEADER h{};
    reader.GetOutputFormat(&h);
    return std::string(static_cast<const char*>(bits), h.biSizeImage);
}

struct ThreadCountReset {
    ~ThreadCountReset() { SetFrameDecoderThreads(0); }
};

TEST(DecAVIThreads, ThreadedDecodingGivesTheSingleThreadedPictures) {
    ThreadCountReset reset;
    for (VideoCodec codec : {VideoCodec::Mpeg4BFrames, VideoCodec::H264, VideoCodec::Mjpeg}) {
        SCOPED_TRACE(VideoCodecName(codec));
        TempDir dir;
        MovieDesc desc;
        desc.video = codec;
        desc.frames = 50;
        const auto path = dir / "movie.avi";
        std::string log;
        ASSERT_TRUE(MakeTestMovie(desc, path, &log)) << log;

        SetFrameDecoderThreads(1);
        CDecAVI single;
        ASSERT_EQ(0, single.Open(path.wstring().c_str()));
        std::vector<std::string> expected;
        for (int n = 0; n < desc.frames; ++n) expected.push_back(Frame(single, n));

        SetFrameDecoderThreads(4);
        CDecAVI threaded;
        ASSERT_EQ(0, threaded.Open(path.wstring().c_str()));
        std::vector<int> order;
        for (int n = 0; n < desc.frames; ++n) order.push_back(n);  // forwards
        for (int n = desc.frames - 1; n >= 0; --n) order.push_back(n);  // backwards
        std::vector<int> shuffled(order.begin(), order.begin() + desc.frames);
        std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(11));
        order.insert(order.end(), shuffled.begin(), shuffled.end());
        // A jump into a group, then on in order across the following key frames.
        for (int start : {17, 5, 30})
            for (int n = start; n < std::min(desc.frames, start + 20); ++n) order.push_back(n);
        for (int n : order) ASSERT_TRUE(expected[size_t(n)] == Frame(threaded, n)) << "frame " << n;
    }
}

}  // namespace
}  // namespace talvern::test
