#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <functional>
#include <future>
#include <thread>

#include "app/MovieViewOps.h"
#include "app/TALVERNDoc.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/Wnd.h"
#include "platform/win32/WideChar.h"
#include "readers/DecAVIAudio.h"
#include "readers/DecDVAVI.h"
#include "resources/CommandIds.h"
#include "tests/platform/dshow/IndexMovie.h"

namespace {

using talvern::test::MakeIndexMovie;

const std::wstring kNoValue = L"\u3000\uFF0D";
const std::wstring kNotAcquired = L"The image was not able to be acquired. ";

// Does for the document what the real view does: closing resets it; a frame 0 that
// cannot be shown closes the movie and fails. initResults script that answer instead.
class FakeView : public CWnd, public IMovieViewOps {
public:
    explicit FakeView(CTALVERNDoc& doc) : m_doc(doc) { doc.SetView(this); }
    QWidget* GetWidget() override { return nullptr; }
    void CloseMovie() override {
        log += 'C';
        m_doc.m_nPlayState = PlayState::Stopped;
        m_doc.ResetContents();
    }
    int InitAfterOpen() override {
        log += 'I';
        void* bits = nullptr;
        int rc = m_doc.m_Reader->GetFrame(0, &bits) < 0 ? -1 : 0;
        if (!initResults.empty()) rc = initResults.front(), initResults.pop_front();
        if (rc != 0) CloseMovie();
        return rc;
    }
    std::string log;
    std::deque<int> initResults;

private:
    CTALVERNDoc& m_doc;
};

struct FakeMovie {
    double rate = 25;
    int count = 10, width = 4, height = 4, openResult = 0;
};

class FakeReader : public CDecMovie {
public:
    FakeReader(FakeMovie movie, int id) : movie(movie), id(id) {}
    int Open(const wchar_t*) override { return movie.openResult; }
    int GetFrame(int n, void**) override { return n; }
    double GetFrameRate() override { return movie.rate; }
    int GetFrameCount() override { return movie.count; }
    int GetWidth() override { return movie.width; }
    int GetHeight() override { return movie.height; }
    FakeMovie movie;
    int id;
};

// The real readers unless fakes are given; beforeReader runs as each is built.
class TestDoc : public CTALVERNDoc {
public:
    std::vector<FakeMovie> fakes;
    std::function<void(int)> beforeReader;

protected:
    CDecMovie* NewReader(int attempt) const override {
        if (beforeReader) beforeReader(attempt);
        if (fakes.empty()) return CTALVERNDoc::NewReader(attempt);
        return new FakeReader(fakes.at(size_t(attempt)), attempt);
    }
};

class Document : public ::testing::Test {
protected:
    // Empty when ffmpeg cannot make it.
    std::wstring Movie(const std::string& name, const std::string& rate, const std::string& codec,
                       const std::string& inputs = "") {
        const std::string path = (dir / name).string();
        return MakeIndexMovie(path, 64, 48, rate, 1.0, codec, inputs) ? Utf8ToWide(path) : L"";
    }
    // A blocked open would hang the whole test program: give up after a deadline.
    BOOL OpenWithin(const std::wstring& path) {
        auto task = std::make_shared<std::packaged_task<BOOL()>>(
            [this, path] { return doc.OnOpenDocument(path); });
        auto result = task->get_future();
        std::thread([task] { (*task)(); }).detach();
        if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << WideToUtf8(path) << " blocked";
            std::_Exit(1);
        }
        return result.get();
    }
    bool AllReset() const {
        return !doc.IsAnyOutputOn() && !doc.m_bExtracting && doc.GetPathName().empty() &&
               !doc.m_Reader && doc.m_InfoLines == std::vector<std::wstring>(20, kNoValue);
    }

    talvern::test::ScopedConfigDir config;
    talvern::test::TempDir dir;
    ScopedScriptedUi scripted;
    TestDoc doc;
    FakeView view{doc};
};

