#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <iterator>
#include <random>
#include <thread>
#include <vector>

#include "platform/registry/PrivateProfile.h"
#include "platform/registry/Profile.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/StoreFile.h"
#include "platform/win32/WideChar.h"
#include "tests/support/TestSupport.h"

using talvern::settings::RegistryData;
using talvern::settings::RegistryStore;
using talvern::settings::RegValue;
using talvern::test::ReadFileBytes;
using talvern::test::ScopedConfigDir;
using talvern::test::WriteFileBytes;

namespace {

const wchar_t kKey[] = L"Software\\ZELT\\AviVideoSettings";

LSTATUS SetSz(HKEY k, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

TEST(RegistryStore, TypedValuesSurviveReopening) {
    ScopedConfigDir config;
    {
        RegistryStore store;
        ASSERT_TRUE(store.Update([](RegistryData& d) {
            d.Set(L"HKEY_CURRENT_USER\\Software\\A", L"n", RegValue::Dword(0xDEADBEEF));
            d.Set(L"HKEY_CURRENT_USER\\Software\\A", L"s",
                  RegValue::String(L"日本語 = 100% [x]\n2行目"));
            d.Set(L"HKEY_CURRENT_USER\\Software\\A", L"odd=name%", RegValue::Binary({0, 1, 0xFF}));
            d.Set(L"HKEY_CURRENT_USER\\Software\\A", L"empty", RegValue::Binary({}));
            d.Set(L"HKEY_CURRENT_USER\\Soft]ware", L"", RegValue::String(L""));
            return true;
        }));
    }
    const RegistryData d = RegistryStore().Load();
    EXPECT_EQ(d.Get(L"hkey_current_user\\software\\a", L"N"), RegValue::Dword(0xDEADBEEF));
    EXPECT_EQ(d.Get(L"HKEY_CURRENT_USER\\Software\\A\\", L"s"),
              RegValue::String(L"日本語 = 100% [x]\n2行目"));
    EXPECT_EQ(d.Get(L"HKEY_CURRENT_USER\\\\Software\\A", L"ODD=NAME%"),
              RegValue::Binary({0, 1, 0xFF}));
    EXPECT_EQ(d.Get(L"HKEY_CURRENT_USER\\Software\\A", L"empty"), RegValue::Binary({}));
    EXPECT_EQ(d.Get(L"HKEY_CURRENT_USER\\Soft]ware", L""), RegValue::String(L""));
    EXPECT_FALSE(d.Get(L"HKEY_CURRENT_USER\\Software\\A", L"missing"));
    EXPECT_TRUE(d.KeyExists(L"HKEY_CURRENT_USER\\SOFTWARE"));
    EXPECT_FALSE(d.KeyExists(L"HKEY_CURRENT_USER\\Soft"));
}

// Any text built from the characters that mean something in the file, others that do
// not, and bytes that were not UTF-8 (which must not merge into a character).
std::wstring RandomText(std::mt19937& rng) {
    static const std::wstring kPieces[] = {L";", L"[", L"]", L"=", L"%", L"%41", L"\\", L" ",
                                           L"\r", L"\n", L"\t", L"\x7F", L"a", L"Z", L"\u00E9",
                                           L"\u3042", L"\U0001F600", L"\xDCC3", L"\xDCA9", L"\xDCFF"};
    std::wstring text;
    for (int n = std::uniform_int_distribution<int>(0, 6)(rng); n > 0; --n)
        text += kPieces[std::uniform_int_distribution<size_t>(0, std::size(kPieces) - 1)(rng)];
    return text;
}

RegValue RandomValue(std::mt19937& rng) {
    switch (std::uniform_int_distribution<int>(0, 2)(rng)) {
        case 0: return RegValue::Dword(static_cast<DWORD>(rng()));
        case 1: return RegValue::String(RandomText(rng));
        default: {
            std::vector<BYTE> bytes(std::uniform_int_distribution<size_t>(0, 5)(rng));
            for (BYTE& b : bytes) b = static_cast<BYTE>(rng());
            return RegValue::Binary(std::move(bytes));
        }
    }
}

TEST(RegistryStore, ParsingUndoesSerialisingForEveryNameAndValue) {
    std::mt19937 rng(14);
    for (int round = 0; round < 400; ++round) {
        RegistryData d;
        std::vector<std::wstring> paths;
        for (int k = std::uniform_int_distribution<int>(1, 3)(rng); k > 0; --k) {
            paths.push_back(L"HKEY_CURRENT_USER\\" + RandomText(rng));
            d.CreateKey(paths.back());
            for (int v = std::uniform_int_distribution<int>(0, 4)(rng); v > 0; --v)
                d.Set(paths.back(), RandomText(rng), RandomValue(rng));
        }
        const auto text = d.Serialize();
        ASSERT_TRUE(text);
        const RegistryData back = RegistryData::Parse(*text);
        for (const std::wstring& path : paths) {
            const RegistryData::Key* mine = d.FindKey(path);
            const RegistryData::Key* read = back.FindKey(path);
            ASSERT_TRUE(read) << *text;
            EXPECT_EQ(read->path, mine->path) << *text;
            EXPECT_EQ(read->values, mine->values) << *text;
        }
        EXPECT_EQ(back.Serialize(), text);
    }
}

// A stray surrogate has no bytes: the write fails and the store stays as it was.
TEST(Registry, AnUnstorableNameOrTextFailsAndChangesNothing) {
    ScopedConfigDir config;
    ASSERT_TRUE(WriteProfileInt(L"DATA", L"Quality", 5));
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, kKey, &k), ERROR_SUCCESS);
    const std::string before = ReadFileBytes(config.path() / "registry.txt");
    EXPECT_EQ(SetSz(k, L"Name", L"a\xD800" L"b"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetSz(k, L"a\xDFFF" L"b", L"text"), ERROR_INVALID_PARAMETER);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKeyW(k, L"\xD800", &sub), ERROR_INVALID_PARAMETER);
    RegCloseKey(k);
    EXPECT_FALSE(WriteProfileString(L"DATA", L"Folder", L"\xD800"));
    EXPECT_FALSE(WriteProfileInt(L"\xDBFF", L"x", 1));
    EXPECT_EQ(ReadFileBytes(config.path() / "registry.txt"), before);
    EXPECT_EQ(GetProfileInt(L"DATA", L"Quality", 0), 5u);
}

