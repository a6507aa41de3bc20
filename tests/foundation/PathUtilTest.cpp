#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "foundation/PathUtil.h"
#include "platform/win32/WideChar.h"
#include "tests/support/TestSupport.h"

using talvern::test::TempDir;
using talvern::test::WriteFileBytes;

namespace {
std::wstring W(const std::filesystem::path& p) {
    return Utf8ToWide(p.string());
}
}  // namespace

TEST(PathSplit, TableOfNames) {
    struct Case {
        const wchar_t *path, *dir, *title, *ext;
    };
    const Case cases[] = {
        {L"/a/b.tar.gz", L"/a/", L"b.tar", L".gz"},
        {L"/a/B.JPG", L"/a/", L"B", L".jpg"},
        {L"/home/u/.profile", L"/home/u/", L".profile", L""},
        {L"/home/u/.config.bak", L"/home/u/", L".config", L".bak"},
        {L"/a/b/", L"/a/b/", L"", L""},
        {L"/a.d/noext", L"/a.d/", L"noext", L""},
        {L"name.", L"", L"name", L"."},
        {L"/動画/夏休み.第2話.AVI", L"/動画/", L"夏休み.第2話", L".avi"},
        {L"", L"", L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.path));
        EXPECT_EQ(GetPathDir(c.path), c.dir);
        EXPECT_EQ(GetPathFileTitle(c.path), c.title);
        EXPECT_EQ(GetPathExt(c.path), c.ext);
        EXPECT_EQ(GetPathFolder(c.path), c.dir);
        EXPECT_EQ(GetPathDrive(c.path), L"");
    }
    EXPECT_EQ(TrimTrailingBackslash(L"/a/b///"), L"/a/b");
    EXPECT_EQ(TrimTrailingBackslash(L"/a/b"), L"/a/b");
}

TEST(PathUtil, ExistenceDeleteAndCreate) {
    TempDir dir;
    const auto file = dir / "f.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    EXPECT_TRUE(FileExists(W(file).c_str()));
    EXPECT_TRUE(FileExists(W(dir.path()).c_str()));
    EXPECT_FALSE(DirectoryExists(W(file).c_str()));
    EXPECT_TRUE(DirectoryExists(W(dir.path()).c_str()));
    EXPECT_FALSE(DirectoryExists(W(dir / "missing").c_str()));
    EXPECT_FALSE(FileExists(W(dir / "missing").c_str()));
    EXPECT_FALSE(FileExists(nullptr));

    chmod(file.c_str(), 0444);
    EXPECT_EQ(DeleteFileIfExists(W(file).c_str()), 0);
    EXPECT_FALSE(FileExists(W(file).c_str()));
    EXPECT_EQ(DeleteFileIfExists(W(file).c_str()), 0);  // missing: nothing to do

    const auto deep = dir / "x" / "y" / "ζ";
    EXPECT_TRUE(CreateDirectoryTree(W(deep).c_str()));
    EXPECT_TRUE(DirectoryExists(W(deep).c_str()));
    EXPECT_TRUE(CreateDirectoryTree((W(dir / "p" / "q") + L"/").c_str()));
    EXPECT_TRUE(DirectoryExists(W(dir / "p" / "q").c_str()));
    EXPECT_EQ(DeleteFileIfExists(W(deep).c_str()), 1);  // a folder is no file
}

TEST(PathUtil, MakeUniqueFileName) {
    TempDir dir;
    std::wstring free = W(dir / "B.JPG");
    MakeUniqueFileName(free);
    EXPECT_EQ(free, W(dir / "B.JPG"));  // nothing there: unchanged, case kept

    ASSERT_TRUE(WriteFileBytes(dir / "A.JPG", ""));
    ASSERT_TRUE(WriteFileBytes(dir / "A(2).jpg", ""));
    std::wstring p = W(dir / "A.JPG");
    MakeUniqueFileName(p);
    EXPECT_EQ(p, W(dir / "A(3).jpg"));

    ASSERT_TRUE(WriteFileBytes(dir / ".hidden", ""));
    std::wstring h = W(dir / ".hidden");
    MakeUniqueFileName(h);
    EXPECT_EQ(h, W(dir / ".hidden(2)"));
}

TEST(PathUtil, ScanFolderListsFilesAndSubfoldersOnly) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "a.vob", "12345"));
    ASSERT_TRUE(WriteFileBytes(dir / "B.VOB", ""));
    ASSERT_TRUE(WriteFileBytes(dir / "c.txt", ""));
    std::filesystem::create_directory(dir / "sub");
    std::vector<CFileData> files{{L"stale", 1}};
    std::vector<std::wstring> subs{L"stale"};
    ScanFolder(files, subs, W(dir.path()) + L"/", L"/*");
    EXPECT_EQ(files.size(), 3u);
    ASSERT_EQ(subs.size(), 1u);
    EXPECT_EQ(subs[0], W(dir / "sub"));

    ScanFolder(files, subs, W(dir.path()), L"/*.VOB");
    ASSERT_EQ(files.size(), 2u);
    std::sort(files.begin(), files.end(), [](auto& a, auto& b) { return a.path < b.path; });
    EXPECT_EQ(files[0].path, W(dir / "B.VOB"));
    EXPECT_EQ(files[1].path, W(dir / "a.vob"));
    EXPECT_EQ(files[1].length, 5u);
    EXPECT_TRUE(subs.empty());
}

TEST(PathUtil, ModulePathIsThisProgram) {
    const std::wstring self = GetModuleFilePath();
    ASSERT_FALSE(self.empty());
    EXPECT_TRUE(FileExists(self.c_str()));
    EXPECT_EQ(GetModuleDir() + GetPathFileTitle(self) + GetPathExt(self), self);
    EXPECT_EQ(GetModuleDir().back(), L'/');
}

// Names beyond ASCII, and one whose bytes are not UTF-8, are compared as the file
// system holds them; a hard link is the same file under another name.
TEST(PathUtil, IsSameFileByDiskOrByName) {
    TempDir dir;
    const auto movie = dir / "フォルダ" / "テスト.avi";
    std::filesystem::create_directories(movie.parent_path());
    ASSERT_TRUE(WriteFileBytes(movie, "x"));
    const auto link = dir / "café.avi";
    ASSERT_EQ(::link(movie.c_str(), link.c_str()), 0);
    const std::filesystem::path latin1 = dir.path() / std::string("caf\xe9.avi");
    ASSERT_TRUE(WriteFileBytes(latin1, "y"));

    EXPECT_TRUE(IsSameFile(W(movie), W(link)));
    EXPECT_TRUE(IsSameFile(W(movie), W(dir / "フォルダ" / "." / "テスト.avi")));
    EXPECT_TRUE(IsSameFile(W(latin1), W(latin1)));
    EXPECT_FALSE(IsSameFile(W(latin1), W(movie)));
    // Not written yet: the same name once "." and ".." are resolved.
    EXPECT_TRUE(IsSameFile(W(dir / "出力" / "a.wav"), W(dir / "フォルダ" / ".." / "出力" / "a.wav")));
    EXPECT_FALSE(IsSameFile(W(dir / "出力" / "a.wav"), W(dir / "出力" / "b.wav")));
    EXPECT_FALSE(IsSameFile(L"", W(movie)));
}
