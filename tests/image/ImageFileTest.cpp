// Still-image files: exact BMP layout, TIFF/PNG/JPEG files read back by the libraries
// themselves, the chooser's extension rules, refusals, full disks and non-ASCII names,
// and the loaders on well-formed and malformed files.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <tiffio.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "image/Dib.h"
#include "image/ImgFileBmp.h"
#include "image/ImgFileCom.h"
#include "image/ImgFileJpeg.h"
#include "image/ImgFilePng.h"
#include "image/ImgFileTiff.h"
#include "image/JpegFile.h"
#include "image/ResImgFile.h"
#include "tests/image/ImageTestUtil.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;
using namespace imagetest;
using talvern::test::ReadFileBytes;
using talvern::test::TempDir;
using talvern::test::WriteFileBytes;

namespace {

uint32_t U32(const std::string& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
uint16_t U16(const std::string& b, size_t at) {
    uint16_t v;
    std::memcpy(&v, b.data() + at, 2);
    return v;
}

// Every pixel of a loaded PackedDib equals the frame's.
void ExpectSamePixels(const PackedDib* dib, const Frame& f, int tolerance = 0) {
    ASSERT_NE(dib, nullptr);
    ASSERT_EQ(dib->bmiHeader.biWidth, f.width);
    ASSERT_EQ(dib->bmiHeader.biHeight, f.height);
    EXPECT_EQ(dib->bmiHeader.biBitCount, 24);
    EXPECT_EQ(dib->bmiHeader.biSizeImage, f.Stride() * f.height);
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const BYTE* p = dib->Bits() + f.Stride() * (f.height - 1 - y) + 3 * x;
            const Rgb want = f.At(x, y);
            ASSERT_NEAR(p[2], want.r, tolerance) << x << "," << y;
            ASSERT_NEAR(p[1], want.g, tolerance) << x << "," << y;
            ASSERT_NEAR(p[0], want.b, tolerance) << x << "," << y;
        }
}

TEST(BmpFile, LayoutIsByteExactAndTheHeaderBecomesCanonical) {
    TempDir dir;
    const Frame f(3, 2, Coded);
    BITMAPINFOHEADER h = f.Header();
    ASSERT_TRUE(CImgFileBmp().Save(f.bits.data(), &h, Wide(dir / "a.bmp").c_str()));
    const std::string b = ReadFileBytes(dir / "a.bmp");
    ASSERT_EQ(b.size(), 78u);
    EXPECT_EQ(b.substr(0, 2), "BM");
    EXPECT_EQ(U32(b, 2), 78u);
    EXPECT_EQ(U32(b, 6), 0u);  // both reserved words
    EXPECT_EQ(U32(b, 10), 54u);
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_EQ(U32(b, 18), 3u);
    EXPECT_EQ(U32(b, 22), 2u);
    EXPECT_EQ(U16(b, 26), 1);
    EXPECT_EQ(U16(b, 28), 24);
    EXPECT_EQ(U32(b, 30), 0u);
    EXPECT_EQ(U32(b, 34), 24u);
    for (size_t at = 38; at < 54; at += 4) EXPECT_EQ(U32(b, at), 0u) << at;
    // The rows as passed, padding included.
    EXPECT_EQ(b.substr(54), std::string(f.bits.begin(), f.bits.end()));
    EXPECT_EQ(h.biSizeImage, 24u);
    EXPECT_EQ(h.biXPelsPerMeter, 0);
}

TEST(TiffFile, HoldsOneUncompressedStripTopLineFirstRedBeforeBlue) {
    TempDir dir;
    const Frame f(5, 3, Coded);
    BITMAPINFOHEADER h = f.Header();
    ASSERT_TRUE(CImgFileTiff().Save(f.bits.data(), &h, Wide(dir / "a.tif").c_str()));
    EXPECT_EQ(h.biXPelsPerMeter, 99);  // left as the caller had it

    TIFF* tif = TIFFOpen((dir / "a.tif").c_str(), "r");
    ASSERT_NE(tif, nullptr);
    uint32_t w = 0, ht = 0;
    uint16_t bps = 0, spp = 0, photometric = 0, planar = 0, compression = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &ht);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    EXPECT_EQ(w, 5u);
    EXPECT_EQ(ht, 3u);
    EXPECT_EQ(bps, 8);
    EXPECT_EQ(spp, 3);
    EXPECT_EQ(photometric, PHOTOMETRIC_RGB);
    EXPECT_EQ(planar, PLANARCONFIG_CONTIG);
    EXPECT_EQ(compression, COMPRESSION_NONE);
    ASSERT_EQ(TIFFNumberOfStrips(tif), 1u);
    std::vector<BYTE> strip(45);
    ASSERT_EQ(TIFFReadRawStrip(tif, 0, strip.data(), 45), 45);
    TIFFClose(tif);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const BYTE* p = strip.data() + 15 * y + 3 * x;
            const Rgb want = f.At(x, y);
            EXPECT_EQ(p[0], want.r);
            EXPECT_EQ(p[1], want.g);
            EXPECT_EQ(p[2], want.b);
        }
}

