// The JPEG module's readers, its grey writer, the memory source and the row helpers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "image/JpegFile.h"
#include "tests/image/ImageTestUtil.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;
using namespace imagetest;
using talvern::test::ReadFileBytes;
using talvern::test::TempDir;

namespace {

// Packed top-down RGB rows of a frame.
std::vector<BYTE> PackedRgb(const Frame& f) {
    std::vector<BYTE> rgb;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const Rgb c = f.At(x, y);
            rgb.insert(rgb.end(), {BYTE(c.r), BYTE(c.g), BYTE(c.b)});
        }
    return rgb;
}

// Smooth gradients: every pixel differs, yet JPEG keeps them close.
Rgb Gradient(int x, int y) { return {x, y, (x + y) / 2}; }

HGLOBAL BlockOf(const std::string& bytes) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!bytes.empty()) std::memcpy(GlobalLock(h), bytes.data(), bytes.size());
    GlobalUnlock(h);
    return h;
}

TEST(JpegRows, HelpersReorderRowsAndChannels) {
    BYTE px[] = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(SwapRedBlue(px, 2, 1));
    EXPECT_EQ(std::vector<BYTE>(px, px + 6), (std::vector<BYTE>{3, 2, 1, 6, 5, 4}));
    ASSERT_TRUE(SwapRedBlue(px, 2, 1));
    EXPECT_EQ(px[0], 1);
    EXPECT_FALSE(SwapRedBlue(nullptr, 2, 1));

    BYTE rows[] = {1, 1, 2, 2, 3, 3};
    ASSERT_TRUE(FlipRowsVertical(rows, 2, 1));
    EXPECT_EQ(rows[0], 1);
    ASSERT_TRUE(FlipRowsVertical(rows, 2, 3));
    EXPECT_EQ(std::vector<BYTE>(rows, rows + 6), (std::vector<BYTE>{3, 3, 2, 2, 1, 1}));
    EXPECT_FALSE(FlipRowsVertical(nullptr, 2, 3));

    UINT stride = 0;
    const BYTE packed[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    BYTE* padded = PadRowsToDword(packed, 1, 2, &stride);
    EXPECT_EQ(stride, 4u);
    EXPECT_EQ(padded[4], 4);
    BYTE* back = UnpadRows(padded, 1, stride, 2);
    EXPECT_EQ(std::memcmp(back, packed, 6), 0);
    delete[] padded;
    delete[] back;
    padded = PadRowsToDword(packed, 4, 1, &stride);
    EXPECT_EQ(stride, 12u);
    delete[] padded;
}

TEST(JpegModule, FileAndMemoryReadersAgreeAndEndEarlyStreamsStillDecode) {
    TempDir dir;
    const Frame f(250, 250, Gradient);  // at quality 100 well over 10000 bytes
    const auto rgb = PackedRgb(f);
    const fs::path p = dir / "a.jpg";
    ASSERT_TRUE(WriteJpegFile(Wide(p).c_str(), rgb.data(), 250, 250, TRUE, 100));
    const std::string bytes = ReadFileBytes(p);
    ASSERT_GT(bytes.size(), 10000u);

    UINT fw = 0, fh = 0, mw = 0, mh = 0;
    BYTE* fromFile = ReadJpegFile(Wide(p).c_str(), &fw, &fh);
    HGLOBAL block = BlockOf(bytes);
    BYTE* fromMemory = ReadJpegGlobal(block, &mw, &mh);
    GlobalFree(block);
    ASSERT_TRUE(fromFile && fromMemory);
    EXPECT_EQ(fw, 250u);
    EXPECT_EQ(fh, 250u);
    EXPECT_EQ(mw, 250u);
    EXPECT_EQ(mh, 250u);
    EXPECT_EQ(std::memcmp(fromFile, fromMemory, rgb.size()), 0);
    double error = 0;
    for (size_t i = 0; i < rgb.size(); ++i) error += std::abs(fromFile[i] - rgb[i]);
    EXPECT_LT(error / rgb.size(), 1.0);
    delete[] fromFile;
    delete[] fromMemory;

    // Cut short: completed with an End Of Image marker, so the picture still comes back.
    block = BlockOf(bytes.substr(0, bytes.size() * 2 / 3));
    BYTE* partial = ReadJpegGlobal(block, &mw, &mh);
    GlobalFree(block);
    EXPECT_NE(partial, nullptr);
    EXPECT_EQ(mh, 250u);
    delete[] partial;

    // Empty and non-JPEG input give null and leave the size at 0.
    for (const std::string& junk : {std::string(), std::string(5000, 'x')}) {
        block = BlockOf(junk);
        EXPECT_EQ(ReadJpegGlobal(block, &mw, &mh), nullptr);
        EXPECT_EQ(mw, 0u);
        GlobalFree(block);
    }
    EXPECT_EQ(ReadJpegFile(Wide(dir / "none.jpg").c_str(), &mw, &mh), nullptr);
}

TEST(JpegModule, GreyWriterAndGreyReading) {
    TempDir dir;
    const Frame f(16, 16, Blocks);
    const auto rgb = PackedRgb(f);
    const fs::path p = dir / "grey.jpg";
    ASSERT_TRUE(WriteJpegFile(Wide(p).c_str(), rgb.data(), 16, 16, FALSE, 100));
    const Decoded d = DecodeJpegDirect(p);
    ASSERT_EQ(d.components, 1);
    // The weights apply to bytes 0, 1, 2 of each pixel: here R, G, B.
    const Rgb c = f.At(3, 3);
    EXPECT_NEAR(d.At(3, 3).r, static_cast<int>(0.299 * c.r + 0.587 * c.g + 0.114 * c.b), 3);

    UINT w = 0, h = 0;
    BYTE* back = ReadJpegFile(Wide(p).c_str(), &w, &h);
    ASSERT_NE(back, nullptr);
    for (size_t i = 0; i < size_t{w} * h; ++i) {
        ASSERT_EQ(back[3 * i], back[3 * i + 1]);
        ASSERT_EQ(back[3 * i], back[3 * i + 2]);
    }
    delete[] back;
}

TEST(JpegModule, RefusalsAndFailures) {
    TempDir dir;
    const Frame f(8, 8, Blocks);
    const auto rgb = PackedRgb(f);
    EXPECT_FALSE(WriteJpegFile(Wide(dir / "a.jpg").c_str(), nullptr, 8, 8, TRUE, 80));
    EXPECT_FALSE(WriteJpegFile(Wide(dir / "a.jpg").c_str(), rgb.data(), 0, 8, TRUE, 80));
    EXPECT_FALSE(WriteJpegFile(Wide(dir / "a.jpg").c_str(), rgb.data(), 8, 0, TRUE, 80));
    EXPECT_FALSE(fs::exists(dir / "a.jpg"));
    // A folder that does not exist: the compressor is released again (leak check).
    EXPECT_FALSE(WriteJpegFile(Wide(dir / "no" / "a.jpg").c_str(), rgb.data(), 8, 8, TRUE, 80));
    // Qualities outside 1..100 are the library's to limit.
    EXPECT_TRUE(WriteJpegFile(Wide(dir / "q0.jpg").c_str(), rgb.data(), 8, 8, TRUE, 0));
    EXPECT_TRUE(WriteJpegFile(Wide(dir / "q150.jpg").c_str(), rgb.data(), 8, 8, TRUE, 150));

    // Four-component pictures are not turned into uninitialised rows.
    WriteCmykJpeg(dir / "cmyk.jpg", 8, 8);
    UINT w = 0, h = 0;
    EXPECT_EQ(ReadJpegFile(Wide(dir / "cmyk.jpg").c_str(), &w, &h), nullptr);
}

}  // namespace
