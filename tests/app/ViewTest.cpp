// The view over a real document and generated movies whose frames carry their index.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCursor>
#include <QImage>
#include <QPointer>
#include <QWheelEvent>
#include <cstring>
#include <map>

#include "app/TALVERNView.h"
#include "platform/ui/Command.h"
#include "platform/ui/UiServices.h"
#include "resources/CommandIds.h"
#include "tests/data/TestMedia.h"
#include "tests/support/TestSupport.h"

using namespace talvern::test;

namespace {

// Counts what the view was asked to draw now, by frame.
class CountingView : public CTALVERNView {
public:
    void DrawFrame() override {
        frames.push_back(GetCurrentFrame());
        CTALVERNView::DrawFrame();
    }
    void DrawStatus() override {
        strips.push_back(GetCurrentFrame());
        CTALVERNView::DrawStatus();
    }
    std::vector<int> frames, strips;
};

class Movies {
public:
    static Movies& Get() {
        static Movies movies;
        return movies;
    }
    std::wstring Path(int frames) {
        auto it = m_made.find(frames);
        if (it != m_made.end()) return it->second;
        MovieDesc desc;
        desc.frames = frames;
        desc.rate = 30;
        const auto path = m_dir / ("movie" + std::to_string(frames) + ".avi");
        std::string log;
        if (!MakeTestMovie(desc, path, &log)) ADD_FAILURE() << log;
        return m_made[frames] = path.wstring();
    }

private:
    TempDir m_dir;
    std::map<int, std::wstring> m_made;
};

class ViewTest : public testing::Test {
protected:
    talvern::test::ScopedLanguage english{"C.UTF-8"};  // whatever language the shell runs in
    void SetUp() override {
        doc.SetView(&view);
        view.SetDocument(&doc);
        view.resize(760, 600);
    }
    void Open(int frames) { ASSERT_TRUE(doc.OnOpenDocument(Movies::Get().Path(frames))); }
    bool Enabled(UINT id) { return QueryCommand(view, id).m_bEnabled; }
    int Checked(UINT id) { return QueryCommand(view, id).m_nCheck; }
    // The frame index drawn at the picture's place on screen.
    int IndexOnScreen() {
        const QImage shot = view.grab().toImage().copy(10, 25, 64, 48).convertToFormat(QImage::Format_BGR888);
        return ReadIndexFrame(shot.constBits(), 64, 48, shot.bytesPerLine());
    }
    QColor PixelAt(int x, int y) { return view.grab().toImage().pixelColor(x, y); }

    ScopedConfigDir config;
    ScopedScriptedUi script;
    CTALVERNDoc doc;
    CountingView view;
};

}  // namespace

TEST_F(ViewTest, UpdateRulesFollowTheMovieThePlayStateAndTheRange) {
    // Columns: Move to Start, Front, Next, Move to End, range mode, set start, set
    // end, whole range, go to range start, go to range end, a deinterlace mode, the
    // source picture.
    const UINT ids[] = {ID_MOVE_START,     ID_PREV_FRAME,     ID_NEXT_FRAME,
                        ID_MOVE_END,       ID_RANGE_PLAY,     ID_RANGE_START,
                        ID_RANGE_END,      ID_RANGE_WHOLE,    ID_GOTO_RANGE_START,
                        ID_GOTO_RANGE_END, ID_DEINTERLACE_NO, ID_SHOW_ORIGINAL};
    struct Row {
        int frames, current;
        bool range;
        const char* stopped;
    };
    const Row rows[] = {
        {0, 0, false, "000000000000"},   {0, 0, true, "000000000000"},
        {1, 0, false, "000010000011"},   {1, 0, true, "000010011111"},
        {300, 0, false, "001110000011"}, {300, 0, true, "001111011111"},
        {300, 150, false, "111110000011"}, {300, 150, true, "111111111111"},
        {300, 299, false, "110010000011"}, {300, 299, true, "110010111111"},
    };
    for (const Row& row : rows) {
        if (row.frames) Open(row.frames);
        view.SetCurrentFrame(row.current);
        if (view.IsRangeMode() != row.range) view.OnRangePlay();
        for (PlayState state : {PlayState::Stopped, PlayState::Playing, PlayState::Paused}) {
            doc.m_nPlayState = state;
            std::string got;
            for (UINT id : ids) got += Enabled(id) ? '1' : '0';
            // A run leaves only the display commands.
            const std::string want = state == PlayState::Stopped ? row.stopped
                                     : row.frames               ? "000000000011"
                                                                : "000000000000";
            EXPECT_EQ(got, want) << row.frames << " frames at " << row.current << (row.range ? " in range mode" : "")
                                 << ", state " << static_cast<int>(state);
        }
        doc.m_nPlayState = PlayState::Stopped;
        EXPECT_EQ(Checked(ID_RANGE_PLAY), row.range ? 1 : 0);
    }
}