TEST(PngFile, ReadsBackExactlyThroughLibpng) {
    TempDir dir;
    const Frame f(7, 5, Coded);
    BITMAPINFOHEADER h = f.Header();
    ASSERT_TRUE(CImgFilePng().Save(f.bits.data(), &h, Wide(dir / "a.png").c_str()));
    EXPECT_EQ(h.biXPelsPerMeter, 99);
    const Decoded d = DecodePngDirect(dir / "a.png");
    ASSERT_EQ(d.width, 7);
    ASSERT_EQ(d.height, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            EXPECT_EQ(d.At(x, y).r, f.At(x, y).r);
            EXPECT_EQ(d.At(x, y).g, f.At(x, y).g);
            EXPECT_EQ(d.At(x, y).b, f.At(x, y).b);
        }
}

TEST(JpegFile, ReadsBackThroughLibjpegCloseToTheFrame) {
    TempDir dir;
    const Frame f(30, 17, Blocks);  // odd sizes: padded rows, partial blocks
    BITMAPINFOHEADER h = f.Header();
    const std::vector<BYTE> before = f.bits;
    ASSERT_TRUE(CImgFileJpeg().Save(f.bits.data(), &h, Wide(dir / "a.jpg").c_str(), 95));
    EXPECT_EQ(f.bits, before);  // written from the caller's rows without touching them
    EXPECT_EQ(h.biXPelsPerMeter, 0);
    EXPECT_EQ(h.biSizeImage, 92u * 17);
    const Decoded d = DecodeJpegDirect(dir / "a.jpg");
    ASSERT_EQ(d.width, 30);
    ASSERT_EQ(d.height, 17);
    ASSERT_EQ(d.components, 3);
    // Away from block edges the colour survives within a few levels.
    for (int y : {3, 11}) {
        for (int x : {3, 11, 19}) {
            EXPECT_NEAR(d.At(x, y).r, f.At(x, y).r, 12) << x << "," << y;
            EXPECT_NEAR(d.At(x, y).g, f.At(x, y).g, 12) << x << "," << y;
            EXPECT_NEAR(d.At(x, y).b, f.At(x, y).b, 12) << x << "," << y;
        }
    }
}

TEST(ImageFiles, OptionalProbeAgreesOnSizeAndCodec) {
    TempDir dir;
    if (talvern::test::RunCommand("command -v ffprobe >/dev/null") != 0) GTEST_SKIP();
    const Frame f(16, 8, Blocks);
    struct Case {
        const char* name;
        const char* codec;
    } cases[] = {{"a.bmp", "bmp"}, {"a.jpg", "mjpeg"}, {"a.png", "png"}, {"a.tif", "tiff"}};
    for (const Case& c : cases) {
        BITMAPINFOHEADER h = f.Header();
        ASSERT_TRUE(CResImgFile().Save(f.bits.data(), &h, Wide(dir / c.name).c_str(), 80));
        std::string out;
        talvern::test::RunCommand("ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 " +
                                      talvern::test::ShellQuote((dir / c.name).string()),
                                  &out);
        EXPECT_EQ(out, std::string(c.codec) + ",16,8\n") << c.name;
    }
}

