// The view's display rules that need no window: strip texts and colours, the zoom
// and the visible part of the picture.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "app/TALVERNView.h"
#include "tests/support/TestSupport.h"

namespace {

class StripTexts : public testing::Test {
protected:
    talvern::test::ScopedLanguage english{"C.UTF-8"};  // whatever language the shell runs in
};

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

TEST_F(StripTexts, PositionTextsAgainstHandWorkedTimes) {
    struct Case {
        int current, count;
        double rate;
        const wchar_t* text;
    };
    const double ntsc = 30000.0 / 1001;
    for (const Case& c : {
             Case{0, 300, 30.0, L"1/300 (00:00:00.00/00:00:09.96)"},
             Case{299, 300, 30.0, L"300/300 (00:00:09.96/00:00:09.96)"},
             Case{0, 1, 25.0, L"1/1 (00:00:00.00/00:00:00.00)"},
             // 299 x 1001 / 30000 = 9.976..; 100 x 1001 / 30000 = 3.336..
             Case{100, 300, ntsc, L"101/300 (00:00:03.33/00:00:09.97)"},
             // 107892 x 1001 / 30000 = 3599.996..; 107893 x 1001 / 30000 = 3600.029..
             Case{107892, 107894, ntsc, L"107893/107894 (00:59:59.99/01:00:00.02)"},
             // Past 2^31 milliseconds, where 32-bit arithmetic would wrap: 25 days.
             Case{2160000, 2160001, 1.0, L"2160001/2160001 (600:00:00.00/600:00:00.00)"},
             Case{5, 10, 0.0, L"6/10 (00:00:00.00/00:00:00.00)"},
         }) {
        EXPECT_EQ(FormatPositionText(c.current, c.count, c.rate), c.text) << c.current;
    }
}

TEST_F(StripTexts, RangeTextEstimatesWhatIsLeftAndNeverGoesNegative) {
    // Range 10..19, 3 frames done after 4 s, 6 to go: 4 x 6 / 3 = 8 s left.
    EXPECT_EQ(FormatRangeText(13, 10, 19, 4000), L"4/10 (00:00:04/00:00:08)");
    // The first frame of the range: no estimate yet.
    EXPECT_EQ(FormatRangeText(10, 10, 19, 1500), L"1/10 (00:00:01/00:00:00)");
    // Beyond the end or before the start the estimate would turn negative.
    EXPECT_EQ(RemainingSeconds(10.0, 25, 10, 19), 0);
    EXPECT_EQ(RemainingSeconds(10.0, 5, 10, 19), 0);
    // Beyond 32 bits: one frame done in 4000.5 s, a million to go.
    EXPECT_EQ(RemainingSeconds(4000.5, 1, 0, 1000001), 4000500000);
    // The stopwatch's largest total, 4294967.295 s, and twice that to go.
    EXPECT_EQ(FormatRangeText(1, 0, 3, 0xFFFFFFFF), L"2/4 (1193:02:47/2386:05:34)");
}

TEST_F(StripTexts, StateBoxesCarryTheirColours) {
    EXPECT_EQ(StripBoxFor(StripState::Pause).text, L"[Pause]");
    EXPECT_EQ(StripBoxFor(StripState::Pause).colour, RGB(255, 0, 255));
    EXPECT_EQ(StripBoxFor(StripState::Stop).text, L"[Stop]");
    EXPECT_EQ(StripBoxFor(StripState::Stop).colour, RGB(0, 255, 255));
    EXPECT_EQ(StripBoxFor(StripState::Play).colour, RGB(255, 255, 0));
    EXPECT_EQ(StripBoxFor(StripState::Make).text, L"[Make]");
    EXPECT_EQ(StripBoxFor(StripState::OnePass).text, L"[1Pass]");
    EXPECT_EQ(StripBoxFor(StripState::OnePass).colour, RGB(255, 0, 0));
    talvern::test::ScopedLanguage japanese(true);
    EXPECT_EQ(StripBoxFor(StripState::Stop).text, L"【停止中】");
    EXPECT_EQ(FormatPositionText(0, 1, 25.0), L"1／1 (00:00:00.00／00:00:00.00)");
}

TEST(ViewModel, ZoomStaysInItsBoundsAndWheelCountsWholeNotches) {
    EXPECT_EQ(ZoomByNotches(1.0, 1), 2.0);
    EXPECT_EQ(ZoomByNotches(1.0, -2), 0.25);
    EXPECT_EQ(ZoomByNotches(32.0, 3), kMaxZoom);
    EXPECT_EQ(ZoomByNotches(1.0 / 32, -1000), kMinZoom);
    EXPECT_EQ(ClampZoom(std::nan("")), 1.0);

    CWheelNotches wheel;
    EXPECT_EQ(wheel.Add(40), 0);
    EXPECT_EQ(wheel.Add(40), 0);
    EXPECT_EQ(wheel.Add(40), 1);
    EXPECT_EQ(wheel.Add(-360), -3);
    EXPECT_EQ(wheel.Add(60), 0);
    EXPECT_EQ(wheel.Add(-60), 0);  // back and forth adds up to nothing
    EXPECT_EQ(wheel.Add(-119), 0);
    EXPECT_EQ(wheel.Add(-1), -1);
    EXPECT_EQ(wheel.Add(INT_MAX), INT_MAX / 120);
}

TEST(ViewModel, PictureIsTheOutputSizeZoomedAndBounded) {
    EXPECT_TRUE(SameRect(PictureRect(64, 48, 1.5), RECT{10, 25, 106, 97}));
    EXPECT_TRUE(SameRect(PictureRect(INT_MAX, INT_MAX, 1e9), RECT{10, 25, 10 + (1 << 30), 25 + (1 << 30)}));
}
