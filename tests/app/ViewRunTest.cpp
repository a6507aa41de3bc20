// The conversion run and the single-frame outputs of the view over generated movies
// whose frames carry their index, with scripted dialogs and a scripted message pump.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QImage>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "app/TALVERNView.h"
#include "foundation/SysUtil.h"
#include "platform/acm/Acm.h"
#include "platform/ui/Command.h"
#include "platform/ui/Dialog.h"
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

constexpr UINT kPlay = ID_PLAY, kStop = ID_STOP, kPause = ID_PAUSE, kSaveImage = ID_SAVE_IMAGE,
               kCopy = ID_EDIT_COPY;

std::wstring MoviePath(const std::string& name, const MovieDesc& desc) {
    static TempDir dir;
    static std::map<std::string, std::wstring> made;
    if (auto it = made.find(name); it != made.end()) return it->second;
    const fs::path path = dir / (name + ".avi");
    std::string log;
    if (!MakeTestMovie(desc, path, &log)) ADD_FAILURE() << log;
    return made[name] = path.wstring();
}

// A decoded image file as 24-bit top-down rows: Qt's readers, and ffmpeg for TIFF.
std::string DecodeImage(const fs::path& file) {
    std::string raw;
    if (file.extension() == ".tif") {
        RunCommand("ffmpeg -v error -i " + ShellQuote(file.string()) + " -f rawvideo -pix_fmt bgr24 -", &raw);
        return raw;
    }
    const QImage image = QImage(QString::fromStdString(file.string())).convertToFormat(QImage::Format_BGR888);
    for (int y = 0; y < image.height(); ++y)
        raw.append(reinterpret_cast<const char*>(image.constScanLine(y)), size_t(image.width()) * 3);
    return raw;
}

std::string Painted(int index) {
    std::string rows(64 * 48 * 3, '\0');
    PaintIndexFrame(index, 64, 48, reinterpret_cast<uint8_t*>(rows.data()), 64 * 3);
    return rows;
}

// `made` written again with one dropped frame after source frame i when i % 4 == 1 and
// two when i % 4 == 2; *shows gets the source frame each frame of it shows.
bool WithDroppedFrames(const fs::path& made, const fs::path& path, std::vector<int>* shows) {
    SynthAvi avi;
    if (!ReadAviChunks(made, &avi)) return false;
    std::vector<SynthChunk> chunks;
    int source = 0;
    for (const SynthChunk& c : avi.chunks) {
        chunks.push_back(c);
        if (avi.streams[size_t(c.stream)].type != streamtypeVIDEO) continue;
        shows->push_back(source);
        for (int drop = 0; drop < (source % 4 == 1 ? 1 : source % 4 == 2 ? 2 : 0); ++drop) {
            chunks.push_back({c.stream, std::string(), false});
            shows->push_back(source);
        }
        ++source;
    }
    avi.chunks = std::move(chunks);
    return WriteFileBytes(path, BuildSyntheticAvi(avi));
}

class RunTest : public testing::Test {
protected:
    talvern::test::ScopedLanguage english{"C.UTF-8"};  // whatever language the shell runs in
    void SetUp() override {
        m_previousHooks = RegisterUiHooks(&pump);
        m_previousChooser = AcmSetFormatChooser(&chooser);
        doc.SetView(&view);
        view.SetDocument(&doc);
        view.resize(760, 600);
        doc.m_Info.m_strOutputFolder = out.path().wstring();
        ViewRunHooks& hooks = view.GetRunHooks();
        hooks.aviSettings = [this](auto...) { return Ask("avi"); };
        hooks.wmvSettings = [this](auto...) { return Ask("wmv"); };
        hooks.audioChoice = [this](int* choice, CWnd*) {
            if (Ask("audio") != 0) return -2;
            *choice = audioChoice;
            return 1;
        };
        hooks.beep = [this] { beeps.push_back(script.ui.messageBoxes.size()); };
    }
    void TearDown() override {
        AcmSetFormatChooser(m_previousChooser);
        RegisterUiHooks(m_previousHooks);
    }

