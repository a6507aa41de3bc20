// Every codec the readers meet in practice: each frame, asked for in any order,
// is the picture a straight decode from the start shows, and carries its index.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "readers/DecAVI.h"
#include "tests/data/SyntheticAvi.h"
#include "tests/data/TestMedia.h"
#include "tests/support/TestSupport.h"

namespace talvern::test {
namespace {

struct CodecCase {
    VideoCodec codec;
    int width;
    int height;
    int frames;
    bool exactToSource;  // lossless all the way from the painted frame to our rows
};

std::string CaseName(const testing::TestParamInfo<CodecCase>& p) {
    return std::string(VideoCodecName(p.param.codec)) + "_" + std::to_string(p.param.width) + "x" +
           std::to_string(p.param.height);
}

class DecAVICodec : public testing::TestWithParam<CodecCase> {
protected:
    void SetUp() override {
        const CodecCase& c = GetParam();
        MovieDesc desc;
        desc.video = c.codec;
        desc.width = c.width;
        desc.height = c.height;
        desc.frames = c.frames;
        m_path = m_dir / "movie.avi";
        std::string log;
        ASSERT_TRUE(MakeTestMovie(desc, m_path, &log)) << log;
        ASSERT_EQ(0, m_reader.Open(m_path.wstring().c_str()));
    }

    std::string Frame(int n) {
        void* bits = nullptr;
        EXPECT_EQ(n, m_reader.GetFrame(n, &bits)) << "frame " << n;
        if (!bits) return {};
        BITMAPINFOHEADER h{};
        m_reader.GetOutputFormat(&h);
        return std::string(static_cast<const char*>(bits), h.biSizeImage);
    }

    TempDir m_dir;
    std::filesystem::path m_path;
    CDecAVI m_reader;
};

TEST_P(DecAVICodec, EveryAccessOrderGivesTheSequentialPictures) {
    const CodecCase& c = GetParam();
    const int w = c.codec == VideoCodec::Dv ? 720 : c.width;
    const int h = c.codec == VideoCodec::Dv ? 576 : c.height;
    ASSERT_EQ(c.frames, m_reader.GetFrameCount());
    EXPECT_EQ(w, m_reader.GetWidth());
    EXPECT_EQ(h, m_reader.GetHeight());

    std::vector<std::string> sequential;
    for (int i = 0; i < c.frames; ++i) {
        sequential.push_back(Frame(i));
        BITMAPINFOHEADER bih{};
        m_reader.GetOutputFormat(&bih);
        ASSERT_EQ(24, bih.biBitCount);
        ASSERT_EQ(BI_RGB, bih.biCompression);
        ASSERT_EQ(w, bih.biWidth);
        ASSERT_EQ(h, bih.biHeight);
        ASSERT_EQ(DibRowBytes(w, 24) * h, int64_t(sequential.back().size()));
        EXPECT_EQ(i, ReadIndexFromDib(sequential.back().data(), w, h)) << "frame " << i;
        if (c.exactToSource) {
            EXPECT_TRUE(IndexFrameDib24(i, w, h) == sequential.back()) << "frame " << i;
        }
    }

    std::vector<int> order;
    for (int i = c.frames - 1; i >= 0; --i) order.push_back(i);  // backwards
    std::mt19937 rng(7);
    std::vector<int> shuffled(order);
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    order.insert(order.end(), shuffled.begin(), shuffled.end());  // random
    for (int i : {5, 5, 5, c.frames - 1, c.frames - 1, 0, 0, 13, 12, 13})  // repeated
        order.push_back(std::min(i, c.frames - 1));
    for (int n : order) ASSERT_TRUE(sequential[size_t(n)] == Frame(n)) << "frame " << n;
}

// Some writers flag every frame as a key frame. Decoding must not trust that.
TEST(DecAVIKeyFlags, FramesFalselyFlaggedAsKeysAreNotStartedFrom) {
    av_log_set_level(AV_LOG_QUIET);  // the decoder complains about every false start
    for (VideoCodec codec : {VideoCodec::Mpeg4, VideoCodec::Mpeg4BFrames}) {
        TempDir dir;
        MovieDesc desc;
        desc.video = codec;
        desc.frames = 40;
        const auto path = dir / "movie.avi";
        ASSERT_TRUE(MakeTestMovie(desc, path));
        std::string bytes = ReadFileBytes(path);
        const size_t idx1 = bytes.find("idx1");
        ASSERT_NE(std::string::npos, idx1);
        for (size_t e = idx1 + 8; e + 16 <= bytes.size(); e += 16) bytes[e + 4] |= char(AVIIF_KEYFRAME);
        WriteFileBytes(path, bytes);
        CDecAVI reader;
        ASSERT_EQ(0, reader.Open(path.wstring().c_str()));
        void* bits = nullptr;
        for (int n : {30, 5, 39, 13, 14, 11, 1, 26})
            EXPECT_EQ(n, reader.GetFrame(n, &bits) == n ? ReadIndexFromDib(bits, 64, 48) : -2)
                << VideoCodecName(codec) << " frame " << n;
    }
    av_log_set_level(AV_LOG_INFO);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, DecAVICodec,
    testing::Values(CodecCase{VideoCodec::RawBgr24, 64, 48, 30, true},
                    CodecCase{VideoCodec::RawBgr24, 65, 48, 30, true},
                    CodecCase{VideoCodec::Pal8, 65, 48, 30, false},
                    CodecCase{VideoCodec::Mjpeg, 64, 48, 30, false},
                    CodecCase{VideoCodec::Mjpeg, 65, 48, 30, false},
                    CodecCase{VideoCodec::Mpeg4, 64, 48, 60, false},
                    CodecCase{VideoCodec::Mpeg4BFrames, 64, 48, 60, false},
                    CodecCase{VideoCodec::Mpeg4BFrames, 65, 48, 60, false},
                    CodecCase{VideoCodec::Mpeg4BFrames, 352, 288, 40, false},
                    CodecCase{VideoCodec::H264, 64, 48, 60, false},
                    CodecCase{VideoCodec::H264, 352, 288, 40, false},  // decoded on threads
                    CodecCase{VideoCodec::Huffyuv, 64, 48, 30, true},
                    CodecCase{VideoCodec::Huffyuv, 65, 48, 30, true},
                    CodecCase{VideoCodec::Ffv1, 65, 48, 30, false},
                    CodecCase{VideoCodec::MsVideo1, 64, 48, 30, false},
                    CodecCase{VideoCodec::Dv, 64, 48, 12, false},
                    CodecCase{VideoCodec::Yuy2, 64, 48, 12, false}),
    CaseName);

}  // namespace
}  // namespace talvern::test
