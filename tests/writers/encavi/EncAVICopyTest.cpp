#include <gtest/gtest.h>

#include <deque>

#include "tests/writers/encavi/EncAVITestSupport.h"
#include "writers/EncAVI2.h"

using namespace encavi_test;
using talvern::test::MovieDesc;
using talvern::test::ScopedConfigDir;
using talvern::test::TempDir;

namespace {

// The format block; an audio format of 16 bytes comes back as a WAVEFORMATEX with cbSize 0.
std::vector<uint8_t> ReadFormat(PAVISTREAM s, size_t atLeast = 0) {
    LONG size = 0;
    AVIStreamReadFormat(s, 0, nullptr, &size);
    std::vector<uint8_t> f(std::max(static_cast<size_t>(size), atLeast));
    AVIStreamReadFormat(s, 0, f.data(), &size);
    return f;
}

// A test movie opened through our reader, with its video and audio stream.
struct Source {
    PAVIFILE file = nullptr;
    PAVISTREAM video = nullptr;
    PAVISTREAM audio = nullptr;
    AVISTREAMINFOW vinfo{}, ainfo{};
    std::vector<uint8_t> vfmt, afmt;

    bool Open(const MovieDesc& desc, const std::filesystem::path& path) {
        if (!talvern::test::MakeTestMovie(desc, path)) return false;
        if (AVIFileOpenW(&file, Wide(path).c_str(), OF_READ, nullptr) != AVIERR_OK ||
            AVIFileGetStream(file, &video, streamtypeVIDEO, 0) != AVIERR_OK ||
            AVIFileGetStream(file, &audio, streamtypeAUDIO, 0) != AVIERR_OK) {
            return false;
        }
        AVIStreamInfoW(video, &vinfo, sizeof vinfo);
        AVIStreamInfoW(audio, &ainfo, sizeof ainfo);
        vfmt = ReadFormat(video);
        afmt = ReadFormat(audio, sizeof(WAVEFORMATEX));
        return true;
    }
    ~Source() {
        if (video) AVIStreamRelease(video);
        if (audio) AVIStreamRelease(audio);
        if (file) AVIFileRelease(file);
    }
};

// "hash, size" of every video packet as ffmpeg sees it, without the timestamps.
std::vector<std::string> PacketHashes(const std::filesystem::path& file) {
    std::vector<std::string> out;
    for (const std::string& l : Lines(Shell("ffmpeg -v error -i " + Q(file) + " -map 0:v -c copy -f framemd5 -"))) {
        if (l[0] == '#') continue;
        const size_t size = l.find(',', l.find(',', l.find(',', l.find(',') + 1) + 1) + 1);
        out.push_back(l.substr(size));
    }
    return out;
}

// A source audio stream that fails to read chosen samples.
class FlakySource : public AviStream {
public:
    std::deque<LONG> failAt;
    LONG length = 100;
    HRESULT Info(AVISTREAMINFOW*, LONG) override { return AVIERR_OK; }
    LONG FindSample(LONG pos, LONG) override { return pos; }
    HRESULT ReadFormat(LONG, void*, LONG*) override { return AVIERR_OK; }
    LONG Length() override { return length; }
    HRESULT Read(LONG start, LONG samples, void* buffer, LONG bufferBytes, LONG* bytes, LONG* read) override {
        if (!failAt.empty() && failAt.front() == start) {
            failAt.pop_front();
            return AVIERR_FILEREAD;
        }
        const LONG n = std::min({samples, length - start, bufferBytes / 2, LONG{7}});
        std::memset(buffer, 0, static_cast<size_t>(n) * 2);
        *bytes = n * 2;
        *read = n;
        return AVIERR_OK;
    }
};

class ScriptedPrompt : public IAudioReadFailurePrompt {
public:
    std::vector<bool> answers;  // true = stop
    int asked = 0;
    bool AskStop(const std::wstring& text) override {
        EXPECT_NE(text.find(L"Audio"), std::wstring::npos);
        return answers.at(asked++);
    }
};

class EncAVICopyTest : public ::testing::Test {
protected:
    ScopedConfigDir config;
    TempDir dir;
};

}  // namespace

