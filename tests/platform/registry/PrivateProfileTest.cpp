#include <gtest/gtest.h>

#include "platform/registry/PrivateProfile.h"
#include "platform/win32/WideChar.h"
#include "tests/support/TestSupport.h"

using talvern::test::ReadFileBytes;
using talvern::test::TempDir;
using talvern::test::WriteFileBytes;

namespace {

std::wstring Get(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                 const wchar_t* def = L"<none>") {
    wchar_t buf[64];
    GetPrivateProfileStringW(section, key, def, buf, 64, path.c_str());
    return buf;
}

}  // namespace

TEST(PrivateProfile, ReadsWindowsMadeFiles) {
    TempDir dir;
    const auto path = dir / "Setting.ini";
    const std::wstring wpath = Utf8ToWide(path.string());
    ASSERT_TRUE(WriteFileBytes(
        path,
        "\xEF\xBB\xBF; comment\r\n[save]\r\n  RegPos = MyKey  \r\nQuoted=\"  a b \"\r\n"
        "Num=0x1F\r\nNeg=-3\r\nText=12abc\r\n\r\n[Other]\r\nRegPos=wrong\r\n"));
    EXPECT_EQ(Get(wpath, L"SAVE", L"regpos"), L"MyKey");
    EXPECT_EQ(Get(wpath, L"SAVE", L"Quoted"), L"  a b ");
    EXPECT_EQ(Get(wpath, L"SAVE", L"missing", L"ZELT  "), L"ZELT");
    EXPECT_EQ(Get(wpath, L"Nowhere", L"RegPos"), L"<none>");
    EXPECT_EQ(GetPrivateProfileIntW(L"SAVE", L"Num", 5, wpath.c_str()), 31u);
    EXPECT_EQ(GetPrivateProfileIntW(L"SAVE", L"Neg", 5, wpath.c_str()), static_cast<UINT>(-3));
    EXPECT_EQ(GetPrivateProfileIntW(L"SAVE", L"Text", 5, wpath.c_str()), 12u);
    EXPECT_EQ(GetPrivateProfileIntW(L"SAVE", L"None", 5, wpath.c_str()), 5u);

    // UTF-16LE with its mark, as some Windows editors save.
    std::string u16 = "\xFF\xFE";
    for (char16_t c : std::u16string(u"[SAVE]\r\nRegPos=設定\r\n")) {
        u16 += static_cast<char>(c & 0xFF);
        u16 += static_cast<char>(c >> 8);
    }
    const auto path16 = dir / "u16.ini";
    ASSERT_TRUE(WriteFileBytes(path16, u16));
    const std::wstring w16 = Utf8ToWide(path16.string());
    EXPECT_EQ(Get(w16, L"SAVE", L"RegPos"), L"設定");
    ASSERT_TRUE(WritePrivateProfileStringW(L"SAVE", L"Other", L"x", w16.c_str()));
    EXPECT_EQ(Get(w16, L"SAVE", L"RegPos"), L"設定");
    EXPECT_EQ(ReadFileBytes(path16).substr(0, 2), "\xFF\xFE");
}

