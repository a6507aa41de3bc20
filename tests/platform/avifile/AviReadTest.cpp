// Reading AVI structure: every kind of index leads to the same samples, fixed-size
// streams read in whole samples, and damaged files give what can be read.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/avifile/AviFile.h"
#include "platform/win32/WideChar.h"
#include "tests/data/SyntheticAvi.h"
#include "tests/support/TestSupport.h"

namespace talvern::test {
namespace {

// Opens a file written from bytes and releases everything at the end.
class OpenedAvi {
public:
    explicit OpenedAvi(const std::string& bytes) {
        const auto path = m_dir / "t.avi";
        WriteFileBytes(path, bytes);
        m_hr = AVIFileOpenW(&m_file, path.wstring().c_str(), OF_SHARE_DENY_NONE, nullptr);
    }
    ~OpenedAvi() {
        for (PAVISTREAM s : m_streams) AVIStreamRelease(s);
        if (m_file) AVIFileRelease(m_file);
    }
    HRESULT hr() const { return m_hr; }
    PAVIFILE file() const { return m_file; }
    PAVISTREAM Stream(DWORD type, LONG n) {
        PAVISTREAM s = nullptr;
        if (AVIFileGetStream(m_file, &s, type, n) != AVIERR_OK) return nullptr;
        m_streams.push_back(s);
        return s;
    }

private:
    TempDir m_dir;
    PAVIFILE m_file = nullptr;
    HRESULT m_hr = AVIERR_ERROR;
    std::vector<PAVISTREAM> m_streams;
};

std::string ReadOne(PAVISTREAM s, LONG n) {
    LONG bytes = 0, samples = 0;
    if (AVIStreamRead(s, n, 1, nullptr, 0, &bytes, &samples) != AVIERR_OK) return "<error>";
    std::string out(size_t(bytes), '\0');
    if (AVIStreamRead(s, n, 1, out.data(), bytes, &bytes, &samples) != AVIERR_OK) return "<error>";
    return out;
}

SynthAvi VideoWithKeys(int frames, SynthIndex index, int parts = 1) {
    SynthAvi avi = SimpleVideo(frames, 8, 4, index);
    avi.parts = parts;
    for (int i = 0; i < frames; ++i) avi.chunks[size_t(i)].key = i % 5 == 0;
    return avi;
}

TEST(AviRead, EveryIndexKindGivesTheSameSamplesAndKeyFrames) {
    const struct {
        SynthIndex index;
        int parts;
    } cases[] = {{SynthIndex::Idx1, 1},    {SynthIndex::Idx1Absolute, 1}, {SynthIndex::OpenDml, 3},
                 {SynthIndex::OpenDmlIdx1, 3}, {SynthIndex::OpenDmlField, 2}, {SynthIndex::None, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.index));
        const SynthAvi avi = VideoWithKeys(23, c.index, c.parts);
        OpenedAvi f(BuildSyntheticAvi(avi));
        ASSERT_EQ(AVIERR_OK, f.hr());
        PAVISTREAM s = f.Stream(streamtypeVIDEO, 0);
        ASSERT_NE(nullptr, s);
        ASSERT_EQ(23, AVIStreamLength(s));
        for (int i = 0; i < 23; ++i) ASSERT_TRUE(avi.chunks[size_t(i)].data == ReadOne(s, i)) << i;
        // A scan knows no key flags beyond the first frame.
        const bool keysKnown = c.index != SynthIndex::None;
        EXPECT_EQ(keysKnown ? 10 : 0, AVIStreamFindSample(s, 13, FIND_KEY | FIND_PREV));
        EXPECT_EQ(keysKnown ? 15 : -1, AVIStreamFindSample(s, 13, FIND_KEY | FIND_NEXT));
        EXPECT_EQ(0, AVIStreamFindSample(s, 0, FIND_KEY | FIND_PREV));
    }
}

// The indexes of this file point past 4 GiB, at a second copy of the data in a
// sparse file; the copy at the start has its frames blanked so that reaching
// the right bytes proves the 64-bit offsets were followed.
TEST(AviRead, IndexOffsetsBeyondFourGigabytesAreFollowed) {
    const SynthAvi avi = VideoWithKeys(6, SynthIndex::OpenDml);
    const std::string original = BuildSyntheticAvi(avi);
    const uint64_t high = (uint64_t(1) << 32) + 4096;
    std::string low = original;
    std::string copy = original;
    uint64_t value = 0;
    const size_t entry = low.find("indx") + 8 + 24;  // first entry's qwOffset
    std::memcpy(&value, &low[entry], 8);
    value += high;
    std::memcpy(&low[entry], &value, 8);
    const size_t base = copy.find("ix00") + 8 + 12;  // qwBaseOffset
    std::memcpy(&value, &copy[base], 8);
    value += high;
    std::memcpy(&copy[base], &value, 8);
    for (const SynthChunk& c : avi.chunks) {
        const size_t at = low.find(c.data);
        low.replace(at, c.data.size(), std::string(c.data.size(), '\0'));
    }
    TempDir dir;
    const auto path = dir / "big.avi";
    {
        std::ofstream f(path, std::ios::binary);
        f.write(low.data(), std::streamsize(low.size()));
        f.seekp(std::streamoff(high));
        f.write(copy.data(), std::streamsize(copy.size()));
        if (!f) GTEST_SKIP() << "no room for a sparse 4 GiB file";
    }
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIERR_OK, AVIFileOpenW(&file, path.wstring().c_str(), OF_SHARE_DENY_NONE, nullptr));
    PAVISTREAM s = nullptr;
    ASSERT_EQ(AVIERR_OK, AVIFileGetStream(file, &s, streamtypeVIDEO, 0));
    EXPECT_EQ(6, AVIStreamLength(s));
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(avi.chunks[size_t(i)].data == ReadOne(s, i)) << i;
    AVIStreamRelease(s);
    AVIFileRelease(file);
}

