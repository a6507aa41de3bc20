#include <gtest/gtest.h>

#include <cstring>

#include "foundation/StringChar.h"
#include "platform/win32/WideChar.h"

TEST(StringChar, NarrowCopyIsUtf8AndNullOnlyWhenNothingConverts) {
    EXPECT_STREQ(CStringChar(L"abc").GetString(), "abc");
    EXPECT_STREQ(CStringChar(L"動画 テスト.tif").GetString(), "動画 テスト.tif");
    EXPECT_STREQ(CStringChar(L"").GetString(), "");  // empty text is a valid empty string
    EXPECT_EQ(CStringChar(nullptr).GetString(), nullptr);

    // A lone surrogate has no UTF-8 form: the copy is refused, not made lossy.
    const wchar_t broken[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
    CStringChar c(L"kept");
    c.Set(broken);
    EXPECT_EQ(c.GetString(), nullptr);
    const wchar_t tooBig[] = {static_cast<wchar_t>(0x110000), 0};
    EXPECT_EQ(CStringChar(tooBig).GetString(), nullptr);
}

TEST(StringChar, WideCopyKeepsEarlierTextOnNull) {
    CStringCharW w(L"first");
    EXPECT_STREQ(w.GetString(), L"first");
    w.Set(nullptr);
    EXPECT_STREQ(w.GetString(), L"first");
    w.Set(L"日本語");
    EXPECT_STREQ(w.GetString(), L"日本語");
    EXPECT_EQ(CStringCharW(nullptr).GetString(), nullptr);
}

TEST(StringChar, WideToIntFollowsRuntimeRules) {
    EXPECT_EQ(WideToInt(L" -12abc"), -12);
    EXPECT_EQ(WideToInt(L"abc"), 0);
    EXPECT_EQ(WideToInt(L""), 0);
    EXPECT_EQ(WideToInt(nullptr), 0);
    EXPECT_EQ(WideToInt(L"+7"), 7);
    EXPECT_EQ(WideToInt(L"4294967297"), 1);  // 2^32 + 1 keeps its low 32 bits
    EXPECT_EQ(WideToInt(L"2147483648"), INT32_MIN);
    // Past 64 bits the reading saturates before the cut.
    EXPECT_EQ(WideToInt(L"99999999999999999999999"), -1);
    EXPECT_EQ(WideToInt(L"-99999999999999999999999"), 0);
}

TEST(WideChar, InvalidFileNameBytesSurviveRoundTrip) {
    const std::string raw =
        "a\xff\xfe"
        "b\xe3\x81";  // not UTF-8 (truncated sequence too)
    const std::wstring wide = Utf8ToWide(raw);
    std::string back;
    ASSERT_TRUE(WideToUtf8(wide, back));
    EXPECT_EQ(back, raw);
    EXPECT_EQ(Utf8ToWide("\xe3\x81\x82"), L"あ");
    EXPECT_EQ(Utf8ToWide("\xc0\x80").size(), 2u);  // overlong NUL stays two escaped bytes
}

TEST(WideChar, Utf16SurrogatePairs) {
    const std::u16string u16 = u"a\U0001F600b";
    EXPECT_EQ(u16.size(), 4u);
    EXPECT_EQ(Utf16ToWide(u16), L"a\U0001F600b");
    EXPECT_EQ(WideToUtf16(L"a\U0001F600b"), u16);
    EXPECT_EQ(Utf16ToWide(std::u16string(1, char16_t(0xD800))), L"\uFFFD");
}
