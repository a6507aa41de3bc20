// The view's player commands over a real document: what they enable and tick, the
// frames they send the player window to, and that every way of letting go of the window
// (its command, its close box, a new open, closing the movie) ends its device at once.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCursor>
#include <QImage>
#include <QMouseEvent>
#include <QPointer>
#include <chrono>
#include <thread>

#include "app/TALVERNView.h"
#include "platform/ui/Command.h"
#include "platform/ui/UiServices.h"
#include "readers/DecDVAVI.h"
#include "resources/CommandIds.h"
#include "tests/data/TestMedia.h"
#include "tests/support/TestSupport.h"

using namespace talvern::test;

namespace {

constexpr UINT kToggle = ID_PLAYER_TOGGLE, kPause = ID_PLAYER_PAUSE, kFirst = ID_PLAYER_FIRST,
               kLast = ID_PLAYER_LAST;
constexpr int kFrames = 60, kWidth = 64, kHeight = 48;

// Reads every movie with the combined reader when asked to.
class Doc : public CTALVERNDoc {
public:
    CDecMovie* NewReader(int attempt) const override {
        if (combined) return attempt == 0 ? new CDecDVAVI : nullptr;
        return CTALVERNDoc::NewReader(attempt);
    }
    bool combined = false;
};

class ViewPlayer : public testing::Test {
protected:
    talvern::test::ScopedLanguage english{"C.UTF-8"};  // whatever language the shell runs in
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        MovieDesc desc;
        desc.frames = kFrames;
        desc.audio = AudioCodec::Pcm16;
        std::string log;
        if (!MakeTestMovie(desc, s_dir->path() / "movie.avi", &log)) ADD_FAILURE() << log;
    }
    static void TearDownTestSuite() { delete s_dir; }

    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        doc.SetView(&view);
        view.SetDocument(&doc);
        view.resize(760, 600);
        view.show();
    }
    void TearDown() override { unsetenv("SDL_AUDIODRIVER"); }

    void Open() { ASSERT_TRUE(doc.OnOpenDocument((s_dir->path() / "movie.avi").wstring())); }
    // Enabled and ticked of the four commands, as "e/t" pairs: "10 11 10 10".
    std::string States() {
        std::string s;
        for (UINT id : {kToggle, kPause, kFirst, kLast}) {
            const CCmdUI ui = QueryCommand(view, id);
            if (!s.empty()) s += ' ';
            s += ui.m_bEnabled ? '1' : '0';
            s += ui.m_nCheck ? '1' : '0';
        }
        return s;
    }
    // The frame the player window shows, once its repaints have come through.
    int Shown() {
        QCoreApplication::processEvents();
        const QImage image = view.GetPlayerWindow()->grab().toImage().convertToFormat(QImage::Format_BGR888);
        return ReadIndexFrame(image.constBits(), kWidth, kHeight, image.bytesPerLine());
    }
    static void Pump(int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    // Lets go of the player by `let_go` and checks that its device ended then and
    // the window was deleted afterwards.
    template <typename F>
    void ExpectReleasedBy(F let_go) {
        CPlayer* player = view.GetPlayerWindow();
        ASSERT_NE(player, nullptr);
        const MCIDEVICEID id = player->GetDeviceId();
        ASSERT_NE(id, MCI_INVALID_DEVICE_ID);
        QPointer<QWidget> alive(player);
        let_go(player);
        EXPECT_EQ(view.GetPlayerWindow(), nullptr);
        EXPECT_EQ(mciSendCommand(id, MCI_STOP, MCI_WAIT, 0), MCIERR_INVALID_DEVICE_ID);
        QCoreApplication::processEvents();
        EXPECT_TRUE(alive.isNull());
    }

    static TempDir* s_dir;
    ScopedConfigDir config;
    ScopedScriptedUi script;
    Doc doc;
    CTALVERNView view;
};

TempDir* ViewPlayer::s_dir = nullptr;

TEST_F(ViewPlayer, CommandsDriveThePlayerWindowAndTheSliderRestartsIt) {
    EXPECT_EQ(States(), "00 00 00 00");
    Open();
    EXPECT_EQ(States(), "10 00 00 00");
    view.SetCurrentFrame(20);
    ASSERT_TRUE(DispatchCommand(view, kToggle));
    CPlayer* player = view.GetPlayerWindow();
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->GetStartFrame(), 20);
    EXPECT_EQ(player->size(), QSize(kWidth, kHeight));
    EXPECT_EQ(States(), "11 10 10 10");
    DispatchCommand(view, kPause);
    EXPECT_EQ(States(), "11 11 10 10");
    DispatchCommand(view, kPause);
    EXPECT_EQ(States(), "11 10 10 10");
    DispatchCommand(view, kLast);
    EXPECT_EQ(Shown(), kFrames - 1);
    EXPECT_EQ(States(), "11 11 10 10");
    DispatchCommand(view, kFirst);
    EXPECT_EQ(Shown(), 0);

    // A press on the slider plays from the frame under the cursor.
    CSliderSelect* slider = view.GetSlider();
    const QPoint at(14 + 366, 10);  // frame 29 of 0-59 on a slider 760 wide
    QCursor::setPos(slider->mapToGlobal(at));
    QMouseEvent down(QEvent::MouseButtonPress, QPointF(at), QCursor::pos(), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(slider, &down);
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(at), QCursor::pos(), Qt::LeftButton, Qt::NoButton,
                   Qt::NoModifier);
    QCoreApplication::sendEvent(slider, &up);
    EXPECT_NEAR(view.GetCurrentFrame(), 29, 1);
    EXPECT_EQ(player->GetStartFrame(), view.GetCurrentFrame());
    EXPECT_EQ(States(), "11 10 10 10");
    Pump(100);
    EXPECT_GE(Shown(), view.GetCurrentFrame());

    ExpectReleasedBy([&](CPlayer*) { DispatchCommand(view, kToggle); });
    EXPECT_EQ(States(), "10 00 00 00");
    EXPECT_TRUE(script.ui.messageBoxes.empty());
}

TEST_F(ViewPlayer, CloseBoxNewOpenAndClosingTheMovieEachEndTheDeviceAtOnce) {
    Open();
    DispatchCommand(view, kToggle);
    ExpectReleasedBy([](CPlayer* player) { player->close(); });
    DispatchCommand(view, kToggle);
    ExpectReleasedBy([&](CPlayer*) { Open(); });
    DispatchCommand(view, kToggle);
    ExpectReleasedBy([&](CPlayer*) { view.CloseMovie(); });
    EXPECT_EQ(States(), "00 00 00 00");
    // Opened and closed many times while it plays, nothing is left behind or hangs.
    Open();
    for (int i = 0; i < 20; ++i) {
        view.SetCurrentFrame(i);
        ASSERT_TRUE(DispatchCommand(view, kToggle));
        ASSERT_NE(view.GetPlayerWindow(), nullptr);
        if (i % 2) Pump(20);
        ASSERT_TRUE(DispatchCommand(view, kToggle));
        ASSERT_EQ(view.GetPlayerWindow(), nullptr);
    }
    QCoreApplication::processEvents();
}

TEST_F(ViewPlayer, MovieReadByTheCombinedReaderCannotBePlayed) {
    doc.combined = true;
    Open();
    ASSERT_NE(dynamic_cast<CDecDVAVI*>(doc.m_Reader.Get()), nullptr);
    EXPECT_EQ(States(), "00 00 00 00");
    EXPECT_FALSE(DispatchCommand(view, kToggle));
    EXPECT_EQ(view.GetPlayerWindow(), nullptr);
}

}  // namespace