TEST(AviRead, FileNamesOutsideAsciiOpen) {
    TempDir dir;
    const std::string name = (dir / "テスト 動画 100%.avi").string();
    ASSERT_TRUE(WriteFileBytes(name, BuildSyntheticAvi(SimpleVideo(3, 8, 4))));
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIERR_OK, AVIFileOpenW(&file, Utf8ToWide(name).c_str(), OF_SHARE_DENY_NONE, nullptr));
    AVIFileRelease(file);
}

TEST(AviRead, StreamInfoComesFromTheHeadersAndLengthFromTheIndex) {
    SynthAvi avi = SimpleVideo(12, 8, 4);
    avi.streams[0].handler = MAKEFOURCC('a', 'b', 'c', 'd');
    avi.streams[0].priority = 7;
    avi.streams[0].scale = 1001;
    avi.streams[0].rate = 30000;
    avi.streams[0].length = 3;  // undercounts
    avi.streams[0].name = "Main video";
    SynthStream audio;
    audio.type = streamtypeAUDIO;
    audio.sampleSize = 4;
    audio.rate = 8000;
    audio.format = PcmFormat(8000, 2, 16);
    avi.streams.push_back(audio);
    avi.chunks.push_back({1, std::string(400, 'a'), true});
    OpenedAvi f(BuildSyntheticAvi(avi));
    ASSERT_EQ(AVIERR_OK, f.hr());
    AVIFILEINFOW fi{};
    ASSERT_EQ(AVIERR_OK, AVIFileInfoW(f.file(), &fi, sizeof(fi)));
    EXPECT_EQ(2u, fi.dwStreams);
    PAVISTREAM v = f.Stream(streamtypeVIDEO, 0);
    PAVISTREAM a = f.Stream(streamtypeAUDIO, 0);
    ASSERT_NE(nullptr, v);
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(nullptr, f.Stream(streamtypeAUDIO, 1));
    EXPECT_EQ(a, f.Stream(0, 1));
    AVISTREAMINFOW si{};
    ASSERT_EQ(AVIERR_OK, AVIStreamInfoW(v, &si, sizeof(si)));
    EXPECT_EQ(streamtypeVIDEO, si.fccType);
    EXPECT_EQ(MAKEFOURCC('a', 'b', 'c', 'd'), si.fccHandler);
    EXPECT_EQ(7, si.wPriority);
    EXPECT_EQ(1001u, si.dwScale);
    EXPECT_EQ(30000u, si.dwRate);
    EXPECT_EQ(12u, si.dwLength);
    EXPECT_EQ(std::u16string(u"Main video"), std::u16string(si.szName));
    LONG size = 0;
    ASSERT_EQ(AVIERR_OK, AVIStreamReadFormat(v, 0, nullptr, &size));
    EXPECT_EQ(40, size);
    ASSERT_EQ(AVIERR_OK, AVIStreamInfoW(a, &si, sizeof(si)));
    EXPECT_EQ(100u, si.dwLength);  // 400 bytes of 4-byte samples
}