TEST_F(ViewTest, DisplayIntervalDecidesWhichFramesOfARunAreDrawn) {
    Open(300);
    std::vector<int> every30;
    for (int f = 29; f < 300; f += 30) every30.push_back(f);
    struct Case {
        int interval;
        size_t frames;
    };
    for (const Case c : {Case{1, 300}, Case{30, every30.size()}, Case{10000, 0}}) {
        doc.m_nDisplayInterval = c.interval;
        doc.m_nPlayState = PlayState::Playing;
        view.frames.clear();
        view.strips.clear();
        for (int f = 0; f < 300; ++f) {
            view.SetCurrentFrame(f);
            ASSERT_EQ(view.ShowFrame(), 0);
        }
        EXPECT_EQ(view.frames.size(), c.frames) << c.interval;
        if (c.interval == 30) {
            EXPECT_EQ(view.frames, every30);
        }
        EXPECT_EQ(view.strips, c.interval == 1 ? view.frames : every30) << c.interval;
    }
    // Stopped, every call draws both.
    doc.m_nPlayState = PlayState::Stopped;
    view.frames.clear();
    view.SetCurrentFrame(7);
    (void)view.ShowFrame();
    EXPECT_EQ(view.frames, std::vector<int>{7});
}

TEST_F(ViewTest, StepsAndJumpsShowTheFrameAndTheStrip) {
    view.show();
    Open(10);
    EXPECT_EQ(IndexOnScreen(), 0);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(DispatchCommand(view, ID_NEXT_FRAME));
    EXPECT_EQ(view.GetCurrentFrame(), 5);
    EXPECT_EQ(IndexOnScreen(), 5);
    EXPECT_EQ(PixelAt(12, 5), QColor(0, 255, 255));   // stopped: cyan
    EXPECT_EQ(PixelAt(117, 5), QColor(0, 255, 0));    // position: green
    EXPECT_EQ(PixelAt(442, 5), QColor(128, 128, 128));  // no range box
    ASSERT_TRUE(DispatchCommand(view, ID_MOVE_END));
    EXPECT_EQ(IndexOnScreen(), 9);
    EXPECT_FALSE(DispatchCommand(view, ID_NEXT_FRAME));  // nothing after the last frame
    ASSERT_TRUE(DispatchCommand(view, ID_MOVE_START));
    EXPECT_EQ(IndexOnScreen(), 0);

    // Range mode shows its box; a range end before its start is undone by switching on.
    DispatchCommand(view, ID_RANGE_PLAY);
    EXPECT_EQ(PixelAt(442, 5), QColor(0, 255, 255));
    view.SetCurrentFrame(6);
    DispatchCommand(view, ID_RANGE_START);
    DispatchCommand(view, ID_RANGE_PLAY);
    view.SetCurrentFrame(3);
    view.OnSetRangeEnd();  // past the rules: end 3 before start 6
    DispatchCommand(view, ID_RANGE_PLAY);
    EXPECT_EQ(view.GetRangeStart(), 0);
    EXPECT_EQ(view.GetRangeEnd(), 9);
    EXPECT_EQ(view.GetSlider()->GetSelEnd(), 9);
    doc.m_nPlayState = PlayState::Paused;
    view.DrawStatus();
    EXPECT_EQ(PixelAt(12, 5), QColor(255, 0, 255));
    EXPECT_EQ(PixelAt(442, 5), QColor(255, 0, 255));
}