TEST_F(Document, VideoTheFirstReaderCannotShowOpensSilentlyThroughTheSecond) {
    const std::wstring path =
        Movie("hevc.avi", "25",
              "-c:v libx265 -pix_fmt gbrp -x265-params lossless=1:log-level=error -tag:v HEVC");
    if (path.empty()) GTEST_SKIP() << "ffmpeg cannot write lossless HEVC here";
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(view.log, "CICCI") << "close, try, the view closes, close, try";
    EXPECT_TRUE(scripted.ui.messageBoxes.empty());
    auto* combined = dynamic_cast<CDecDVAVI*>(doc.m_Reader.Get());
    ASSERT_NE(combined, nullptr);
    EXPECT_EQ(doc.GetAudioReader(), combined->GetAudioReader());
    const std::vector<std::wstring> lines = {L"vids",       L"HEVC",    L"HEVC",   L"25",
                                             L"25.000 fps", L"64 pixl", L"48 pixl"};
    EXPECT_TRUE(std::equal(lines.begin(), lines.end(), doc.m_InfoLines.begin()));
    EXPECT_EQ(doc.m_InfoLines[10], kNoValue);
}

TEST_F(Document, SecondOpenClearsTheSwitchesAndKeepsIntervalAndSettings) {
    const std::wstring ntsc = Movie("ntsc.avi", "30000/1001", "-c:v ffv1 -c:a pcm_s16le -ac 1",
                                    "-f lavfi -i sine=sample_rate=22050:duration=1");
    ASSERT_TRUE(doc.OnOpenDocument(ntsc));
    EXPECT_EQ(view.log, "CI");
    EXPECT_EQ(doc.GetAudioReader(), doc.m_Reader.Get());
    EXPECT_EQ(doc.m_InfoLines[4], L"29.970 fps");
    EXPECT_EQ(doc.m_InfoLines[10], L"Monoral");
    EXPECT_EQ(doc.m_InfoLines[11], L"22050 Hz");
    EXPECT_EQ(doc.m_InfoLines[12], CDecAVIAudio::FormatTagName(WAVE_FORMAT_PCM));
    EXPECT_EQ(doc.m_AudioStreamInfo.fccType, streamtypeAUDIO);

    doc.m_bOutputAvi = doc.m_bOutputWmv = doc.m_bOutputBmp = TRUE;
    doc.m_bOutputJpg = doc.m_bOutputTif = doc.m_bOutputPng = doc.m_bExtracting = TRUE;
    doc.m_nDisplayInterval = 30;
    doc.m_Info.m_nJpegQuality = 55;
    const std::wstring mute = Movie("mute.avi", "25", "-c:v ffv1");
    ASSERT_TRUE(doc.OnOpenDocument(mute));
    EXPECT_FALSE(doc.IsAnyOutputOn() || doc.m_bExtracting);
    EXPECT_EQ(doc.m_nDisplayInterval, 30);
    EXPECT_EQ(doc.m_Info.m_nJpegQuality, 55);
    EXPECT_EQ(doc.m_InfoLines[10], kNoValue) << "no audio: the old movie's lines are gone";
    EXPECT_EQ(doc.m_AudioStreamInfo.fccType, 0u);
    EXPECT_EQ(doc.GetPathName(), mute);
}

TEST_F(Document, FileNeitherReaderOpensIsReportedOnceAndLeavesNoMovie) {
    ASSERT_TRUE(doc.OnOpenDocument(Movie("plain.avi", "25", "-c:v ffv1")));
    doc.m_bOutputTif = TRUE;
    view.log.clear();
    const auto junk = dir / "junk.avi";
    talvern::test::WriteFileBytes(junk, std::string(1000, 'j'));
    EXPECT_FALSE(doc.OnOpenDocument(Utf8ToWide(junk.string())));
    EXPECT_EQ(view.log, "CCCC");
    ASSERT_EQ(scripted.ui.messageBoxes.size(), 1u);
    EXPECT_EQ(scripted.ui.messageBoxes[0].text, kNotAcquired);
    EXPECT_EQ(scripted.ui.messageBoxes[0].type, MB_OK);
    EXPECT_TRUE(AllReset());
}