TEST(ImageFiles, WritersRefuseEmptySizesAndWriteNothing) {
    TempDir dir;
    const Frame f(4, 4, Coded);
    for (const char* name : {"a.bmp", "a.jpg", "a.tif", "a.png"}) {
        for (auto [w, h] : {std::pair{0, 4}, {4, 0}, {-4, 4}, {4, -4}}) {
            BITMAPINFOHEADER hd = f.Header();
            hd.biWidth = w;
            hd.biHeight = h;
            EXPECT_FALSE(CResImgFile().Save(f.bits.data(), &hd, Wide(dir / name).c_str(), 80)) << name;
            EXPECT_FALSE(fs::exists(dir / name)) << name;
        }
        BITMAPINFOHEADER hd = f.Header();
        EXPECT_FALSE(CResImgFile().Save(nullptr, &hd, Wide(dir / name).c_str(), 80)) << name;
    }
}

TEST(ImageFiles, FullDiskAndMissingFolderAreFailures) {
    TempDir dir;
    const Frame f(64, 64, Coded);
    const std::wstring full = L"/dev/full";
    BITMAPINFOHEADER h = f.Header();
    if (fs::exists("/dev/full")) {
        EXPECT_FALSE(CImgFileBmp().Save(f.bits.data(), &h, full.c_str()));
        EXPECT_FALSE(CImgFileJpeg().Save(f.bits.data(), &h, full.c_str(), 80));
        EXPECT_FALSE(CImgFileTiff().Save(f.bits.data(), &h, full.c_str()));
        EXPECT_FALSE(CImgFilePng().Save(f.bits.data(), &h, full.c_str()));
    }
    for (const char* name : {"a.bmp", "a.jpg", "a.tif", "a.png"})
        EXPECT_FALSE(CResImgFile().Save(f.bits.data(), &h, Wide(dir / "missing" / name).c_str(), 80)) << name;
}

// A file the disk cannot take whole is no file: a new name is left free, and a file that
// was there keeps its bytes, also for a writer kept from file to file; no temporary stays.
TEST(ImageFiles, AFileCutShortByAFullDiskIsTakenAwayAndAnEarlierOneKept) {
    TempDir dir;
    const Frame big(64, 48, Coded), small(4, 4, Blocks);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit limit = before;
    limit.rlim_cur = 256;  // less than any picture of the big frame
    CResImgFile kept;
    for (const char* ext : {".bmp", ".jpg", ".tif", ".png"}) {
        const fs::path fresh = dir / (std::string("new") + ext),
                       earlier = dir / (std::string("old") + ext);
        WriteFileBytes(earlier, "the earlier picture");
        fs::permissions(earlier,
                        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        setrlimit(RLIMIT_FSIZE, &limit);
        for (const fs::path& p : {fresh, earlier}) {
            BITMAPINFOHEADER h = big.Header();
            EXPECT_FALSE(kept.Save(big.bits.data(), &h, Wide(p).c_str(), 90)) << p;
        }
        setrlimit(RLIMIT_FSIZE, &before);
        EXPECT_FALSE(fs::exists(fresh)) << ext;
        EXPECT_EQ(ReadFileBytes(earlier), "the earlier picture") << ext;
        // A whole file replaces the earlier one and takes its permissions.
        BITMAPINFOHEADER h = small.Header();
        ASSERT_TRUE(kept.Save(small.bits.data(), &h, Wide(earlier).c_str(), 90)) << ext;
        PackedDib* dib = CResImgFile().Load(Wide(earlier).c_str(), nullptr);
        ExpectSamePixels(dib, small, std::string(ext) == ".jpg" ? 40 : 0);
        std::free(dib);
        EXPECT_EQ(fs::status(earlier).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
            << ext;
    }
    std::signal(SIGXFSZ, previous);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"old.bmp", "old.jpg", "old.png", "old.tif"}));
}