TEST_F(ViewTest, ZoomPresetsKeysAndWheel) {
    view.show();
    Open(10);
    auto wheel = [&](QPoint delta) {
        QWheelEvent e(QPointF(100, 100), QPointF(100, 100), QPoint(), delta, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&view, &e);
    };
    DispatchCommand(view, ID_ZOOM_200);  // 200%
    EXPECT_EQ(view.GetZoom(), 2.0);
    EXPECT_EQ(Checked(ID_ZOOM_200), 1);
    wheel(QPoint(0, -60));
    EXPECT_EQ(view.GetZoom(), 2.0);  // half a notch waits
    wheel(QPoint(0, -60));
    EXPECT_EQ(view.GetZoom(), 1.0);
    wheel(QPoint(-240, 0));
    EXPECT_EQ(view.GetZoom(), 1.0);  // sideways does nothing
    DispatchCommand(view, ID_ZOOM_UP);
    DispatchCommand(view, ID_ZOOM_UP);
    EXPECT_EQ(view.GetZoom(), 4.0);
    DispatchCommand(view, ID_ZOOM_DOWN);
    EXPECT_EQ(view.GetZoom(), 2.0);
    const QImage shot = view.grab().toImage();
    EXPECT_NE(shot.pixelColor(10 + 127, 25 + 95), QColor(128, 128, 128));
    EXPECT_EQ(shot.pixelColor(10 + 128, 25 + 95), QColor(128, 128, 128));
    wheel(QPoint(0, 1200 * 3));
    EXPECT_EQ(view.GetZoom(), kMaxZoom);
    EXPECT_EQ(Checked(ID_ZOOM_400), 0);
    EXPECT_EQ(doc.m_OutputHeader.biSizeImage, 192u * 48);
}

