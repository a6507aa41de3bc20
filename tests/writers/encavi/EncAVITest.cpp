#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <set>

#include "foundation/IniCreate.h"
#include "foundation/RegUtil.h"
#include "platform/acm/Acm.h"
#include "tests/writers/encavi/EncAVITestSupport.h"
#include "writers/EncAVI2.h"

using namespace encavi_test;
using talvern::test::ScopedConfigDir;
using talvern::test::TempDir;

namespace {

constexpr int kRate = 22050;
constexpr int kFps = 25;

// A 440 Hz tone, 16-bit mono, continuing from sample `first`.
std::vector<uint8_t> Tone(int64_t first, int bytes) {
    std::vector<uint8_t> pcm(static_cast<size_t>(bytes));
    for (int i = 0; i + 1 < bytes; i += 2) {
        const auto v = static_cast<int16_t>(8000 * std::sin((first + i / 2) * 2 * M_PI * 440 / kRate));
        std::memcpy(&pcm[i], &v, 2);
    }
    return pcm;
}

struct RunOptions {
    FOURCC handler = ICHANDLER_DIB;
    int keyEvery = 5;
    int frames = 12;
    bool audio = false;
    const WAVEFORMATEX* target = nullptr;  // recompressed audio; null keeps PCM
};

// One conversion run as the view drives it.
int Encode(const std::filesystem::path& path, const RunOptions& o, CEncAVI2* writerOut = nullptr) {
    CEncAVI2 local;
    CEncAVI2& w = writerOut ? *writerOut : local;
    w.GetSetting().SetHandler(o.handler);
    w.GetSetting().SetKeyFrameRate(o.keyEvery);
    w.GetSetting().SetAudioFormat(o.target);
    const BITMAPINFOHEADER bi = Input24();
    int r = w.Create(Wide(path).c_str(), &bi, kFps * 10000, 0);
    if (r != 0) return r;
    if (o.audio) {
        w.SetSourcePCMFormat(kRate, 16, 1);
        if ((r = w.CreateAudioStream()) != 0) return r;
    }
    int64_t given = 0;
    for (int i = 0; i < o.frames; ++i) {
        if ((r = w.WriteFrame(Frame(i).data())) != 0) return r;
        const int due = o.audio ? w.GetAudioBytesDue() : 0;
        if (due > 0) {
            if ((r = w.WriteAudio(Tone(given / 2, due).data(), due)) != 0) return r;
            given += due;
        }
    }
    return w.Close();
}

std::vector<FOURCC> Compressors() {
    std::vector<FOURCC> all;
    ICINFO info;
    for (DWORD i = 0; ICInfo(ICTYPE_VIDEO, i, &info); ++i) all.push_back(info.fccHandler);
    return all;
}

bool Temporal(FOURCC h) {
    HIC hic = ICOpen(ICTYPE_VIDEO, h, ICMODE_QUERY);
    ICINFO info{};
    ICGetInfo(hic, &info, sizeof info);
    ICClose(hic);
    return (info.dwFlags & VIDCF_TEMPORAL) != 0;
}

std::string Tag(FOURCC h) { return std::string(reinterpret_cast<const char*>(&h), 4); }

std::vector<int> Every(int step, int n) {
    std::vector<int> v;
    for (int i = 0; i < n; i += step) v.push_back(i);
    return v;
}

class EncAVITest : public ::testing::Test {
protected:
    ScopedConfigDir config;
    TempDir dir;
};

}  // namespace

class EncAVICompressorTest : public EncAVITest, public ::testing::WithParamInterface<FOURCC> {};

TEST_P(EncAVICompressorTest, MakesAFileThatDecodesWithItsKeyFramesAndPcmAudio) {
    const FOURCC h = GetParam();
    const auto path = dir / (Tag(h) + ".avi");
    RunOptions o;
    o.handler = h;
    o.audio = true;
    ASSERT_EQ(Encode(path, o), 0);
    EXPECT_EQ(Probe(path, "v:0", "stream=codec_tag_string,r_frame_rate,nb_frames"), Tag(h) + "\n25/1\n12\n");
    EXPECT_EQ(DecodedFrames(path), 12);
    EXPECT_EQ(FramesReadBack(path), 12);
    EXPECT_EQ(KeyFrames(path), Temporal(h) ? Every(5, 12) : Every(1, 12));
    EXPECT_NEAR(DecodedAudioSeconds(path), 12.0 / kFps, 1.0 / kFps);
}

class EncAVITemporalTest : public EncAVICompressorTest {};