    int Ask(const std::string& dialog) {
        asked.push_back(dialog);
        EXPECT_TRUE(doc.IsModified()) << "busy while " << dialog << " asks";
        return cancel.count(dialog) ? -2 : 0;
    }
    void Open(const std::string& name, int frames, AudioCodec audio = AudioCodec::None) {
        MovieDesc desc;
        desc.frames = frames;
        desc.audio = audio;
        Open(name, desc);
    }
    void Open(const std::string& name, const MovieDesc& desc) {
        ASSERT_TRUE(doc.OnOpenDocument(MoviePath(name, desc)));
        m_title = name;
    }
    // Runs Play to its end.
    void Play() {
        ASSERT_TRUE(DispatchCommand(view, kPlay));
        EXPECT_EQ(doc.m_nPlayState, PlayState::Stopped);
        EXPECT_FALSE(doc.IsModified());
    }
    std::set<std::string> Files() {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(out.path())) names.insert(e.path().filename().string());
        return names;
    }
    std::set<std::string> Images(std::initializer_list<int> numbers, const char* ext = ".bmp") {
        std::set<std::string> names;
        for (int n : numbers) {
            char name[64];
            std::snprintf(name, sizeof name, "%s %07d%s", m_title.c_str(), n, ext);
            names.insert(name);
        }
        return names;
    }
    fs::path Enc(const char* ext) { return out / ("Enc_" + m_title + ext); }
    // A profile file of one bit-rate-driven VBR video stream, which takes two passes.
    void UseTwoPassProfile(const fs::path& prx) {
        WriteFileBytes(prx,
                       "<profile version=\"589824\" storageformat=\"1\" name=\"T\" description=\"\">\n"
                       "<streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" "
                       "streamname=\"Video Stream\" inputname=\"Video409\" bitrate=\"200000\" bufferwindow=\"5000\" "
                       "vbrenabled=\"1\" vbrquality=\"0\">\n<videomediaprops maxkeyframespacing=\"30000000\" "
                       "quality=\"75\"/>\n<wmmediatype subtype=\"{32564D57-0000-0010-8000-00AA00389B71}\" "
                       "btemporalcompression=\"1\">\n<videoinfoheader dwbitrate=\"200000\" avgtimeperframe=\"400000\">\n"
                       "<rcsource left=\"0\" top=\"0\" right=\"64\" bottom=\"48\"/>\n<bitmapinfoheader biwidth=\"64\" "
                       "biheight=\"48\" biplanes=\"1\" bibitcount=\"24\" bicompression=\"WMV2\"/>\n"
                       "</videoinfoheader>\n</wmmediatype>\n</streamconfig>\n</profile>\n");
        doc.m_Info.m_nWmvKind = 3;
        doc.m_Info.m_nTwoPass = 1;
        doc.m_Info.m_strProfileFile = prx.wstring();
    }
    std::vector<std::wstring> Captions() {
        std::vector<std::wstring> captions;
        for (const auto& box : script.ui.messageBoxes) captions.push_back(box.text.substr(0, 13));
        return captions;
    }
    // Frames of a written AVI and the index each holds.
    std::vector<int> AviFrames(const fs::path& file, int* audioSamples = nullptr) {
        CDecAVIAudioComp reader;
        std::vector<int> indexes;
        if (reader.Open(file.wstring().c_str()) != 0) return indexes;
        for (int f = 0; f < reader.GetFrameCount(); ++f) {
            void* bits = nullptr;
            reader.GetFrame(f, &bits);
            indexes.push_back(bits ? ReadIndexFromDib(bits, 64, 48) : -1);
        }
        if (audioSamples) *audioSamples = reader.HasAudioStream() ? reader.GetAudioLength() : 0;
        return indexes;
    }

    ScopedConfigDir config;
    ScopedScriptedUi script;
    ScriptedPump pump;
    ScriptedChooser chooser;
    TempDir out;
    CTALVERNDoc doc;
    CTALVERNView view;
    std::vector<std::string> asked;
    std::set<std::string> cancel;
    int audioChoice = 0;
    std::vector<size_t> beeps;  // message boxes shown before each beep

private:
    IUiHooks* m_previousHooks = nullptr;
    AcmFormatChooser* m_previousChooser = nullptr;
    std::string m_title;
};

}  // namespace

TEST_F(RunTest, CommandsFollowThePlayState) {
    auto state = [&] {
        std::string s;
        for (UINT id : {kPlay, kStop, kPause, kSaveImage, kCopy}) s += QueryCommand(view, id).m_bEnabled ? '1' : '0';
        return s + (QueryCommand(view, kPause).m_nCheck ? "+" : "");
    };
    EXPECT_EQ(state(), "00000");
    Open("m10", 10);
    EXPECT_EQ(state(), "10011");
    doc.m_nPlayState = PlayState::Playing;
    EXPECT_EQ(state(), "01111");
    view.OnPause();
    EXPECT_EQ(doc.m_nPlayState, PlayState::Paused);
    EXPECT_EQ(state(), "11111+");
    view.OnPause();
    EXPECT_EQ(doc.m_nPlayState, PlayState::Playing);
    doc.m_nPlayState = PlayState::Stopped;
    view.OnPause();
    EXPECT_EQ(doc.m_nPlayState, PlayState::Stopped);
}

