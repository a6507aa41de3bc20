// The player window against a stand-in owner: where it stands, what its pictures show
// while it plays, stops and seeks, how a slider drag's restarts are gathered, how it
// reports its close and its failures, and that releasing it ends the device at once.
#include "app/Player.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QImage>
#include <QScreen>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UiServices.h"
#include "resources/CommandIds.h"
#include "tests/data/SyntheticAvi.h"
#include "tests/data/TestMedia.h"
#include "tests/support/TestSupport.h"

namespace talvern::test {
namespace {

constexpr UINT kClosed = ID_PLAYER_CLOSED;

class Owner : public QWidget, public CWnd {
public:
    Owner() {
        OnCommand(kClosed, [this](UINT id) { commands.push_back(id); });
    }
    QWidget* GetWidget() override { return this; }
    std::vector<UINT> commands;
};

// Remembers which frames the device delivered.
class RecordingPlayer : public CPlayer {
public:
    using CPlayer::CPlayer;
    // The device must stop calling in before this class's part goes.
    ~RecordingPlayer() override { CloseDevice(); }
    void ShowFrame(int frame, const BITMAPINFOHEADER& header, const void* bits) override {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_frames.push_back(frame);
        }
        CPlayer::ShowFrame(frame, header, bits);
    }
    std::vector<int> Frames() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_frames;
    }

private:
    std::mutex m_lock;
    std::vector<int> m_frames;
};

class Player : public testing::Test {
protected:
    talvern::test::ScopedLanguage english{"C.UTF-8"};  // whatever language the shell runs in
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        SynthAvi avi = SimpleVideo(kFrames, kWidth, kHeight);
        avi.streams[0].rate = kFps;
        ASSERT_TRUE(WriteFileBytes(m_movie, BuildSyntheticAvi(avi)));
    }
    void TearDown() override { unsetenv("SDL_AUDIODRIVER"); }

    std::unique_ptr<RecordingPlayer> MakePlayer(int start, const std::wstring& path = {}) {
        const RECT video{0, 0, kWidth, kHeight};
        auto p = std::make_unique<RecordingPlayer>(video, path.empty() ? m_movie.wstring() : path, start, kClosed);
        p->CreatePopup(&m_owner, WS_VISIBLE | WS_SYSMENU);
        return p;
    }

    // The frame the window shows, read from its pixels.
    static int Shown(CPlayer& p) {
        const QImage image = p.grab().toImage().convertToFormat(QImage::Format_BGR888);
        return ReadIndexFrame(image.constBits(), kWidth, kHeight, image.bytesPerLine());
    }

    static void Pump(int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    static constexpr int kFrames = 120, kFps = 25, kWidth = 64, kHeight = 48;
    TempDir m_dir;
    std::filesystem::path m_movie = m_dir / "movie.avi";
    Owner m_owner;
    ScopedScriptedUi m_ui;
};

TEST_F(Player, StandsAtTheTopRightOfTheScreenUnderItsCaption) {
    auto p = MakePlayer(0);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(p->windowTitle(), QStringLiteral("ZELT PLAYER!!"));
    EXPECT_EQ(p->size(), QSize(kWidth, kHeight));
    EXPECT_EQ(p->pos(), QPoint(area.x() + area.width() - kWidth - 6, area.y()));
    EXPECT_TRUE(p->isVisible());
    EXPECT_EQ(p->GetDeviceId(), MCI_INVALID_DEVICE_ID);
}

TEST_F(Player, PicturesAdvanceAtTheMoviesRateHoldWhenStoppedAndFollowSeeks) {
    auto p = MakePlayer(10);
    ASSERT_EQ(p->OpenAndPlay(), 0);
    Pump(150);
    const int first = Shown(*p);
    EXPECT_GE(first, 10);
    Pump(500);
    const int second = Shown(*p);
    // Half a second at 25 frames per second: 12.5 frames, with room for a busy machine.
    EXPECT_GE(second - first, 5);
    EXPECT_LE(second - first, 16);

    p->Stop();
    const int held = Shown(*p);
    Pump(300);
    EXPECT_EQ(Shown(*p), held);
    p->Resume();
    Pump(300);
    EXPECT_GT(Shown(*p), held);

    p->SeekToEnd();
    EXPECT_EQ(Shown(*p), kFrames - 1);
    p->SeekToStart();
    EXPECT_EQ(Shown(*p), 0);
    EXPECT_TRUE(m_ui.ui.messageBoxes.empty());
}

TEST_F(Player, AFastSliderDragRestartsOnceAndEndsOnTheLatestFrame) {
    auto p = MakePlayer(0);
    ASSERT_EQ(p->OpenAndPlay(), 0);
    for (int f = 1; f <= 60; ++f) {
        p->SetStartFrame(f);
        p->PlayFrom();
    }
    Pump(300);
    const std::vector<int> frames = p->Frames();
    const std::set<int> starts(frames.begin(), frames.end());
    EXPECT_TRUE(starts.count(60));
    // One restart per call would have shown every frame from 1 to 60.
    EXPECT_LT(starts.size(), 20u);
    EXPECT_GE(Shown(*p), 60);
}

TEST_F(Player, CloseBoxAsksTheOwnerAndReleaseEndsTheDeviceAtOnce) {
    auto p = MakePlayer(0);
    ASSERT_EQ(p->OpenAndPlay(), 0);
    EXPECT_NE(p->GetDeviceId(), MCI_INVALID_DEVICE_ID);
    p->close();
    EXPECT_EQ(m_owner.commands, std::vector<UINT>{kClosed});
    EXPECT_TRUE(p->isVisible());
    // A holder hides the window it releases; the device closes then, not at deletion.
    const MCIDEVICEID id = p->GetDeviceId();
    p->hide();
    EXPECT_EQ(p->GetDeviceId(), MCI_INVALID_DEVICE_ID);
    EXPECT_EQ(mciSendCommand(id, MCI_STOP, MCI_WAIT, 0), MCIERR_INVALID_DEVICE_ID);

    for (int i = 0; i < 20; ++i) {
        auto again = MakePlayer(i);
        ASSERT_EQ(again->OpenAndPlay(), 0);
    }
}

TEST_F(Player, DeviceFailuresAreReportedAndTheWindowStays) {
    auto p = MakePlayer(0, (m_dir / "missing.avi").wstring());
    EXPECT_EQ(p->OpenAndPlay(), 1);
    EXPECT_EQ(p->GetDeviceId(), MCI_INVALID_DEVICE_ID);
    p->Stop();
    p->SeekToEnd();
    ASSERT_EQ(m_ui.ui.messageBoxes.size(), 3u);
    EXPECT_EQ(m_ui.ui.messageBoxes[0].text, L"Video End!!!");
    EXPECT_EQ(m_ui.ui.messageBoxes[1].text, L"Video End!!!");
    EXPECT_EQ(m_ui.ui.messageBoxes[2].text, L"The device id is not that of an open device.");
    EXPECT_EQ(m_ui.ui.messageBoxes[2].caption, L"Error");
    EXPECT_EQ(m_ui.ui.messageBoxes[2].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_TRUE(p->isVisible());

    // A start frame beyond the movie opens the device but cannot play.
    auto late = MakePlayer(kFrames);
    EXPECT_EQ(late->OpenAndPlay(), 1);
    EXPECT_EQ(m_ui.ui.messageBoxes.back().text, L"Video End!!!");
}

}  // namespace
}  // namespace talvern::test