TEST(PrivateProfile, WritesKeepEverythingElse) {
    TempDir dir;
    const auto path = dir / "a.ini";
    const std::wstring wpath = Utf8ToWide(path.string());
    ASSERT_TRUE(
        WriteFileBytes(path, "\xEF\xBB\xBF; keep me\r\n[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\nz=3\r\n"));
    ASSERT_TRUE(WritePrivateProfileStringW(L"a", L"X", L"10", wpath.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"A", L"new", L"n", wpath.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"C", L"c", L"ç", wpath.c_str()));
    EXPECT_EQ(ReadFileBytes(path),
              "\xEF\xBB\xBF; keep "
              "me\r\n[A]\r\nX=10\r\ny=2\r\nnew=n\r\n\r\n[B]\r\nz=3\r\n[C]\r\nc=\xC3\xA7\r\n");
    ASSERT_TRUE(WritePrivateProfileStringW(L"A", L"y", nullptr, wpath.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"B", nullptr, nullptr, wpath.c_str()));
    EXPECT_EQ(ReadFileBytes(path),
              "\xEF\xBB\xBF; keep me\r\n[A]\r\nX=10\r\nnew=n\r\n\r\n[C]\r\nc=\xC3\xA7\r\n");
    // A line break in a value would turn into a line of its own: refused.
    EXPECT_FALSE(WritePrivateProfileStringW(L"A", L"X", L"1\n[B]", wpath.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringW(L"A", L"k=v", L"1", wpath.c_str()));
    EXPECT_EQ(Get(wpath, L"A", L"X"), L"10");

    // A new file uses plain line ends and no mark.
    const auto fresh = dir / "sub.ini";
    const std::wstring wfresh = Utf8ToWide(fresh.string());
    ASSERT_TRUE(WritePrivateProfileStringW(L"SAVE", L"RegPos", L"K", wfresh.c_str()));
    EXPECT_EQ(ReadFileBytes(fresh), "[SAVE]\nRegPos=K\n");
    EXPECT_FALSE(WritePrivateProfileStringW(L"SAVE", L"RegPos", L"K",
                                            Utf8ToWide((dir / "no" / "x.ini").string()).c_str()));
}

// Text the file's encoding cannot carry fails the write and leaves every byte in place.
TEST(PrivateProfile, AnUnencodableWriteFailsAndKeepsTheFile) {
    TempDir dir;
    const std::string utf8 = "[SAVE]\nRegPos=K\n";
    const std::string utf16("\xFF\xFE[\0A\0]\0\n\0", 10);
    const struct {
        const char* name;
        std::string bytes;
        const wchar_t* value;
    } cases[] = {{"utf8.ini", utf8, L"a\xD800" L"b"},
                 {"utf16.ini", utf16, L"a\xD800" L"b"},
                 {"bytes16.ini", utf16, L"a\xDCFF" L"b"}};
    for (const auto& c : cases) {
        const auto path = dir / c.name;
        const std::wstring wpath = Utf8ToWide(path.string());
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        EXPECT_FALSE(WritePrivateProfileStringW(L"SAVE", L"RegPos", c.value, wpath.c_str())) << c.name;
        EXPECT_FALSE(WritePrivateProfileStringW(c.value, c.value, L"v", wpath.c_str())) << c.name;
        EXPECT_EQ(ReadFileBytes(path), c.bytes) << c.name;
    }
    // A byte that was not UTF-8 goes back into a UTF-8 file as itself.
    const std::wstring wpath = Utf8ToWide((dir / "utf8.ini").string());
    ASSERT_TRUE(WritePrivateProfileStringW(L"SAVE", L"RegPos", L"a\xDCFF" L"b", wpath.c_str()));
    EXPECT_EQ(ReadFileBytes(dir / "utf8.ini"), "[SAVE]\nRegPos=a\xFF" "b\n");
}

// Mixed line ends, a stray '\r' before one and no end on the last line: a write touches
// none of it, so no other value changes.
TEST(PrivateProfile, AWriteKeepsEveryOtherLineWithItsOwnEnd) {
    TempDir dir;
    const auto path = dir / "mixed.ini";
    const std::wstring wpath = Utf8ToWide(path.string());
    ASSERT_TRUE(WriteFileBytes(path, "[SAVE]\nRegPos=A\r\r\nB=2\r\nC=3"));
    EXPECT_EQ(Get(wpath, L"SAVE", L"RegPos"), L"A\r");
    ASSERT_TRUE(WritePrivateProfileStringW(L"SAVE", L"D", L"4", wpath.c_str()));
    EXPECT_EQ(ReadFileBytes(path), "[SAVE]\nRegPos=A\r\r\nB=2\r\nC=3\nD=4\n");
    EXPECT_EQ(Get(wpath, L"SAVE", L"RegPos"), L"A\r");
    ASSERT_TRUE(WritePrivateProfileStringW(L"SAVE", L"B", L"5", wpath.c_str()));
    EXPECT_EQ(ReadFileBytes(path), "[SAVE]\nRegPos=A\r\r\nB=5\r\nC=3\nD=4\n");
    // A last line ended by a lone '\r' ends properly once a line follows it.
    ASSERT_TRUE(WriteFileBytes(path, "[SAVE]\r\nx=1\r"));
    ASSERT_TRUE(WritePrivateProfileStringW(L"SAVE", L"y", L"2", wpath.c_str()));
    EXPECT_EQ(ReadFileBytes(path), "[SAVE]\r\nx=1\r\ny=2\r\n");
    EXPECT_EQ(Get(wpath, L"SAVE", L"y"), L"2");
}

TEST(PrivateProfile, LongValuesAreCutToTheBuffer) {
    TempDir dir;
    const auto path = dir / "l.ini";
    const std::wstring wpath = Utf8ToWide(path.string());
    ASSERT_TRUE(WriteFileBytes(path, "[S]\nk=" + std::string(600, 'v') + "\n"));
    wchar_t buf[520];
    EXPECT_EQ(GetPrivateProfileStringW(L"S", L"k", L"", buf, 520, wpath.c_str()), 519u);
    EXPECT_EQ(std::wstring(buf), std::wstring(519, L'v'));
    EXPECT_EQ(GetPrivateProfileStringW(L"S", L"k", L"", buf, 0, wpath.c_str()), 0u);
}

TEST(PrivateProfile, AFifoIsNeitherReadNorWrittenAndNeverWaitedOn) {
    TempDir dir;
    const auto fifo = dir / "Setting.ini";
    ASSERT_TRUE(talvern::test::MakeFifo(fifo));
    const std::wstring wpath = Utf8ToWide(fifo.string());
    std::wstring value;
    BOOL written = TRUE;
    EXPECT_TRUE(talvern::test::FinishesWithin(std::chrono::seconds(2), fifo, [&] {
        value = Get(wpath, L"SAVE", L"RegPos");
        written = WritePrivateProfileStringW(L"SAVE", L"RegPos", L"x", wpath.c_str());
    }));
    EXPECT_EQ(value, L"<none>");
    EXPECT_FALSE(written);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}