TEST_F(RunTest, StartFrameRulesAndRangeMode) {
    Open("m10", 10);
    doc.m_bOutputBmp = TRUE;
    view.SetCurrentFrame(9);  // the last frame starts again at the first
    Play();
    EXPECT_EQ(Files(), Images({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(beeps.size(), 1u);
    EXPECT_TRUE(script.ui.messageBoxes.empty());
    for (const auto& f : Files()) fs::remove(out / f);
    view.SetCurrentFrame(8);
    Play();
    EXPECT_EQ(Files(), Images({9, 10}));
    EXPECT_EQ(view.GetRangeStart(), 8);
    for (const auto& f : Files()) fs::remove(out / f);
    view.OnRangePlay();
    view.SetCurrentFrame(2);
    view.OnSetRangeStart();
    view.SetCurrentFrame(5);
    view.OnSetRangeEnd();
    view.SetCurrentFrame(7);
    Play();
    EXPECT_EQ(Files(), Images({3, 4, 5, 6}));
    EXPECT_EQ(view.GetCurrentFrame(), 5);
}

TEST_F(RunTest, EveryNthFrameOfThePassInEachFormatHoldsItsFrame) {
    Open("m40", 40);
    doc.m_bOutputBmp = doc.m_bOutputJpg = doc.m_bOutputTif = doc.m_bOutputPng = TRUE;
    doc.m_Info.m_nImageInterval = 10;
    view.SetCurrentFrame(3);
    Play();
    std::set<std::string> want;
    for (const char* ext : {".bmp", ".jpg", ".tif", ".png"}) want.merge(Images({13, 23, 33}, ext));
    EXPECT_EQ(Files(), want);
    for (const char* ext : {".bmp", ".tif", ".png"})
        EXPECT_EQ(DecodeImage(out / *Images({23}, ext).begin()), Painted(22)) << ext;
    const std::string jpeg = DecodeImage(out / *Images({33}, ".jpg").begin());
    ASSERT_EQ(jpeg.size(), 64u * 48 * 3);
    EXPECT_EQ(ReadIndexFrame(reinterpret_cast<const uint8_t*>(jpeg.data()), 64, 48, 64 * 3), 32);
}

TEST_F(RunTest, PauseResumesTheSamePassAndStopAsksOnlyForMovies) {
    Open("m10", 10);
    doc.m_bOutputBmp = TRUE;
    int pausedPumps = 0;
    pump.step = [&] {
        if (view.GetCurrentFrame() == 2 && doc.m_nPlayState == PlayState::Playing && pausedPumps == 0)
            DispatchCommand(view, kPause);
        else if (doc.m_nPlayState == PlayState::Paused && ++pausedPumps == 2)
            DispatchCommand(view, kPlay);  // resumes: nothing new starts
        else if (view.GetCurrentFrame() == 5)
            DispatchCommand(view, kStop);
    };
    Play();
    EXPECT_EQ(pausedPumps, 2);
    EXPECT_EQ(beeps.size(), 1u);
    EXPECT_EQ(Files(), Images({1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(script.ui.messageBoxes.empty());

    // With a movie output the question comes; No goes on, Yes stops.
    for (const auto& f : Files()) fs::remove(out / f);
    doc.m_bOutputBmp = FALSE;
    doc.m_bOutputAvi = TRUE;
    script.ui.messageBoxAnswers = {IDNO, IDYES};
    pump.step = [&] {
        if (view.GetCurrentFrame() == 2 || view.GetCurrentFrame() == 4) DispatchCommand(view, kStop);
    };
    view.SetCurrentFrame(0);
    Play();
    ASSERT_EQ(script.ui.messageBoxes.size(), 3u);
    EXPECT_EQ(script.ui.messageBoxes[0].caption, L"STOP");
    EXPECT_EQ(script.ui.messageBoxes[0].text, L"Stop?");
    EXPECT_EQ(script.ui.messageBoxes[0].type, 0x24u);
    EXPECT_EQ(script.ui.messageBoxes[2].text, L"It preserved it in the following files. \n" + Enc(".avi").wstring());
    EXPECT_EQ(AviFrames(Enc(".avi")), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(asked, (std::vector<std::string>{"avi"}));
}

TEST_F(RunTest, TwoPassWmvWritesImagesOnlyInTheSecondPass) {
    Open("m10", 10);
    TempDir profiles;
    UseTwoPassProfile(profiles / "2pass.prx");
    doc.m_bOutputWmv = doc.m_bOutputJpg = TRUE;
    // JPEG files on disk after each frame of the two passes, written in line.
    view.SetOutputsBesideRun(false);
    std::vector<size_t> seen;
    pump.step = [&] { seen.push_back(Files().size() - 1); };
    Play();
    ASSERT_EQ(seen.size(), 20u);
    for (size_t i = 0; i < 20; ++i) EXPECT_EQ(seen[i], i < 10 ? 0 : i - 9) << i;
    EXPECT_EQ(Files().size(), 11u);
    EXPECT_EQ(Captions(), std::vector<std::wstring>{L"It preserved "});
    EXPECT_GT(fs::file_size(Enc(".wmv")), 0u);

    // An output size changed after the writers opened ends the run at the next pass.
    for (const auto& f : Files()) fs::remove(out / f);
    script.ui.messageBoxes.clear();
    pump.step = [&] { doc.m_OutputHeader.biWidth = 32; };
    Play();
    EXPECT_EQ(Captions(), (std::vector<std::wstring>{L"Error No.0502", L"It preserved "}));
    EXPECT_EQ(Files().size(), 1u);  // the WMV file alone
}

TEST_F(RunTest, AudioThatCannotBeDecodedIsReportedBeforeAnyFileWhenTheRunNeedsIt) {
    // The audio stream's format tag, the second "strf" of the file, made one no decoder knows.
    MovieDesc desc;
    desc.audio = AudioCodec::ImaAdpcm;
    std::string bytes = ReadFileBytes(MoviePath("ima", desc));
    const size_t strf = bytes.find("strf", bytes.find("strf") + 4);
    ASSERT_NE(strf, std::string::npos);
    bytes[strf + 8] = '\x34';
    bytes[strf + 9] = '\x12';
    WriteFileBytes(out / "odd.avi", bytes);
    ASSERT_TRUE(doc.OnOpenDocument((out / "odd.avi").wstring()));
    ASSERT_NE(doc.GetAudioReader(), nullptr);
    for (int choice : {kAudioRecompress, kAudioCopy}) {
        fs::remove(out / "Enc_odd.avi");
        script.ui.messageBoxes.clear();
        doc.m_bOutputAvi = TRUE;
        audioChoice = choice;
        Play();
        // Copying the stream as it is needs no decoder.
        EXPECT_EQ(Captions(), choice == kAudioRecompress
                                  ? std::vector<std::wstring>{L"Error No.0911"}
                                  : std::vector<std::wstring>{L"It preserved "});
        EXPECT_EQ(fs::exists(out / "Enc_odd.avi"), choice == kAudioCopy);
    }
}

TEST_F(RunTest, CancelAtAnyQuestionLeavesExistingOutputsUntouched) {
    Open("a30", 30, AudioCodec::Pcm16);
    audioChoice = kAudioRecompress;
    for (const std::string step : {"avi", "audio", "chooser", "wmv file", "wmv"}) {
        SCOPED_TRACE(step);
        WriteFileBytes(Enc(".avi"), "earlier avi");
        WriteFileBytes(Enc(".wmv"), "earlier wmv");
        doc.m_bOutputAvi = doc.m_bOutputWmv = TRUE;
        cancel = {step};
        chooser.cancel = step == "chooser";
        // "Ask" for both existing files: the AVI name is kept, the WMV one cancelled.
        doc.m_Info.m_nOverwrite = step == "wmv file" ? 2 : 0;
        FileDialogRequest keep;
        keep.path = Enc(".avi").wstring();
        script.ui.fileAnswers = {keep, std::nullopt};
        Play();
        EXPECT_EQ(ReadFileBytes(Enc(".avi")), "earlier avi");
        EXPECT_EQ(ReadFileBytes(Enc(".wmv")), "earlier wmv");
        EXPECT_TRUE(script.ui.messageBoxes.empty());
        EXPECT_TRUE(beeps.empty());
    }
}

TEST_F(RunTest, FailuresComeBeforeTheBeepAndOnlyFinishedMoviesAreAnnounced) {
    Open("m10", 10);
    doc.m_bOutputAvi = doc.m_bOutputWmv = doc.m_bOutputBmp = TRUE;
    fs::create_directory(out / *Images({4}).begin());  // frame 3 cannot be written
    Play();
    EXPECT_EQ(Captions(), (std::vector<std::wstring>{L"Error No.0502", L"It preserved ", L"It preserved "}));
    EXPECT_EQ(beeps, std::vector<size_t>{1});
    EXPECT_EQ(AviFrames(Enc(".avi")), (std::vector<int>{0, 1, 2}));

    // A movie its writer cannot finish is reported, never announced as saved.
    doc.m_bOutputWmv = doc.m_bOutputBmp = FALSE;
    script.ui.messageBoxes.clear();
    beeps.clear();
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    pump.step = [&] {
        if (view.GetCurrentFrame() != 9) return;
        // The file may not grow any more: the writer cannot add its index.
        rlimit limit = before;
        limit.rlim_cur = fs::file_size(Enc(".avi"));
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    view.SetCurrentFrame(0);
    Play();
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(Captions(), std::vector<std::wstring>{L"Error No.2006"});
    EXPECT_EQ(beeps, std::vector<size_t>{0});
}

TEST_F(RunTest, AQuitEndsThePausedRunLikeAStop) {
    Open("m10", 10);
    doc.m_bOutputAvi = doc.m_bOutputBmp = TRUE;
    pump.step = [&] {
        if (view.GetCurrentFrame() == 2 && doc.m_nPlayState == PlayState::Playing) DispatchCommand(view, kPause);
        else if (doc.m_nPlayState == PlayState::Paused) pump.quit = true;
    };
    Play();
    EXPECT_GE(pump.quitsPosted, 1);
    EXPECT_EQ(Files(), [&] {
        auto f = Images({1, 2, 3});
        f.insert(Enc(".avi").filename().string());
        return f;
    }());
    EXPECT_EQ(AviFrames(Enc(".avi")), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Captions(), std::vector<std::wstring>{L"It preserved "});
}

TEST_F(RunTest, NoOutputMayBeTheOpenMovie) {
    Open("m10", 10);
    const std::wstring movie = doc.GetPathName();
    const std::string bytes = ReadFileBytes(movie);
    fs::create_symlink(movie, Enc(".avi"));
    doc.m_bOutputAvi = TRUE;
    Play();
    doc.m_bOutputAvi = FALSE;
    fs::create_symlink(movie, out / *Images({1}).begin());
    doc.m_bOutputBmp = TRUE;
    view.SetCurrentFrame(0);
    Play();
    // A name that only becomes the movie once it gets its image extension.
    FileDialogRequest shot;
    shot.path = (out / "shot.2024").wstring();
    shot.filterIndex = 4;
    fs::create_symlink(movie, out / "shot.2024.png");
    script.ui.fileAnswers = {shot};
    DispatchCommand(view, kSaveImage);
    EXPECT_EQ(Captions(), (std::vector<std::wstring>{L"Error No.2001", L"Error No.0502", L"Error No.0502"}));
    EXPECT_EQ(ReadFileBytes(movie), bytes);
}

TEST_F(RunTest, CopiedAudioCoversExactlyTheFramesWritten) {
    Open("a30", 30, AudioCodec::Pcm16);
    view.OnRangePlay();
    view.SetCurrentFrame(5);
    view.OnSetRangeStart();
    view.SetCurrentFrame(14);
    view.OnSetRangeEnd();
    doc.m_bOutputAvi = TRUE;
    audioChoice = kAudioCopy;
    Play();
    int samples = 0;
    EXPECT_EQ(AviFrames(Enc(".avi"), &samples), (std::vector<int>{5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(samples, 22050 / 25 * 10);
    EXPECT_EQ(asked, (std::vector<std::string>{"avi", "audio"}));
}

TEST_F(RunTest, SaveImageAndCopyGiveTheProcessedFrame) {
    Open("m10", 10);
    view.SetCurrentFrame(6);
    (void)view.ShowFrame();
    FileDialogRequest bare, typed, unknown;
    bare.path = (out / "still").wstring();
    bare.filterIndex = 4;  // PNG
    typed.path = (out / "shot.png").wstring();
    typed.filterIndex = 1;  // JPG, but the name says PNG
    unknown.path = (out / "clip.xyz").wstring();
    unknown.filterIndex = 1;
    script.ui.fileAnswers = {bare, typed, unknown, std::nullopt};
    for (int i = 0; i < 4; ++i) DispatchCommand(view, kSaveImage);
    EXPECT_EQ(Files(), (std::set<std::string>{"still.png", "shot.png"}));
    EXPECT_EQ(ReadFileBytes(out / "shot.png").substr(1, 3), "PNG");
    EXPECT_EQ(DecodeImage(out / "still.png"), Painted(6));
    EXPECT_EQ(script.ui.fileRequests[0].path, (out / "m10").wstring());
    // An extension no writer knows is refused, not made another name.
    ASSERT_EQ(script.ui.messageBoxes.size(), 1u);
    EXPECT_EQ(script.ui.messageBoxes[0].text.substr(0, 13), L"Error No.0502");
    script.ui.messageBoxes.clear();

    doc.m_OutputHeader.biWidth = 32;
    doc.m_OutputHeader.biHeight = 24;
    DispatchCommand(view, kCopy);
    ASSERT_EQ(script.ui.clipboard.size(), 1u);
    const std::vector<uint8_t>& dib = script.ui.clipboard[0];
    BITMAPINFOHEADER h{};
    ASSERT_EQ(dib.size(), sizeof h + DibRowBytes(32, 24) * 24);
    std::memcpy(&h, dib.data(), sizeof h);
    EXPECT_EQ(h.biWidth, 32);
    EXPECT_EQ(h.biHeight, 24);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(ReadIndexFromDib(dib.data() + sizeof h, 32, 24), 6);

    // The title offered unchanged keeps its dot, which starts no extension.
    Open("clip.2024", 10);
    FileDialogRequest offered;
    offered.path = (out / "clip.2024").wstring();
    offered.filterIndex = 4;
    script.ui.fileAnswers = {offered};
    DispatchCommand(view, kSaveImage);
    EXPECT_TRUE(fs::exists(out / "clip.2024.png"));
    EXPECT_TRUE(script.ui.messageBoxes.empty());
}

// Rows of an odd width end in padding that files and the clipboard carry: it is zero,
// whatever the buffers held before (fresh memory is poisoned here), so that two runs
// give the same bytes. Through the resize and deinterlacing, and as read.
TEST_F(RunTest, OddWidthOutputsHoldZeroPaddingAndAreTheSameEachRun) {
    mallopt(M_PERTURB, 165);  // fresh blocks filled with 0x5A
    view.GetRunHooks().aviSettings = [](const BITMAPINFOHEADER*, CEncAVISetting* setting, CWnd*) {
        setting->SetHandler(ICHANDLER_DIB);
        return 0;
    };
    auto zeroPadding = [](const std::string& rows, size_t offset, int w, int h) {
        const size_t stride = static_cast<size_t>(DibRowBytes(w, 24));
        if (rows.size() < offset + stride * h) return false;
        for (int y = 0; y < h; ++y)
            for (size_t k = 3 * static_cast<size_t>(w); k < stride; ++k)
                if (rows[offset + stride * y + k] != 0) return false;
        return true;
    };
    MovieDesc odd, decoded;
    odd.frames = decoded.frames = 4;
    odd.width = decoded.width = 61;
    odd.height = decoded.height = 45;
    decoded.video = VideoCodec::Mjpeg;
    struct Setup {
        const char* name;
        const MovieDesc* movie;
        RECT clip;
        int w, h;
        UINT deinterlace;
    } setups[] = {{"resized", &odd, {13, 5, 50, 40}, 41, 31, ID_DEINTERLACE_NO},
                  {"deinterlaced", &odd, {0, 0, 61, 45}, 61, 45, ID_DEINTERLACE_DOUBLING},
                  {"as read", &odd, {0, 0, 61, 45}, 61, 45, ID_DEINTERLACE_NO},
                  {"as decoded", &decoded, {0, 0, 61, 45}, 61, 45, ID_DEINTERLACE_NO},
                  {"resized and deinterlaced", &odd, {13, 5, 50, 40}, 41, 31, ID_DEINTERLACE_ODD}};
    for (const Setup& s : setups) {
        std::map<std::string, std::string> first;
        for (int run = 0; run < 2; ++run) {
            for (const auto& f : Files()) fs::remove_all(out / f);
            Open(s.movie == &odd ? "odd61" : "odd61mjpeg", *s.movie);
            DispatchCommand(view, s.deinterlace);
            doc.m_bOutputBmp = doc.m_bOutputJpg = doc.m_bOutputTif = doc.m_bOutputPng = doc.m_bOutputAvi = TRUE;
            doc.m_ClipRect = s.clip;
            doc.m_OutputHeader.biWidth = s.w;
            doc.m_OutputHeader.biHeight = s.h;
            view.SetCurrentFrame(0);
            Play();
            std::map<std::string, std::string> files;
            for (const auto& f : Files()) files[f] = ReadFileBytes(out / f);
            EXPECT_EQ(files.size(), 4u * 4 + 1) << s.name;
            for (const auto& [name, bytes] : files) {
                if (name.ends_with(".bmp")) {
                    EXPECT_TRUE(zeroPadding(bytes, 54, s.w, s.h)) << s.name << " " << name;
                }
            }
            std::string avi;
            RunCommand("ffmpeg -v error -i " + ShellQuote(Enc(".avi").string()) + " -c copy -f rawvideo -", &avi);
            const size_t frame = static_cast<size_t>(DibRowBytes(s.w, 24)) * s.h;
            EXPECT_EQ(avi.size(), 4 * frame) << s.name;
            for (size_t at = 0; at + frame <= avi.size(); at += frame)
                EXPECT_TRUE(zeroPadding(avi, at, s.w, s.h)) << s.name << " AVI frame " << at / frame;
            script.ui.clipboard.clear();
            DispatchCommand(view, kCopy);
            ASSERT_EQ(script.ui.clipboard.size(), 1u);
            const std::vector<uint8_t>& dib = script.ui.clipboard[0];
            EXPECT_TRUE(zeroPadding(std::string(dib.begin(), dib.end()), 40, s.w, s.h)) << s.name << " clipboard";
            if (run == 0) {
                first = files;
            } else {
                EXPECT_TRUE(files == first) << s.name;
            }
        }
    }
    mallopt(M_PERTURB, 0);
}

// The outputs of a run written beside it, on the worker, are those written in line: the
// same names and bytes, the same first failure with its box over the same frame, and the
// same files after a pause and a stop; with image files alone, and with movie files of
// every kind beside them: a compressed AVI file, a WMV file with the silence of a movie
// without audio, AVI and WMV files with the movie's audio recompressed, frame by frame
// and in pieces of more than a frame's worth, and a two-pass WMV file.
TEST_F(RunTest, OutputsBesideTheRunAreThoseWrittenInLine) {
    struct Outcome {
        std::map<std::string, std::string> files;
        std::vector<std::wstring> captions;
        int frame = -1;
        bool operator==(const Outcome&) const = default;
    };
    std::string movie;
    auto open = [&](const std::string& name, const MovieDesc& desc) {
        Open(name, desc);
        movie = name;
        doc.m_bOutputBmp = doc.m_bOutputJpg = doc.m_bOutputTif = doc.m_bOutputPng = TRUE;
        doc.m_ClipRect = {8, 4, 56, 44};
        doc.m_OutputHeader.biWidth = 40;
        doc.m_OutputHeader.biHeight = 30;
    };
    MovieDesc plain, sound, slow;
    plain.frames = sound.frames = 12;
    sound.audio = slow.audio = AudioCodec::Pcm16;
    // Six seconds a frame of 48 kHz stereo: more than a piece of audio per frame.
    slow.frames = 3;
    slow.rate = 1;
    slow.rateDen = 6;
    slow.sampleRate = 48000;
    slow.channels = 2;
    TempDir profiles;
    bool pauseAndStop = false;
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    auto run = [&](bool beside, const std::function<void()>& prepare) {
        for (const auto& f : Files()) fs::remove_all(out / f);
        script.ui.messageBoxes.clear();
        pauseAndStop = false;
        prepare();
        bool paused = false;
        pump.step = [&] {
            if (!pauseAndStop) return;
            if (view.GetCurrentFrame() == 3 && !paused) {
                paused = true;
                DispatchCommand(view, kPause);
            } else if (doc.m_nPlayState == PlayState::Paused) {
                DispatchCommand(view, kPlay);
            } else if (view.GetCurrentFrame() == 6) {
                DispatchCommand(view, kStop);
            }
        };
        view.SetOutputsBesideRun(beside);
        view.SetCurrentFrame(0);
        Play();
        setrlimit(RLIMIT_FSIZE, &before);
        Outcome o;
        for (const auto& f : Files())
            if (fs::is_regular_file(out / f)) o.files[f] = ReadFileBytes(out / f);
        o.captions = Captions();
        o.frame = view.GetCurrentFrame();
        return o;
    };
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"whole run", [] {}},
        {"an image file that cannot be written", [&] { fs::create_directory(out / *Images({8}, ".tif").begin()); }},
        {"pause and stop", [&] { pauseAndStop = true; }},
        {"a full disk", [&] {
             // No file may pass 24 kB: the images fit, the AVI file fails at a frame.
             rlimit limit = before;
             limit.rlim_cur = 24000;
             setrlimit(RLIMIT_FSIZE, &limit);
         }},
    };
    // The AVI file compressed, so that the worker also runs the compressor.
    view.GetRunHooks().aviSettings = [](const BITMAPINFOHEADER*, CEncAVISetting* setting, CWnd*) {
        setting->SetHandler(MAKEFOURCC('M', 'J', 'P', 'G'));
        return 0;
    };
    const std::pair<const char*, std::function<void()>> setups[] = {
        {"image files", [&] { open("m12", plain); }},
        {"an AVI file", [&] { doc.m_bOutputAvi = TRUE; }},
        {"a WMV file", [&] {
             doc.m_bOutputAvi = FALSE;
             doc.m_bOutputWmv = TRUE;
         }},
        {"AVI and WMV files with audio", [&] {
             open("a12", sound);
             doc.m_bOutputAvi = doc.m_bOutputWmv = TRUE;
             audioChoice = kAudioRecompress;
         }},
        {"audio in pieces", [&] {
             open("slow3", slow);
             doc.m_bOutputAvi = doc.m_bOutputWmv = TRUE;
         }},
        {"a two-pass WMV file", [&] {
             open("a12", sound);
             UseTwoPassProfile(profiles / "2pass.prx");
             doc.m_bOutputWmv = TRUE;
         }},
    };
    for (const auto& [setup, apply] : setups) {
        apply();
        for (const auto& [name, prepare] : cases) {
            const Outcome inLine = run(false, prepare);
            const Outcome beside = run(true, prepare);
            EXPECT_TRUE(inLine == beside) << setup << ", " << name;
            EXPECT_FALSE(inLine.files.empty()) << setup << ", " << name;
            // The full disk meets a movie file within the run (a small WMV file fits).
            if (name == cases[3].first && doc.m_bOutputAvi) {
                EXPECT_EQ(inLine.captions.at(0).substr(0, 9), L"Error No.") << setup;
            }
            // A whole run's AVI file holds all the movie's audio (recompressed at 22050 Hz).
            if (name == cases[0].first && doc.m_bOutputAvi && movie != "m12") {
                CDecAVIAudioComp written;
                ASSERT_EQ(written.Open(Enc(".avi").wstring().c_str()), 0) << setup;
                EXPECT_NEAR(written.GetAudioLength(), (movie == "slow3" ? 18.0 : 0.48) * 22050, 256) << setup;
            }
        }
    }
    std::signal(SIGXFSZ, previous);
}

// Frames that show the picture before them again (dropped chunks, not-coded pictures)
// and RLE frames that paint over it, each written as a file by the worker while the
// next frames are read: the files are those written in line, and each holds the
// picture its frame shows. Rows of 62 pixels are padded.
TEST_F(RunTest, FramesRepeatingThePictureBeforeAreWrittenBesideTheRunAsInLine) {
    TempDir movies;
    auto shape = [](const std::string& name, const fs::path& path) {
        for (const AviShape& s : AviShapes())
            if (s.name == name) return s.make(path);
        return false;
    };
    auto ffmpeg = [](VideoCodec codec, const fs::path& path) {
        MovieDesc desc;
        desc.video = codec;
        desc.width = 62;
        desc.height = 46;
        desc.frames = 12;
        return MakeTestMovie(desc, path);
    };
    struct Case {
        const char* name;
        std::function<bool(const fs::path&)> make;
        bool drops;
    };
    const Case cases[] = {
        {"mjpeg", [&](const fs::path& p) { return ffmpeg(VideoCodec::Mjpeg, p); }, true},
        {"raw", [&](const fs::path& p) { return ffmpeg(VideoCodec::RawBgr24, p); }, true},
        {"rle8", [&](const fs::path& p) { return shape("rle8", p); }, true},
        {"mpeg4_not_coded", [&](const fs::path& p) { return shape("mpeg4_not_coded", p); }, false},
    };
    for (const Case& c : cases) {
        const fs::path path = movies / (std::string(c.name) + ".avi");
        std::vector<int> shows;  // the source frame each frame shows
        if (c.drops) {
            const fs::path made = movies / (std::string(c.name) + ".made.avi");
            ASSERT_TRUE(c.make(made) && WithDroppedFrames(made, path, &shows)) << c.name;
        } else {
            ASSERT_TRUE(c.make(path)) << c.name;
        }
        ASSERT_TRUE(doc.OnOpenDocument(path.wstring())) << c.name;
        doc.m_bOutputBmp = TRUE;
        auto run = [&](bool beside) {
            for (const auto& f : Files()) fs::remove_all(out / f);
            view.SetOutputsBesideRun(beside);
            view.SetCurrentFrame(0);
            Play();
            std::map<std::string, std::string> files;
            for (const auto& f : Files()) files[f] = ReadFileBytes(out / f);
            return files;
        };
        const auto inLine = run(false);
        const auto beside = run(true);
        ASSERT_EQ(inLine.size(), size_t(view.GetFrameCount())) << c.name;
        EXPECT_TRUE(inLine == beside) << c.name;
        // The last frame, handed over without a copy, is still the one on screen.
        if (c.drops) EXPECT_EQ(ReadIndexFromDib(view.GetDisplayBits(), 62, 46), shows.back()) << c.name;
        for (size_t f = 0; f < shows.size(); ++f) {
            char name[64];
            std::snprintf(name, sizeof name, "%s %07zu.bmp", c.name, f + 1);
            const std::string rows = DecodeImage(out / name);
            ASSERT_EQ(rows.size(), size_t(62 * 46 * 3)) << c.name << " " << name;
            EXPECT_EQ(ReadIndexFrame(reinterpret_cast<const uint8_t*>(rows.data()), 62, 46, 62 * 3), shows[f])
                << c.name << " " << name;
        }
    }
}