TEST(ImageFiles, NonAsciiNamesRoundTrip) {
    TempDir dir;
    const Frame f(9, 6, Coded);
    for (const char* ext : {".bmp", ".png", ".tif", ".jpg"}) {
        const fs::path p = dir / (std::string("フレーム ü 0000001") + ext);
        BITMAPINFOHEADER h = f.Header();
        ASSERT_TRUE(CResImgFile().Save(f.bits.data(), &h, Wide(p).c_str(), 100)) << ext;
        ASSERT_TRUE(fs::exists(p)) << ext;
        PackedDib* dib = CResImgFile().Load(Wide(p).c_str(), nullptr);
        ExpectSamePixels(dib, f, std::string(ext) == ".jpg" ? 40 : 0);
        std::free(dib);
    }
}

TEST(ImageFiles, ChooserFollowsTheExtensionInAnyCase) {
    TempDir dir;
    const Frame f(8, 8, Blocks);
    struct Case {
        const char* name;
        const char* magic;  // null: refused, no file
    } cases[] = {
        {"a.JPG", "\xFF\xD8"}, {"b.Jpeg", "\xFF\xD8"}, {"c.jpeg", "\xFF\xD8"}, {"d.Bmp", "BM"},
        {"e.TIF", "II"},       {"f.tiff", "II"},       {"g.PNG", "\x89P"},    {"h.jpe", nullptr},
        {"i.gif", nullptr},    {"noext", nullptr},     {"j.png.txt", nullptr}, {".png", nullptr},
    };
    for (const Case& c : cases) {
        BITMAPINFOHEADER h = f.Header();
        const BOOL ok = CResImgFile().Save(f.bits.data(), &h, Wide(dir / c.name).c_str(), 80);
        EXPECT_EQ(ok, c.magic ? TRUE : FALSE) << c.name;
        EXPECT_EQ(fs::exists(dir / c.name), c.magic != nullptr) << c.name;
        if (c.magic) {
            EXPECT_EQ(ReadFileBytes(dir / c.name).substr(0, 2), c.magic) << c.name;
        }
    }
    // Loading an unknown extension gives null, even when the file is a picture.
    fs::copy_file(dir / "g.PNG", dir / "k.gif");
    PackedDib* block = AllocPackedDib(8, 8);
    EXPECT_EQ(CResImgFile().Load(Wide(dir / "k.gif").c_str(), block), nullptr);
    EXPECT_EQ(CResImgFile().Load(Wide(dir / "k.gif").c_str(), nullptr), nullptr);
    // A passed block of the right size is filled and returned; another size is refused.
    EXPECT_EQ(CResImgFile().Load(Wide(dir / "g.PNG").c_str(), block), block);
    ExpectSamePixels(block, f);
    std::free(block);
    block = AllocPackedDib(8, 7);
    EXPECT_EQ(CResImgFile().Load(Wide(dir / "g.PNG").c_str(), block), nullptr);
    std::free(block);
}