TEST_F(Document, ReaderWithUnusableValuesFailsItsTry) {
    const auto file = dir / "any.avi";
    talvern::test::WriteFileBytes(file, "x");
    const std::wstring path = Utf8ToWide(file.string());
    const double inf = INFINITY;
    const FakeMovie bad[] = {{NAN},           {inf},
                            {-inf},          {0},
                            {-25},           {214748.4},
                            {25, 0},         {25, 10, 0},
                            {25, 10, 4, -1}, {25, 10, 4, 4, 1002}};
    for (const FakeMovie& movie : bad) {
        doc.fakes = {movie, FakeMovie{}};
        view.log.clear();
        ASSERT_TRUE(doc.OnOpenDocument(path));
        EXPECT_EQ(view.log, "CCCI") << movie.rate << " " << movie.count << " " << movie.height;
        EXPECT_EQ(static_cast<FakeReader*>(doc.m_Reader.Get())->id, 1);
    }
    EXPECT_TRUE(scripted.ui.messageBoxes.empty()) << "a first failure is silent";
    doc.fakes = {FakeMovie{214748.0, 1, 1, 1}, FakeMovie{}};
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(static_cast<FakeReader*>(doc.m_Reader.Get())->id, 0)
        << "the largest rate that fits x 10000";

    // Both readers fill the lines, then neither can be shown: the lines are reset.
    doc.fakes = {FakeMovie{}, FakeMovie{}};
    view.initResults = {-1, -1};
    EXPECT_FALSE(doc.OnOpenDocument(path));
    EXPECT_EQ(scripted.ui.messageBoxes.size(), 1u);
    EXPECT_TRUE(AllReset());
}

TEST_F(Document, SpecialFilesAreRefusedWithoutBlocking) {
    const std::wstring movie = Movie("plain.avi", "25", "-c:v ffv1");
    ASSERT_TRUE(doc.OnOpenDocument(movie));
    const std::string fifo = (dir / "pipe.avi").string(), folder = (dir / "folder.avi").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    for (const std::string& path : {fifo, folder, std::string("/dev/null")}) {
        EXPECT_FALSE(OpenWithin(Utf8ToWide(path))) << path;
        EXPECT_EQ(doc.GetPathName(), movie) << "the open movie stays";
    }
    EXPECT_EQ(scripted.ui.messageBoxes.size(), 3u);

    // A file that turns into a FIFO after the base check never reaches a reader.
    const std::wstring swapped = Movie("swapped.avi", "25", "-c:v ffv1");
    doc.beforeReader = [&](int attempt) {
        if (attempt != 0) return;
        ::unlink(WideToUtf8(swapped).c_str());
        ::mkfifo(WideToUtf8(swapped).c_str(), 0600);
    };
    EXPECT_FALSE(OpenWithin(swapped));
    EXPECT_EQ(scripted.ui.messageBoxes.back().text, kNotAcquired);
    EXPECT_TRUE(AllReset());
}

