#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTimer>
#include <cstring>
#include <vector>

#include "foundation/SysUtil.h"
#include "platform/ui/QtUiHooks.h"
#include "platform/ui/UiServices.h"

TEST(FileFilters, WindowsFormParsedAndMatchedIgnoringCase) {
    const auto filters = ParseFileFilter(L"JPG (*.JPG)|*.JPG; *.JPEG|BMP (*.BMP)|*.BMP|all (*.*)|*.*|");
    ASSERT_EQ(filters.size(), 3u);
    EXPECT_EQ(filters[0].text, L"JPG (*.JPG)");
    ASSERT_EQ(filters[0].patterns.size(), 2u);
    EXPECT_EQ(filters[0].patterns[1], L"*.JPEG");
    EXPECT_TRUE(MatchFilePattern(L"holiday.jpeg", L"*.JPEG"));
    EXPECT_TRUE(MatchFilePattern(L"A.Jpg", L"*.jpg"));
    EXPECT_FALSE(MatchFilePattern(L"a.jpg.txt", L"*.jpg"));
    EXPECT_TRUE(MatchFilePattern(L"README", L"*.*"));
    EXPECT_TRUE(MatchFilePattern(L"abcabd", L"*ab?"));
    EXPECT_EQ(QtNameFilter(filters[1]), L"BMP (*.BMP) (*.[bB][mM][pP])");
    EXPECT_EQ(QtNameFilter(filters[2]), L"all (*.*) (*)");
    // A missing final bar drops the unfinished pair; "||" ends the list.
    EXPECT_EQ(ParseFileFilter(L"AVI (*.AVI)|*.avi|x").size(), 1u);
    EXPECT_EQ(ParseFileFilter(L"A|*.a||B|*.b|").size(), 1u);
    EXPECT_TRUE(ParseFileFilter(L"").empty());
}

TEST(FoundationHooks, PumpRunsQueuedWorkAndReportsQuit) {
    CQtUiHooks hooks;
    IUiHooks* previous = RegisterUiHooks(&hooks);
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    EXPECT_EQ(PumpPendingMessages(), 0);
    EXPECT_TRUE(ran);
    EXPECT_EQ(PumpPendingMessages(), 0);

    QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
    EXPECT_EQ(PumpPendingMessages(), 1);
    EXPECT_TRUE(hooks.QuitRequested());
    RegisterUiHooks(previous);
}

TEST(FoundationHooks, ClipboardGetsThePackedDibAsAnImage) {
    CQtUiHooks hooks;
    IUiHooks* previous = RegisterUiHooks(&hooks);
    BITMAPINFOHEADER bih = MakeBitmapInfoHeader24(2, 1);
    const uint8_t pixels[8] = {255, 0, 0, 0, 0, 255, 0, 0};  // blue, red
    HGLOBAL block = GlobalAlloc(0, sizeof bih + sizeof pixels);
    auto* p = static_cast<uint8_t*>(GlobalLock(block));
    std::memcpy(p, &bih, sizeof bih);
    std::memcpy(p + sizeof bih, pixels, sizeof pixels);
    GlobalUnlock(block);
    {
        ScopedScriptedUi script;
        HGLOBAL copy = GlobalAlloc(0, GlobalSize(block));
        std::memcpy(GlobalLock(copy), GlobalLock(block), GlobalSize(block));
        GlobalUnlock(copy);
        GlobalUnlock(block);
        CopyDIBToClipboard(copy);
        ASSERT_EQ(script.ui.clipboard.size(), 1u);
        EXPECT_EQ(script.ui.clipboard[0].size(), sizeof bih + sizeof pixels);
    }
    CopyDIBToClipboard(block);
    const QImage img = QGuiApplication::clipboard()->image();
    ASSERT_EQ(img.size(), QSize(2, 1));
    EXPECT_EQ(img.pixel(0, 0) & 0xFFFFFF, qRgb(0, 0, 255) & 0xFFFFFF);
    EXPECT_EQ(img.pixel(1, 0) & 0xFFFFFF, qRgb(255, 0, 0) & 0xFFFFFF);
    const SIZE extent = GetTextExtentGuiFont(nullptr, L"Wide text");
    EXPECT_GT(extent.cx, GetTextExtentGuiFont(nullptr, L"W").cx);
    EXPECT_GT(extent.cy, 0);
    RegisterUiHooks(previous);
}
