#include "writers/WaveFileACM.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/platform/acm/AudioTestSignals.h"
#include "tests/support/TestSupport.h"
#include "writers/PCMWavVolume.h"

namespace {

using talvern::test::ReadFileBytes;
using talvern::test::RunCommand;
using talvern::test::ShellQuote;
using talvern::test::TempDir;
using talvern::test::Sine16;
const auto Offered = talvern::test::OfferedFormat;
const auto Pcm = talvern::test::PcmWaveFormat;

DWORD Le32(const std::string& b, size_t at) {
    DWORD v = 0;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

std::wstring Wide(const std::filesystem::path& p) { return p.wstring(); }

// Checks the chunk layout of a written WAV file; returns the offset of the audio bytes.
size_t CheckLayout(const std::string& b, size_t fmtSize, const std::string& fmt, DWORD dataSize, DWORD factCount) {
    EXPECT_EQ(b.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32(b, 4), b.size() - 8);
    EXPECT_EQ(b.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32(b, 16), fmtSize);
    EXPECT_EQ(b.substr(20, fmtSize), fmt);
    const size_t fact = 20 + fmtSize + (fmtSize & 1);
    if (fmtSize & 1) {
        EXPECT_EQ(b[20 + fmtSize], '\0');
    }
    EXPECT_EQ(b.substr(fact, 4), "fact");
    EXPECT_EQ(Le32(b, fact + 4), 4u);
    EXPECT_EQ(Le32(b, fact + 8), factCount);
    EXPECT_EQ(b.substr(fact + 12, 4), "data");
    EXPECT_EQ(Le32(b, fact + 16), dataSize);
    const size_t audio = fact + 20;
    EXPECT_EQ(b.size(), audio + dataSize + (dataSize & 1));
    if (dataSize & 1) {
        EXPECT_EQ(b.back(), '\0');
    }
    return audio;
}

std::string Probe(const std::filesystem::path& p) {
    std::string out;
    RunCommand("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels -of csv=p=0 " +
                   ShellQuote(p.string()),
               &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

// Sample frames ffmpeg decodes from the file.
long DecodedFrames(const std::filesystem::path& p, int channels) {
    std::string pcm;
    RunCommand("ffmpeg -v error -i " + ShellQuote(p.string()) + " -f s16le -acodec pcm_s16le -", &pcm);
    return static_cast<long>(pcm.size() / (2 * channels));
}

TEST(WaveFileACM, AFifoIsRefusedWithoutWaitingForAWriter) {
    TempDir dir;
    const auto fifo = dir / "pipe.wav";
    ASSERT_TRUE(talvern::test::MakeFifo(fifo));
    BOOL opened = TRUE;
    CWaveFileACM wav;
    EXPECT_TRUE(talvern::test::FinishesWithin(std::chrono::seconds(2), fifo,
                                              [&] { opened = wav.OpenRead(fifo.wstring().c_str()); }));
    EXPECT_FALSE(opened);
}

TEST(WaveFileACM, CopiesPcmWithExactLayoutForOddAndEvenLengths) {
    TempDir dir;
    const std::vector<BYTE> pcm = Sine16(44100, 2, 2000);
    for (size_t n : {pcm.size(), pcm.size() - 1, size_t{0}}) {
        const auto path = dir / ("copy" + std::to_string(n) + ".wav");
        const WAVEFORMATEX f = Pcm(44100, 2, 16);
        {
            CWaveFileACM wav;
            wav.SetTargetFormat(&f);  // the copy path: the source format stays zeroed
            ASSERT_TRUE(wav.OpenWrite(Wide(path).c_str()));
            EXPECT_FALSE(wav.OpenWrite(Wide(path).c_str()));
            for (size_t pos = 0; pos < n; pos += 999) {
                const int k = static_cast<int>(std::min<size_t>(999, n - pos));
                ASSERT_EQ(wav.WriteRaw(pcm.data() + pos, k), k);
            }
        }
        const std::string b = ReadFileBytes(path);
        const size_t audio = CheckLayout(b, 16, std::string(reinterpret_cast<const char*>(&f), 16),
                                         static_cast<DWORD>(n), static_cast<DWORD>(n / 4));
        EXPECT_EQ(audio, 56u);
        EXPECT_EQ(b.substr(56, n), std::string(pcm.begin(), pcm.begin() + static_cast<long>(n)));
        if (n == 0) continue;
        EXPECT_EQ(Probe(path), "pcm_s16le,44100,2");

        CWaveFileACM in;
        ASSERT_TRUE(in.OpenRead(Wide(path).c_str()));
        std::vector<BYTE> back(n + 100);
        int total = 0;
        for (int got; (got = in.Read(back.data() + total, 333)) > 0;) total += got;
        EXPECT_EQ(total, static_cast<int>(n));
        EXPECT_TRUE(std::equal(pcm.begin(), pcm.begin() + static_cast<long>(n), back.begin()));
    }
}

// One offered format of each tag and rate (channels, widths and bit rates do not change
// how samples are counted), with the decoder ffmpeg names for it.
struct Encoding {
    std::vector<BYTE> format;
    std::string probe;
    std::string name;
    friend void PrintTo(const Encoding& e, std::ostream* os) { *os << e.name; }
};

std::vector<Encoding> OfferedEncodings() {
    const std::pair<WORD, const char*> decoders[] = {
        {WAVE_FORMAT_PCM, "pcm_u8"}, {WAVE_FORMAT_IEEE_FLOAT, "pcm_f32le"}, {WAVE_FORMAT_ADPCM, "adpcm_ms"},
        {WAVE_FORMAT_IMA_ADPCM, "adpcm_ima_wav"}, {WAVE_FORMAT_ALAW, "pcm_alaw"},
        {WAVE_FORMAT_MULAW, "pcm_mulaw"}, {WAVE_FORMAT_GSM610, "gsm_ms"},
        {WAVE_FORMAT_MPEGLAYER3, "mp3"}, {WAVE_FORMAT_MPEG, "mp2"}};
    std::vector<Encoding> all;
    for (const auto& d : AcmListFormats()) {
        const WAVEFORMATEX* f = talvern::test::AsFormat(d.format);
        std::string probe;
        for (const auto& [tag, name] : decoders) {
            if (tag == f->wFormatTag) probe = name;
        }
        const std::string name = probe + "_" + std::to_string(f->nSamplesPerSec);
        if (std::none_of(all.begin(), all.end(), [&](const Encoding& e) { return e.name == name; }))
            all.push_back({d.format, probe, name});
    }
    return all;
}

class WaveFileEncoding : public ::testing::TestWithParam<Encoding> {};

// PCM of another rate and channel count in, every offered format out: a file ffmpeg
// reads with the right codec, rate and channels, whose 'fmt ' holds the whole target
// format and whose 'fact' counts the output's own samples.
TEST_P(WaveFileEncoding, WritesFilesFfmpegReadsWithTheirOwnSampleCount) {
    const Encoding& e = GetParam();
    const auto* f = talvern::test::AsFormat(e.format);
    ASSERT_FALSE(e.probe.empty()) << "a format of a tag ffmpeg does not know here";
    const int rate = static_cast<int>(f->nSamplesPerSec), channels = f->nChannels;
    TempDir dir;
    const auto path = dir / "out.wav";
    const WAVEFORMATEX source = Pcm(44100, 2, 16);
    const int frames = 44100 * 6 / 10 + 17;
    const std::vector<BYTE> pcm = Sine16(44100, 2, frames);
    {
        CWaveFileACM wav;
        wav.SetSourceFormat(&source);
        wav.SetTargetFormat(f);
        ASSERT_TRUE(wav.OpenWrite(Wide(path).c_str()));
        for (size_t pos = 0; pos < pcm.size(); pos += 4099) {
            const int k = static_cast<int>(std::min<size_t>(4099, pcm.size() - pos));
            ASSERT_EQ(wav.Write(pcm.data() + pos, k), k);
        }
    }
    const std::string b = ReadFileBytes(path);
    const size_t fmtSize = f->wFormatTag == WAVE_FORMAT_PCM ? 16 : e.format.size();
    const size_t fact = 20 + fmtSize + (fmtSize & 1);
    ASSERT_GT(b.size(), fact + 20);
    const DWORD dataSize = Le32(b, fact + 16);
    CheckLayout(b, fmtSize, std::string(e.format.begin(), e.format.begin() + static_cast<long>(fmtSize)), dataSize,
                Le32(b, fact + 8));
    const long expected = static_cast<long>(frames) * rate / 44100;
    const long count = static_cast<long>(Le32(b, fact + 8));
    EXPECT_NEAR(count, expected, 2);

    std::string probed;
    RunCommand("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels:format=duration -of csv=p=0 " +
                   ShellQuote(path.string()),
               &probed);
    const std::string stream = e.probe + "," + std::to_string(rate) + "," + std::to_string(channels) + "\n";
    EXPECT_EQ(probed.substr(0, stream.size()), stream);
    // The decoder gives whole blocks and frames (and an MPEG encoder's delay) beyond the
    // count; ffprobe's length is the count where it reads it, else the decoder's.
    const long slack = 3 * 1152 + 1024;
    const long decoded = DecodedFrames(path, channels);
    EXPECT_GE(decoded, count);
    EXPECT_LE(decoded, count + slack);
    const double probedSamples = std::atof(probed.c_str() + std::min(stream.size(), probed.size())) * rate;
    EXPECT_GE(probedSamples, count - 2.0) << probed;
    EXPECT_LE(probedSamples, double(count + slack)) << probed;
}

INSTANTIATE_TEST_SUITE_P(Offered, WaveFileEncoding, ::testing::ValuesIn(OfferedEncodings()),
                         [](const auto& info) { return info.param.name; });

TEST(WaveFileACM, CopiesCompressedStreamWithItsSampleCount) {
    TempDir dir;
    const auto path = dir / "copy.wav";
    const std::vector<BYTE> ima = Offered(WAVE_FORMAT_IMA_ADPCM, 22050, 1);
    const auto* f = reinterpret_cast<const WAVEFORMATEX*>(ima.data());
    const std::vector<BYTE> blocks(static_cast<size_t>(f->nBlockAlign) * 5, 0);
    {
        CWaveFileACM wav;
        wav.SetTargetFormat(f);
        ASSERT_TRUE(wav.OpenWrite(Wide(path).c_str()));
        ASSERT_EQ(wav.WriteRaw(blocks.data(), static_cast<int>(blocks.size())), static_cast<int>(blocks.size()));
    }
    const std::string b = ReadFileBytes(path);
    const int spb = (f->nBlockAlign - 4) * 2 + 1;
    CheckLayout(b, 20, std::string(ima.begin(), ima.end()), static_cast<DWORD>(blocks.size()),
                static_cast<DWORD>(5 * spb));

    // A format nothing can decode cannot be copied.
    std::vector<BYTE> odd = ima;
    reinterpret_cast<WAVEFORMATEX*>(odd.data())->wFormatTag = 0x4243;
    CWaveFileACM wav;
    wav.SetTargetFormat(reinterpret_cast<const WAVEFORMATEX*>(odd.data()));
    EXPECT_FALSE(wav.OpenWrite(Wide(dir / "odd.wav").c_str()));
}

// A write the disk refuses stops the writer, and the file still ends with correct sizes;
// one refused in its header is taken away.
TEST(WaveFileACM, FailedWriteStopsAndCloseKeepsTheFileReadable) {
    TempDir dir;
    const auto path = dir / "full.wav";
    const std::vector<BYTE> pcm = Sine16(8000, 1, 200000);
    const WAVEFORMATEX f = Pcm(8000, 1, 16);
    signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 100000;
    int last = 0;
    {
        // A header the disk cannot take whole leaves no file.
        rlimit tiny = old;
        tiny.rlim_cur = 20;
        setrlimit(RLIMIT_FSIZE, &tiny);
        CWaveFileACM wav;
        wav.SetSourceFormat(&f);
        EXPECT_FALSE(wav.OpenWrite(Wide(dir / "header.wav").c_str()));
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_FALSE(std::filesystem::exists(dir / "header.wav"));
    }
    {
        CWaveFileACM wav;
        wav.SetSourceFormat(&f);
        ASSERT_TRUE(wav.OpenWrite(Wide(path).c_str()));
        setrlimit(RLIMIT_FSIZE, &small);
        for (size_t pos = 0; pos < pcm.size() && last >= 0; pos += 65536)
            last = wav.Write(pcm.data() + pos, static_cast<int>(std::min<size_t>(65536, pcm.size() - pos)));
        EXPECT_EQ(last, -1);
        EXPECT_EQ(wav.Write(pcm.data(), 2), -1);
    }
    setrlimit(RLIMIT_FSIZE, &old);
    const std::string b = ReadFileBytes(path);
    ASSERT_GE(b.size(), 56u);
    const DWORD data = Le32(b, 52);
    // The count covers the writes that were accepted; the sizes cover what reached the file.
    CheckLayout(b, 16, std::string(reinterpret_cast<const char*>(&f), 16), data, 65536 / 2);
    EXPECT_GE(data, 65536u);
    EXPECT_EQ(b.substr(56, data), std::string(pcm.begin(), pcm.begin() + data));
}

// A file cut short: its data chunk claims more than the file holds.
TEST(WaveFileACM, ATruncatedFileReadsAsTheAudioItHolds) {
    TempDir dir;
    const auto read = [](const std::filesystem::path& p, int request) {
        CWaveFileACM wav;
        EXPECT_TRUE(wav.OpenRead(Wide(p).c_str()));
        std::vector<BYTE> out(static_cast<size_t>(request));
        size_t total = 0;
        for (int n; (n = wav.Read(out.data(), request)) > 0;) total += static_cast<size_t>(n);
        return total;
    };
    const auto writeCut = [&](const std::filesystem::path& p, const WAVEFORMATEX* target, size_t cut) {
        const WAVEFORMATEX f = Pcm(22050, 1, 16);
        const std::vector<BYTE> pcm = Sine16(22050, 1, 22050);
        {
            CWaveFileACM wav;
            wav.SetSourceFormat(&f);
            if (target) wav.SetTargetFormat(target);
            ASSERT_TRUE(wav.OpenWrite(Wide(p).c_str()));
            ASSERT_EQ(wav.Write(pcm.data(), static_cast<int>(pcm.size())), static_cast<int>(pcm.size()));
        }
        std::filesystem::resize_file(p, std::filesystem::file_size(p) - cut);
    };
    const auto pcmFile = dir / "pcm.wav";
    writeCut(pcmFile, nullptr, 1000);
    EXPECT_EQ(read(pcmFile, 1 << 20), 2u * 22050 - 1000);

    const auto imaFile = dir / "ima.wav";
    const std::vector<BYTE> ima = Offered(WAVE_FORMAT_IMA_ADPCM, 22050, 1);
    const auto* f = reinterpret_cast<const WAVEFORMATEX*>(ima.data());
    writeCut(imaFile, f, 3 * f->nBlockAlign / 2);
    std::string theirs;
    RunCommand("ffmpeg -v error -i " + ShellQuote(imaFile.string()) + " -f s16le -", &theirs);
    ASSERT_FALSE(theirs.empty());
    const double block = 2.0 * ((f->nBlockAlign - 4) * 2 + 1);
    EXPECT_NEAR(double(read(imaFile, 1 << 20)), double(theirs.size()), block);
}

TEST(WaveFileACM, RefusesToGrowPastTheRiffLimit) {
    TempDir dir;
    const auto path = dir / "limit.wav";
    const WAVEFORMATEX f = Pcm(8000, 1, 16);
    CWaveFileACM wav;
    wav.SetSourceFormat(&f);
    ASSERT_TRUE(wav.OpenWrite(Wide(path).c_str()));
    wav.File().SetMaxFileBytes(56 + 1000 + 1);
    const std::vector<BYTE> pcm(600, 1);
    EXPECT_EQ(wav.Write(pcm.data(), 600), 600);
    EXPECT_FALSE(wav.IsSizeLimitReached());
    EXPECT_EQ(wav.Write(pcm.data(), 600), -1);
    EXPECT_TRUE(wav.IsSizeLimitReached());
    wav.Close();
    const std::string b = ReadFileBytes(path);
    CheckLayout(b, 16, std::string(reinterpret_cast<const char*>(&f), 16), 600, 300);
}

TEST(PCMWavVolume, ScalesAndClips) {
    struct Case16 {
        int16_t in;
        int percent;
        int16_t out;
    };
    for (const Case16& c : {Case16{30000, 200, 32767}, Case16{-30000, 200, -32768}, Case16{-3, 50, -1},
                            Case16{1000, 100, 1000}, Case16{1000, 0, 0}, Case16{1000, -100, -999},
                            Case16{-32768, -100, 32767}, Case16{5, 2000000000, 32767},
                            Case16{-5, 2000000000, -32768}, Case16{1001, 50, 501}}) {
        // An odd offset: samples need not be aligned.
        BYTE buffer[3] = {0xEE, 0, 0};
        std::memcpy(buffer + 1, &c.in, 2);
        CPCMWavVolume::ApplyVolume(buffer + 1, 2, c.percent, 16);
        int16_t out;
        std::memcpy(&out, buffer + 1, 2);
        EXPECT_EQ(out, c.out) << c.in << " at " << c.percent;
        EXPECT_EQ(buffer[0], 0xEE);
    }
    struct Case8 {
        BYTE in;
        int percent;
        BYTE out;
    };
    for (const Case8& c : {Case8{255, 200, 255}, Case8{0, 200, 0}, Case8{127, 300, 127}, Case8{127, -50, 127},
                           Case8{137, 50, 132}, Case8{200, -2000000000, 0}, Case8{100, 2000000000, 0}}) {
        BYTE b = c.in;
        CPCMWavVolume::ApplyVolume(&b, 1, c.percent, 8);
        EXPECT_EQ(b, c.out) << int(c.in) << " at " << c.percent;
    }
    BYTE wide[4] = {1, 2, 3, 4};
    CPCMWavVolume::ApplyVolume(wide, 4, 50, 32);
    EXPECT_EQ(wide[3], 4);
}

}  // namespace
