// The packed DIB layout and the bitmap class.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "image/Dib.h"
#include "image/ImgFileBmp.h"
#include "platform/win32/Resource.h"
#include "tests/image/ImageTestUtil.h"
#include "tests/support/TestSupport.h"

using namespace imagetest;
using talvern::test::ReadFileBytes;
using talvern::test::TempDir;
using talvern::test::WriteFileBytes;

namespace {

TEST(PackedDib, SizesFollowTheRowPadding) {
    PackedDib* one = AllocPackedDib(1, 1);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->bmiHeader.biSizeImage, 4u);
    EXPECT_EQ(one->Bits() - reinterpret_cast<BYTE*>(one), 40);
    PackedDib* four = AllocPackedDib(4, 1);
    EXPECT_EQ(four->bmiHeader.biSizeImage, 12u);
    std::free(one);
    std::free(four);
    EXPECT_EQ(AllocPackedDib(0, 1), nullptr);
    EXPECT_EQ(AllocPackedDib(60000, 60000), nullptr);
}

// The bitmap's pixel at x of picture line y.
Rgb PixelOf(CDib& dib, int x, int y) {
    const BITMAP bm = dib.GetBitmapInfo();
    const BYTE* p = static_cast<const BYTE*>(bm.bmBits) + bm.bmWidthBytes * (bm.bmHeight - 1 - y) + 3 * x;
    return {p[2], p[1], p[0]};
}

void ExpectPixels(CDib& dib, const Frame& f) {
    const BITMAP bm = dib.GetBitmapInfo();
    ASSERT_EQ(bm.bmWidth, f.width);
    ASSERT_EQ(bm.bmHeight, f.height);
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            ASSERT_EQ(PixelOf(dib, x, y).r, f.At(x, y).r);
            ASSERT_EQ(PixelOf(dib, x, y).b, f.At(x, y).b);
        }
}

TEST(Dib, EmptyCreatedAndSaved) {
    TempDir dir;
    CDib dib;
    const BITMAP none = dib.GetBitmapInfo();
    EXPECT_EQ(none.bmWidth, 0);
    EXPECT_EQ(none.bmWidthBytes, 0);
    EXPECT_EQ(none.bmBits, nullptr);
    EXPECT_FALSE(dib.SaveBmp(Wide(dir / "empty.bmp").c_str()));
    EXPECT_FALSE(std::filesystem::exists(dir / "empty.bmp"));

    ASSERT_TRUE(dib.Create24(2, 2));
    const BITMAP bm = dib.GetBitmapInfo();
    EXPECT_EQ(bm.bmWidthBytes, 8);
    EXPECT_EQ(bm.bmBitsPixel, 24);
    EXPECT_EQ(bm.bmPlanes, 1);
    static_cast<BYTE*>(bm.bmBits)[0] = 9;
    ASSERT_TRUE(dib.SaveBmp(Wide(dir / "a.bmp").c_str()));
    const std::string bytes = ReadFileBytes(dir / "a.bmp");
    ASSERT_EQ(bytes.size(), 54u + 16);
    EXPECT_EQ(bytes[54], 9);
    EXPECT_FALSE(dib.Create24(0, 2));
}

TEST(Dib, LoadsReportTheDecodersResult) {
    TempDir dir;
    Frame f(5, 3, Coded);
    for (int y = 0; y < 3; ++y) f.bits[f.Stride() * y + 15] = 0;  // padding as a new bitmap has it
    BITMAPINFOHEADER h = f.Header();
    ASSERT_TRUE(CImgFileBmp().Save(f.bits.data(), &h, Wide(dir / "a.bmp").c_str()));
    CDib dib;
    ASSERT_TRUE(dib.LoadBitmapFile(Wide(dir / "a.bmp").c_str()));
    ExpectPixels(dib, f);
    ASSERT_TRUE(dib.SaveBmp(Wide(dir / "b.bmp").c_str()));
    EXPECT_EQ(ReadFileBytes(dir / "a.bmp"), ReadFileBytes(dir / "b.bmp"));

    CDib fromFile;
    ASSERT_TRUE(fromFile.LoadFromFile(Wide(dir / "a.bmp").c_str()));
    ExpectPixels(fromFile, f);
    WriteFileBytes(dir / "junk.bin", "not a picture");
    EXPECT_FALSE(fromFile.LoadFromFile(Wide(dir / "junk.bin").c_str()));
    EXPECT_FALSE(fromFile.LoadFromFile(Wide(dir / "missing.bin").c_str()));

    // Resources: a whole picture file, and a bitmap resource without its file header.
    static const std::string file = ReadFileBytes(dir / "a.bmp");
    RegisterResource(4001, L"PNGDATA", file.data(), static_cast<DWORD>(file.size()));
    RegisterResource(4002, RT_BITMAP, file.data() + 14, static_cast<DWORD>(file.size() - 14));
    static const std::string junk = "junk";
    RegisterResource(4003, L"PNGDATA", junk.data(), static_cast<DWORD>(junk.size()));
    CDib res;
    ASSERT_TRUE(res.LoadFromResource(4001, L"pngdata"));
    ExpectPixels(res, f);
    EXPECT_FALSE(res.LoadFromResource(4003, L"PNGDATA"));
    EXPECT_FALSE(res.LoadFromResource(4999, L"PNGDATA"));
    CDib bitmap;
    ASSERT_TRUE(bitmap.LoadBitmapResource(4002));
    ExpectPixels(bitmap, f);
    EXPECT_FALSE(bitmap.LoadBitmapResource(4001));
}

}  // namespace
