#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "foundation/PathUtil.h"
#include "foundation/SysUtil.h"
#include "foundation/SystemCommands.h"
#include "foundation/TimeMmanager.h"

namespace {

// A scripted window system: a queue of messages where false means a quit request.
class FakeUi : public IUiHooks {
public:
    std::vector<bool> queue;
    int pumped = 0, idleRounds = 0, idleWanted = 1, postedQuit = 0;
    bool clipboardOpens = true, clipboardEmpties = true, clipboardTakes = true;
    HGLOBAL placed = nullptr;
    int closes = 0;

    bool OpenClipboard() override { return clipboardOpens; }
    bool EmptyClipboard() override { return clipboardEmpties; }
    bool SetClipboardDib(HGLOBAL dib) override {
        if (clipboardTakes) placed = dib;
        return clipboardTakes;
    }
    void CloseClipboard() override { ++closes; }
    bool HasPendingMessage() override { return !queue.empty(); }
    bool PumpMessage() override {
        ++pumped;
        const bool ok = queue.front();
        queue.erase(queue.begin());
        return ok;
    }
    void PostQuitMessage(int) override {
        ++postedQuit;
        queue.push_back(false);
    }
    bool OnIdle(long count) override {
        ++idleRounds;
        return count + 1 < idleWanted;
    }
    LOGFONTW GetDefaultGuiLogFont() override {
        LOGFONTW f{};
        f.lfHeight = -12;
        f.lfWeight = 400;
        return f;
    }
    SIZE GetTextExtentGuiFont(CWnd*, const std::wstring& text) override {
        return SIZE{static_cast<LONG>(text.size() * 7), 13};
    }
    void EnableDialogTabTexture(HWND) override {}
};

class ScopedUi {
public:
    explicit ScopedUi(IUiHooks* ui) : m_old(RegisterUiHooks(ui)) {}
    ~ScopedUi() { RegisterUiHooks(m_old); }

private:
    IUiHooks* m_old;
};

class FakeCommands : public ISystemCommands {
public:
    std::vector<PowerAction> actions;
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::string> opened;

    void RunPowerAction(PowerAction a) override { actions.push_back(a); }
    bool ShellOpen(const std::string& target) override {
        std::lock_guard lock(m);
        opened.push_back(target);
        cv.notify_all();
        return true;
    }
};

class ScopedCommands {
public:
    explicit ScopedCommands(ISystemCommands* c) : m_old(SetSystemCommands(c)) {}
    ~ScopedCommands() { SetSystemCommands(m_old); }

private:
    ISystemCommands* m_old;
};

DWORD g_fakeNow = 0;
DWORD FakeClock() {
    return g_fakeNow;
}

class ScopedClock {
public:
    explicit ScopedClock(DWORD now) : m_old(SetTimeSource(&FakeClock)) { g_fakeNow = now; }
    ~ScopedClock() { SetTimeSource(m_old); }

private:
    TimeSource m_old;
};

}  // namespace

TEST(SysUtil, BitmapHeaderSizesAndRefusals) {
    EXPECT_EQ(MakeBitmapInfoHeader24(1, 1).biSizeImage, 4u);
    EXPECT_EQ(MakeBitmapInfoHeader24(3, 2).biSizeImage, 24u);
    EXPECT_EQ(MakeBitmapInfoHeader24(4, 3).biSizeImage, 36u);
    const BITMAPINFOHEADER h = MakeBitmapInfoHeader24(640, 480);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 640);
    EXPECT_EQ(h.biHeight, 480);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, BI_RGB);
    EXPECT_EQ(h.biClrUsed, 0u);
    // 65536 x 65536 would wrap a 32-bit product; it is refused instead.
    for (auto [w, hgt] :
         {std::pair{65536, 65536}, std::pair{-1, 10}, std::pair{10, -1}, std::pair{INT_MAX, 1}}) {
        const BITMAPINFOHEADER r = MakeBitmapInfoHeader24(w, hgt);
        EXPECT_EQ(r.biSize, 0u);
        EXPECT_EQ(r.biWidth, 0);
        EXPECT_EQ(r.biSizeImage, 0u);
    }
}

TEST(SysUtil, VersionRules) {
    EXPECT_FALSE(IsVersionXPOrLater(5, 0));
    EXPECT_TRUE(IsVersionXPOrLater(5, 1));
    EXPECT_TRUE(IsVersionXPOrLater(5, 2));
    EXPECT_TRUE(IsVersionXPOrLater(6, 0));
    EXPECT_FALSE(IsVersionXPOrLater(4, 10));
    EXPECT_EQ(FormatFileVersion(1, 2, 3), L"1.23");
    EXPECT_EQ(FormatFileVersion(2, 10, 5), L"2.105");
    EXPECT_FALSE(GetFileVersionString(GetModuleFilePath().c_str()).empty());
    EXPECT_EQ(GetFileVersionString(L"/usr/lib/no-such-module.so"), L"");
    EXPECT_EQ(GetFileVersionString(nullptr), L"");
}