TEST(ImageLoaders, ReadWhatTheWritersWroteAndRecogniseFormatsByContent) {
    TempDir dir;
    const Frame f(11, 7, Coded);
    for (const char* name : {"a.bmp", "a.png", "a.tif", "a.jpg"}) {
        BITMAPINFOHEADER h = f.Header();
        ASSERT_TRUE(CResImgFile().Save(f.bits.data(), &h, Wide(dir / name).c_str(), 100));
        const int tolerance = std::string(name) == "a.jpg" ? 40 : 0;
        PackedDib* own = CResImgFile().Load(Wide(dir / name).c_str(), nullptr);
        ExpectSamePixels(own, f, tolerance);
        std::free(own);
        // The same file under a misleading name, recognised by its first bytes.
        fs::copy_file(dir / name, dir / (std::string(name) + ".dat"));
        PackedDib* any = CImgFileCom().Load(Wide(dir / (std::string(name) + ".dat")).c_str(), nullptr);
        ExpectSamePixels(any, f, tolerance);
        std::free(any);
    }
    WriteFileBytes(dir / "junk.dat", "GIF89a not a picture we read");
    EXPECT_EQ(CImgFileCom().Load(Wide(dir / "junk.dat").c_str(), nullptr), nullptr);
    EXPECT_EQ(CImgFileCom().Load(Wide(dir / "none.dat").c_str(), nullptr), nullptr);

    // The JPEG loader into a global block: header and rows in one movable block.
    HGLOBAL jpeg = GlobalAlloc(GMEM_MOVEABLE, fs::file_size(dir / "a.jpg"));
    const std::string bytes = ReadFileBytes(dir / "a.jpg");
    std::memcpy(GlobalLock(jpeg), bytes.data(), bytes.size());
    GlobalUnlock(jpeg);
    HGLOBAL dib = CImgFileJpeg().LoadFromGlobal(jpeg);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(GlobalSize(dib), 40u + f.Stride() * 7);
    ExpectSamePixels(static_cast<const PackedDib*>(GlobalLock(dib)), f, 40);
    GlobalUnlock(dib);
    GlobalFree(dib);
    GlobalFree(jpeg);
}

TEST(ImageLoaders, AFifoIsRefusedWithoutWaitingForAWriter) {
    TempDir dir;
    const auto fifo = dir / "pipe.bmp";
    ASSERT_TRUE(talvern::test::MakeFifo(fifo));
    const std::wstring name = Wide(fifo);
    std::vector<std::function<bool()>> loads = {
        [&] { return CImgFileCom().Load(name.c_str(), nullptr) != nullptr; },
        [&] { return CImgFileBmp().Load(name.c_str(), nullptr) != nullptr; },
        [&] { return CImgFileJpeg().Load(name.c_str(), nullptr) != nullptr; },
        [&] { return CImgFilePng().Load(name.c_str(), nullptr) != nullptr; },
        [&] { return CImgFileTiff().Load(name.c_str(), nullptr) != nullptr; },
        [&] { return CDib().LoadFromFile(name.c_str()) != FALSE; },
    };
    for (size_t i = 0; i < loads.size(); ++i) {
        bool loaded = true;
        EXPECT_TRUE(talvern::test::FinishesWithin(std::chrono::seconds(2), fifo,
                                                  [&] { loaded = loads[i](); }))
            << "loader " << i;
        EXPECT_FALSE(loaded) << "loader " << i;
    }
}

// Resident kB from /proc/self/status ("VmRSS" now, "VmHWM" the peak).
long StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field + ":")) return std::stol(line.substr(field.size() + 1));
    return -1;
}

// How far the resident memory rose while load ran, in bytes; -1 when it cannot be told.
long long PeakGrowth(const std::function<void()>& load) {
    const long before = StatusKb("VmRSS");
    std::ofstream reset("/proc/self/clear_refs");
    if (!(reset << "5" << std::flush) || before < 0) return -1;  // "5" resets the peak
    load();
    return (StatusKb("VmHWM") - before) * 1024LL;
}

