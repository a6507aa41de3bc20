#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"
#include "writers/EncWMV.h"

namespace {

using talvern::test::ReadFileBytes;
using talvern::test::RunCommand;
using talvern::test::ShellQuote;
using talvern::test::TempDir;
using talvern::test::WriteFileBytes;

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// 24-bit bottom-up frames of a moving pattern with some grain, so the encoders have
// to spend their bit rate, with the frame's index in the first pixel.
class Frames {
public:
    Frames() : m_bits(DibRowBytes(kWidth, 24) * kHeight) {
        m_header.biSize = sizeof(BITMAPINFOHEADER);
        m_header.biWidth = kWidth;
        m_header.biHeight = kHeight;
        m_header.biPlanes = 1;
        m_header.biBitCount = 24;
        m_header.biCompression = BI_RGB;
        m_header.biSizeImage = static_cast<DWORD>(m_bits.size());
    }
    const BITMAPINFOHEADER* Header() const { return &m_header; }
    const void* Frame(int index) {
        uint32_t x = 2463534242u + index * 7919u;
        const int64_t row = DibRowBytes(kWidth, 24);
        for (int y = 0; y < kHeight; ++y) {
            for (int i = 0; i < kWidth * 3; ++i) {
                x ^= x << 13;
                x ^= x >> 17;
                x ^= x << 5;
                m_bits[y * row + i] = static_cast<BYTE>((i + y * 2 + index * 6) * (1 + i % 3) + (x & 15));
            }
        }
        m_bits[0] = static_cast<BYTE>(index);
        return m_bits.data();
    }

private:
    BITMAPINFOHEADER m_header{};
    std::vector<BYTE> m_bits;
};

// 16-bit stereo 48 kHz, as the conversion run hands it over.
constexpr int kRate = 48000, kChannels = 2, kBits = 16;

struct RunResult {
    int code = 0;
    int passes = 0;
    int64_t audioBytes = 0;
};

// Drives the writer as the conversion run does: per frame the frame, then the audio
// it owes; EndPass after each pass; Close at the end whatever happened.
RunResult Convert(CEncWMVWMA& w, const std::string& path, int frames, int rate = 150000) {
    Frames source;
    std::vector<BYTE> pcm;
    RunResult r;
    const std::wstring wide(path.begin(), path.end());
    r.code = w.Open(wide.c_str(), source.Header(), rate, kRate, kChannels, kBits);
    r.passes = w.IsTwoPass() + 1;
    for (int pass = 0; pass < r.passes && r.code == 0; ++pass) {
        r.audioBytes = 0;
        for (int i = 0; i < frames && r.code == 0; ++i) {
            r.code = w.WriteVideoFrame(source.Frame(i));
            const int due = w.GetAudioBytesDue();
            if (r.code == 0 && due > 0) {
                pcm.resize(due);
                for (int k = 0; k + 1 < due; k += 2) {
                    const int16_t s = static_cast<int16_t>(8000 * std::sin((r.audioBytes + k) / 4 * 0.05));
                    pcm[k] = static_cast<BYTE>(s & 0xFF);
                    pcm[k + 1] = static_cast<BYTE>((s >> 8) & 0xFF);
                }
                r.code = w.WriteAudio(pcm.data(), due);
                r.audioBytes += due;
            }
        }
        if (r.code == 0) r.code = w.EndPass();
    }
    const int closed = w.Close();
    if (r.code == 0) r.code = closed;
    return r;
}

// What ffprobe says about a file, as flat key=value pairs
// (streams.stream.0.codec_name, format.duration, ...).
std::map<std::string, std::string> Probe(const std::string& path) {
    std::string out;
    RunCommand("ffprobe -v error -count_frames -show_entries "
               "stream=codec_type,codec_name,width,height,nb_read_frames,sample_rate,channels:"
               "format=duration,bit_rate -of flat " +
                   ShellQuote(path),
               &out);
    std::map<std::string, std::string> kv;
    size_t pos = 0;
    while (pos < out.size()) {
        size_t end = out.find('\n', pos);
        if (end == std::string::npos) end = out.size();
        const std::string line = out.substr(pos, end - pos);
        const size_t eq = line.find('=');
        if (eq != std::string::npos) {
            std::string v = line.substr(eq + 1);
            if (v.size() >= 2 && v.front() == '"') v = v.substr(1, v.size() - 2);
            kv[line.substr(0, eq)] = v;
        }
        pos = end + 1;
    }
    return kv;
}

// The stream of a kind in a probe, as "codec WxH frames" or "codec rate channels".
std::string StreamOf(const std::map<std::string, std::string>& p, const std::string& kind) {
    for (int i = 0; i < 4; ++i) {
        const std::string k = "streams.stream." + std::to_string(i) + ".";
        auto t = p.find(k + "codec_type");
        if (t == p.end() || t->second != kind) continue;
        if (kind == "video") {
            return p.at(k + "codec_name") + " " + p.at(k + "width") + "x" + p.at(k + "height") + " " +
                   p.at(k + "nb_read_frames");
        }
        return p.at(k + "codec_name") + " " + p.at(k + "sample_rate") + " " + p.at(k + "channels");
    }
    return "none";
}

double Duration(const std::map<std::string, std::string>& p) {
    auto d = p.find("format.duration");
    return d == p.end() ? -1 : std::atof(d->second.c_str());
}

double BitRate(const std::map<std::string, std::string>& p) {
    auto d = p.find("format.bit_rate");
    return d == p.end() ? -1 : std::atof(d->second.c_str());
}

// Profile text with an optional video stream, an optional audio stream and an
// optional script stream.
struct PrxVideo {
    std::string fourcc;
    int width, height, bitrate;
    bool vbr = false;
    int vbrQuality = 0;
};
struct PrxAudio {
    int formatTag, sampleRate, channels, bitrate;
    bool vbr = false;
};

std::string Prx(std::optional<PrxVideo> v, std::optional<PrxAudio> a, bool script = false) {
    std::string x = "<profile version=\"589824\" storageformat=\"1\" name=\"Test\" description=\"\">\n";
    if (a) {
        x += "<streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" "
             "streamname=\"Audio Stream\" inputname=\"Audio409\" bitrate=\"" + std::to_string(a->bitrate) +
             "\" bufferwindow=\"3000\" vbrenabled=\"" + (a->vbr ? "1" : "0") + "\">\n"
             "<wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\" bfixedsizesamples=\"1\">\n"
             "<waveformatex wFormatTag=\"" + std::to_string(a->formatTag) + "\" nChannels=\"" +
             std::to_string(a->channels) + "\" nSamplesPerSec=\"" + std::to_string(a->sampleRate) +
             "\" wBitsPerSample=\"16\"/>\n</wmmediatype>\n</streamconfig>\n";
    }
    if (v) {
        const std::string w = std::to_string(v->width), h = std::to_string(v->height);
        x += "<streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\" streamnumber=\"2\" "
             "streamname=\"Video Stream\" inputname=\"Video409\" bitrate=\"" + std::to_string(v->bitrate) +
             "\" bufferwindow=\"5000\" vbrenabled=\"" + (v->vbr ? "1" : "0") + "\" vbrquality=\"" +
             std::to_string(v->vbrQuality) + "\">\n<videomediaprops maxkeyframespacing=\"30000000\" quality=\"75\"/>\n"
             "<wmmediatype subtype=\"{32564D57-0000-0010-8000-00AA00389B71}\" btemporalcompression=\"1\">\n"
             "<videoinfoheader dwbitrate=\"" + std::to_string(v->bitrate) + "\" avgtimeperframe=\"333667\">\n"
             "<rcsource left=\"0\" top=\"0\" right=\"" + w + "\" bottom=\"" + h + "\"/>\n"
             "<bitmapinfoheader biwidth=\"" + w + "\" biheight=\"" + h + "\" biplanes=\"1\" bibitcount=\"24\" "
             "bicompression=\"" + v->fourcc + "\"/>\n</videoinfoheader>\n</wmmediatype>\n</streamconfig>\n";
    }
    if (script) {
        x += "<streamconfig majortype=\"{73636D64-0000-0010-8000-00AA00389B71}\" streamnumber=\"3\" "
             "bitrate=\"1000\" bufferwindow=\"3000\"/>\n";
    }
    return x + "</profile>\n";
}

// The same text as UTF-16 little-endian with its byte-order mark, as profile editors save it.
std::string Utf16(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

std::wstring Wide(const std::filesystem::path& p) {
    const std::string s = p.string();
    return std::wstring(s.begin(), s.end());
}

class EncWMVTest : public ::testing::Test {
protected:
    std::string WritePrx(const std::string& name, const std::string& bytes) {
        const auto p = m_dir / name;
        EXPECT_TRUE(WriteFileBytes(p, bytes));
        return p.string();
    }
    std::string Out(const std::string& name) { return (m_dir / name).string(); }

    TempDir m_dir;
    CEncWMVWMA m_w;
};

TEST_F(EncWMVTest, SystemProfilesOfEachVersionGiveTheirCodecsAndSize) {
    struct Case {
        int version, index;
        std::string video, audio;
    };
    // Items of the settings dialog: V4 "12. 320x240 (1M)", V7 "11. 320x240 (100K)",
    // V8 "11. 320x240 (256K)".
    const Case cases[] = {
        {0, 20, "msmpeg4v3 320x240 12", "wmav2 44100 2"},
        {1, 9, "wmv1 320x240 12", "wmav2 44100 2"},
        {2, 9, "wmv2 320x240 12", "wmav2 44100 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.video);
        ASSERT_EQ(0, m_w.LoadSystemProfile(c.version, c.index, c.index, c.index));
        const std::string out = Out("sys" + std::to_string(c.version) + ".wmv");
        const RunResult r = Convert(m_w, out, 12);
        ASSERT_EQ(0, r.code);
        EXPECT_EQ(1, r.passes);
        const auto p = Probe(out);
        EXPECT_EQ(c.video, StreamOf(p, "video"));
        EXPECT_EQ(c.audio, StreamOf(p, "audio"));
        EXPECT_NEAR(0.8, Duration(p), 0.002);  // 12 frames at 15 fps
    }
}

TEST_F(EncWMVTest, BitRateOfASystemProfileIsNearItsTotal) {
    // V4 "12. 320x240 (1M)": 1 Mbit/s in all.
    ASSERT_EQ(0, m_w.LoadSystemProfile(0, 20, 0, 0));
    const std::string out = Out("rate.wmv");
    ASSERT_EQ(0, Convert(m_w, out, 30).code);
    const double rate = BitRate(Probe(out));
    EXPECT_GT(rate, 1000000 * 0.4);
    EXPECT_LT(rate, 1000000 * 2.0);
}

TEST_F(EncWMVTest, ProfileFilesGiveWhatTheyDescribe) {
    struct Case {
        std::string name, bytes, video, audio;
    };
    const Case cases[] = {
        {"cbr.prx", Utf16(Prx(PrxVideo{"WMV2", 160, 120, 300000}, PrxAudio{0x161, 44100, 2, 64000})),
         "wmv2 160x120 10", "wmav2 44100 2"},
        {"vbr.prx", Prx(PrxVideo{"WMV1", 96, 64, 200000, true, 80}, PrxAudio{0x161, 32000, 1, 32000}),
         "wmv1 96x64 10", "wmav2 32000 1"},
        // A newer codec is served by the nearest we have; so are WMA limits.
        {"newer.prx", Utf16(Prx(PrxVideo{"WMV3", 128, 96, 250000}, PrxAudio{0x162, 96000, 6, 8000})),
         "wmv2 128x96 10", "wmav2 48000 2"},
        {"audio.prx", Prx(std::nullopt, PrxAudio{0x160, 22050, 1, 32000}), "none", "wmav1 22050 1"},
        {"video.prx", Prx(PrxVideo{"MP43", 80, 60, 100000}, std::nullopt), "msmpeg4v3 80x60 10", "none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(0, m_w.LoadProfileFile(Wide(WritePrx(c.name, c.bytes)).c_str()));
        const std::string out = Out(c.name + ".wmv");
        ASSERT_EQ(0, Convert(m_w, out, 10).code);
        const auto p = Probe(out);
        EXPECT_EQ(c.video, StreamOf(p, "video"));
        EXPECT_EQ(c.audio, StreamOf(p, "audio"));
        // 10 frames at 15 fps.
        EXPECT_NEAR(10 / 15.0, Duration(p), 0.002);
    }
}

TEST_F(EncWMVTest, TwoPassRunAnalysesFirstThenWritesEveryFrameOnce) {
    // A bit-rate-driven VBR stream cannot be written without its analysis pass.
    const std::string prx =
        WritePrx("2pass.prx", Prx(PrxVideo{"WMV2", 160, 120, 200000, true, 0}, PrxAudio{0x161, 44100, 2, 64000, true}));
    m_w.SetTwoPass(TRUE);
    ASSERT_EQ(0, m_w.LoadProfileFile(Wide(prx).c_str()));
    const std::string out = Out("2pass.wmv");
    const RunResult r = Convert(m_w, out, 15);
    ASSERT_EQ(0, r.code);
    EXPECT_EQ(2, r.passes);
    EXPECT_FALSE(m_w.IsTwoPass());
    const auto p = Probe(out);
    EXPECT_EQ("wmv2 160x120 15", StreamOf(p, "video"));
    EXPECT_EQ("wmav2 44100 2", StreamOf(p, "audio"));
    EXPECT_NEAR(1.0, Duration(p), 0.002);

    // The same profile in one pass: the writer refuses the samples.
    ASSERT_EQ(0, m_w.LoadProfileFile(Wide(prx).c_str()));
    Frames f;
    ASSERT_EQ(0, m_w.Open(Wide(out).c_str(), f.Header(), 150000, kRate, kChannels, kBits));
    EXPECT_EQ(ResultCode::kWmvVideoWrite, m_w.WriteVideoFrame(f.Frame(0)));
    std::vector<BYTE> pcm(1024);
    EXPECT_EQ(ResultCode::kWmvAudioNeedsTwoPass, m_w.WriteAudio(pcm.data(), 1024));
    (void)m_w.Close();
}

TEST_F(EncWMVTest, VideoIsStampedByFrameInMilliseconds) {
    ASSERT_EQ(0, m_w.LoadProfileFile(Wide(WritePrx("v.prx", Prx(PrxVideo{"WMV2", 64, 48, 100000}, std::nullopt))).c_str()));
    const std::string out = Out("stamps.wmv");
    ASSERT_EQ(0, Convert(m_w, out, 4, 300000).code);  // 30 fps: frame n at round(n x 1000 / 30) ms
    std::string pts;
    RunCommand("ffprobe -v error -select_streams v -show_entries packet=pts -of csv=p=0 " + ShellQuote(out), &pts);
    std::vector<long> t;
    for (const char* s = pts.c_str(); *s;) {
        char* end;
        t.push_back(std::strtol(s, &end, 10));
        s = *end ? end + 1 : end;
    }
    ASSERT_EQ(4u, t.size());
    const long base = t[0];
    EXPECT_EQ((std::vector<long>{0, 33, 67, 100}), (std::vector<long>{t[0] - base, t[1] - base, t[2] - base, t[3] - base}));
}

TEST_F(EncWMVTest, AudioDuePerFrameFollowsTheFramesWritten) {
    // Audio-only profile (V8 entry 18: 64 kbit/s stereo): frames offered still count.
    ASSERT_EQ(0, m_w.LoadSystemProfile(2, 0, 0, 18));
    Frames f;
    const std::string out = Out("due.wma");
    ASSERT_EQ(0, m_w.Open(Wide(out).c_str(), f.Header(), 250000, kRate, kChannels, kBits));
    EXPECT_FALSE(m_w.HasVideoInput());
    EXPECT_EQ(0, m_w.GetAudioBytesDue());
    ASSERT_EQ(0, m_w.WriteVideoFrame(f.Frame(0)));
    EXPECT_EQ(7680, m_w.GetAudioBytesDue());  // 48000 Hz x 4 bytes / 25 fps
    std::vector<BYTE> pcm(7680 * 3);
    ASSERT_EQ(0, m_w.WriteAudio(pcm.data(), 4000));
    EXPECT_EQ(3680, m_w.GetAudioBytesDue());
    ASSERT_EQ(0, m_w.WriteAudio(pcm.data(), 3680 + 800));
    // Audio ahead by 200 samples: -199.5 samples, cut toward zero.
    EXPECT_EQ(-796, m_w.GetAudioBytesDue());
    ASSERT_EQ(0, m_w.WriteVideoFrame(f.Frame(1)));
    ASSERT_EQ(0, m_w.WriteVideoFrame(f.Frame(2)));
    EXPECT_EQ(2 * 7680 - 800, m_w.GetAudioBytesDue());
    // The end of the pass pads with silence up to the three frames.
    ASSERT_EQ(0, m_w.EndPass());
    EXPECT_EQ(0, m_w.GetAudioBytesDue());
    ASSERT_EQ(0, m_w.Close());
    const auto p = Probe(out);
    EXPECT_EQ("wmav2 44100 2", StreamOf(p, "audio"));
    EXPECT_NEAR(0.12, Duration(p), 0.002);
}

TEST_F(EncWMVTest, EightBitAudioIsPaddedWithUnsignedSilence) {
    // Audio-only profile; no audio is written, so the whole length is padding.
    ASSERT_EQ(0, m_w.LoadSystemProfile(2, 0, 0, 18));
    Frames f;
    const std::string out = Out("pad8.wma");
    ASSERT_EQ(0, m_w.Open(Wide(out).c_str(), f.Header(), 250000, 44100, 1, 8));
    for (int i = 0; i < 10; ++i) ASSERT_EQ(0, m_w.WriteVideoFrame(f.Frame(i)));
    ASSERT_EQ(0, m_w.EndPass());
    ASSERT_EQ(0, m_w.Close());
    // Decoded, silence stays near zero; zero bytes would decode as a full-scale offset.
    std::string pcm;
    ASSERT_EQ(0, RunCommand("ffmpeg -v error -i " + ShellQuote(out) + " -f s16le -ac 1 -", &pcm));
    ASSERT_GT(pcm.size(), 1000u);
    int peak = 0;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        int16_t v;
        std::memcpy(&v, pcm.data() + i, 2);
        peak = std::max(peak, std::abs(int(v)));
    }
    EXPECT_LT(peak, 2000);
}

TEST_F(EncWMVTest, AudioDueRoundsSamplesAtNtscRate) {
    ASSERT_EQ(0, m_w.LoadSystemProfile(1, 0, 17, 0));  // V7 entry 17: audio only, 22 kHz mono
    Frames f;
    ASSERT_EQ(0, m_w.Open(Wide(Out("ntsc.wma")).c_str(), f.Header(), 299700, 44100, 2, 16));
    // 44100 / 29.97 = 1471.47 samples per frame; owed samples are rounded as they accumulate.
    int64_t total = 0;
    std::vector<BYTE> pcm(8192);
    for (int i = 1; i <= 30; ++i) {
        ASSERT_EQ(0, m_w.WriteVideoFrame(f.Frame(i)));
        const int due = m_w.GetAudioBytesDue();
        total += due;
        ASSERT_EQ(0, m_w.WriteAudio(pcm.data(), due));
        EXPECT_EQ(std::llround(44100.0 * i * 10000 / 299700) * 4, total) << i;
    }
    (void)m_w.Close();
}

TEST_F(EncWMVTest, FailuresGiveTheirCodes) {
    Frames f;
    // Profile files that cannot be read or are not profiles.
    mkfifo((m_dir / "fifo.prx").c_str(), 0600);
    const std::string bad[] = {
        WritePrx("junk.prx", "not xml at all <"),
        WritePrx("empty.prx", ""),
        WritePrx("nostreams.prx", "<profile version=\"589824\"></profile>"),
        WritePrx("codec.prx", Prx(PrxVideo{"H264", 64, 48, 100000}, std::nullopt)),
        WritePrx("size.prx", Prx(PrxVideo{"WMV2", 100000, 48, 100000}, std::nullopt)),
        (m_dir / "missing.prx").string(),
        m_dir.path().string(),
        (m_dir / "fifo.prx").string(),
    };
    for (const std::string& path : bad) {
        SCOPED_TRACE(path);
        EXPECT_EQ(ResultCode::kWmvProfileFile, m_w.LoadProfileFile(Wide(path).c_str()));
    }
    EXPECT_EQ(ResultCode::kWmvProfileFile, m_w.LoadProfileFile(nullptr));
    EXPECT_EQ(ResultCode::kWmvProfileFile, m_w.LoadProfileFile(L""));

    // System profile indexes out of range (an empty dialog list stores -1).
    EXPECT_EQ(ResultCode::kWmvProfileVersion, m_w.LoadSystemProfile(0, 22, 1, 1));
    EXPECT_EQ(ResultCode::kWmvProfileVersion, m_w.LoadSystemProfile(1, 1, 0, 1));
    EXPECT_EQ(ResultCode::kWmvProfileVersion, m_w.LoadSystemProfile(2, 1, 1, -1));
    EXPECT_EQ(0, m_w.LoadSystemProfile(3, 0, 0, 0));  // the profile-file choice loads nothing

    // Nothing loaded, or a profile input that is neither audio nor video: no writer.
    EXPECT_EQ(ResultCode::kWmvOutput, m_w.Open(Wide(Out("a.wmv")).c_str(), f.Header(), 150000, kRate, kChannels, kBits));
    (void)m_w.Close();
    ASSERT_EQ(0, m_w.LoadProfileFile(
                     Wide(WritePrx("script.prx", Prx(PrxVideo{"WMV2", 64, 48, 100000}, std::nullopt, true))).c_str()));
    EXPECT_EQ(ResultCode::kWmvOutput, m_w.Open(Wide(Out("b.wmv")).c_str(), f.Header(), 150000, kRate, kChannels, kBits));
    (void)m_w.Close();

    // An input format the writer cannot take.
    BITMAPINFOHEADER palette = *f.Header();
    palette.biBitCount = 8;
    ASSERT_EQ(0, m_w.LoadSystemProfile(2, 0, 0, 9));
    EXPECT_EQ(ResultCode::kWmvHeader, m_w.Open(Wide(Out("c.wmv")).c_str(), &palette, 150000, kRate, kChannels, kBits));
    (void)m_w.Close();

    // A file that cannot be made is an output failure like any other output's.
    ASSERT_EQ(0, m_w.LoadSystemProfile(2, 0, 0, 9));
    EXPECT_EQ(ResultCode::kOutput, m_w.Open(Wide(Out("missing/d.wmv")).c_str(), f.Header(), 150000,
                                            kRate, kChannels, kBits));
    (void)m_w.Close();
}

TEST_F(EncWMVTest, SecondOpenWithoutCloseChangesNothing) {
    ASSERT_EQ(0, m_w.LoadSystemProfile(2, 0, 0, 9));
    Frames f;
    const std::string out = Out("once.wmv");
    ASSERT_EQ(0, m_w.Open(Wide(out).c_str(), f.Header(), 150000, kRate, kChannels, kBits));
    ASSERT_EQ(0, m_w.WriteVideoFrame(f.Frame(0)));
    EXPECT_EQ(0, m_w.Open(Wide(Out("other.wmv")).c_str(), f.Header(), 300000, kRate, kChannels, kBits));
    ASSERT_EQ(0, m_w.WriteVideoFrame(f.Frame(1)));
    ASSERT_EQ(0, m_w.EndPass());
    ASSERT_EQ(0, m_w.Close());
    EXPECT_FALSE(std::filesystem::exists(Out("other.wmv")));
    EXPECT_EQ("wmv2 320x240 2", StreamOf(Probe(out), "video"));
}

TEST_F(EncWMVTest, StoppedTwoPassRunLeavesNoTwoPassStateBehind) {
    const std::string prx = WritePrx("p.prx", Prx(PrxVideo{"WMV2", 64, 48, 100000}, PrxAudio{0x161, 44100, 2, 64000}));
    Frames f;
    // Stopped during the analysis pass.
    m_w.SetTwoPass(TRUE);
    ASSERT_EQ(0, m_w.LoadProfileFile(Wide(prx).c_str()));
    ASSERT_EQ(0, m_w.Open(Wide(Out("stopped.wmv")).c_str(), f.Header(), 150000, kRate, kChannels, kBits));
    ASSERT_TRUE(m_w.IsTwoPass());
    ASSERT_EQ(0, m_w.WriteVideoFrame(f.Frame(0)));
    (void)m_w.Close();
    EXPECT_FALSE(m_w.IsTwoPass());

    // Stopped by a failing start, so that ending the writing fails too.
    BITMAPINFOHEADER palette = *f.Header();
    palette.biBitCount = 8;
    m_w.SetTwoPass(TRUE);
    ASSERT_EQ(0, m_w.LoadProfileFile(Wide(prx).c_str()));
    ASSERT_EQ(ResultCode::kWmvHeader, m_w.Open(Wide(Out("failed.wmv")).c_str(), &palette, 150000, kRate, kChannels, kBits));
    EXPECT_NE(0, m_w.Close());
    EXPECT_FALSE(m_w.IsTwoPass());

    // The next run with a system profile is a one-pass run and writes its file.
    ASSERT_EQ(0, m_w.LoadSystemProfile(2, 0, 0, 9));
    const std::string out = Out("next.wmv");
    const RunResult r = Convert(m_w, out, 5);
    ASSERT_EQ(0, r.code);
    EXPECT_EQ(1, r.passes);
    EXPECT_EQ("wmv2 320x240 5", StreamOf(Probe(out), "video"));
}

TEST(EncWMVProfiles, SystemProfileCountsCoverTheSettingsLists) {
    EXPECT_EQ(21, CEncWMV::GetSystemProfileCount(WMT_VER_4_0));
    EXPECT_EQ(26, CEncWMV::GetSystemProfileCount(WMT_VER_7_0));
    EXPECT_EQ(27, CEncWMV::GetSystemProfileCount(WMT_VER_8_0));
    EXPECT_EQ(0, CEncWMV::GetSystemProfileCount(0x00090000));
}

}  // namespace