TEST_F(ViewTest, SliderFollowsTheLeftButtonOnlyWhileStopped) {
    view.show();
    Open(300);
    CSliderSelect* slider = view.GetSlider();
    EXPECT_EQ(slider->maximum(), 299);
    EXPECT_EQ(slider->tickInterval(), 30);
    auto press = [&](int x) {
        QCursor::setPos(slider->mapToGlobal(QPoint(x, 10)));
        QMouseEvent down(QEvent::MouseButtonPress, QPointF(x, 10), QCursor::pos(), Qt::LeftButton, Qt::LeftButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(slider, &down);
        QMouseEvent up(QEvent::MouseButtonRelease, QPointF(x, 10), QCursor::pos(), Qt::LeftButton, Qt::NoButton,
                       Qt::NoModifier);
        QCoreApplication::sendEvent(slider, &up);
    };
    // 760 - 28 = 732 pixels for 299 frames: x = 14 + 366 is frame 149.
    press(14 + 366);
    EXPECT_EQ(view.GetCurrentFrame(), 149);
    EXPECT_EQ(IndexOnScreen(), 149);
    doc.m_nPlayState = PlayState::Playing;
    press(14 + 732);
    EXPECT_EQ(view.GetCurrentFrame(), 149);
    EXPECT_EQ(slider->value(), 149);
    // A 1-frame movie: a slider of one position without ticks.
    doc.m_nPlayState = PlayState::Stopped;
    Open(1);
    EXPECT_EQ(slider->maximum(), 0);
    EXPECT_EQ(slider->tickPosition(), QSlider::NoTicks);
}

TEST_F(ViewTest, SourcePictureShowsTheFrameBeforeDeinterlacingAndFollowsEveryStep) {
    view.show();
    Open(10);
    DispatchCommand(view, ID_DEINTERLACE_DOUBLING);  // Doubling
    ASSERT_NE(view.GetDisplayBits(), view.GetSourceBits());
    ASSERT_TRUE(DispatchCommand(view, ID_SHOW_ORIGINAL));
    CShorityu* source = view.GetSourcePictureWindow();
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(Checked(ID_SHOW_ORIGINAL), 1);
    EXPECT_EQ(source->size(), QSize(64, 48));
    auto shown = [&] {
        const QImage shot = source->grab().toImage().convertToFormat(QImage::Format_BGR888);
        return shot;
    };
    DispatchCommand(view, ID_NEXT_FRAME);
    DispatchCommand(view, ID_NEXT_FRAME);
    QImage shot = shown();
    EXPECT_EQ(ReadIndexFrame(shot.constBits(), 64, 48, shot.bytesPerLine()), 2);
    // Row for row the undeinterlaced source: the top row of the bottom-up frame.
    const BYTE* top = view.GetSourceBits() + DibRowBytes(64, 24) * 47;
    EXPECT_EQ(std::memcmp(shot.constScanLine(0), top, 64 * 3), 0);
    // The view itself shows the blended rows where the blocks meet.
    EXPECT_NE(std::memcmp(view.GetDisplayBits(), view.GetSourceBits(), DibRowBytes(64, 24) * 48), 0);

    // Its close box asks the view, which lets go of it at once and deletes it later.
    QPointer<QWidget> alive(source);
    source->close();
    EXPECT_EQ(view.GetSourcePictureWindow(), nullptr);
    EXPECT_FALSE(alive->isVisible());
    QCoreApplication::processEvents();
    EXPECT_TRUE(alive.isNull());
    // Opened again, then closed with the movie.
    DispatchCommand(view, ID_SHOW_ORIGINAL);
    alive = view.GetSourcePictureWindow();
    view.CloseMovie();
    EXPECT_EQ(view.GetSourcePictureWindow(), nullptr);
    QCoreApplication::processEvents();
    EXPECT_TRUE(alive.isNull());
}

TEST_F(ViewTest, ARefusedOpenKeepsThePictureAndAFailedOneClearsIt) {
    view.show();
    Open(10);
    DispatchCommand(view, ID_NEXT_FRAME);
    view.OpenPath(L"/nonexistent/movie.avi");
    EXPECT_TRUE(doc.IsMovieOpen());
    EXPECT_NE(view.GetDisplayBits(), nullptr);
    EXPECT_EQ(IndexOnScreen(), 1);

    TempDir dir;
    WriteFileBytes(dir / "not-a-movie.avi", "RIFF....AVI garbage");
    view.OpenPath((dir / "not-a-movie.avi").wstring());
    EXPECT_FALSE(doc.IsMovieOpen());
    EXPECT_EQ(view.GetDisplayBits(), nullptr);
    EXPECT_EQ(view.GetCurrentFrame(), -1);
    EXPECT_EQ(PixelAt(40, 40), QColor(128, 128, 128));
}

TEST_F(ViewTest, ErrorReportShowsTheCodeAndItsTextAndAnErrorStopsTheRun) {
    Open(10);
    doc.m_nPlayState = PlayState::Playing;
    view.StopOnError(-2);
    EXPECT_FALSE(view.ReportError(-2));
    EXPECT_TRUE(script.ui.messageBoxes.empty());
    EXPECT_EQ(doc.m_nPlayState, PlayState::Playing);
    EXPECT_TRUE(view.ReportError(501));
    EXPECT_EQ(doc.m_nPlayState, PlayState::Playing);
    view.StopOnError(-1);
    ASSERT_EQ(script.ui.messageBoxes.size(), 2u);
    EXPECT_EQ(script.ui.messageBoxes[0].caption, L"Error No.0501");
    EXPECT_EQ(script.ui.messageBoxes[0].text, L"Error No.0501\n\nMemory shortage");
    EXPECT_EQ(script.ui.messageBoxes[1].caption, L"Error No.-001");
    EXPECT_EQ(doc.m_nPlayState, PlayState::Stopped);
}