TEST(RegistryStore, DamagedFileGivesWhatCanBeRead) {
    ScopedConfigDir config;
    ASSERT_TRUE(
        WriteFileBytes(config.path() / "registry.txt",
                       "garbage\n[K]\nok=dword:0000002a\nbad=dword:xyz\nlong=dword:123456789\n"
                       "half=hex:abc\nnoeq\n[unclosed\nlost=sz:x\n\xff\xfe\n[k]\nOK=dword:00000007\n"));
    const RegistryData d = RegistryStore().Load();
    // A name repeated in any case is one value: the last line wins, the first spelling stays.
    EXPECT_EQ(d.Get(L"K", L"ok"), RegValue::Dword(7));
    ASSERT_EQ(d.FindKey(L"K")->values.size(), 1u);
    EXPECT_EQ(d.FindKey(L"K")->values[0].first, L"ok");
    EXPECT_FALSE(d.Get(L"K", L"bad"));
    EXPECT_FALSE(d.Get(L"K", L"long"));
    EXPECT_FALSE(d.Get(L"K", L"half"));
    EXPECT_FALSE(d.Get(L"K", L"lost"));
}

TEST(Registry, ValuesKeepTheirTypeAndOtherValues) {
    ScopedConfigDir config;
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, kKey, &k), ERROR_FILE_NOT_FOUND);
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    const DWORD fcc = 0x34363278;
    ASSERT_EQ(RegSetValueExW(k, L"Handler", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&fcc), 4),
              ERROR_SUCCESS);
    ASSERT_EQ(SetSz(k, L"Name", L"x264 エンコーダー"), ERROR_SUCCESS);
    const BYTE state[] = {1, 2, 3, 4, 5};
    ASSERT_EQ(RegSetValueExW(k, L"State", 0, REG_BINARY, state, sizeof state), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(k, L"Bad", 0, REG_DWORD, state, 3), ERROR_INVALID_PARAMETER);
    ASSERT_EQ(RegCloseKey(k), ERROR_SUCCESS);

    // Another spelling of the same key, opened afresh.
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_CURRENT_USER, L"software\\zelt\\AVIVIDEOSETTINGS", 0, KEY_READ, &k),
        ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExW(k, L"handler", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, 4u);
    DWORD v = 0;
    ASSERT_EQ(RegQueryValueExW(k, L"HANDLER", nullptr, &type, reinterpret_cast<BYTE*>(&v), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(v, fcc);

    BYTE small[2];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(k, L"State", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(type, REG_BINARY);

    wchar_t text[64];
    size = sizeof text;
    ASSERT_EQ(RegQueryValueExW(k, L"name", nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_STREQ(text, L"x264 エンコーダー");
    EXPECT_EQ(RegQueryValueExW(k, L"nothing", nullptr, &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);

    DWORD count = 0;
    ASSERT_EQ(RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(count, 3u);
    wchar_t name[16];
    DWORD nameChars = 16;
    size = 0;
    ASSERT_EQ(RegEnumValueW(k, 1, name, &nameChars, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_STREQ(name, L"Name");
    nameChars = 16;
    EXPECT_EQ(RegEnumValueW(k, 3, name, &nameChars, nullptr, &type, nullptr, &size),
              ERROR_NO_MORE_ITEMS);

    EXPECT_EQ(RegDeleteValueW(k, L"NAME"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(k, L"NAME"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(k);
    EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZELT"), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, kKey, &k), ERROR_FILE_NOT_FOUND);
}

TEST(Registry, ParallelWritersLoseNothing) {
    ScopedConfigDir config;
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 10; ++i) {
                HKEY k = nullptr;
                if (RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\P", &k) != ERROR_SUCCESS) return;
                const DWORD v = static_cast<DWORD>(t * 100 + i);
                const std::wstring name = L"v" + std::to_wstring(t) + L"_" + std::to_wstring(i);
                RegSetValueExW(k, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
                RegCloseKey(k);
            }
        });
    }
    for (auto& w : writers) w.join();
    const RegistryData d = RegistryStore().Load();
    ASSERT_NE(d.FindKey(L"HKEY_CURRENT_USER\\Software\\P"), nullptr);
    EXPECT_EQ(d.FindKey(L"HKEY_CURRENT_USER\\Software\\P")->values.size(), 40u);
}

TEST(Profile, SectionsUnderTheRegistryKey) {
    ScopedConfigDir config;
    SetRegistryKey(L"MyKey");
    EXPECT_EQ(GetProfileSectionKey(L"DATA"), L"Software\\MyKey\\TALVERN\\DATA");
    EXPECT_EQ(GetProfileInt(L"Workspace", L"ApplicationLook", 40006), 40006u);
    ASSERT_TRUE(WriteProfileInt(L"DATA", L"Quality", 85));
    ASSERT_TRUE(WriteProfileString(L"DATA", L"hozon", L"/home/u/出力"));
    ASSERT_TRUE(WriteProfileInt(L"data", L"Index", 3));
    // "DATA" and "data" are one section.
    EXPECT_EQ(GetProfileInt(L"data", L"quality", 0), 85u);
    EXPECT_EQ(GetProfileString(L"Data", L"HOZON", L""), L"/home/u/出力");
    EXPECT_EQ(GetProfileInt(L"DATA", L"Index", 1), 3u);
    // A value of the other type reads as the default.
    EXPECT_EQ(GetProfileInt(L"DATA", L"hozon", 7), 7u);
    EXPECT_EQ(GetProfileString(L"DATA", L"Quality", L"def"), L"def");
    EXPECT_EQ(GetProfileInt(L"DATA", L"Neg", -1), static_cast<UINT>(-1));

    std::vector<BYTE> bytes;
    const BYTE clip[] = {9, 8, 7};
    ASSERT_TRUE(WriteProfileBinary(L"DATA", L"Clip", clip, sizeof clip));
    ASSERT_TRUE(GetProfileBinary(L"DATA", L"Clip", bytes));
    EXPECT_EQ(bytes, std::vector<BYTE>(clip, clip + 3));

    ASSERT_TRUE(WriteProfileString(L"DATA", L"hozon", nullptr));
    EXPECT_EQ(GetProfileString(L"DATA", L"hozon", L"gone"), L"gone");
    EXPECT_EQ(GetProfileInt(L"DATA", L"Quality", 0), 85u);
    ASSERT_TRUE(WriteProfileString(L"DATA", nullptr, nullptr));
    EXPECT_EQ(GetProfileInt(L"DATA", L"Quality", 0), 0u);

    SetRegistryKey(L"Other");  // another key sees none of it
    EXPECT_EQ(GetProfileInt(L"Workspace", L"x", 5), 5u);
    SetRegistryKey(nullptr);
    EXPECT_EQ(GetProfileRegistryKey(), L"ZELT");
}

TEST(Profile, UnreadableStoreGivesDefaults) {
    ScopedConfigDir config;
    EXPECT_FALSE(RegistryStore().IsUnreadable());  // a missing store is an empty one
    std::filesystem::create_directory(config.path() / "registry.txt");  // a folder, not a file
    EXPECT_TRUE(RegistryStore().IsUnreadable());
    EXPECT_EQ(GetProfileInt(L"DATA", L"Quality", 77), 77u);
    EXPECT_FALSE(WriteProfileInt(L"DATA", L"Quality", 1));
}

// A store too large to read is neither read nor written over, which would keep one change only.
TEST(Profile, AStoreTooLargeToReadStaysAsItWas) {
    ScopedConfigDir config;
    const auto path = config.path() / "registry.txt";
    std::string text = "[HKEY_CURRENT_USER\\Software\\ZELT\\TALVERN\\DATA]\nquality=dword:00000005\n";
    text.resize(talvern::settings::kMaxSettingsFileBytes + 1, ';');
    ASSERT_TRUE(WriteFileBytes(path, text));
    EXPECT_TRUE(RegistryStore().IsUnreadable());
    EXPECT_EQ(GetProfileInt(L"DATA", L"Quality", 77), 77u);
    EXPECT_FALSE(WriteProfileInt(L"DATA", L"Quality", 1));
    EXPECT_TRUE(ReadFileBytes(path) == text);
    const std::wstring ini = Utf8ToWide((config.path() / "big.ini").string());
    ASSERT_TRUE(WriteFileBytes(config.path() / "big.ini", text));
    EXPECT_FALSE(WritePrivateProfileStringW(L"SAVE", L"RegPos", L"x", ini.c_str()));
    EXPECT_TRUE(ReadFileBytes(config.path() / "big.ini") == text);
}

TEST(Profile, AStoreThatIsAFifoIsNeverWaitedOn) {
    ScopedConfigDir config;
    const auto fifo = config.path() / "registry.txt";
    ASSERT_TRUE(talvern::test::MakeFifo(fifo));
    UINT read = 0;
    BOOL written = TRUE;
    EXPECT_TRUE(talvern::test::FinishesWithin(std::chrono::seconds(2), fifo, [&] {
        read = GetProfileInt(L"DATA", L"Quality", 77);
        written = WriteProfileInt(L"DATA", L"Quality", 1);
    }));
    EXPECT_EQ(read, 77u);
    EXPECT_FALSE(written);
}