TEST(SysUtil, ShutdownActsOnlyOnKnownRequests) {
    FakeCommands fake;
    ScopedCommands scope(&fake);
    for (int how : {-1, -2, EWX_LOGOFF, EWX_SHUTDOWN, EWX_REBOOT | EWX_FORCE, EWX_POWEROFF, -5, -3,
                    0x20, 3, INT_MIN})
        ShutdownSystem(how);
    const std::vector<PowerAction> expected = {PowerAction::Hibernate, PowerAction::Suspend,
                                               PowerAction::LogOff,    PowerAction::ShutDown,
                                               PowerAction::Reboot,    PowerAction::PowerOff};
    EXPECT_EQ(fake.actions, expected);
}

TEST(SysUtil, ShellOpenRunsOnWorker) {
    FakeCommands fake;
    ScopedCommands scope(&fake);
    ASSERT_TRUE(ShellOpenAsync(L"/tmp/ヘルプ.html"));
    std::unique_lock lock(fake.m);
    ASSERT_TRUE(
        fake.cv.wait_for(lock, std::chrono::seconds(10), [&] { return !fake.opened.empty(); }));
    EXPECT_EQ(fake.opened[0], "/tmp/ヘルプ.html");
    EXPECT_FALSE(ShellOpenAsync(nullptr));
}

TEST(SysUtil, MessagePump) {
    EXPECT_EQ(PumpPendingMessages(), 0);  // no window system: nothing to drain

    FakeUi ui;
    ScopedUi scope(&ui);
    ui.queue = {true, true};
    ui.idleWanted = 3;
    EXPECT_EQ(PumpPendingMessages(), 0);
    EXPECT_EQ(ui.pumped, 2);
    EXPECT_EQ(ui.idleRounds, 3);

    ui.queue = {true, false, true};
    ui.idleRounds = 0;
    EXPECT_EQ(PumpPendingMessages(), 1);
    EXPECT_EQ(ui.postedQuit, 1);
    EXPECT_EQ(ui.idleRounds, 0);
    ASSERT_EQ(ui.queue.size(), 2u);
    EXPECT_FALSE(ui.queue.back());  // a fresh quit request waits for the main loop
}

TEST(SysUtil, ClipboardOwnsOrFreesTheBlock) {
    // Without a window system the block is freed (the sanitizer build catches a leak).
    CopyDIBToClipboard(GlobalAlloc(GHND, 64));
    CopyDIBToClipboard(nullptr);

    FakeUi ui;
    ScopedUi scope(&ui);
    HGLOBAL dib = GlobalAlloc(GHND, 64);
    CopyDIBToClipboard(dib);
    EXPECT_EQ(ui.placed, dib);
    EXPECT_EQ(ui.closes, 1);
    GlobalFree(ui.placed);  // the fake clipboard gives it back

    ui.placed = nullptr;
    for (int failAt = 0; failAt < 3; ++failAt) {
        ui.clipboardOpens = failAt != 0;
        ui.clipboardEmpties = failAt != 1;
        ui.clipboardTakes = failAt != 2;
        CopyDIBToClipboard(GlobalAlloc(GHND, 64));
        EXPECT_EQ(ui.placed, nullptr);
    }
    EXPECT_EQ(ui.closes, 3);  // closed whenever it was opened
}

TEST(TimeMmanager, PausedTimeIsLeftOut) {
    ScopedClock clock(1000);
    CTimeMmanager t;
    EXPECT_EQ(t.GetTotal(), 0u);
    g_fakeNow += 100;
    EXPECT_EQ(t.AddElapsed(), 100u);
    g_fakeNow += 50;  // paused
    t.Start();
    g_fakeNow += 30;
    EXPECT_EQ(t.AddElapsed(), 130u);
    // Banking twice without a Start counts the segment twice.
    EXPECT_EQ(t.AddElapsed(), 160u);
    t.ClearTotal();
    EXPECT_EQ(t.GetTotal(), 0u);
}

TEST(TimeMmanager, WrapOfTheClockAndLimit) {
    ScopedClock clock(0xFFFFFFF0u);
    CTimeMmanager t;
    g_fakeNow += 0x20;  // wraps to 0x10
    EXPECT_EQ(t.GetElapsed(), 0x20u);
    t.SetLimit(0x20);
    EXPECT_FALSE(t.IsOver());
    g_fakeNow += 1;
    EXPECT_TRUE(t.IsOver());
    EXPECT_EQ(t.Start(), 0x11u);
    EXPECT_EQ(t.GetElapsed(), 0u);
}

