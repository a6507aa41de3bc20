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

namespace {

class InfoStore : public ::testing::Test {
protected:
    // The DATA values as the store file holds them, in file order.
    std::vector<std::pair<std::wstring, RegValue>> Stored() const {
        const auto data = RegistryStore(config.path().string()).Load();
        const auto* key = data.FindKey(L"HKEY_CURRENT_USER\\Software\\ZELT\\TALVERN\\DATA");
        return key ? key->values : decltype(key->values){};
    }
    RegValue Value(const std::wstring& name) const {
        for (const auto& [n, v] : Stored())
            if (n == name) return v;
        return {};
    }
    talvern::test::ScopedConfigDir config;
};

TEST_F(InfoStore, FirstStartWritesTheThirteenKeysInOrder) {
    const auto cwd = std::filesystem::current_path();
    { CInfo info; }
    const auto d = [](DWORD v) { return RegValue::Dword(v); };
    const std::vector<std::pair<std::wstring, RegValue>> expected = {
        {L"fps", d(299700)},
        {L"InterLaced", d(0)},
        {L"quality", d(100)},
        {L"perfile", d(1)},
        {L"hozon", RegValue::String(TrimTrailingBackslash(CInfo::GetDefaultOutputFolder()))},
        {L"WMV", d(1)},
        {L"WMV4", d(20)},
        {L"WMV7", d(13)},
        {L"WMV8", d(12)},
        {L"WMV2PASS", d(0)},
        {L"PRX", RegValue::String(L"")},
        {L"VOL", d(100)},
        {L"uwagaki", d(0)}};
    EXPECT_EQ(Stored(), expected);
    EXPECT_EQ(std::filesystem::current_path(), cwd) << "the output folder is no working directory";

    ProfileWriteInt(L"DATA", L"fps", 250000);
    { CInfo again; }
    EXPECT_EQ(Value(L"fps").dword, 250000u);
}

TEST_F(InfoStore, OutputFolderIsTrimmedOrReplaced) {
    talvern::test::TempDir out;
    const std::wstring dir = Utf8ToWide(out.path().string());
    const std::wstring fallback = CInfo::GetDefaultOutputFolder();
    ASSERT_EQ(fallback.back(), L'/');
    CInfo info;
    const std::tuple<std::wstring, std::wstring, int> cases[] = {
        {dir + L"///", dir, 1},      {L"/", L"/", 1},
        {L"///", L"/", 1},           {L".", fallback, 0},
        {L"~", fallback, 0},         {L"", fallback, 0},
        {dir + L"/no", fallback, 0}, {GetModuleFilePath(), fallback, 0},  // a file
    };
    for (const auto& [entered, stored, result] : cases) {
        info.m_strOutputFolder = entered;
        EXPECT_EQ(info.SavePicked(), result) << WideToUtf8(entered);
        EXPECT_EQ(Value(L"hozon").text, stored) << WideToUtf8(entered);
    }
    EXPECT_EQ(info.SaveChecked(), 1) << "the replacement loses its '/' at the next save";
    EXPECT_EQ(Value(L"hozon").text, TrimTrailingBackslash(fallback));
}

// A folder on a disk taken out, at start-up or later: the run writes to the default
// folder, and every save of the run, a dialog's record too, keeps the folder in the
// store until the user picks another.
TEST_F(InfoStore, AFolderThatIsNotThereIsKeptUntilAnotherIsPicked) {
    talvern::test::TempDir out;
    const std::wstring gone = Utf8ToWide((out.path() / "disk").string());
    const std::wstring fallback = CInfo::GetDefaultOutputFolder();
    ProfileWriteString(L"DATA", L"hozon", (gone + L"/").c_str());
    auto doc = std::make_unique<CInfo>();
    EXPECT_EQ(doc->m_strOutputFolder, TrimTrailingBackslash(fallback));
    EXPECT_EQ(doc->KeptFolder(), gone);
    EXPECT_EQ(Value(L"hozon").text, gone);
    doc->m_nJpegQuality = 50;
    {
        CInfo dialog;
        dialog = *doc;
    }
    doc->SaveChecked();
    EXPECT_EQ(Value(L"quality").dword, 50u);
    EXPECT_EQ(Value(L"hozon").text, gone);
    doc->m_strOutputFolder = Utf8ToWide(out.path().string());
    EXPECT_EQ(doc->SavePicked(), 1);
    EXPECT_EQ(Value(L"hozon").text, doc->m_strOutputFolder);
    EXPECT_TRUE(doc->KeptFolder().empty());

    // Taken out while the program runs: the save at its end keeps it too.
    std::filesystem::create_directory(out.path() / "disk");
    doc->m_strOutputFolder = gone;
    doc->SavePicked();
    std::filesystem::remove(out.path() / "disk");
    doc.reset();
    EXPECT_EQ(Value(L"hozon").text, gone);
}

TEST_F(InfoStore, StoredValuesOutsideTheirTablesReadAsUsableOnes) {
    // perfile, WMV, InterLaced as stored, then as read.
    const int cases[][6] = {{0, 4, 4, 1, 1, 0}, {-3, -1, -1, -3, 1, 0}, {7, 3, 3, 7, 3, 3}};
    for (const auto& c : cases) {
        ProfileWriteInt(L"DATA", L"perfile", c[0]);
        ProfileWriteInt(L"DATA", L"WMV", c[1]);
        ProfileWriteInt(L"DATA", L"InterLaced", c[2]);
        CInfo info;
        EXPECT_EQ(info.m_nImageInterval, c[3]);
        EXPECT_EQ(info.m_nWmvKind, c[4]);
        EXPECT_EQ(info.m_nDeinterlace, c[5]);
    }
}

TEST_F(InfoStore, LastInstanceDestroyedDecidesAndEncodeErrorsSetTwoPass) {
    auto doc = std::make_unique<CInfo>(), dialog = std::make_unique<CInfo>(),
         wmv = std::make_unique<CInfo>();
    doc->m_nJpegQuality = 10, dialog->m_nJpegQuality = 20, wmv->m_nJpegQuality = 30;
    wmv.reset();
    doc.reset();
    EXPECT_EQ(Value(L"quality").dword, 10u);
    dialog.reset();
    EXPECT_EQ(Value(L"quality").dword, 20u);

    CInfo info;
    for (const auto& [code, twoPass] :
         {std::pair{814, 1}, {3005, 0}, {814, 1}, {2006, 1}, {810, 0}}) {
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
            renames += ev->len && std::string(ev->name) == "registry.txt";
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
}

}  // namespace
