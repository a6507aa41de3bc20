// Writer objects kept for many files: every file equals the one a fresh object writes,
// also after failed files, and over-long or unconvertible names fail without a file.
// The descriptor-backed output file underneath: pieces of any size arrive in order,
// and failures stick until the file is closed.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "image/ImgFileBmp.h"
#include "image/ImgFileJpeg.h"
#include "image/ImgFilePng.h"
#include "image/ImgFileTiff.h"
#include "image/OutFile.h"
#include "image/ResImgFile.h"
#include "tests/image/ImageTestUtil.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;
using namespace imagetest;
using talvern::test::ReadFileBytes;
using talvern::test::TempDir;

namespace {

TEST(KeptWriters, EveryFileEqualsAFreshWritersAlsoAfterFailures) {
    TempDir dir;
    const bool haveFull = fs::exists("/dev/full");
    if (haveFull) {
        // The chooser goes by the name; the bytes go to a device that is always full.
        for (const char* name : {"full.bmp", "full.jpg", "full.png", "full.tif"})
            fs::create_symlink("/dev/full", dir / name);
    }
    struct Step {
        const char* name;
        int width, height, quality;
        bool written;
    } steps[] = {
        {"a.jpg", 30, 17, 90, true},   {"b.png", 7, 5, 0, true},      {"full.jpg", 64, 64, 80, false},
        {"c.jpg", 64, 48, 50, true},   {"full.png", 64, 64, 0, false}, {"d.png", 65, 3, 0, true},
        {"e.bmp", 3, 2, 0, true},      {"full.bmp", 64, 64, 0, false}, {"f.tif", 5, 3, 0, true},
        {"missing/g.jpg", 8, 8, 80, false}, {"full.tif", 64, 64, 0, false}, {"h.TIF", 640, 2, 0, true},
        {"i.bmp", 9, 9, 0, true},      {"j.jpeg", 1, 1, 100, true},   {"k.png", 1, 1, 0, true},
        {"l.jpg", 200, 150, 75, true}, {"m.png", 200, 150, 0, true},  {"n.jpg", 31, 9, 5, true},
    };
    CResImgFile kept;
    int index = 0;
    for (const Step& s : steps) {
        if (!haveFull && std::string(s.name).rfind("full", 0) == 0) continue;
        const Frame f(s.width, s.height, ++index % 2 ? Coded : Blocks);
        BITMAPINFOHEADER h = f.Header();
        const BOOL ok = kept.Save(f.bits.data(), &h, Wide(dir / s.name).c_str(), s.quality);
        ASSERT_EQ(ok, s.written ? TRUE : FALSE) << s.name;
        if (!s.written) continue;
        const std::string ext = fs::path(s.name).extension().string();
        const fs::path fresh = dir / ("fresh" + std::to_string(index) + ext);
        h = f.Header();
        ASSERT_TRUE(CResImgFile().Save(f.bits.data(), &h, Wide(fresh).c_str(), s.quality)) << s.name;
        const std::string bytes = ReadFileBytes(dir / s.name);
        EXPECT_FALSE(bytes.empty()) << s.name;
        EXPECT_TRUE(bytes == ReadFileBytes(fresh)) << s.name;
    }
}

TEST(KeptWriters, OverlongAndUnconvertibleNamesFailWithoutAFile) {
    TempDir dir;
    const Frame f(4, 4, Coded);
    const std::wstring folder = Wide(dir.path()) + L"/";
    for (const wchar_t* ext : {L".bmp", L".jpg", L".png", L".tif"}) {
        // Past the bound in bytes while short in characters: every kana is three bytes.
        const std::wstring overlong = folder + std::wstring(PATH_MAX / 3, L'フ') + ext;
        const std::wstring surrogate = folder + L"a\xD800" + ext;
        for (const std::wstring& path : {overlong, surrogate}) {
            BITMAPINFOHEADER h = f.Header();
            EXPECT_FALSE(CResImgFile().Save(f.bits.data(), &h, path.c_str(), 80)) << ext;
            EXPECT_EQ(CResImgFile().Load(path.c_str(), nullptr), nullptr) << ext;
        }
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

// Writes pieces of the given sizes, each filled with its own byte value, and returns
// what they make together.
std::string WritePieces(COutFile& file, const std::vector<size_t>& sizes) {
    std::string all;
    char value = 'a';
    for (size_t n : sizes) {
        const std::string piece(n, value++);
        EXPECT_TRUE(file.Write(piece.data(), piece.size())) << n;
        all += piece;
    }
    return all;
}

TEST(OutFile, PiecesOfEverySizeArriveInOrderWithAnyBuffer) {
    TempDir dir;
    // Pieces smaller than, equal to, one short of and larger than the buffer and its room.
    const std::vector<size_t> sizes = {0, 3, 7, 1, 20, 6, 5, 8, 100, 2, 63, 64, 65, 1};
    for (size_t buffer : {size_t{0}, size_t{1}, size_t{8}, size_t{64}}) {
        COutFile file(buffer);
        for (const char* name : {"one", "two"}) {  // the second file reuses the buffer
            ASSERT_TRUE(file.Open(Wide(dir / name).c_str())) << buffer;
            const std::string expected = WritePieces(file, sizes);
            ASSERT_TRUE(file.Close()) << buffer;
            EXPECT_EQ(ReadFileBytes(dir / name), expected) << buffer << " " << name;
        }
    }
}

TEST(OutFile, FailuresStickUntilCloseAndAreReported) {
    TempDir dir;
    COutFile file(64);
    EXPECT_FALSE(file.Close());  // nothing open
    EXPECT_FALSE(file.Write("x", 1));
    EXPECT_FALSE(file.Open(Wide(dir / "missing" / "a").c_str()));

    // Abandoning drops what is buffered and the file it made.
    ASSERT_TRUE(file.Open(Wide(dir / "dropped").c_str()));
    ASSERT_TRUE(file.Write("abc", 3));
    file.Abandon();
    EXPECT_FALSE(fs::exists(dir / "dropped"));

    if (!fs::exists("/dev/full")) GTEST_SKIP();
    // Small pieces wait in the buffer: the full disk shows up only when they are flushed.
    ASSERT_TRUE(file.Open(L"/dev/full"));
    EXPECT_TRUE(file.Write("abc", 3));
    EXPECT_FALSE(file.Close());
    // A piece larger than the buffer fails at once, and so does everything after it.
    const std::string big(1000, 'z');
    ASSERT_TRUE(file.Open(L"/dev/full"));
    EXPECT_FALSE(file.Write(big.data(), big.size()));
    EXPECT_FALSE(file.Write("abc", 3));
    EXPECT_FALSE(file.Close());
    // The next file starts clean.
    ASSERT_TRUE(file.Open(Wide(dir / "after").c_str()));
    EXPECT_TRUE(file.Write("ok", 2));
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(ReadFileBytes(dir / "after"), "ok");
}

}  // namespace
