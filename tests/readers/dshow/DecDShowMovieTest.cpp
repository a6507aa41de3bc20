#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
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

// Frame n sits at n x 333667 00-ns units while the file's frames sit at n x 1001/30000 s.
TEST(DecDShowMovie, NtscFramesStayExactToTheEnd) {
    TempDir dir;
    const std::string path = (dir / "ntsc.avi").string();
    ASSERT_TRUE(MakeIndexMovie(path, 64, 48, "30000/1001", 40.04, "-c:v ffv1 -g 30"));
    CDecDShowMovie r;
    ASSERT_EQ(r.Open(Wide(path).c_str()), 0);
    EXPECT_EQ(r.GetFrameDuration(), 333667);
    // 40.04 s / 333667 is just under 1200 frames: truncated, plus one.
    EXPECT_EQ(r.GetFrameCount(), 1200);
    for (int n : {1199, 1198, 0, 600, 601, 1197, 2, 1000}) {
        int delivered = -5;
        EXPECT_EQ(FrameIndex(r, n, &delivered), n) << n;
        EXPECT_EQ(delivered, n);
    }
}

// The count from the duration runs one past the last frame: that request finds no
// sample, gives -1 after the wait, and the frame bits stay those of the frame before.
TEST(DecDShowMovie, FramePastTheEndFailsAfterTheWaitAndKeepsTheBits) {
    TempDir dir;
    const std::string path = (dir / "short.avi").string();
    ASSERT_TRUE(MakeIndexMovie(path, 64, 48, "25", 0.4, "-c:v ffv1"));
    CDecDShowMovie r;
    ASSERT_EQ(r.Open(Wide(path).c_str()), 0);
    ASSERT_EQ(r.GetFrameCount(), 11);
    void* bits = nullptr;
    ASSERT_EQ(r.GetFrame(9, &bits), 9);
    const std::vector<unsigned char> before(static_cast<unsigned char*>(bits),
                                            static_cast<unsigned char*>(bits) + r.GetFrameBytes());
    void* untouched = nullptr;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(r.GetFrame(10, &untouched), -1);
    const auto waited = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(untouched, nullptr);
    EXPECT_LT(waited, std::chrono::milliseconds(CDecDShowBasicMovie::kFrameWaitMs + 1000));
    EXPECT_EQ(std::memcmp(bits, before.data(), before.size()), 0);
    EXPECT_EQ(r.GetFrame(-1, &untouched), -1);  // no such position: refused at once
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
    const std::string junk = (dir / "junk.avi").string();
    ASSERT_TRUE(talvern::test::WriteFileBytes(junk, "RIFF\x10\0\0\0AVI LIST"));
    for (const std::string& p : {wav, junk, (dir / "missing.avi").string()}) {
        CDecDShowMovie bad;
        EXPECT_EQ(bad.Open(Wide(p).c_str()), 5008) << p;
        EXPECT_DOUBLE_EQ(bad.GetFrameRate(), -0.01);
    }
    CDecDShowMovie none;
    EXPECT_EQ(none.Open(nullptr), 5008);
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

TEST(SampleGrabberCB, AnswersForItsTwoInterfacesOnly) {
    CSampleGrabberCB cb;
    void* p = nullptr;
    EXPECT_EQ(cb.QueryInterface(IID_ISampleGrabberCB, &p), S_OK);
    EXPECT_EQ(p, static_cast<void*>(&cb));
    p = nullptr;
    EXPECT_EQ(cb.QueryInterface(IID_IUnknown, &p), S_OK);
    EXPECT_EQ(p, static_cast<void*>(&cb));
    void* untouched = &cb + 1;
    EXPECT_EQ(cb.QueryInterface(MEDIATYPE_Video, &untouched), E_NOINTERFACE);
    EXPECT_EQ(untouched, static_cast<void*>(&cb + 1));
    EXPECT_EQ(cb.QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(cb.AddRef(), 2u);
    EXPECT_EQ(cb.Release(), 1u);
}

}  // namespace
