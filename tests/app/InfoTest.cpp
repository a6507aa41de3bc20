#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "app/Info.h"
#include "foundation/PathUtil.h"
#include "foundation/RegUtil.h"
#include "platform/registry/RegistryStore.h"
#include "platform/win32/WideChar.h"
#include "tests/support/TestSupport.h"

using talvern::settings::RegistryStore;
using talvern::settings::RegValue;
using talvern::test::ScopedConfigDir;
using talvern::test::TempDir;

namespace {

const wchar_t kData[] = L"HKEY_CURRENT_USER\\Software\\ZELT\\TALVERN\\DATA";

class InfoStore : public ::testing::Test {
protected:
    // The DATA values as the store file holds them, in file order.
    std::vector<std::pair<std::wstring, RegValue>> Stored() const {
        const auto data = RegistryStore(config.path().string()).Load();
        const auto* key = data.FindKey(kData);
        return key ? key->values : decltype(key->values){};
    }
    RegValue Value(const wchar_t* name) const {
        return RegistryStore(config.path().string()).Load().Get(kData, name).value_or(RegValue{});
    }
    std::wstring ProgramFolder() const { return CInfo::GetDefaultOutputFolder(); }

    ScopedConfigDir config;
    TempDir out;
};

TEST_F(InfoStore, FirstStartWritesTheThirteenKeysInOrder) {
    const auto cwd = std::filesystem::current_path();
    { CInfo info; }
    const auto values = Stored();
    const std::vector<std::pair<std::wstring, RegValue>> expected = {
        {L"fps", RegValue::Dword(299700)},   {L"InterLaced", RegValue::Dword(0)},
        {L"quality", RegValue::Dword(100)},  {L"perfile", RegValue::Dword(1)},
        {L"hozon", RegValue::String(TrimTrailingBackslash(ProgramFolder()))},
        {L"WMV", RegValue::Dword(1)},        {L"WMV4", RegValue::Dword(20)},
        {L"WMV7", RegValue::Dword(13)},      {L"WMV8", RegValue::Dword(12)},
        {L"WMV2PASS", RegValue::Dword(0)},   {L"PRX", RegValue::String(L"")},
        {L"VOL", RegValue::Dword(100)},      {L"uwagaki", RegValue::Dword(0)},
    };
    EXPECT_EQ(values, expected);
    EXPECT_EQ(std::filesystem::current_path(), cwd) << "the output folder is no working directory";

    ProfileWriteInt(L"DATA", L"fps", 250000);
    { CInfo again; }
    { CInfo third(1); }
    EXPECT_EQ(Value(L"fps").dword, 250000u);
    EXPECT_EQ(Value(L"InterLaced").dword, 0u) << "a stored mode wins over the constructor's";
}

TEST_F(InfoStore, OutputFolderIsTrimmedOrReplaced) {
    const std::wstring dir = Utf8ToWide(out.path().string());
    CInfo info;
    struct Case {
        std::wstring entered, stored;
        int result;
    };
    const std::wstring fallback = ProgramFolder();
    ASSERT_EQ(fallback.back(), L'/');
    const Case cases[] = {
        {dir + L"///", dir, 1},
        {L"/", L"/", 1},
        {L"///", L"/", 1},
        {L".", fallback, 0},
        {L"~", fallback, 0},
        {L"relative/dir", fallback, 0},
        {L"", fallback, 0},
        {dir + L"/missing", fallback, 0},
        {GetModuleFilePath(), fallback, 0},  // a file, not a folder
    };
    for (const Case& c : cases) {
        info.m_strOutputFolder = c.entered;
        EXPECT_EQ(info.SaveChecked(), c.result) << WideToUtf8(c.entered);
        EXPECT_EQ(Value(L"hozon").text, c.stored) << WideToUtf8(c.entered);
    }
    // The replaced folder keeps its separator until the next save removes it.
    EXPECT_EQ(info.SaveChecked(), 1);
    EXPECT_EQ(Value(L"hozon").text, TrimTrailingBackslash(fallback));

    ProfileWriteString(L"DATA", L"hozon", L"no/such");
    CInfo loaded;
    EXPECT_EQ(loaded.m_strOutputFolder, TrimTrailingBackslash(fallback));
}

TEST_F(InfoStore, StoredValuesOutsideTheirTablesReadAsDefaults) {
    struct Case {
        int perfile, wmv, interlaced;
        int readPerfile, readWmv, readInterlaced;
    };
    const Case cases[] = {
        {0, 4, 4, 1, 1, 0},
        {-3, -1, -1, -3, 1, 0},
        {7, 3, 3, 7, 3, 3},
        {1, 0, 0, 1, 0, 0},
    };
    for (const Case& c : cases) {
        ProfileWriteInt(L"DATA", L"perfile", c.perfile);
        ProfileWriteInt(L"DATA", L"WMV", c.wmv);
        ProfileWriteInt(L"DATA", L"InterLaced", c.interlaced);
        CInfo info;
        EXPECT_EQ(info.m_nImageInterval, c.readPerfile);
        EXPECT_EQ(info.m_nWmvKind, c.readWmv);
        EXPECT_EQ(info.m_nDeinterlace, c.readInterlaced);
    }
}

TEST_F(InfoStore, LastInstanceDestroyedDecides) {
    auto doc = std::make_unique<CInfo>();
    auto dialog = std::make_unique<CInfo>();
    auto wmv = std::make_unique<CInfo>();
    doc->m_nJpegQuality = 10;
    dialog->m_nJpegQuality = 20;
    wmv->m_nJpegQuality = 30;
    wmv.reset();
    doc.reset();
    EXPECT_EQ(Value(L"quality").dword, 10u);
    dialog.reset();
    EXPECT_EQ(Value(L"quality").dword, 20u);

    // The assignment copies every setting, strings included.
    CInfo a, b;
    a.m_strOutputFolder = L"/";
    a.m_strProfileFile = L"/p.prx";
    a.m_nImageInterval = 2, a.m_nJpegQuality = 3, a.m_nWmvKind = 0, a.m_nWmv8Profile = 4;
    a.m_nWmv7Profile = 5, a.m_nWmv4Profile = 6, a.m_nTwoPass = 1, a.m_nFrameRate = 7;
    a.m_nDeinterlace = 2, a.m_nVolume = 8, a.m_nOverwrite = 2;
    b = a;
    b.SaveChecked();
    a.m_nJpegQuality = 99;  // b alone writes below
    const auto written = Stored();
    const std::vector<std::pair<std::wstring, RegValue>> expected = {
        {L"fps", RegValue::Dword(7)},     {L"InterLaced", RegValue::Dword(2)},
        {L"quality", RegValue::Dword(3)}, {L"perfile", RegValue::Dword(2)},
        {L"hozon", RegValue::String(L"/")}, {L"WMV", RegValue::Dword(0)},
        {L"WMV4", RegValue::Dword(6)},    {L"WMV7", RegValue::Dword(5)},
        {L"WMV8", RegValue::Dword(4)},    {L"WMV2PASS", RegValue::Dword(1)},
        {L"PRX", RegValue::String(L"/p.prx")}, {L"VOL", RegValue::Dword(8)},
        {L"uwagaki", RegValue::Dword(2)},
    };
    EXPECT_EQ(written, expected);
}

TEST(Info, EncodeErrorsSetAndClearTwoPass) {
    ScopedConfigDir config;
    CInfo info;
    const std::pair<int, int> steps[] = {{814, 1}, {2006, 1}, {3005, 0}, {2006, 0}, {814, 1}, {810, 0}};
    for (const auto& [code, twoPass] : steps) {
        info.OnEncodeError(code);
        EXPECT_EQ(info.m_nTwoPass, twoPass) << code;
    }
}

// One save replaces the store file once, and leaves the section's other keys alone.
TEST_F(InfoStore, OneSaveIsOneReplacementOfTheStore) {
    ProfileWriteInt(L"DATA", L"ClipLeft", 12);
    CInfo info;
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_GE(inotify_add_watch(fd, config.path().c_str(), IN_MOVED_TO), 0);
    info.m_nVolume = 50;
    info.SaveChecked();
    alignas(inotify_event) char buf[4096];
    int renames = 0;
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) {
        for (char* p = buf; p < buf + n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(p);
            if (ev->len && std::string(ev->name) == "registry.txt") ++renames;
            p += sizeof(inotify_event) + ev->len;
        }
    }
    close(fd);
    EXPECT_EQ(renames, 1);
    EXPECT_EQ(Value(L"VOL").dword, 50u);
    EXPECT_EQ(Value(L"ClipLeft").dword, 12u);
}

TEST(Info, DefaultFolderIsTheHomeWhenTheProgramsIsReadOnly) {
    EXPECT_EQ(CInfo::ChooseDefaultOutputFolder(L"/opt/t/", true, L"/home/u"), L"/opt/t/");
    EXPECT_EQ(CInfo::ChooseDefaultOutputFolder(L"/opt/t/", false, L"/home/u"), L"/home/u/");
    EXPECT_EQ(CInfo::ChooseDefaultOutputFolder(L"/opt/t/", false, L"/"), L"/");
}

}  // namespace