TEST_F(EncAVICopyTest, StreamCopiedFromAKeyFrameIsPacketIdenticalWithItsAudioRange) {
    MovieDesc desc;
    desc.video = talvern::test::VideoCodec::Mpeg4;
    desc.frames = 20;
    desc.gop = 6;
    desc.audio = talvern::test::AudioCodec::Pcm16;
    const auto src = dir / "src.avi";
    const auto dst = dir / "copy.avi";
    Source in;
    ASSERT_TRUE(in.Open(desc, src));
    const AVISTREAMINFOW& vinfo = in.vinfo;
    const AVISTREAMINFOW& ainfo = in.ainfo;
    const auto& vfmt = in.vfmt;
    const auto& afmt = in.afmt;
    const LONG first = AVIStreamFindSample(in.video, 5, FIND_KEY | FIND_NEXT);
    const LONG length = AVIStreamLength(in.video);
    ASSERT_EQ(first, 6);

    CEncAVI2 w;
    ASSERT_EQ(w.OpenCopy(Wide(dst).c_str(), &vinfo, vfmt.data(), static_cast<int>(vfmt.size())), 0);
    std::vector<uint8_t> buf(1 << 20);
    for (LONG i = first; i < length; ++i) {
        LONG bytes = 0, samples = 0;
        ASSERT_EQ(AVIStreamRead(in.video, i, 1, buf.data(), static_cast<LONG>(buf.size()), &bytes, &samples),
                  AVIERR_OK);
        const BOOL key = AVIStreamFindSample(in.video, i, FIND_KEY | FIND_PREV) == i;
        ASSERT_EQ(w.WriteSample(1, buf.data(), bytes, key), 0);
    }
    EXPECT_EQ(w.GetPosition(), length - first);
    int start = 0, end = 0;
    CEncAVIAudio::AudioRangeForFrames(vinfo, ainfo, first, length - 1, &start, &end);
    EXPECT_EQ(end - start, (length - first) * 22050 / 25);
    ASSERT_EQ(w.OpenAudio(reinterpret_cast<const WAVEFORMATEX*>(afmt.data()), &ainfo, L""), 0);
    ASSERT_EQ(w.CopyAudioStream(start, end, in.audio), 0);
    ASSERT_EQ(w.Close(), 0);

    auto srcPackets = PacketHashes(src);
    srcPackets.erase(srcPackets.begin(), srcPackets.begin() + first);
    EXPECT_EQ(PacketHashes(dst), srcPackets);
    std::vector<int> keys;
    for (int k : KeyFrames(src)) {
        if (k >= first) keys.push_back(k - first);
    }
    EXPECT_EQ(KeyFrames(dst), keys);

    // Header and format block as the source has them; only the length and the
    // largest chunk are the copy's own.
    const std::string a = talvern::test::ReadFileBytes(src), b = talvern::test::ReadFileBytes(dst);
    const std::string ha = ChunkBytes(a, "strh"), hb = ChunkBytes(b, "strh");
    ASSERT_EQ(ha.size(), 56u);
    ASSERT_EQ(hb.size(), 56u);
    EXPECT_EQ(ha.substr(0, 32), hb.substr(0, 32));
    EXPECT_EQ(ha.substr(40), hb.substr(40));
    EXPECT_EQ(ChunkBytes(a, "strf"), ChunkBytes(b, "strf"));
    EXPECT_EQ(Probe(dst, "v:0", "stream=nb_frames"), std::to_string(length - first) + "\n");
    const int copied = std::min(end, static_cast<int>(AVIStreamLength(in.audio))) - start;
    EXPECT_DOUBLE_EQ(DecodedAudioSeconds(dst), copied / 22050.0);
}

