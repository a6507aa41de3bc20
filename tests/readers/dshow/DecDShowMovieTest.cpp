#include <gtest/gtest.h>

#include <vector>

#include "readers/DecDShowMovie.h"
#include "tests/platform/dshow/IndexMovie.h"
#include "tests/support/TestSupport.h"

namespace {

using talvern::test::IndexOfDib;
using talvern::test::MakeIndexMovie;
using talvern::test::TempDir;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

int FrameIndex(CDecMovie& r, int n, int* delivered = nullptr) {
    void* bits = nullptr;
    const int got = r.GetFrame(n, &bits);
    if (delivered) *delivered = got;
    if (got < 0 || !bits) return -1;
    return IndexOfDib(static_cast<unsigned char*>(bits), r.GetWidth(), r.GetHeight());
}

TEST(DecDShowMovie, OpensAndDescribesTheVideo) {
    TempDir dir;
    const std::string path = (dir / "pal.avi").string();
    ASSERT_TRUE(MakeIndexMovie(path, 50, 30, "25", 10.0, "-c:v ffv1"));
    CDecDShowMovie r;
    ASSERT_EQ(r.Open(Wide(path).c_str()), 0);
    EXPECT_EQ(r.GetWidth(), 50);
    EXPECT_EQ(r.GetHeight(), 30);
    EXPECT_EQ(r.GetFrameDuration(), 400000);
    EXPECT_DOUBLE_EQ(r.GetFrameRate(), 25.0);
    EXPECT_EQ(r.GetFrameCount(), 251);  // the duration's frames plus one
    EXPECT_EQ(r.GetFrameBytes(), 30 * 152);
    BITMAPINFOHEADER h{};
    r.GetOutputFormat(&h);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biWidth, 50);
    EXPECT_EQ(h.biHeight, 30);
    EXPECT_EQ(h.biCompression, BI_RGB);
    EXPECT_EQ(r.GetAudioFormat(), nullptr);

    for (int n : {0, 1, 249, 100, 7}) EXPECT_EQ(FrameIndex(r, n), n) << n;

    r.Close();
    EXPECT_DOUBLE_EQ(r.GetFrameRate(), -0.01);
    EXPECT_EQ(r.GetFrameDuration(), 0);
    void* bits = nullptr;
    EXPECT_EQ(r.GetFrame(0, &bits), -1);
}

TEST(DecDShowMovie, UsesTheFirstVideoStreamAndRefusesFilesWithout) {
    TempDir dir;
    const std::string av = (dir / "av.avi").string();
    ASSERT_TRUE(MakeIndexMovie(av, 64, 48, "25", 1.0, "-map 1:a -map 0:v -c:v ffv1 -c:a pcm_s16le",
                               "-f lavfi -i sine=duration=1"));
    CDecDShowMovie r;
    ASSERT_EQ(r.Open(Wide(av).c_str()), 0);
    EXPECT_EQ(FrameIndex(r, 12), 12);

    const std::string wav = (dir / "a.wav").string();
    ASSERT_EQ(talvern::test::RunCommand("ffmpeg -v error -y -f lavfi -i sine=duration=1 " +
                                        talvern::test::ShellQuote(wav)),
              0);
    CDecDShowMovie bad;
    EXPECT_EQ(bad.Open(Wide(wav).c_str()), 5008);
    EXPECT_DOUBLE_EQ(bad.GetFrameRate(), -0.01);
    EXPECT_EQ(bad.Open(nullptr), 5008);

    const auto fifo = dir / "pipe.avi";
    ASSERT_TRUE(talvern::test::MakeFifo(fifo));
    int rc = 0;
    EXPECT_TRUE(talvern::test::FinishesWithin(std::chrono::seconds(2), fifo,
                                              [&] { rc = bad.Open(Wide(fifo.string()).c_str()); }));
    EXPECT_EQ(rc, 5008);
}

// Reaches the sample store directly to check how it treats odd samples.
class StoreProbe : public CDecDShowBasicMovie {
public:
    int Open(const wchar_t*) override { return -1; }
    void Size(int w, int h) {
        m_width = w;
        m_height = h;
        m_rate = 25;
        m_scale = 1;
        m_frameBuffer.Alloc(GetFrameBytes());
        m_frameBuffer.FillAll(0xEE);
    }
    const unsigned char* Bits() const { return m_frameBuffer.GetData(); }
    int Delivered() const { return m_deliveredFrame; }
};

TEST(DecDShowBasicMovie, StoreSampleStaysInsideBothBuffers) {
    StoreProbe p;
    p.Size(5, -4);  // a top-down height still sizes the frame by its rows
    const int bytes = p.GetFrameBytes();
    ASSERT_EQ(bytes, 4 * 16);

    std::vector<BYTE> longer(static_cast<size_t>(bytes) + 100, 0x11);
    p.StoreSample(2.0, longer.data(), static_cast<long>(longer.size()));
    EXPECT_EQ(p.Delivered(), 50);
    EXPECT_EQ(p.Bits()[bytes - 1], 0x11);

    std::vector<BYTE> shorter(10, 0x22);
    p.StoreSample(-0.5, shorter.data(), static_cast<long>(shorter.size()));
    EXPECT_EQ(p.Delivered(), 0);
    EXPECT_EQ(p.Bits()[9], 0x22);
    EXPECT_EQ(p.Bits()[10], 0x11);
    EXPECT_EQ(p.WaitFrame(TRUE), 0);  // the store signalled the frame
}

}  // namespace