TEST(AviRead, FixedSizeSamplesAreReadWholeAcrossChunks) {
    SynthAvi avi;
    avi.index = SynthIndex::Idx1;
    SynthStream audio;
    audio.type = streamtypeAUDIO;
    audio.sampleSize = 4;
    audio.format = PcmFormat(8000, 2, 16);
    avi.streams.push_back(audio);
    std::string all;
    for (int c = 0; c < 3; ++c) {
        std::string chunk;
        for (int i = 0; i < 10 * (c + 1); ++i) chunk += std::string(4, char('A' + all.size() / 4 % 26));
        all += chunk;
        avi.chunks.push_back({0, chunk, true});
    }
    OpenedAvi f(BuildSyntheticAvi(avi));
    PAVISTREAM s = f.Stream(streamtypeAUDIO, 0);
    ASSERT_NE(nullptr, s);
    ASSERT_EQ(60, AVIStreamLength(s));
    LONG bytes = 0, samples = 0;
    // Size query of a convenient read: the rest of the chunk.
    ASSERT_EQ(AVIERR_OK, AVIStreamRead(s, 12, AVISTREAMREAD_CONVENIENT, nullptr, 0, &bytes, &samples));
    EXPECT_EQ(18, samples);
    EXPECT_EQ(72, bytes);
    // A convenient read fills the buffer with whole samples, across chunk borders.
    std::vector<char> buf(103);
    ASSERT_EQ(AVIERR_OK, AVIStreamRead(s, 5, AVISTREAMREAD_CONVENIENT, buf.data(), 103, &bytes, &samples));
    EXPECT_EQ(25, samples);
    EXPECT_EQ(100, bytes);
    EXPECT_EQ(all.substr(20, 100), std::string(buf.data(), 100));
    // A counted read stops at the end of the stream.
    ASSERT_EQ(AVIERR_OK, AVIStreamRead(s, 55, 20, buf.data(), 103, &bytes, &samples));
    EXPECT_EQ(5, samples);
    EXPECT_EQ(all.substr(220, 20), std::string(buf.data(), 20));
    // Past the end nothing comes back; a buffer smaller than one sample is refused.
    ASSERT_EQ(AVIERR_OK, AVIStreamRead(s, 60, 1, buf.data(), 103, &bytes, &samples));
    EXPECT_EQ(0, samples);
    EXPECT_EQ(AVIERR_BUFFERTOOSMALL, AVIStreamRead(s, 0, 1, buf.data(), 3, &bytes, &samples));
    EXPECT_EQ(AVIERR_BADPARAM, AVIStreamRead(s, -1, 1, buf.data(), 103, &bytes, &samples));
}

TEST(AviRead, DroppedFramesReadAsEmptySamples) {
    SynthAvi avi = SimpleVideo(6, 8, 4);
    avi.chunks[2].data.clear();
    OpenedAvi f(BuildSyntheticAvi(avi));
    PAVISTREAM s = f.Stream(streamtypeVIDEO, 0);
    ASSERT_NE(nullptr, s);
    ASSERT_EQ(6, AVIStreamLength(s));
    LONG bytes = -1, samples = -1;
    ASSERT_EQ(AVIERR_OK, AVIStreamRead(s, 2, AVISTREAMREAD_CONVENIENT, nullptr, 0, &bytes, &samples));
    EXPECT_EQ(0, bytes);
    EXPECT_EQ(1, samples);
    EXPECT_TRUE(avi.chunks[3].data == ReadOne(s, 3));
}