TEST_F(Document, BusyCloseIsRefusedAndStopsOnlyWhenAllowed) {
    struct Case {
        BOOL modified, tif, extracting;
        int answer;  // 0: no box expected
        BOOL allowed;
        PlayState after;
    };
    const Case cases[] = {
        {FALSE, TRUE, FALSE, 0, TRUE, PlayState::Playing},
        {TRUE, TRUE, FALSE, IDYES, FALSE, PlayState::Stopped},
        {TRUE, TRUE, FALSE, IDNO, FALSE, PlayState::Playing},
        {TRUE, FALSE, TRUE, IDYES, FALSE, PlayState::Stopped},
        {TRUE, FALSE, FALSE, 0, FALSE, PlayState::Stopped},
    };
    for (const Case& c : cases) {
        scripted.ui.messageBoxes.clear();
        scripted.ui.messageBoxAnswers = {c.answer};
        doc.SetModifiedFlag(c.modified);
        doc.m_bOutputTif = c.tif, doc.m_bExtracting = c.extracting;
        doc.m_nPlayState = PlayState::Playing;
        EXPECT_EQ(doc.SaveModified(), c.allowed);
        ASSERT_EQ(scripted.ui.messageBoxes.size(), c.answer ? 1u : 0u);
        if (c.answer) {
            EXPECT_EQ(scripted.ui.messageBoxes[0].text, L"Stop?");
            EXPECT_EQ(scripted.ui.messageBoxes[0].type, MB_YESNO | MB_ICONQUESTION);
        }
        EXPECT_EQ(doc.m_nPlayState, c.after);
    }
}

// A run or an extraction holds the movie while it lasts and leaves the document idle
// however it ends.
TEST_F(Document, BusyScopeHoldsTheMovieAndLeavesTheDocumentIdle) {
    {
        CTALVERNDoc::BusyScope busy(doc);
        doc.m_nPlayState = PlayState::Playing;
        doc.m_bExtracting = TRUE;
        scripted.ui.messageBoxAnswers = {IDNO};
        EXPECT_FALSE(doc.SaveModified());
    }
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.m_nPlayState, PlayState::Stopped);
    EXPECT_FALSE(doc.m_bExtracting);
    EXPECT_TRUE(doc.SaveModified());
}

TEST_F(Document, CommandsFollowTheMovieAndPlayState) {
    const std::tuple<const wchar_t*, PlayState, bool> states[] = {
        {L"", PlayState::Stopped, false},
        {L"/m.avi", PlayState::Stopped, true},
        {L"/m.avi", PlayState::Playing, false},
        {L"/m.avi", PlayState::Paused, false},
    };
    const std::pair<UINT, BOOL CTALVERNDoc::*> switches[] = {
        {ID_OUTPUT_JPG, &CTALVERNDoc::m_bOutputJpg}, {ID_OUTPUT_BMP, &CTALVERNDoc::m_bOutputBmp},
        {ID_OUTPUT_AVI, &CTALVERNDoc::m_bOutputAvi}, {ID_OUTPUT_WMV, &CTALVERNDoc::m_bOutputWmv},
        {ID_OUTPUT_TIF, &CTALVERNDoc::m_bOutputTif}, {ID_OUTPUT_PNG, &CTALVERNDoc::m_bOutputPng}};
    const std::pair<UINT, int> previews[] = {
        {ID_PREVIEW_NONE, 10000}, {ID_PREVIEW_THIN, 30}, {ID_PREVIEW_ALL, 1}};
    for (const auto& [path, play, enabled] : states) {
        doc.SetPathName(path);
        doc.m_nPlayState = play;
        for (const auto& [id, field] : switches) {
            doc.*field = FALSE;
            EXPECT_EQ(DispatchCommand(doc, id), enabled) << id;
            EXPECT_EQ(doc.*field, enabled ? TRUE : FALSE) << id;
            EXPECT_EQ(QueryCommand(doc, id).m_nCheck, enabled ? 1 : 0) << id;
            doc.*field = FALSE;
        }
        for (const auto& [id, interval] : previews) {
            EXPECT_TRUE(DispatchCommand(doc, id)) << id;
            EXPECT_EQ(doc.m_nDisplayInterval, interval);
            for (const auto& [other, unused] : previews) {
                const CCmdUI ui = QueryCommand(doc, other);
                EXPECT_TRUE(ui.m_bEnabled && !ui.m_bRadio);
                EXPECT_EQ(ui.m_nCheck, other == id ? 1 : 0) << id << " " << other;
            }
        }
    }
}

}  // namespace
