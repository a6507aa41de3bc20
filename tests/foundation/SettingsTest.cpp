#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "foundation/IniCreate.h"
#include "foundation/PathUtil.h"
#include "foundation/RegUtil.h"
#include "platform/registry/Profile.h"
#include "platform/win32/WideChar.h"
#include "tests/support/TestSupport.h"

using talvern::test::ReadFileBytes;
using talvern::test::ScopedConfigDir;
using talvern::test::TempDir;
using talvern::test::WriteFileBytes;

namespace {
const wchar_t kAvi[] = L"Software\\ZELT\\AviVideoSettings";
}

TEST(Settings, RegistryValueHelpers) {
    ScopedConfigDir config;
    EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, kAvi, L"fccHandler", 17), 17u);
    RegWriteDword(HKEY_CURRENT_USER, kAvi, L"fccHandler", 0x30365644);
    EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, kAvi, L"FCCHANDLER", 17), 0x30365644u);

    std::vector<BYTE> state(4096);
    for (size_t i = 0; i < state.size(); ++i) state[i] = static_cast<BYTE>(i * 7);
    EXPECT_TRUE(RegWriteBinary(HKEY_CURRENT_USER, kAvi, L"State", state.data(), 4096));
    std::vector<BYTE> big(4097, 1);
    EXPECT_TRUE(RegWriteBinary(HKEY_CURRENT_USER, kAvi, L"Big", big.data(), 4097));
    EXPECT_FALSE(RegWriteBinary(HKEY_CURRENT_USER, kAvi, L"Huge", nullptr, 10));  // the real result
    EXPECT_FALSE(RegWriteBinary(nullptr, kAvi, L"State", state.data(), 4));

    int size = -1;
    HGLOBAL block = RegReadBinary(HKEY_CURRENT_USER, kAvi, L"state", &size);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(size, 4096);
    EXPECT_EQ(std::memcmp(GlobalLock(block), state.data(), 4096), 0);
    GlobalFree(block);
    size = -1;
    EXPECT_EQ(RegReadBinary(HKEY_CURRENT_USER, kAvi, L"Big", &size), nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(RegReadBinary(HKEY_CURRENT_USER, L"Software\\None", L"State", &size), nullptr);
    EXPECT_EQ(RegReadBinary(HKEY_CURRENT_USER, kAvi, L"fccHandler", nullptr), nullptr);

    // A string value is no DWORD: the default comes back.
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, kAvi, &k), ERROR_SUCCESS);
    const std::wstring text = L"12";
    RegSetValueExW(k, L"Quality", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, kAvi, L"Quality", 100), 100u);

    CRegUtil reader;
    EXPECT_EQ(reader.Open(HKEY_CURRENT_USER, kAvi), 4);
    std::wstring name, data;
    ASSERT_TRUE(reader.EnumValue(3, name, data));
    EXPECT_EQ(name, L"Quality");
    EXPECT_EQ(data, L"12");
    EXPECT_FALSE(reader.EnumValue(4, name, data));
    EXPECT_EQ(reader.Open(HKEY_CURRENT_USER, L"Software\\None"), 0);
}

TEST(Settings, ProfileWrappersRoundTrip) {
    ScopedConfigDir config;
    SetRegistryKey(L"ZELT");
    EXPECT_EQ(ProfileGetInt(L"DATA", L"Jpeg", 90), 90u);
    ProfileWriteInt(L"DATA", L"Jpeg", 75);
    EXPECT_TRUE(ProfileWriteString(L"DATA", L"hozon", L"/tmp/出力"));
    EXPECT_EQ(ProfileGetInt(L"data", L"JPEG", 90), 75u);
    EXPECT_EQ(ProfileGetString(L"DATA", L"Hozon", L""), L"/tmp/出力");
    EXPECT_EQ(ProfileGetString(L"DATA", L"missing", L"def"), L"def");
}

TEST(Settings, IniCreateStartsFromNothing) {
    TempDir dir;
    const std::wstring path = Utf8ToWide((dir / "x.ini").string());
    ASSERT_TRUE(WriteFileBytes(dir / "x.ini", "[Old]\nk=v\n"));
    chmod((dir / "x.ini").c_str(), 0444);
    CIniCreate ini;
    ini.CreateNew(path.c_str());
    EXPECT_FALSE(FileExists(path.c_str()));
    ini.WriteInt(L"S", L"n", -42);
    EXPECT_EQ(static_cast<int>(ini.GetInt(L"S", L"n", 0)), -42);
    CIniCreate reader;
    reader.SetFile(path.c_str());
    EXPECT_EQ(reader.GetString(L"S", L"n", L""), L"-42");
    EXPECT_EQ(reader.GetString(L"Old", L"k", L"gone"), L"gone");
}

// The test program's folder is writable, so "Setting.ini" lives beside it; the test
// puts back whatever was there.
TEST(Settings, RegPosRoundTripBesideTheProgram) {
    const std::wstring path = GetSettingIniPath();
    ASSERT_EQ(path, GetModuleDir() + L"Setting.ini");
    const std::filesystem::path native = NativePath(path);
    const bool had = std::filesystem::exists(native);
    const std::string saved = had ? ReadFileBytes(native) : "";

    DeleteFileIfExists(path.c_str());
    EXPECT_EQ(ReadRegPos(), L"ZELT");
    ASSERT_TRUE(WriteFileBytes(native, "[SAVE]\r\nRegPos=\r\n"));
    EXPECT_EQ(ReadRegPos(), L"ZELT");  // an empty name is no key

    ASSERT_TRUE(WriteFileBytes(native, "[Other]\nx=1\n[SAVE]\nRegPos=Old\n"));
    chmod(native.c_str(), 0444);
    ASSERT_TRUE(WriteRegPos(L"新しいキー"));
    EXPECT_EQ(ReadRegPos(), L"新しいキー");
    EXPECT_EQ(ReadFileBytes(native), "[SAVE]\nRegPos=新しいキー\n");

    // When the new file cannot be made, the old name stays.
    const std::filesystem::path temp = native.string() + ".new";
    std::filesystem::create_directory(temp);
    std::filesystem::create_directory(temp / "x");
    EXPECT_FALSE(WriteRegPos(L"Lost"));
    EXPECT_EQ(ReadRegPos(), L"新しいキー");
    std::filesystem::remove_all(temp);

    DeleteFileIfExists(path.c_str());
    if (had) WriteFileBytes(native, saved);
}