TEST_F(EncAVICopyTest, AudioCopyStopsOrSkipsOnReadFailuresAndKeepsToItsRange) {
    const WAVEFORMATEX pcm{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
    AVISTREAMINFOW ainfo{};
    ainfo.fccType = streamtypeAUDIO;
    ainfo.dwScale = 2;
    ainfo.dwRate = 16000;
    ainfo.dwSampleSize = 2;
    AVISTREAMINFOW vinfo{};
    vinfo.fccType = streamtypeVIDEO;
    vinfo.dwScale = 1;
    vinfo.dwRate = 25;
    const BITMAPINFOHEADER bi = Input24();

    struct Case {
        std::deque<LONG> failAt;
        std::vector<bool> answers;
        int start, end;
        int result;
        int written;
    };
    const Case cases[] = {
        {{}, {}, 10, 60, 0, 50},
        {{}, {}, 90, 500, 0, 10},         // ends at the source's length
        {{}, {}, 40, 40, 0, 0},           // empty range
        {{24}, {false}, 10, 60, 0, 49},   // skip exactly one sample
        {{24}, {true}, 10, 60, 2107, 14}, // stop
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        FlakySource source;
        source.failAt = c.failAt;
        ScriptedPrompt prompt;
        prompt.answers = c.answers;
        CEncAVI2 w;
        w.SetReadFailurePrompt(&prompt);
        ASSERT_EQ(w.OpenCopy(Wide(dir / "a.avi").c_str(), &vinfo, &bi, sizeof bi), 0);
        ASSERT_EQ(w.OpenAudio(&pcm, &ainfo, L""), 0);
        EXPECT_EQ(w.CopyAudioStream(c.start, c.end, &source), c.result);
        ASSERT_EQ(w.Close(), 0);
        EXPECT_EQ(prompt.asked, static_cast<int>(c.answers.size()));
        EXPECT_EQ(DecodedAudioSeconds(dir / "a.avi") * 8000, c.written);
    }

    int start = -1, end = -1;
    CEncAVIAudio::AudioRangeForFrames(vinfo, ainfo, 0, 0, &start, &end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 320);
}

TEST_F(EncAVICopyTest, ReencodedVideoTakesTheSourceAudioOfItsFrames) {
    MovieDesc desc;
    desc.frames = 30;
    desc.audio = talvern::test::AudioCodec::ImaAdpcm;
    const auto dst = dir / "reencoded.avi";
    Source in;
    ASSERT_TRUE(in.Open(desc, dir / "src.avi"));
    const AVISTREAMINFOW& vinfo = in.vinfo;
    const AVISTREAMINFOW& ainfo = in.ainfo;
    const auto& afmt = in.afmt;

    // Frames 5..24 of the source, re-encoded, then the audio that belongs to them.
    CEncAVI2 w;
    w.GetSetting().SetHandler(MAKEFOURCC('X', 'V', 'I', 'D'));
    const BITMAPINFOHEADER bi = Input24();
    ASSERT_EQ(w.Create(Wide(dst).c_str(), &bi, 25 * 10000, 0), 0);
    for (int i = 5; i < 25; ++i) ASSERT_EQ(w.WriteFrame(Frame(i).data()), 0);
    int start = 0, end = 0;
    CEncAVIAudio::AudioRangeForFrames(vinfo, ainfo, 5, 24, &start, &end);
    ASSERT_EQ(w.OpenAudio(reinterpret_cast<const WAVEFORMATEX*>(afmt.data()), &ainfo, L""), 0);
    ASSERT_EQ(w.CopyAudioStream(start, end, in.audio), 0);
    ASSERT_EQ(w.Close(), 0);

    EXPECT_EQ(Probe(dst, "a:0", "stream=codec_name"), "adpcm_ima_wav\n");
    // ffmpeg's test movie may end its audio a block early; the copy stops there too.
    const int copied = std::min(end, static_cast<int>(AVIStreamLength(in.audio))) - start;
    EXPECT_GE(copied * static_cast<double>(ainfo.dwScale) / ainfo.dwRate, 20.0 / 25 - 0.1);
    EXPECT_NEAR(DecodedAudioSeconds(dst), copied * static_cast<double>(ainfo.dwScale) / ainfo.dwRate, 1.0 / 25);
    EXPECT_EQ(DecodedFrames(dst), 20);
}