TEST(AviRead, DamagedFilesGiveWhatCanBeRead) {
    const SynthAvi avi = SimpleVideo(10, 8, 4, SynthIndex::Idx1);
    const std::string good = BuildSyntheticAvi(avi);
    const size_t movi = good.find("movi");
    const size_t frameBytes = avi.chunks[0].data.size() + 8;
    {  // cut after four whole frames: the index is gone, a scan finds the four
        OpenedAvi f(good.substr(0, movi + 4 + 4 * frameBytes + 5));
        ASSERT_EQ(AVIERR_OK, f.hr());
        PAVISTREAM s = f.Stream(streamtypeVIDEO, 0);
        ASSERT_NE(nullptr, s);
        EXPECT_EQ(4, AVIStreamLength(s));
        EXPECT_TRUE(avi.chunks[3].data == ReadOne(s, 3));
    }
    {  // cut inside the headers
        OpenedAvi f(good.substr(0, 100));
        EXPECT_NE(AVIERR_OK, f.hr());
    }
    {  // not a RIFF file at all, and an empty one
        EXPECT_NE(AVIERR_OK, OpenedAvi("garbage garbage garbage").hr());
        EXPECT_NE(AVIERR_OK, OpenedAvi("").hr());
    }
    {  // sizes set to the largest value: the RIFF and the first frame chunk
        std::string bad = good;
        std::memset(&bad[4], 0xFF, 4);
        std::memset(&bad[movi + 8], 0xFF, 4);
        OpenedAvi f(bad);
        ASSERT_EQ(AVIERR_OK, f.hr());
        PAVISTREAM s = f.Stream(streamtypeVIDEO, 0);
        ASSERT_NE(nullptr, s);
        EXPECT_EQ(10, AVIStreamLength(s));  // the index still knows every frame's size
        EXPECT_TRUE(avi.chunks[0].data == ReadOne(s, 0));
    }
    {  // the same 'movi' without its index: a scan stops at the broken chunk
        std::string bad = BuildSyntheticAvi(SimpleVideo(10, 8, 4, SynthIndex::None));
        std::memset(&bad[bad.find("movi") + 4 + 3 * frameBytes + 4], 0xFF, 4);
        OpenedAvi f(bad);
        PAVISTREAM s = f.Stream(streamtypeVIDEO, 0);
        ASSERT_NE(nullptr, s);
        EXPECT_EQ(3, AVIStreamLength(s));
    }
    {  // an idx1 entry pointing past the end of the file is dropped
        std::string bad = good;
        const size_t idx1 = bad.find("idx1");
        std::memset(&bad[idx1 + 8 + 16 * 9 + 8], 0x7F, 4);
        OpenedAvi f(bad);
        PAVISTREAM s = f.Stream(streamtypeVIDEO, 0);
        ASSERT_NE(nullptr, s);
        EXPECT_EQ(9, AVIStreamLength(s));
    }
}

TEST(AviRead, ReadOnlyStreamsRefuseWrites) {
    OpenedAvi f(BuildSyntheticAvi(SimpleVideo(2, 8, 4)));
    PAVISTREAM s = f.Stream(streamtypeVIDEO, 0);
    ASSERT_NE(nullptr, s);
    char b[4] = {};
    EXPECT_EQ(AVIERR_READONLY, AVIStreamWrite(s, 0, 1, b, 4, 0, nullptr, nullptr));
    EXPECT_EQ(AVIERR_READONLY, AVIStreamSetFormat(s, 0, b, 4));
    PAVISTREAM created = nullptr;
    AVISTREAMINFOW info{};
    EXPECT_EQ(AVIERR_READONLY, AVIFileCreateStreamW(f.file(), &created, &info));
}

}  // namespace
}  // namespace talvern::test