TEST_P(EncAVITemporalTest, KeyFrameIntervalsOneAndZero) {
    const FOURCC h = GetParam();
    RunOptions o;
    o.handler = h;
    o.frames = 9;
    o.keyEvery = 1;
    ASSERT_EQ(Encode(dir / "k1.avi", o), 0);
    EXPECT_EQ(KeyFrames(dir / "k1.avi"), Every(1, 9));
    o.keyEvery = 0;
    ASSERT_EQ(Encode(dir / "k0.avi", o), 0);
    EXPECT_EQ(KeyFrames(dir / "k0.avi"), std::vector<int>{0});
    EXPECT_EQ(DecodedFrames(dir / "k0.avi"), 9);
}

std::string ParamName(const ::testing::TestParamInfo<FOURCC>& info) {
    std::string name = Tag(info.param);
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

std::vector<FOURCC> TemporalCompressors() {
    std::vector<FOURCC> temporal;
    for (FOURCC h : Compressors()) {
        if (Temporal(h)) temporal.push_back(h);
    }
    return temporal;
}

INSTANTIATE_TEST_SUITE_P(Installed, EncAVICompressorTest, ::testing::ValuesIn(Compressors()), ParamName);
INSTANTIATE_TEST_SUITE_P(Installed, EncAVITemporalTest, ::testing::ValuesIn(TemporalCompressors()), ParamName);

// The uncompressed choice and the lossless compressors give back every pixel, so
// a wrong, repeated or flipped frame shows.
TEST_F(EncAVITest, UncompressedAndLosslessFilesHoldTheExactFrames) {
    std::vector<uint8_t> expected;
    for (int i = 0; i < 6; ++i) {
        const auto f = Frame(i);
        expected.insert(expected.end(), f.begin(), f.end());
    }
    const std::set<std::string> lossless = {"DIB ", "HFYU", "FFV1", "ULRG", "MAGY", "ZMBV"};
    std::vector<FOURCC> handlers = {ICHANDLER_DIB};
    for (FOURCC h : Compressors()) {
        if (lossless.count(Tag(h))) handlers.push_back(h);
    }
    for (FOURCC h : handlers) {
        SCOPED_TRACE(Tag(h));
        const auto path = dir / "lossless.avi";
        CEncAVI2 w;
        RunOptions o;
        o.handler = h;
        o.frames = 6;
        ASSERT_EQ(Encode(path, o, &w), 0);
        const std::string raw =
            Shell("ffmpeg -v error -i " + Q(path) + " -vf vflip -f rawvideo -pix_fmt bgr24 -");
        ASSERT_EQ(raw.size(), expected.size());
        EXPECT_TRUE(std::memcmp(raw.data(), expected.data(), raw.size()) == 0);
    }
    CEncAVI2 plain;
    plain.GetSetting().SetHandler(ICHANDLER_DIB);
    const BITMAPINFOHEADER bi = Input24();
    ASSERT_EQ(plain.Create(Wide(dir / "dib.avi").c_str(), &bi, 299700, 0), 0);
    EXPECT_FALSE(plain.IsSequential()) << "no compressor: frames go through the compressed stream";
    EXPECT_EQ(plain.GetStreamInfo().dwRate, 299700u);
    EXPECT_EQ(plain.GetStreamInfo().dwScale, 10000u);
    EXPECT_EQ(plain.Close(), 0);
    EXPECT_EQ(Probe(dir / "dib.avi", "v:0", "stream=r_frame_rate"), "2997/100\n");

    BITMAPINFOHEADER bi32 = bi;
    bi32.biBitCount = 32;
    EXPECT_EQ(plain.Create(Wide(dir / "dib32.avi").c_str(), &bi32, 250000, 0), 2201)
        << "only 24-bit input falls back to the compressed stream";
    (void)plain.Close();
}

// A frame whose size a 32-bit count cannot hold is refused when the format is set,
// rather than described with a size that wrapped.
TEST_F(EncAVITest, FrameTooLargeForA32BitSizeIsRefused) {
    for (const LONG side : {65535, 30000}) {
        SCOPED_TRACE(side);
        CEncAVI2 w;
        w.GetSetting().SetHandler(ICHANDLER_DIB);
        BITMAPINFOHEADER bi = Input24();
        bi.biWidth = bi.biHeight = side;
        bi.biSizeImage = 0;
        EXPECT_EQ(w.Create(Wide(dir / "huge.avi").c_str(), &bi, 250000, 0), 2005);
        (void)w.Close();
    }
}

TEST_F(EncAVITest, RecompressedAudioFollowsTheVideoInEveryEncoder) {
    const WAVEFORMATEX pcm{WAVE_FORMAT_PCM, 1, kRate, kRate * 2, 2, 16, 0};
    const std::vector<std::pair<WORD, const char*>> encoders = {
        {WAVE_FORMAT_ADPCM, "adpcm_ms"}, {WAVE_FORMAT_IMA_ADPCM, "adpcm_ima_wav"}, {WAVE_FORMAT_GSM610, "gsm_ms"},
        {WAVE_FORMAT_MPEGLAYER3, "mp3"},  {WAVE_FORMAT_MPEG, "mp2"},              {WAVE_FORMAT_ALAW, "pcm_alaw"},
        {WAVE_FORMAT_MULAW, "pcm_mulaw"}};
    for (const auto& [tag, codec] : encoders) {
        SCOPED_TRACE(codec);
        std::vector<uint8_t> block(256);
        auto* target = reinterpret_cast<WAVEFORMATEX*>(block.data());
        target->wFormatTag = tag;
        ASSERT_EQ(acmFormatSuggest(nullptr, &pcm, target, 256, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
        const auto path = dir / (std::string(codec) + ".avi");
        RunOptions o;
        o.handler = MAKEFOURCC('M', 'J', 'P', 'G');
        o.frames = 25;
        o.audio = true;
        o.target = target;
        ASSERT_EQ(Encode(path, o), 0);
        EXPECT_EQ(Probe(path, "a:0", "stream=codec_name"), std::string(codec) + "\n");
        // MP3 adds its encoder delay and fills its last 1152-sample frame.
        const double slack = tag == WAVE_FORMAT_MPEGLAYER3 ? 2.0 * 1152 / kRate : 0.0;
        EXPECT_NEAR(DecodedAudioSeconds(path), 1.0, 1.0 / kFps + slack);
        EXPECT_EQ(Shell("ffmpeg -v error -i " + Q(path) + " -f null - 2>&1"), "");
    }
}

TEST_F(EncAVITest, AudioDueFollowsTheFramesWritten) {
    CEncAVI2 w;
    const BITMAPINFOHEADER bi = Input24();
    ASSERT_EQ(w.Create(Wide(dir / "due.avi").c_str(), &bi, 300000, 0), 0);
    w.SetSourcePCMFormat(48000, 16, 2);
    ASSERT_EQ(w.CreateAudioStream(), 0);
    EXPECT_EQ(w.GetAudioBytesDue(), 0);
    ASSERT_EQ(w.WriteFrame(Frame(0).data()), 0);
    EXPECT_EQ(w.GetAudioBytesDue(), 6400);
    const std::vector<uint8_t> ahead(8000);
    ASSERT_EQ(w.WriteAudio(ahead.data(), 8000), 0);
    EXPECT_LT(w.GetAudioBytesDue(), 0) << "audio ahead of the video";
    EXPECT_EQ(w.Close(), 0);
}

TEST_F(EncAVITest, CloseFillsTheAudioUpToTheVideoWithSilence) {
    CEncAVI2 w;
    const BITMAPINFOHEADER bi = Input24();
    const auto path = dir / "silence.avi";
    ASSERT_EQ(w.Create(Wide(path).c_str(), &bi, 250000, 0), 0);
    w.SetSourcePCMFormat(8000, 8, 1);
    ASSERT_EQ(w.CreateAudioStream(), 0);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(w.WriteFrame(Frame(i).data()), 0);
    ASSERT_EQ(w.Close(), 0);
    const std::string pcm = Shell("ffmpeg -v error -i " + Q(path) + " -map 0:a -f u8 -");
    EXPECT_EQ(pcm, std::string(1600, '\x80')) << "unsigned 8-bit silence";
}

TEST_F(EncAVITest, AudioWithoutABlockSizeIsRefused) {
    CEncAVI2 w;
    const BITMAPINFOHEADER bi = Input24();
    AVISTREAMINFOW vinfo{};
    vinfo.fccType = streamtypeVIDEO;
    vinfo.dwScale = 1;
    vinfo.dwRate = 25;
    ASSERT_EQ(w.OpenCopy(Wide(dir / "bad.avi").c_str(), &vinfo, &bi, sizeof bi), 0);
    const WAVEFORMATEX broken{WAVE_FORMAT_PCM, 1, 8000, 8000, 0, 8, 0};
    AVISTREAMINFOW ainfo{};
    ainfo.fccType = streamtypeAUDIO;
    ASSERT_EQ(w.OpenAudio(&broken, &ainfo, L""), 0);
    const std::vector<uint8_t> data(100);
    int samples = 0, bytes = 100;
    EXPECT_EQ(w.WriteAudioSamples(&samples, data.data(), &bytes), 2006);
    EXPECT_EQ(w.Close(), 0);
}

TEST_F(EncAVITest, SettingsPersistAndDamagedValuesAreDropped) {
    HIC x264 = ICOpen(ICTYPE_VIDEO, MAKEFOURCC('H', '2', '6', '4'), ICMODE_COMPRESS);
    const LRESULT size = ICGetStateSize(x264);
    HGLOBAL state = GlobalAlloc(GMEM_FIXED, size);
    ICGetState(x264, GlobalLock(state), size);
    ICClose(x264);
    const WAVEFORMATEX gsm{WAVE_FORMAT_GSM610, 1, 8000, 1625, 65, 0, 2};
    std::vector<uint8_t> gsmBlock(20);
    std::memcpy(gsmBlock.data(), &gsm, 18);
    gsmBlock[18] = 64;
    {
        CEncAVISetting s;
        EXPECT_EQ(s.GetHandler(), CEncAVISetting::kDefaultHandler);
        EXPECT_EQ(s.GetState(), nullptr);
        EXPECT_EQ(s.GetAudioFormat(), nullptr);
        s.SetHandler(MAKEFOURCC('M', 'J', 'P', 'G'));  // another compressor than the state's
        s.SetState(state);
        s.SetStateSize(static_cast<int>(size));
        s.SetAudioFormat(reinterpret_cast<const WAVEFORMATEX*>(gsmBlock.data()));
        s.SetQuality(50);
    }
    {
        CEncAVI2 w;
        CEncAVISetting& s = w.GetSetting();
        EXPECT_EQ(s.GetHandler(), MAKEFOURCC('M', 'J', 'P', 'G'));
        EXPECT_EQ(s.GetStateSize(), size);
        ASSERT_NE(s.GetAudioFormat(), nullptr);
        EXPECT_EQ(std::memcmp(s.GetAudioFormat(), gsmBlock.data(), 20), 0);
        EXPECT_EQ(s.GetQuality(), 100) << "quality is not stored";
        // The stored state belongs to H264: the MJPG compressor keeps its defaults.
        const BITMAPINFOHEADER bi = Input24();
        ASSERT_EQ(w.Create(Wide(dir / "state.avi").c_str(), &bi, 250000, 0), 0);
        EXPECT_TRUE(w.IsSequential());
        EXPECT_EQ(w.Close(), 0);
    }
    // A stored audio format shorter than its own extra bytes is dropped.
    const std::wstring key = L"Software\\" + ReadRegPos() + L"\\AviVideoSettings";
    RegWriteBinary(HKEY_CURRENT_USER, key.c_str(), L"AudioCodec", gsmBlock.data(), 19);
    EXPECT_EQ(CEncAVISetting().GetAudioFormat(), nullptr);
    RegWriteBinary(HKEY_CURRENT_USER, key.c_str(), L"AudioCodec", gsmBlock.data(), 12);
    EXPECT_EQ(CEncAVISetting().GetAudioFormat(), nullptr);
    RegWriteBinary(HKEY_CURRENT_USER, key.c_str(), L"handler", gsmBlock.data(), 4);
    EXPECT_EQ(CEncAVISetting().GetHandler(), CEncAVISetting::kDefaultHandler) << "handler of another type";
}

TEST_F(EncAVITest, AudioDueStaysWholeSamplesForAnAbsurdCopiedHeader) {
    CEncAVI2 w;
    const BITMAPINFOHEADER bi = Input24();
    AVISTREAMINFOW vinfo{};
    vinfo.fccType = streamtypeVIDEO;
    vinfo.dwScale = 0xFFFFFFFF;  // one frame lasts 136 years
    vinfo.dwRate = 1;
    ASSERT_EQ(w.OpenCopy(Wide(dir / "absurd.avi").c_str(), &vinfo, &bi, sizeof bi), 0);
    ASSERT_EQ(w.WriteSample(1, Frame(0).data(), static_cast<int>(bi.biSizeImage), TRUE), 0);
    w.SetSourcePCMFormat(48000, 16, 2);
    ASSERT_EQ(w.CreateAudioStream(), 0);
    const int due = w.GetAudioBytesDue();
    EXPECT_GT(due, 1 << 30);
    EXPECT_EQ(due % 4, 0);
    EXPECT_EQ(w.Close(), 0);
}

TEST_F(EncAVITest, AudioFormatWithManyExtraBytesIsKeptWholeUntilExit) {
    std::vector<uint8_t> big(18 + 300);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
    const WAVEFORMATEX head{WAVE_FORMAT_GSM610, 1, 8000, 1625, 65, 0, 300};
    std::memcpy(big.data(), &head, 18);
    const auto* format = reinterpret_cast<const WAVEFORMATEX*>(big.data());
    {
        CEncAVI2 w;
        w.GetSetting().SetAudioFormat(format);
        ASSERT_NE(w.GetSetting().GetAudioFormat(), nullptr);
        EXPECT_EQ(std::memcmp(w.GetSetting().GetAudioFormat(), big.data(), big.size()), 0);
        w.SetSourcePCMFormat(8000, 16, 1);  // the engine takes the whole format from the settings
        (void)w.Close();
    }
    // At most 256 bytes are stored, which no longer hold the announced extra bytes.
    EXPECT_EQ(CEncAVISetting().GetAudioFormat(), nullptr);

    // A stored value longer than 256 bytes that holds its extra bytes is read whole.
    const std::wstring key = L"Software\\" + ReadRegPos() + L"\\AviVideoSettings";
    RegWriteBinary(HKEY_CURRENT_USER, key.c_str(), L"AudioCodec", big.data(), static_cast<DWORD>(big.size()));
    CEncAVISetting loaded;
    ASSERT_NE(loaded.GetAudioFormat(), nullptr);
    EXPECT_EQ(std::memcmp(loaded.GetAudioFormat(), big.data(), big.size()), 0);
}

TEST_F(EncAVITest, StateSizeLargerThanItsBlockIsNeverReadPastTheBlock) {
    const FOURCC h264 = MAKEFOURCC('H', '2', '6', '4');
    HIC hic = ICOpen(ICTYPE_VIDEO, h264, ICMODE_COMPRESS);
    const LRESULT size = ICGetStateSize(hic);
    ICClose(hic);
    ASSERT_GT(size, 8);
    {
        CEncAVI2 w;
        HGLOBAL small = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 8);
        w.GetSetting().SetHandler(h264);
        w.GetSetting().SetState(small);
        w.GetSetting().SetStateSize(static_cast<int>(size));  // out of step with the block
        const BITMAPINFOHEADER bi = Input24();
        ASSERT_EQ(w.Create(Wide(dir / "small-state.avi").c_str(), &bi, 250000, 0), 0);
        EXPECT_EQ(w.Close(), 0);
    }
    EXPECT_EQ(CEncAVISetting().GetStateSize(), 8) << "only the block's own bytes are stored";
}

TEST_F(EncAVITest, AStateTakenAwayIsGoneAfterARestart) {
    {
        CEncAVISetting s;
        HGLOBAL state = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 32);
        s.SetState(state);
        s.SetStateSize(32);
    }
    {
        CEncAVISetting s;
        EXPECT_EQ(s.GetStateSize(), 32);
        s.SetState(nullptr);
        s.SetStateSize(0);
    }
    CEncAVISetting after;
    EXPECT_EQ(after.GetState(), nullptr);
    EXPECT_EQ(after.GetStateSize(), 0);
}

// What is on the disk while a run is still writing (as a killed run leaves it) opens in
// ffmpeg and in our reader, with every frame up to its last whole second.
TEST_F(EncAVITest, AFileNeverClosedIsReadUpToItsLastWholeFrame) {
    CEncAVI2 w;
    w.GetSetting().SetHandler(ICHANDLER_DIB);
    const BITMAPINFOHEADER bi = Input24();
    ASSERT_EQ(w.Create(Wide(dir / "running.avi").c_str(), &bi, kFps * 10000, 0), 0);
    w.SetSourcePCMFormat(kRate, 16, 1);
    ASSERT_EQ(w.CreateAudioStream(), 0);
    int64_t given = 0;
    for (int i = 0; i < 190; ++i) {  // over the megabyte the writer buffers, 7.6 s
        ASSERT_EQ(w.WriteFrame(Frame(i).data()), 0);
        const int due = w.GetAudioBytesDue();
        if (due > 0) {
            ASSERT_EQ(w.WriteAudio(Tone(given / 2, due).data(), due), 0);
        }
        given += std::max(due, 0);
    }
    std::filesystem::copy_file(dir / "running.avi", dir / "killed.avi");
    const int frames = FramesReadBack(dir / "killed.avi");
    EXPECT_GE(frames, 7 * kFps);
    EXPECT_LT(frames, 190);
    EXPECT_EQ(DecodedFrames(dir / "killed.avi"), frames);
    EXPECT_EQ(w.Close(), 0);
    EXPECT_EQ(FramesReadBack(dir / "running.avi"), 190);
}
