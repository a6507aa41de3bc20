#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/MemBuffClassBase.h"
#include "readers/DecAVIAudio.h"
#include "readers/DecDVAVI.h"
#include "tests/platform/dshow/IndexMovie.h"
#include "tests/support/TestSupport.h"

namespace {

using talvern::test::IndexOfDib;
using talvern::test::MakeIndexMovie;
using talvern::test::TempDir;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

enum class Opened { None, AviFile, Combined };

// Opens a movie the way the document does: first the AVI reader with decoded
// audio, then the combined reader; a reader is kept when it opens and can show
// frame 0. failFirst makes the first reader fail as if it could not open the file.
Opened OpenMovie(const std::string& path, CMemBuffClassBase<CDecMovie>& holder,
                 bool failFirst = false) {
    const std::wstring wide = Wide(path);
    void* bits = nullptr;
    holder.Attach(new CDecAVIAudioComp);
    if (!failFirst && holder->Open(wide.c_str()) == 0 && holder->GetFrame(0, &bits) >= 0)
        return Opened::AviFile;
    holder.Attach(new CDecDVAVI);
    if (holder->Open(wide.c_str()) == 0 && holder->GetFrame(0, &bits) >= 0)
        return Opened::Combined;
    holder.Release();
    return Opened::None;
}

std::vector<unsigned char> Frame(CDecMovie& r, int n, int* delivered) {
    void* bits = nullptr;
    *delivered = r.GetFrame(n, &bits);
    if (*delivered < 0 || !bits) return {};
    const long bytes = ((3L * r.GetWidth() + 3) & ~3L) * r.GetHeight();
    const auto* p = static_cast<unsigned char*>(bits);
    return std::vector<unsigned char>(p, p + bytes);
}

std::vector<unsigned char> AllPcm(CDecAVIAudioComp& audio) {
    audio.StartAudio(0);
    std::vector<unsigned char> pcm;
    std::vector<unsigned char> block(4096);
    for (int guard = 0; guard < 100000; ++guard) {
        const int got = audio.ReadPCM(block.data(), static_cast<int>(block.size()));
        if (got <= 0) break;
        pcm.insert(pcm.end(), block.begin(), block.begin() + got);
    }
    return pcm;
}

class CombinedReader : public ::testing::Test {
protected:
    TempDir dir;
};

// Frames n x 333667 00-ns units in sit further and further from n x 1001/30000 s;
// the combined reader must still hand out the AVI reader's frame n, up to the last.
TEST_F(CombinedReader, FramesEqualTheAviReadersToTheLastOfAnNtscFile) {
    for (const std::string codec : {"-c:v ffv1 -g 30", "-c:v libx264rgb -qp 0 -bf 2 -g 30"}) {
        const std::string path = (dir / "ntsc.avi").string();
        ASSERT_TRUE(MakeIndexMovie(path, 64, 48, "30000/1001", 20.02, codec));
        CMemBuffClassBase<CDecMovie> holder;
        ASSERT_EQ(OpenMovie(path, holder, true), Opened::Combined) << codec;
        CDecAVIAudioComp avi;
        ASSERT_EQ(avi.Open(Wide(path).c_str()), 0);
        ASSERT_EQ(avi.GetFrameCount(), 600);
        EXPECT_EQ(holder->GetFrameCount(), 600) << "the AVI stream's length";
        EXPECT_NEAR(holder->GetFrameRate(), 29.97, 0.001);
        for (int n : {599, 598, 0, 1, 300, 597, 2, 450, 451}) {
            int dv = -5;
            int ref = -5;
            const auto a = Frame(*holder.Get(), n, &dv);
            const auto b = Frame(avi, n, &ref);
            EXPECT_EQ(dv, n) << codec << " " << n;
            EXPECT_EQ(ref, n);
            EXPECT_EQ(IndexOfDib(a.data(), 64, 48), n) << codec << " " << n;
            EXPECT_TRUE(a == b) << codec << " frame " << n;
        }
    }
}

TEST_F(CombinedReader, AudioComesThroughTheHeldAviReader) {
    const std::string path = (dir / "av.avi").string();
    ASSERT_TRUE(MakeIndexMovie(path, 64, 48, "25", 2.0, "-c:v ffv1 -c:a pcm_s16le -ac 2",
                               "-f lavfi -i sine=sample_rate=22050:duration=2"));
    CMemBuffClassBase<CDecMovie> holder;
    ASSERT_EQ(OpenMovie(path, holder, true), Opened::Combined);
    auto* dv = dynamic_cast<CDecDVAVI*>(holder.Get());
    ASSERT_NE(dv, nullptr);
    EXPECT_EQ(dv->GetAudioFormat(), nullptr);
    CDecAVIAudioComp* audio = dv->GetAudioReader();
    ASSERT_NE(audio, nullptr);
    ASSERT_TRUE(audio->HasAudioStream());
    ASSERT_NE(audio->GetAudioFormat(), nullptr);
    EXPECT_EQ(audio->GetAudioFormat()->wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(audio->GetAudioFormat()->nChannels, 2);

    CDecAVIAudioComp alone;
    ASSERT_EQ(alone.Open(Wide(path).c_str()), 0);
    const auto expected = AllPcm(alone);
    EXPECT_EQ(expected.size(), 22050u * 2 * 2 * 2);
    EXPECT_TRUE(AllPcm(*audio) == expected);

    const std::string mute = (dir / "mute.avi").string();
    ASSERT_TRUE(MakeIndexMovie(mute, 64, 48, "25", 1.0, "-c:v ffv1"));
    CDecDVAVI silent;
    ASSERT_EQ(silent.Open(Wide(mute).c_str()), 0);
    ASSERT_NE(silent.GetAudioReader(), nullptr);
    EXPECT_FALSE(silent.GetAudioReader()->HasAudioStream());
    silent.Close();
    EXPECT_EQ(silent.GetAudioReader(), nullptr);
}

TEST_F(CombinedReader, FramePastTheEndFailsWithinTheWaitAndKeepsTheBits) {
    const std::string path = (dir / "short.avi").string();
    ASSERT_TRUE(MakeIndexMovie(path, 64, 48, "30000/1001", 0.5005, "-c:v ffv1"));
    CDecDVAVI r;
    ASSERT_EQ(r.Open(Wide(path).c_str()), 0);
    ASSERT_EQ(r.GetFrameCount(), 15);
    int got = -5;
    const auto last = Frame(r, 14, &got);
    ASSERT_EQ(got, 14);
    void* bits = nullptr;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(r.GetFrame(15, &bits), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - t0,
              std::chrono::milliseconds(CDecDShowBasicMovie::kFrameWaitMs + 1000));
    EXPECT_EQ(bits, nullptr);
    const auto again = Frame(r, 14, &got);
    EXPECT_TRUE(again == last);
    EXPECT_EQ(r.GetFrame(-1, &bits), -1);  // no such position: refused at once
}

// Video the AVI file library has no decoder for (its tag is one only the container
// reader knows), so the first reader opens but cannot show frame 0.
TEST_F(CombinedReader, UndecodableVideoOpensThroughTheSecondReader) {
    const std::string path = (dir / "hevc.avi").string();
    if (!MakeIndexMovie(path, 64, 48, "25", 1.0,
                        "-c:v libx265 -pix_fmt gbrp -x265-params lossless=1:log-level=error "
                        "-tag:v HEVC"))
        GTEST_SKIP() << "ffmpeg cannot write lossless HEVC here";
    CMemBuffClassBase<CDecMovie> holder;
    ASSERT_EQ(OpenMovie(path, holder), Opened::Combined);
    EXPECT_EQ(holder->GetFrameCount(), 25);
    for (int n : {0, 24, 12, 13}) {
        int got = -5;
        const auto f = Frame(*holder.Get(), n, &got);
        EXPECT_EQ(got, n);
        EXPECT_EQ(IndexOfDib(f.data(), 64, 48), n);
    }

    const std::string plain = (dir / "plain.avi").string();
    ASSERT_TRUE(MakeIndexMovie(plain, 64, 48, "25", 1.0, "-c:v ffv1"));
    EXPECT_EQ(OpenMovie(plain, holder), Opened::AviFile);
}

TEST_F(CombinedReader, EachHalfReportsItsOwnFailure) {
    const std::string mkv = (dir / "clip.mkv").string();
    ASSERT_TRUE(MakeIndexMovie(mkv, 64, 48, "25", 1.0, "-c:v ffv1"));
    CDecDVAVI r;
    const int code = r.Open(Wide(mkv).c_str());
    EXPECT_GE(code, 1002) << "the AVI half refuses what is not an AVI file";
    EXPECT_LE(code, 1006);
    EXPECT_EQ(r.GetAudioReader(), nullptr);

    const std::string junk = (dir / "junk.avi").string();
    ASSERT_TRUE(talvern::test::WriteFileBytes(junk, std::string(1000, 'j')));
    EXPECT_EQ(r.Open(Wide(junk).c_str()), 5008);
    CMemBuffClassBase<CDecMovie> holder;
    EXPECT_EQ(OpenMovie(junk, holder), Opened::None);
    EXPECT_FALSE(holder);
}

}  // namespace