// A few hundred bytes that claim 4096 x 4096 grey pixels: they load as a grey picture
// of that size, and the loaders hold that picture once, not once per conversion step.
TEST(ImageLoaders, ATruncatedHugeJpegIsHeldOnce) {
    TempDir dir;
    const std::vector<BYTE> rgb(16 * 16 * 3, 0x80);
    ASSERT_TRUE(WriteJpegFile(Wide(dir / "s.jpg").c_str(), rgb.data(), 16, 16, FALSE, 50));
    std::string bytes = ReadFileBytes(dir / "s.jpg");
    const size_t sof = bytes.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    const char size[] = {0x10, 0x00, 0x10, 0x00};  // height and width 4096, big-endian
    bytes.replace(sof + 5, 4, size, 4);
    ASSERT_TRUE(WriteFileBytes(dir / "huge.jpg", bytes));
    const long long picture = DibRowBytes(4096, 24) * 4096;

    PackedDib* dib = nullptr;
    const long long fromFile = PeakGrowth([&] { dib = CImgFileCom().Load(Wide(dir / "huge.jpg").c_str(), nullptr); });
    if (fromFile < 0) GTEST_SKIP() << "peak resident memory cannot be reset here";
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib->bmiHeader.biWidth, 4096);
    EXPECT_EQ(dib->bmiHeader.biHeight, 4096);
    const BYTE* last = dib->Bits() + DibRowBytes(4096, 24) * 4095 + 3 * 3000;
    EXPECT_TRUE(last[0] == last[1] && last[1] == last[2]);
    std::free(dib);
    EXPECT_LT(fromFile, picture * 3 / 2);

    HGLOBAL jpeg = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(jpeg), bytes.data(), bytes.size());
    GlobalUnlock(jpeg);
    HGLOBAL block = nullptr;
    EXPECT_LT(PeakGrowth([&] { block = CImgFileJpeg().LoadFromGlobal(jpeg); }), picture * 3 / 2);
    EXPECT_EQ(GlobalSize(block), 40 + size_t(picture));
    GlobalFree(block);
    GlobalFree(jpeg);
}

// A BMP file from its parts: file header, info header, palette, rows.
std::string BmpFile(int32_t w, int32_t h, uint16_t bits, uint32_t clrUsed, const std::string& palette,
                    const std::string& rows, uint32_t offBits = 0) {
    BITMAPINFOHEADER ih{};
    ih.biSize = 40;
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = bits;
    ih.biClrUsed = clrUsed;
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = offBits ? offBits : static_cast<uint32_t>(54 + palette.size());
    fh.bfSize = static_cast<uint32_t>(54 + palette.size() + rows.size());
    return std::string(reinterpret_cast<const char*>(&fh), 14) +
           std::string(reinterpret_cast<const char*>(&ih), 40) + palette + rows;
}

