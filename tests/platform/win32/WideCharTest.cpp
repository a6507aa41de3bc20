// The bounded UTF-8 conversion that file names take on their way to the system: it
// must never write past its block, nor hand out a name cut short.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/WideChar.h"

namespace {

TEST(WideToUtf8Bounded, FitsExactlyOrFailsEmpty) {
    struct Case {
        const wchar_t* text;
        size_t capacity;
        const char* expected;  // null: refused, out left empty
    } cases[] = {
        {L"abc", 4, "abc"},          {L"abcd", 4, nullptr},     // the NUL needs its byte
        {L"", 1, ""},                {L"\u00e9", 3, "\xC3\xA9"}, {L"a\u00e9", 3, nullptr},  // no half character
        {L"\U0001F600", 5, "\xF0\x9F\x98\x80"}, {L"\U0001F600", 4, nullptr},
        {L"\xDCFF", 2, "\xFF"},      // a carried invalid byte comes back as itself
        {L"a\xD800", 16, nullptr},   // a lone surrogate is no character
        {nullptr, 16, nullptr},
    };
    for (const Case& c : cases) {
        char out[16];
        std::memset(out, 'x', sizeof out);
        const bool ok = WideToUtf8Bounded(c.text, out, c.capacity);
        EXPECT_EQ(ok, c.expected != nullptr) << c.capacity;
        EXPECT_STREQ(out, c.expected ? c.expected : "") << c.capacity;
        // Nothing beyond the given capacity was touched.
        for (size_t i = c.capacity; i < sizeof out; ++i) EXPECT_EQ(out[i], 'x') << c.capacity;
    }
    char untouched = 'x';
    EXPECT_FALSE(WideToUtf8Bounded(L"a", &untouched, 0));
    EXPECT_EQ(untouched, 'x');
}

}  // namespace
