// The video stream copy and the audio extraction of the view over generated movies,
// with scripted dialogs and message pump; outputs are checked with ffmpeg and by
// walking their RIFF chunks.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "app/StreamCopy.h"
#include "app/TALVERNView.h"
#include "foundation/UiHooks.h"
#include "platform/acm/Acm.h"
#include "platform/ui/Command.h"
#include "platform/ui/UiServices.h"
#include "readers/DecAVIAudio.h"
#include "resources/CommandIds.h"
#include "tests/app/ScriptedLoop.h"
#include "tests/data/AviShapes.h"
#include "tests/data/RewrittenAvi.h"
#include "tests/data/TestMedia.h"
#include "tests/support/TestSupport.h"

using namespace talvern::test;
namespace fs = std::filesystem;

namespace {

constexpr UINT kExtractVideo = ID_EXTRACT_VIDEO, kExtractAudio = ID_EXTRACT_AUDIO,
               kPause = ID_PAUSE, kPlay = ID_PLAY, kStop = ID_STOP;
constexpr int kSamplesPerFrame = 22050 / 25;

std::string Output(const std::string& command) {
    std::string out;
    EXPECT_EQ(RunCommand(command, &out), 0) << command;
    return out;
}

// The video packets of a file: key flag, size and checksum of each.
std::vector<std::string> Packets(const fs::path& file, int first = 0, int last = INT_MAX) {
    const std::string q = ShellQuote(file.string());
    std::istringstream sums(Output("ffmpeg -v error -i " + q + " -map 0:v -c copy -f framemd5 -"));
    std::istringstream flags(Output("ffprobe -v error -select_streams v -show_entries packet=flags -of csv=p=0 " + q));
    std::vector<std::string> packets;
    std::string line, flag;
    for (int n = 0; std::getline(sums, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::getline(flags, flag);
        // stream, dts, pts, duration, size, checksum: the last two count.
        if (n >= first && n <= last)
            packets.push_back(flag.substr(0, 1) + line.substr(line.rfind(',', line.rfind(',') - 1)));
        ++n;
    }
    return packets;
}

// A file's audio through ffmpeg: decoded to 16-bit mono samples, or its stream's bytes as stored.
std::string Pcm(const fs::path& file) {
    return Output("ffmpeg -v error -i " + ShellQuote(file.string()) + " -map 0:a -f s16le -ac 1 -");
}
std::string StreamBytes(const fs::path& file) {
    return Output("ffmpeg -v error -i " + ShellQuote(file.string()) + " -map 0:a -c copy -f data -");
}

// The chunks of a RIFF WAVE file by id, after checking that their sizes add up.
std::map<std::string, std::string> RiffChunks(const fs::path& file) {
    const std::string b = ReadFileBytes(file);
    std::map<std::string, std::string> chunks;
    auto u32 = [&](size_t at) {
        uint32_t v = 0;
        std::memcpy(&v, b.data() + at, 4);
        return v;
    };
    if (b.size() < 12 || b.compare(0, 4, "RIFF") || b.compare(8, 4, "WAVE") || u32(4) != b.size() - 8) {
        ADD_FAILURE() << "not a whole RIFF WAVE file: " << file;
        return chunks;
    }
    for (size_t at = 12; at + 8 <= b.size();) {
        const uint32_t size = u32(at + 4);
        if (at + 8 + size > b.size()) {
            ADD_FAILURE() << "chunk past the end at " << at;
            break;
        }
        chunks[b.substr(at, 4)] = b.substr(at + 8, size);
        at += 8 + size + (size & 1);
    }
    return chunks;
}

// Byte strings compared without printing them: their sizes and the first difference.
testing::AssertionResult Same(const std::string& got, const std::string& want) {
    if (got == want) return testing::AssertionSuccess();
    size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
    return testing::AssertionFailure() << got.size() << " bytes against " << want.size() << ", first difference at "
                                       << at;
}

uint32_t Fact(const std::map<std::string, std::string>& chunks) {
    uint32_t n = 0;
    if (chunks.count("fact") && chunks.at("fact").size() == 4) std::memcpy(&n, chunks.at("fact").data(), 4);
    return n;
}

class ExtractTest : public testing::Test {
protected:
    talvern::test::ScopedLanguage english{"C.UTF-8"};  // whatever language the shell runs in
    void SetUp() override {
        m_previousHooks = RegisterUiHooks(&pump);
        m_previousChooser = AcmSetFormatChooser(&chooser);
        doc.SetView(&view);
        view.SetDocument(&doc);
        view.resize(760, 600);
        doc.m_Info.m_strOutputFolder = out.path().wstring();
        view.GetRunHooks().audioChoice = [this](int* choice, CWnd*) {
            asked.push_back("audio");
            EXPECT_TRUE(doc.IsModified());
            if (audioChoice < 0) return -2;
            *choice = audioChoice;
            return 1;
        };
    }
    void TearDown() override {
        AcmSetFormatChooser(m_previousChooser);
        RegisterUiHooks(m_previousHooks);
    }

    void Open(const std::string& name, const MovieDesc& desc) {
        static TempDir movies;
        static std::set<std::string> made;
        m_movie = movies / (name + ".avi");
        if (made.insert(name).second) {
            std::string log;
            ASSERT_TRUE(MakeTestMovie(desc, m_movie, &log)) << log;
        }
        ASSERT_TRUE(doc.OnOpenDocument(m_movie.wstring()));
        m_title = name;
    }
    void Extract(UINT id) {
        ASSERT_TRUE(DispatchCommand(view, id));
        EXPECT_EQ(doc.m_nPlayState, PlayState::Stopped);
        EXPECT_FALSE(doc.IsModified());
        EXPECT_FALSE(doc.m_bExtracting);
    }
    void SetRange(int start, int end) {
        if (!view.IsRangeMode()) view.OnRangePlay();
        view.OnRangeWhole();
        view.SetCurrentFrame(start);
        view.OnSetRangeStart();
        view.SetCurrentFrame(end);
        view.OnSetRangeEnd();
    }
    fs::path Copy() const { return out / ("Copy_" + m_title + ".avi"); }
    fs::path Wav() const { return out / (m_title + "_audio.wav"); }
    const fs::path& Movie() const { return m_movie; }

    ScopedConfigDir config;
    ScopedScriptedUi script;
    ScriptedPump pump;
    ScriptedChooser chooser;
    TempDir out;
    CTALVERNDoc doc;
    CTALVERNView view;
    std::vector<std::string> asked;
    int audioChoice = 0;  // -1 cancels

private:
    IUiHooks* m_previousHooks = nullptr;
    AcmFormatChooser* m_previousChooser = nullptr;
    fs::path m_movie;
    std::string m_title;
};

MovieDesc Mpeg4WithAudio(AudioCodec audio = AudioCodec::Pcm16) {
    MovieDesc desc;
    desc.video = VideoCodec::Mpeg4;
    desc.frames = 40;
    desc.gop = 12;
    desc.audio = audio;
    return desc;
}

}  // namespace

TEST_F(ExtractTest, VideoCopyRunsFromAKeyFrameThroughTheLastFrameWithItsAudio) {
    Open("pcm", Mpeg4WithAudio());
    const std::string sourceAudio = Pcm(Movie());
    // The key frames of the source, as ffprobe sees them: a non-key frame followed by a
    // key frame, and a stretch of frames without one.
    const std::vector<std::string> all = Packets(Movie());
    ASSERT_EQ(all.size(), 40u);
    std::vector<int> keys;
    for (int f = 0; f < 40; ++f)
        if (all[f][0] == 'K') keys.push_back(f);
    ASSERT_GE(keys.size(), 3u);
    ASSERT_GT(keys[2] - keys[1], 2);
    const int key = keys[1], last = keys[2] - 1;
    audioChoice = kAudioCopy;
    // From a frame that is not a key frame the copy starts at the next one.
    view.SetCurrentFrame(key - 2);
    Extract(kExtractVideo);
    EXPECT_EQ(view.GetRangeStart(), key);
    EXPECT_EQ(view.GetCurrentFrame(), 39);
    EXPECT_EQ(Packets(Copy()), Packets(Movie(), key, 39));
    EXPECT_TRUE(Same(Pcm(Copy()), sourceAudio.substr(key * kSamplesPerFrame * 2, (40 - key) * kSamplesPerFrame * 2)));

    // A range copies from the key frame at or after its start through its end.
    SetRange(key - 1, last);
    Extract(kExtractVideo);
    EXPECT_EQ(Packets(Copy()), Packets(Movie(), key, last));
    EXPECT_EQ(Pcm(Copy()).size(), size_t(last - key + 1) * kSamplesPerFrame * 2);

    // A range without a key frame makes no file at all, and says so.
    fs::remove(Copy());
    SetRange(key + 1, last);
    Extract(kExtractVideo);
    EXPECT_FALSE(fs::exists(Copy()));
    ASSERT_EQ(script.ui.messageBoxes.size(), 1u);
    EXPECT_EQ(script.ui.messageBoxes[0].text.substr(0, 13), L"Error No.0502");
    script.ui.messageBoxes.clear();

    // From the last frame the whole movie is copied, its last frame included; recompressed
    // audio runs as long as the video.
    view.OnRangePlay();
    view.SetCurrentFrame(39);
    audioChoice = kAudioRecompress;
    Extract(kExtractVideo);
    EXPECT_EQ(Packets(Copy()), Packets(Movie()));
    EXPECT_TRUE(Same(Pcm(Copy()), sourceAudio.substr(0, 40 * kSamplesPerFrame * 2)));
    EXPECT_TRUE(script.ui.messageBoxes.empty());
}

TEST_F(ExtractTest, WavCopyKeepsTheStreamsOwnBytesAndFormat) {
    for (AudioCodec codec : {AudioCodec::Pcm16, AudioCodec::ImaAdpcm, AudioCodec::Mp3}) {
        const std::string name = "codec" + std::to_string(int(codec));
        SCOPED_TRACE(name);
        Open(name, Mpeg4WithAudio(codec));
        CDecAVIAudioComp* audio = doc.GetAudioReader();
        const WAVEFORMATEX format = *audio->GetAudioFormat();
        const std::string formatBytes(reinterpret_cast<const char*>(audio->GetAudioFormat()),
                                      codec == AudioCodec::Pcm16 ? 16 : 18 + format.cbSize);
        audioChoice = kAudioCopy;
        Extract(kExtractAudio);
        const auto chunks = RiffChunks(Wav());
        ASSERT_EQ(chunks.count("data"), 1u);
        EXPECT_EQ(chunks.at("fmt "), formatBytes);
        // Every block or frame of the stream, byte for byte.
        const std::string raw = StreamBytes(Movie());
        EXPECT_TRUE(Same(chunks.at("data"), raw));
        EXPECT_TRUE(Same(Pcm(Wav()), Pcm(Movie())));
        if (codec == AudioCodec::Pcm16) {
            EXPECT_EQ(Fact(chunks), raw.size() / 2);
        } else if (codec == AudioCodec::ImaAdpcm) {
            uint16_t perBlock = 0;
            std::memcpy(&perBlock, formatBytes.data() + 18, 2);
            EXPECT_EQ(Fact(chunks), raw.size() / format.nBlockAlign * perBlock);
        } else {
            EXPECT_GT(Fact(chunks), 0u);
        }
    }
}

TEST_F(ExtractTest, WavRangesAreExactAndTheVolumeScalesOnlyTheRecompressed) {
    Open("pcm", Mpeg4WithAudio());
    const std::string source = Pcm(Movie());
    doc.m_Info.m_nVolume = 50;
    SetRange(5, 14);
    audioChoice = kAudioCopy;
    Extract(kExtractAudio);
    const std::string slice = source.substr(5 * kSamplesPerFrame * 2, 10 * kSamplesPerFrame * 2);
    EXPECT_TRUE(Same(RiffChunks(Wav()).at("data"), slice));
    EXPECT_EQ(view.GetCurrentFrame(), 14);

    audioChoice = kAudioRecompress;
    Extract(kExtractAudio);
    const std::string halved = RiffChunks(Wav()).at("data");
    ASSERT_EQ(halved.size(), slice.size());
    for (size_t i = 0; i < slice.size(); i += 2) {
        int16_t in, got;
        std::memcpy(&in, slice.data() + i, 2);
        std::memcpy(&got, halved.data() + i, 2);
        ASSERT_NEAR(got, in / 2.0, 1.0) << i;
    }

    // Outside range mode, from the current frame to the end of the audio.
    view.OnRangePlay();
    view.SetCurrentFrame(3);
    doc.m_Info.m_nVolume = 100;
    Extract(kExtractAudio);
    EXPECT_TRUE(Same(RiffChunks(Wav()).at("data"), source.substr(3 * kSamplesPerFrame * 2)));
    EXPECT_EQ(view.GetRangeStart(), 3);
    EXPECT_EQ(view.GetRangeEnd(), 39);
    EXPECT_TRUE(script.ui.messageBoxes.empty());
}

// Audio that stops decoding half way (here a chunk larger than any a reader takes) leaves
// the WAV file short: the user is told so, as for a file that cannot be written.
TEST_F(ExtractTest, AudioThatStopsDecodingIsReportedNotTakenForItsEnd) {
    const fs::path made = out / "made.avi", broken = out / "broken.avi";
    std::string log;
    ASSERT_TRUE(talvern::test::MakeAacMovie(made, 2.0, &log)) << log;
    talvern::test::SynthAvi avi;
    ASSERT_TRUE(talvern::test::ReadAviChunks(made, &avi));
    int audio = 0;
    for (auto& c : avi.chunks)
        if (avi.streams[size_t(c.stream)].type == streamtypeAUDIO && ++audio == 40) c.data.assign(100000, '\0');
    ASSERT_TRUE(WriteFileBytes(broken, talvern::test::BuildSyntheticAvi(avi)));
    fs::remove(made);
    ASSERT_TRUE(doc.OnOpenDocument(broken.wstring()));
    audioChoice = kAudioRecompress;
    Extract(kExtractAudio);
    EXPECT_GT(RiffChunks(out / "broken_audio.wav").at("data").size(), 100000u);
    ASSERT_EQ(script.ui.messageBoxes.size(), 1u);
    EXPECT_EQ(script.ui.messageBoxes[0].text.find(L"The audio could not be decoded any further"), 0u);
}

TEST_F(ExtractTest, AWavFileStopsAtItsSizeLimitAndStaysValid) {
    MovieDesc desc = Mpeg4WithAudio();
    desc.sampleRate = 44100;
    desc.channels = 2;
    Open("stereo", desc);
    const std::string source = Output("ffmpeg -v error -i " + ShellQuote(Movie().string()) + " -map 0:a -f s16le -");
    view.GetRunHooks().wavFileLimit = 200000;
    for (int choice : {kAudioRecompress, kAudioCopy}) {
        SCOPED_TRACE(choice);
        script.ui.messageBoxes.clear();
        view.SetCurrentFrame(0);
        audioChoice = choice;
        Extract(kExtractAudio);
        const std::string data = RiffChunks(Wav()).at("data");
        EXPECT_LE(fs::file_size(Wav()), 200000u);
        EXPECT_GT(data.size(), 200000u - (1 << 17));
        EXPECT_TRUE(Same(data, source.substr(0, data.size())));
        ASSERT_EQ(script.ui.messageBoxes.size(), 1u);
        EXPECT_EQ(script.ui.messageBoxes[0].text.find(L"The WAV file reached the largest size"), 0u);
        EXPECT_NE(script.ui.messageBoxes[0].text.find(Wav().wstring()), std::wstring::npos);
    }
}

TEST_F(ExtractTest, ACancelAtAnyQuestionOrAnOutputThatIsTheMovieLeavesFilesAlone) {
    Open("pcm", Mpeg4WithAudio());
    const std::string movie = ReadFileBytes(Movie());
    for (const std::string step : {"file", "audio", "none", "chooser"}) {
        for (UINT id : {kExtractVideo, kExtractAudio}) {
            SCOPED_TRACE(step + (id == kExtractVideo ? " video" : " audio"));
            if (step == "none" && id == kExtractVideo) continue;
            WriteFileBytes(Copy(), "earlier copy");
            WriteFileBytes(Wav(), "earlier wav");
            doc.m_Info.m_nOverwrite = step == "file" ? 2 : 0;
            script.ui.fileAnswers = {std::nullopt};
            audioChoice = step == "audio" ? -1 : step == "none" ? kAudioNone : kAudioRecompress;
            chooser.cancel = step == "chooser";
            view.SetCurrentFrame(0);
            Extract(id);
            EXPECT_EQ(ReadFileBytes(Copy()), "earlier copy");
            EXPECT_EQ(ReadFileBytes(Wav()), "earlier wav");
        }
    }
    EXPECT_TRUE(script.ui.messageBoxes.empty());
    chooser.cancel = false;
    doc.m_Info.m_nOverwrite = 0;
    fs::remove(Copy());
    fs::remove(Wav());
    fs::create_symlink(Movie(), Copy());
    fs::create_symlink(Movie(), Wav());
    audioChoice = kAudioCopy;
    Extract(kExtractVideo);
    Extract(kExtractAudio);
    ASSERT_EQ(script.ui.messageBoxes.size(), 2u);
    EXPECT_EQ(script.ui.messageBoxes[0].text.substr(0, 13), L"Error No.2001");
    EXPECT_EQ(script.ui.messageBoxes[1].text.substr(0, 13), L"Error No.0502");
    EXPECT_EQ(ReadFileBytes(Movie()), movie);
}

TEST_F(ExtractTest, PauseHoldsAndStopLeavesValidFiles) {
    Open("pcm", Mpeg4WithAudio());
    audioChoice = kAudioCopy;
    int pausedPumps = 0;
    pump.step = [&] {
        EXPECT_TRUE(doc.m_bExtracting);
        if (view.GetCurrentFrame() == 15 && doc.m_nPlayState == PlayState::Playing && pausedPumps == 0) {
            DispatchCommand(view, kPause);
        } else if (doc.m_nPlayState == PlayState::Paused) {
            EXPECT_EQ(view.GetCurrentFrame(), 15);
            if (++pausedPumps == 3) DispatchCommand(view, kPlay);
        } else if (view.GetCurrentFrame() == 20) {
            DispatchCommand(view, kStop);
        }
    };
    view.SetCurrentFrame(0);
    Extract(kExtractVideo);
    EXPECT_EQ(pausedPumps, 3);
    EXPECT_EQ(Packets(Copy()), Packets(Movie(), 0, 20));
    EXPECT_EQ(Pcm(Copy()).size(), 21u * kSamplesPerFrame * 2);

    // The WAV copy moves in pieces; a Stop ends it after the one in hand.
    pump.step = [&] {
        if (view.GetCurrentFrame() > 0) DispatchCommand(view, kStop);
    };
    view.SetCurrentFrame(0);
    Extract(kExtractAudio);
    const std::string data = RiffChunks(Wav()).at("data");
    EXPECT_GT(data.size(), 0u);
    EXPECT_LT(data.size(), 40u * kSamplesPerFrame * 2);
    EXPECT_TRUE(Same(data, Pcm(Movie()).substr(0, data.size())));
    EXPECT_TRUE(script.ui.messageBoxes.empty());
}

// The copy needs no view: any host sees the span first, then every frame copied in
// order, and a "no" ends the copy after the frame in hand with a whole file.
TEST_F(ExtractTest, ACopyReportsEachFrameToItsHostAndStopsAtItsNo) {
    Open("pcm", Mpeg4WithAudio());
    struct Host : IExtractionHost {
        explicit Host(CWnd& w) : window(w) {}
        ViewRunHooks& GetRunHooks() override { return hooks; }
        CWnd* MainWindow() override { return nullptr; }
        CWnd& ViewWindow() override { return window; }
        void SpanTaken(int start, int end) override { steps.push_back({start, end}); }
        void ClockStarts() override {}
        void SetCurrentFrame(int frame) override { steps.push_back({frame, frame}); }
        bool MayGoOn() override { return steps.size() < 6; }
        CWnd& window;
        ViewRunHooks hooks;
        std::vector<std::pair<int, int>> steps;
    } host(view);
    host.hooks.audioChoice = [](int* choice, CWnd*) {
        *choice = kAudioCopy;
        return 1;
    };
    CEncAVI2 avi;
    CStreamCopy copy(avi, host);
    EXPECT_EQ(copy.Run(doc, {.current = 0, .count = 40, .rate = 25, .rangeEnd = 30}), 0);
    EXPECT_EQ(host.steps, (std::vector<std::pair<int, int>>{{0, 30}, {0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}));
    EXPECT_EQ(Packets(Copy()), Packets(Movie(), 0, 4));
    EXPECT_EQ(Pcm(Copy()).size(), 5u * kSamplesPerFrame * 2);
}

TEST_F(ExtractTest, FilesThatCannotGrowAreReported) {
    Open("pcm", Mpeg4WithAudio());
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    auto stopGrowing = [&](const fs::path& file, uintmax_t more) {
        rlimit limit = before;
        limit.rlim_cur = fs::file_size(file) + more;
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    // Every frame is in the file, but not its index.
    pump.step = [&] {
        if (view.GetCurrentFrame() == 39) stopGrowing(Copy(), 0);
    };
    view.SetCurrentFrame(0);
    Extract(kExtractVideo);
    setrlimit(RLIMIT_FSIZE, &before);
    // The WAV file stops growing a little past what it holds on disk after the first piece.
    pump.step = [&] { stopGrowing(Wav(), 4096); };
    audioChoice = kAudioCopy;
    Extract(kExtractAudio);
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);
    ASSERT_EQ(script.ui.messageBoxes.size(), 2u);
    EXPECT_EQ(script.ui.messageBoxes[0].text.substr(0, 13), L"Error No.2006");
    EXPECT_EQ(script.ui.messageBoxes[1].text.find(L"The WAV file could not be written any further"), 0u);
    const std::string data = RiffChunks(Wav()).at("data");
    EXPECT_GT(data.size(), 0u);
    EXPECT_TRUE(Same(data, Pcm(Movie()).substr(0, data.size())));
}

TEST_F(ExtractTest, AudioWithoutADecoderIsRefusedBeforeAnyFileWhenItMustBeDecoded) {
    Open("ima", Mpeg4WithAudio(AudioCodec::ImaAdpcm));
    // The audio stream's format tag, the second "strf" of the file, made one no decoder knows.
    std::string bytes = ReadFileBytes(Movie());
    const size_t strf = bytes.find("strf", bytes.find("strf") + 4);
    ASSERT_NE(strf, std::string::npos);
    bytes[strf + 8] = '\x34';
    bytes[strf + 9] = '\x12';
    WriteFileBytes(out / "odd.avi", bytes);
    ASSERT_TRUE(doc.OnOpenDocument((out / "odd.avi").wstring()));
    audioChoice = kAudioRecompress;
    Extract(kExtractAudio);
    Extract(kExtractVideo);
    EXPECT_FALSE(fs::exists(out / "odd_audio.wav"));
    EXPECT_FALSE(fs::exists(out / "Copy_odd.avi"));
    ASSERT_EQ(script.ui.messageBoxes.size(), 2u);
    EXPECT_EQ(script.ui.messageBoxes[0].text.substr(0, 13), L"Error No.0502");
    EXPECT_EQ(script.ui.messageBoxes[1].text.substr(0, 13), L"Error No.0911");
}

// Files as other programs write them: each one that opens gives a WAV file of every
// sample ffmpeg decodes from it; each one that cannot be shown is refused with one box.
TEST_F(ExtractTest, EveryShapeGivesAllItsAudioOrIsRefused) {
    TempDir movies;
    audioChoice = kAudioRecompress;
    for (const AviShape& shape : AviShapes()) {
        SCOPED_TRACE(shape.name);
        const fs::path movie = movies / (shape.name + ".avi");
        if (shape.reads && shape.audio == ShapeAudio::None) continue;  // the readers' tests show it opens
        ASSERT_TRUE(shape.make(movie));
        script.ui.messageBoxes.clear();
        const BOOL opened = doc.OnOpenDocument(movie.wstring());
        if (!shape.reads) {
            EXPECT_FALSE(opened);
            ASSERT_EQ(script.ui.messageBoxes.size(), 1u);
            EXPECT_EQ(script.ui.messageBoxes[0].text, L"The image was not able to be acquired. ");
            continue;
        }
        ASSERT_TRUE(opened);
        Extract(kExtractAudio);
        EXPECT_TRUE(script.ui.messageBoxes.empty());
        const std::string wav = Pcm(out / (shape.name + "_audio.wav")), source = Pcm(movie);
        if (shape.audio == ShapeAudio::Pcm) EXPECT_TRUE(Same(wav, source));
        else EXPECT_EQ(wav.size(), source.size());
    }
}