TEST(BmpLoader, HandlesTopDownAndPaletteFilesAndRefusesBadHeaders) {
    TempDir dir;
    // Top-down 1 × 2: the first row in the file is the top line.
    const std::string topDown("\x01\x02\x03\x00\x04\x05\x06\x00", 8);
    WriteFileBytes(dir / "td.bmp", BmpFile(1, -2, 24, 0, "", topDown));
    PackedDib* dib = CImgFileBmp().Load(Wide(dir / "td.bmp").c_str(), nullptr);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib->bmiHeader.biHeight, 2);
    EXPECT_EQ(dib->Bits()[0], 4);  // bottom line first in memory
    EXPECT_EQ(dib->Bits()[4], 1);
    std::free(dib);

    // 8-bit, two palette entries, 3 × 1 pixels (row padded to 4).
    const std::string palette("\x10\x20\x30\x00\x40\x50\x60\x00", 8);
    WriteFileBytes(dir / "p.bmp", BmpFile(3, 1, 8, 2, palette, std::string("\x01\x00\x01\x00", 4)));
    dib = CImgFileBmp().Load(Wide(dir / "p.bmp").c_str(), nullptr);
    ASSERT_NE(dib, nullptr);
    const BYTE expected[] = {0x40, 0x50, 0x60, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
    EXPECT_EQ(std::memcmp(dib->Bits(), expected, 9), 0);
    std::free(dib);

    const std::string row4(4, '\x7F');
    struct Bad {
        const char* why;
        std::string bytes;
    } bad[] = {
        {"truncated rows", BmpFile(1, 2, 24, 0, "", row4)},
        {"huge width", BmpFile(1 << 30, 1, 24, 0, "", row4)},
        {"zero width", BmpFile(0, 1, 24, 0, "", row4)},
        {"most negative height", BmpFile(1, INT32_MIN, 24, 0, "", row4)},
        {"rows beyond the end", BmpFile(1, 1, 24, 0, "", row4, 1000)},
        {"offset inside file header", BmpFile(1, 1, 24, 0, "", row4, 4)},
        {"16-bit", BmpFile(1, 1, 16, 0, "", row4)},
        {"palette past the end", BmpFile(1, 1, 8, 0, "", row4)},
        {"short file", std::string("BM\x10\x00", 4)},
        {"wrong magic", "XY" + BmpFile(1, 1, 24, 0, "", row4).substr(2)},
    };
    for (const Bad& b : bad) {
        WriteFileBytes(dir / "bad.bmp", b.bytes);
        EXPECT_EQ(CImgFileBmp().Load(Wide(dir / "bad.bmp").c_str(), nullptr), nullptr) << b.why;
    }
    std::string hugeInfo = BmpFile(1, 1, 24, 0, "", row4);
    const uint32_t hugeSize = 0x7FFFFFF0;
    std::memcpy(hugeInfo.data() + 14, &hugeSize, 4);
    WriteFileBytes(dir / "bad.bmp", hugeInfo);
    EXPECT_EQ(CImgFileBmp().Load(Wide(dir / "bad.bmp").c_str(), nullptr), nullptr);
}

TEST(TiffLoader, ConvertsSixteenBitSamplesToEightBits) {
    TempDir dir;
    TIFF* tif = TIFFOpen((dir / "deep.tif").c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 2u);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1u);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    uint16_t row[6] = {0xFFFF, 0x8000, 0x0000, 0x1234, 0xABCD, 0x4000};
    ASSERT_EQ(TIFFWriteScanline(tif, row, 0, 0), 1);
    TIFFClose(tif);
    PackedDib* dib = CImgFileTiff().Load(Wide(dir / "deep.tif").c_str(), nullptr);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib->bmiHeader.biBitCount, 24);
    EXPECT_EQ(dib->bmiHeader.biWidth, 2);
    const BYTE* p = dib->Bits();
    EXPECT_EQ(p[0], 0x00);  // B
    EXPECT_EQ(p[1], 0x80);  // G
    EXPECT_EQ(p[2], 0xFF);  // R
    EXPECT_EQ(p[3], 0x40);
    EXPECT_EQ(p[4], 0xAB);
    EXPECT_EQ(p[5], 0x12);
    std::free(dib);

    WriteFileBytes(dir / "bad.tif", std::string("II*\0\x08\0\0\0\xFF\xFF", 10));
    EXPECT_EQ(CImgFileTiff().Load(Wide(dir / "bad.tif").c_str(), nullptr), nullptr);
}

TEST(PngLoader, RefusesOtherKindsAndDamagedFiles) {
    TempDir dir;
    const Frame f(6, 6, Coded);
    BITMAPINFOHEADER h = f.Header();
    ASSERT_TRUE(CImgFilePng().Save(f.bits.data(), &h, Wide(dir / "a.png").c_str()));
    std::string bytes = ReadFileBytes(dir / "a.png");
    WriteFileBytes(dir / "cut.png", bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(CImgFilePng().Load(Wide(dir / "cut.png").c_str(), nullptr), nullptr);
    bytes[25] = 6;  // colour type RGBA in the header (the CRC now fails as well)
    WriteFileBytes(dir / "rgba.png", bytes);
    EXPECT_EQ(CImgFilePng().Load(Wide(dir / "rgba.png").c_str(), nullptr), nullptr);
}

}  // namespace
