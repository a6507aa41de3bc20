#include "readers/DecAVIAudio.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/WideChar.h"
#include "tests/data/RewrittenAvi.h"
#include "tests/data/SyntheticAvi.h"
#include "tests/data/TestMedia.h"
#include "tests/support/TestSupport.h"

namespace {

using talvern::test::AudioCodec;
using talvern::test::MovieDesc;
using talvern::test::RunCommand;
using talvern::test::ShellQuote;
using talvern::test::TempDir;
using talvern::test::SynthAvi;
using talvern::test::SynthStream;

SynthStream Audio(const std::string& format, DWORD rate, DWORD scale, DWORD sampleSize) {
    SynthStream a;
    a.type = streamtypeAUDIO;
    a.rate = rate;
    a.scale = scale;
    a.sampleSize = sampleSize;
    a.format = format;
    return a;
}

// Opens a file of 5 video frames and the given audio streams, each holding `data`.
void OpenWithAudio(CDecAVIAudioComp& reader, const TempDir& dir, const std::vector<SynthStream>& audio,
                   const std::string& data) {
    SynthAvi avi = talvern::test::SimpleVideo(5);
    for (const SynthStream& a : audio) {
        avi.streams.push_back(a);
        avi.chunks.push_back({static_cast<int>(avi.streams.size()) - 1, data, true});
    }
    const auto path = dir / "s.avi";
    ASSERT_TRUE(talvern::test::WriteFileBytes(path, talvern::test::BuildSyntheticAvi(avi)));
    ASSERT_EQ(reader.Open(path.wstring().c_str()), 0);
}

struct AudioCase {
    const char* name;
    AudioCodec codec;
    int rate;
    int channels;
    const wchar_t* formatName;
    int frameSamples;  // one codec frame; 0 for PCM, whose bytes must match exactly
    bool exactSamples;  // decoding matches ffmpeg's own sample for sample
    bool independentBlocks;  // decoding can start at any block with nothing lost
};

std::vector<BYTE> ReadAllPcm(CDecAVIAudioComp& r, int request) {
    std::vector<BYTE> out, buffer(static_cast<size_t>(request));
    for (int n; (n = r.ReadPCM(buffer.data(), request)) > 0;) out.insert(out.end(), buffer.begin(), buffer.begin() + n);
    return out;
}

// ffmpeg's own decode of the file's audio, in the reader's PCM layout.
std::string FfmpegPcm(const std::filesystem::path& movie, int bits) {
    std::string out;
    RunCommand("ffmpeg -v error -i " + ShellQuote(movie.string()) + " -map 0:a -f " +
                   (bits == 8 ? "u8 -acodec pcm_u8" : "s16le -acodec pcm_s16le") + " -",
               &out);
    return out;
}

class DecAVIAudioCodec : public ::testing::TestWithParam<AudioCase> {};

TEST_P(DecAVIAudioCodec, DecodesLikeFfmpegFromAnyFrame) {
    const AudioCase c = GetParam();
    TempDir dir;
    const auto movie = dir / "a.avi";
    MovieDesc desc;
    desc.frames = 30;
    desc.audio = c.codec;
    desc.sampleRate = c.rate;
    desc.channels = c.channels;
    std::string log;
    ASSERT_TRUE(talvern::test::MakeTestMovie(desc, movie, &log)) << log;

    CDecAVIAudioComp reader;
    ASSERT_EQ(reader.Open(movie.wstring().c_str()), 0);
    ASSERT_TRUE(reader.HasAudioStream());
    EXPECT_EQ(reader.GetFormatName(), c.formatName);
    EXPECT_EQ(reader.GetSamplesPerSec(), c.rate);
    EXPECT_EQ(reader.GetChannelsText(), c.channels == 1 ? L"Monoral" : L"Stereo");
    ASSERT_NE(reader.GetAudioFormat(), nullptr);

    reader.StartAudio(0);
    const WAVEFORMATEX pcm = *reader.GetPCMFormat();
    EXPECT_EQ(pcm.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(static_cast<int>(pcm.nSamplesPerSec), c.rate);
    EXPECT_EQ(pcm.nChannels, c.channels);
    const std::vector<BYTE> all = ReadAllPcm(reader, 4000);
    const std::string theirs = FfmpegPcm(movie, pcm.wBitsPerSample);
    ASSERT_FALSE(theirs.empty());
    if (c.frameSamples == 0 || c.exactSamples) {
        EXPECT_TRUE(std::string(all.begin(), all.end()) == theirs) << all.size() << " vs " << theirs.size();
    } else {
        EXPECT_NEAR(double(all.size()), double(theirs.size()), double(c.frameSamples * pcm.nBlockAlign));
    }
    // Other request sizes give the same bytes.
    reader.StartAudio(0);
    EXPECT_EQ(ReadAllPcm(reader, 1 << 20), all);

    // From a frame's sample on: the rest of the stream, starting at that sample's time.
    for (int frame : {1, 7, 20}) {
        const int sample = reader.FrameToSample(frame);
        reader.StartAudio(sample);
        EXPECT_EQ(reader.GetAudioPosition(), sample);
        const std::vector<BYTE> tail = ReadAllPcm(reader, 3001);
        const double seconds = double(frame) / desc.rate;
        const double expected = double(all.size()) - seconds * c.rate * pcm.nBlockAlign;
        const double slack = (c.frameSamples > 0 ? 2.0 * c.frameSamples : 1.0) * pcm.nBlockAlign;
        EXPECT_NEAR(double(tail.size()), expected, slack) << "frame " << frame;
        if (c.independentBlocks && tail.size() <= all.size()) {
            EXPECT_TRUE(std::equal(tail.begin(), tail.end(), all.end() - static_cast<long>(tail.size())))
                << "frame " << frame;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, DecAVIAudioCodec,
    ::testing::Values(AudioCase{"Pcm16", AudioCodec::Pcm16, 22050, 2, L"PCM", 0, true, true},
                      AudioCase{"Pcm8", AudioCodec::Pcm8, 11025, 1, L"PCM", 0, true, true},
                      AudioCase{"MsAdpcm", AudioCodec::MsAdpcm, 22050, 1, L"ADPCM", 1024, true, true},
                      AudioCase{"ImaAdpcm", AudioCodec::ImaAdpcm, 22050, 2, L"DVI-ADPCM", 1024, true, true},
                      AudioCase{"Alaw", AudioCodec::Alaw, 8000, 1, L"ALAW", 1, true, true},
                      AudioCase{"Mulaw", AudioCodec::Mulaw, 8000, 2, L"MULAW", 1, true, true},
                      AudioCase{"Mp3", AudioCodec::Mp3, 44100, 2, L"MPEG LAYER-3", 1152, false, false},
                      AudioCase{"Ac3", AudioCodec::Ac3, 48000, 2, L"AC3", 1536, false, false},
                      AudioCase{"Aac", AudioCodec::Aac, 48000, 2, L"?", 1024, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecAVIAudio, FileWithoutAudioAndFrameMapping) {
    TempDir dir;
    const auto movie = dir / "v.avi";
    MovieDesc desc;
    desc.frames = 5;
    ASSERT_TRUE(talvern::test::MakeTestMovie(desc, movie));
    CDecAVIAudioComp reader;
    ASSERT_EQ(reader.Open(movie.wstring().c_str()), 0);
    EXPECT_FALSE(reader.HasAudioStream());
    EXPECT_EQ(reader.GetAudioFormat(), nullptr);
    EXPECT_TRUE(reader.GetFormatName().empty());
    EXPECT_TRUE(reader.GetChannelsText().empty());
    reader.StartAudio(10);
    BYTE buffer[64];
    EXPECT_EQ(reader.ReadPCM(buffer, sizeof buffer), 0);
    EXPECT_EQ(reader.FrameToSample(3), 0);

    // With audio: 25 frames/s against 8000 samples/s gives 320 samples a frame.
    desc.audio = AudioCodec::Pcm16;
    desc.sampleRate = 8000;
    ASSERT_TRUE(talvern::test::MakeTestMovie(desc, dir / "a.avi"));
    ASSERT_EQ(reader.Open((dir / "a.avi").wstring().c_str()), 0);
    EXPECT_EQ(reader.FrameToSample(0), 0);
    EXPECT_EQ(reader.FrameToSample(3), 960);
    EXPECT_EQ(reader.GetAudioStreamInfo()->fccType, streamtypeAUDIO);
    EXPECT_GT(reader.GetAudioLength(), 0);
    // Raw reads advance the position by the samples read.
    reader.SetAudioPosition(100);
    std::vector<BYTE> raw(1000);
    int samples = 0, bytes = static_cast<int>(raw.size());
    ASSERT_EQ(reader.ReadAudio(&samples, raw.data(), &bytes), 0);
    EXPECT_EQ(bytes, samples * 2);
    EXPECT_EQ(reader.GetAudioPosition(), 100 + samples);
    // Closing drops the audio too.
    reader.Close();
    EXPECT_FALSE(reader.HasAudioStream());
    EXPECT_EQ(reader.GetAudioFormat(), nullptr);
}

TEST(DecAVIAudio, ChoosesTheLastUsableStreamAndMendsItsFormat) {
    TempDir dir;
    using talvern::test::PcmFormat;
    const std::string data(400, 'x');
    CDecAVIAudioComp reader;
    // Two streams: the second is used. A third with a zero rate is passed over.
    OpenWithAudio(reader, dir,
                  {Audio(PcmFormat(8000, 1, 16), 8000, 1, 2), Audio(PcmFormat(11025, 2, 16), 11025, 1, 4),
                   Audio(PcmFormat(22050, 1, 8), 0, 1, 1)},
                  data);
    ASSERT_TRUE(reader.HasAudioStream());
    EXPECT_EQ(reader.GetSamplesPerSec(), 11025);
    EXPECT_EQ(reader.GetChannelsText(), L"Stereo");
    reader.StartAudio(0);
    std::vector<BYTE> pcm(1000);
    EXPECT_EQ(reader.ReadPCM(pcm.data(), 1000), 400);
    EXPECT_EQ(std::string(pcm.begin(), pcm.begin() + 400), data);

    // A 16-byte PCM format is held as 18 bytes with no extra bytes.
    OpenWithAudio(reader, dir, {Audio(PcmFormat(8000, 6, 16).substr(0, 16), 8000, 1, 12)}, data);
    ASSERT_NE(reader.GetAudioFormat(), nullptr);
    EXPECT_EQ(reader.GetAudioFormat()->cbSize, 0);
    EXPECT_EQ(reader.GetFormatName(), L"PCM");
    EXPECT_EQ(reader.GetChannelsText(), L"?");

    // Extra bytes claimed beyond the format block are cut to those present.
    std::string ima = PcmFormat(22050, 1, 4);
    ima[0] = 0x11;
    ima[16] = 100;  // cbSize 100, but only 2 bytes follow
    ima += std::string("\xF9\x01", 2);
    OpenWithAudio(reader, dir, {Audio(ima, 22050, 1, 0)}, data);
    ASSERT_NE(reader.GetAudioFormat(), nullptr);
    EXPECT_EQ(reader.GetAudioFormat()->cbSize, 2);

    // Audio no decoder knows yields no PCM at all, never its own bytes.
    std::string unknown = PcmFormat(8000, 1, 16);
    unknown[0] = 0x43;
    unknown[1] = 0x42;
    OpenWithAudio(reader, dir, {Audio(unknown, 8000, 1, 2)}, data);
    ASSERT_TRUE(reader.HasAudioStream());
    EXPECT_EQ(reader.GetFormatName(), L"?");
    reader.StartAudio(0);
    EXPECT_EQ(reader.PrepareDecode(), 911);
    EXPECT_EQ(reader.ReadPCM(pcm.data(), 1000), 0);

    // A format block too short for its header is zero-filled: no usable audio either.
    OpenWithAudio(reader, dir, {Audio(std::string(), 8000, 1, 2)}, data);
    reader.StartAudio(0);
    EXPECT_EQ(reader.ReadPCM(pcm.data(), 1000), 0);
}

// A chunk of a variable-size stream may hold nothing (ffmpeg writes such chunks into MP3
// streams); only the real end of the stream ends decoding.
TEST(DecAVIAudio, EmptyChunksOfVariableSizeAudioDoNotEndIt) {
    TempDir dir;
    SynthAvi avi = talvern::test::SimpleVideo(3);
    avi.streams.push_back(Audio(talvern::test::PcmFormat(8000, 1, 16), 8000, 1, 0));
    for (const char* data : {"abcd", "", "", "efgh", "", "ijkl"}) avi.chunks.push_back({1, data, true});
    const auto synthetic = dir / "vbr.avi";
    ASSERT_TRUE(talvern::test::WriteFileBytes(synthetic, talvern::test::BuildSyntheticAvi(avi)));
    CDecAVIAudioComp reader;
    ASSERT_EQ(reader.Open(synthetic.wstring().c_str()), 0);
    reader.StartAudio(0);
    const std::vector<BYTE> pcm = ReadAllPcm(reader, 1000);
    EXPECT_EQ(std::string(pcm.begin(), pcm.end()), "abcdefghijkl");

    const auto mp3 = dir / "mp3.avi";
    ASSERT_EQ(RunCommand("ffmpeg -v error -f lavfi -i testsrc=size=64x48:rate=10:duration=1 -f lavfi -i "
                         "sine=frequency=440:sample_rate=22050:duration=1 -c:v mpeg4 -bf 2 -g 4 -c:a libmp3lame "
                         "-b:a 32k -frames:v 10 " + ShellQuote(mp3.string())),
              0);
    ASSERT_EQ(reader.Open(mp3.wstring().c_str()), 0);
    reader.StartAudio(0);
    EXPECT_EQ(ReadAllPcm(reader, 4096).size(), FfmpegPcm(mp3, 16).size());
}

// Some writers put several codec frames into one chunk. Raw AAC frames carry no sync
// word, so the chunk is the only thing that tells where they are; MPEG audio and AC-3
// frames are found by their headers. Every sample ffmpeg decodes must come out.
TEST(DecAVIAudio, ChunksOfSeveralFramesDecodeWhole) {
    TempDir dir;
    for (AudioCodec codec : {AudioCodec::Aac, AudioCodec::Mp3, AudioCodec::Mp2, AudioCodec::Ac3}) {
        SCOPED_TRACE(int(codec));
        const auto made = dir / "made.avi", joined = dir / "joined.avi";
        MovieDesc desc;
        desc.frames = 50;
        desc.audio = codec;
        desc.sampleRate = 48000;
        desc.channels = 2;
        std::string log;
        ASSERT_TRUE(codec == AudioCodec::Aac ? talvern::test::MakeAacMovie(made, 2.0, &log)
                                             : talvern::test::MakeTestMovie(desc, made, &log))
            << log;
        ASSERT_TRUE(talvern::test::JoinAudioChunks(made, 3, joined));
        const size_t whole = FfmpegPcm(made, 16).size();
        ASSERT_GT(whole, 40000u);
        for (const auto& movie : {made, joined}) {
            CDecAVIAudioComp reader;
            ASSERT_EQ(reader.Open(movie.wstring().c_str()), 0);
            reader.StartAudio(0);
            std::vector<BYTE> buffer(8192);
            size_t total = 0;
            int n = 0;
            while ((n = reader.ReadPCM(buffer.data(), 8192)) > 0) total += size_t(n);
            EXPECT_EQ(n, 0) << movie;
            EXPECT_EQ(total, whole) << movie;
        }
    }
}

// Bytes that are not UTF-8 travel through wide names as U+DC80-U+DCFF and must reach
// the file system as themselves (the video reader's open, under the audio reader's);
// a name no bytes stand for is refused, never thrown at.
TEST(DecAVIAudio, TheAviReadersOpenANameThatIsNotUtf8) {
    TempDir dir;
    SynthAvi avi = talvern::test::SimpleVideo(3);
    avi.streams.push_back(Audio(talvern::test::PcmFormat(8000, 1, 16), 8000, 1, 2));
    avi.chunks.push_back({1, std::string(200, 'a'), true});
    const std::string native = (dir.path() / "\xFF\xC3(.avi").string();
    ASSERT_TRUE(talvern::test::WriteFileBytes(native, talvern::test::BuildSyntheticAvi(avi)));
    const std::wstring wide = Utf8ToWide(native);
    CDecAVIAudioComp decoded;
    ASSERT_EQ(decoded.Open(wide.c_str()), 0);
    decoded.StartAudio(0);
    std::vector<BYTE> pcm(1000);
    EXPECT_EQ(decoded.ReadPCM(pcm.data(), 1000), 200);

    const std::wstring unnamed = dir.path().wstring() + L"/\xD800.avi";
    EXPECT_EQ(decoded.Open(unnamed.c_str()), 1002);
}

TEST(DecAVIAudio, FormatNames) {
    EXPECT_EQ(CDecAVIAudio::FormatTagName(0x0055), L"MPEG LAYER-3");
    EXPECT_EQ(CDecAVIAudio::FormatTagName(0x2000), L"AC3");
    EXPECT_EQ(CDecAVIAudio::FormatTagName(0x0011), L"DVI-ADPCM");
    for (WORD tag : {0x0000, 0x0004, 0x0101, 0xFFFE}) EXPECT_EQ(CDecAVIAudio::FormatTagName(tag), L"?");
}

}  // namespace
