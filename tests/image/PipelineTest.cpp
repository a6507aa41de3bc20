// Deinterlacing, clip-and-resize and the brightness table, checked against values
// worked out by hand on small frames whose bytes encode their row and position.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/IOdataE.h"
#include "image/ResizeKernels.h"

namespace {

BITMAPINFOHEADER Header(int w, int h, DWORD compression = BI_RGB, WORD bits = 24) {
    BITMAPINFOHEADER b{};
    b.biSize = 40;
    b.biWidth = w;
    b.biHeight = h;
    b.biPlanes = 1;
    b.biBitCount = bits;
    b.biCompression = compression;
    return b;
}

// A frame of h rows of `stride` bytes; pixel byte k of memory row r holds 10 r² + k
// (non-linear in r, so a wrong neighbour shows), padding bytes hold 200 + r.
std::vector<BYTE> SquareCoded(size_t stride, size_t rowBytes, int h) {
    std::vector<BYTE> f(stride * h);
    for (int r = 0; r < h; ++r)
        for (size_t k = 0; k < stride; ++k)
            f[r * stride + k] = static_cast<BYTE>(k < rowBytes ? 10 * r * r + k : 200 + r);
    return f;
}

// Checks every pixel byte of memory row r against base + k.
void ExpectRow(const std::vector<BYTE>& f, size_t stride, size_t rowBytes, int r, int base) {
    for (size_t k = 0; k < rowBytes; ++k)
        EXPECT_EQ(f[r * stride + k], base + static_cast<int>(k)) << "row " << r << " byte " << k;
}

TEST(Deinterlace, Rgb24RebuildsTheRightRowsFromTheirNeighbours) {
    // 2 × 4 frame: 6 pixel bytes and 2 padding bytes a row; rows hold 0, 10, 40, 90 (+k).
    const auto src = SquareCoded(8, 6, 4);
    struct Case {
        int mode;
        int rows[4];
        bool sizeSet;
    } cases[] = {
        {CImgInterlaced::Odd, {0, 20, 40, 65}, true},      // rows 3 and 1 rebuilt
        {CImgInterlaced::Even, {5, 10, 50, 90}, true},     // rows 2 and 0 rebuilt
        {CImgInterlaced::Doubling, {3, 15, 45, 78}, false},  // 1-2-1 blend everywhere
    };
    for (const Case& c : cases) {
        CIOdataE pipe;
        std::vector<BYTE> dst(src.size(), 0xEE);
        BITMAPINFOHEADER h = Header(2, 4);
        ASSERT_EQ(pipe.Deinterlace(src.data(), dst.data(), &h, c.mode), dst.data());
        for (int r = 0; r < 4; ++r) ExpectRow(dst, 8, 6, r, c.rows[r]);
        EXPECT_EQ(h.biSizeImage, c.sizeSet ? 32u : 0u);
        // The padding is cleared, whatever the source's and dst's held before.
        for (size_t at : {6, 7, 14, 15, 22, 23, 30, 31}) EXPECT_EQ(dst[at], 0) << c.mode << " byte " << at;
    }
}

TEST(Deinterlace, Yuy2IsTopDownAndStartsOneRowEarlierForOdd) {
    // 2 × 4 YUY2 frame: 4 bytes a row, no padding.
    const auto src = SquareCoded(4, 4, 4);
    struct Case {
        int mode;
        int rows[4];
    } cases[] = {
        {CImgInterlaced::Odd, {5, 10, 50, 90}},
        {CImgInterlaced::Even, {0, 20, 40, 65}},
        {CImgInterlaced::Doubling, {3, 15, 45, 78}},
    };
    for (const Case& c : cases) {
        CImgInterlaced d;
        std::vector<BYTE> dst(src.size(), 0xEE);
        BITMAPINFOHEADER h = Header(2, 4, kFourccYUY2, 16);
        ASSERT_EQ(d.Deinterlace(src.data(), dst.data(), &h, c.mode), dst.data());
        for (int r = 0; r < 4; ++r) ExpectRow(dst, 4, 4, r, c.rows[r]);
        EXPECT_EQ(h.biSizeImage, c.mode == CImgInterlaced::Doubling ? 0u : 16u);
    }
}

TEST(Deinterlace, OddHeightAndSingleRowEdges) {
    CImgInterlaced d;
    // Odd height 3: Odd rebuilds rows 2 and 0, row 0 from itself and row 1.
    auto src = SquareCoded(8, 6, 3);
    std::vector<BYTE> dst(src.size());
    BITMAPINFOHEADER h = Header(2, 3);
    ASSERT_TRUE(d.Deinterlace(src.data(), dst.data(), &h, CImgInterlaced::Odd));
    ExpectRow(dst, 8, 6, 0, 5);
    ExpectRow(dst, 8, 6, 1, 10);
    ExpectRow(dst, 8, 6, 2, 25);

    // One row: every mode gives the row back unchanged.
    src = {7, 8, 9, 0};
    for (int mode : {1, 2, 3}) {
        std::vector<BYTE> one(4, 0);
        BITMAPINFOHEADER h1 = Header(1, 1);
        ASSERT_TRUE(d.Deinterlace(src.data(), one.data(), &h1, mode));
        EXPECT_EQ(one[0], 7);
        EXPECT_EQ(one[1], 8);
        EXPECT_EQ(one[2], 9);
    }
}

TEST(Deinterlace, RoundsHalfUp) {
    CImgInterlaced d;
    // Rows (bottom to top): 127, x, 128 and 0, x, 255 in the two bytes of interest.
    std::vector<BYTE> src = {127, 0, 0, 0, 9, 9, 9, 0, 128, 255, 0, 0};
    std::vector<BYTE> dst(src.size());
    BITMAPINFOHEADER h = Header(1, 3);
    ASSERT_TRUE(d.Deinterlace(src.data(), dst.data(), &h, CImgInterlaced::Even));  // row 1
    EXPECT_EQ(dst[4], 128);
    EXPECT_EQ(dst[5], 128);

    // A single bright line on black blends to 128 with 64 on each neighbour.
    std::vector<BYTE> line(5 * 4, 0);
    line[2 * 4] = 255;
    std::vector<BYTE> out(line.size());
    BITMAPINFOHEADER h5 = Header(1, 5);
    ASSERT_TRUE(d.Deinterlace(line.data(), out.data(), &h5, CImgInterlaced::Doubling));
    EXPECT_EQ(out[1 * 4], 64);
    EXPECT_EQ(out[2 * 4], 128);
    EXPECT_EQ(out[3 * 4], 64);
    EXPECT_EQ(out[0], 0);
}

TEST(Deinterlace, PassThroughAndRefusals) {
    CImgInterlaced d;
    std::vector<BYTE> src(32, 1), dst(32, 0xEE);
    for (int mode : {0, 4, -1}) {
        BITMAPINFOHEADER h = Header(2, 4);
        h.biSizeImage = 77;
        EXPECT_EQ(d.Deinterlace(src.data(), dst.data(), &h, mode), src.data());
        EXPECT_EQ(h.biSizeImage, 77u);
    }
    EXPECT_EQ(dst, std::vector<BYTE>(32, 0xEE));
    for (int mode : {0, 1, 2, 3}) {
        BITMAPINFOHEADER h32 = Header(2, 4, BI_RGB, 32), h16 = Header(2, 4, BI_RGB, 16);
        BITMAPINFOHEADER other = Header(2, 4, MAKEFOURCC('U', 'Y', 'V', 'Y'));
        BITMAPINFOHEADER empty = Header(0, 4), flat = Header(2, 0), topDown = Header(2, -4);
        for (BITMAPINFOHEADER* h : {&h32, &h16, &other, &empty, &flat, &topDown})
            EXPECT_EQ(d.Deinterlace(src.data(), dst.data(), h, mode), nullptr) << mode;
    }
}

// Sets pixel x of picture line y (from the top) of a bottom-up 24-bit frame to
// B = v, G = v + 1, R = v + 2, so a swapped channel shows.
void SetPixel(std::vector<BYTE>& f, int w, int h, int x, int y, int v) {
    BYTE* p = f.data() + ((3 * w + 3) & ~3) * (h - 1 - y) + 3 * x;
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v + 1);
    p[2] = static_cast<BYTE>(v + 2);
}

int PixelB(const std::vector<BYTE>& f, int w, int h, int x, int y, int c = 0) {
    return f[((3 * w + 3) & ~3) * (h - 1 - y) + 3 * x + c];
}

// A bottom-up frame from picture lines given top line first.
std::vector<BYTE> Frame24(int w, int h, const std::vector<std::vector<int>>& lines) {
    std::vector<BYTE> f(((3 * w + 3) & ~3) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) SetPixel(f, w, h, x, y, lines[y][x]);
    return f;
}

struct ResizeCase {
    const char* name;
    int srcW, srcH;
    std::vector<std::vector<int>> lines;  // picture lines, top first
    RECT clip;
    int dstW, dstH;
    std::vector<std::vector<int>> expected;  // blue of each output line, top first
};

TEST(Resize, Rgb24MatchesHandWorkedSamples) {
    const ResizeCase cases[] = {
        // Corrected scale 2: corners are the source corners, the middle the rounded mean
        // (0 + 100 + 200 + 40) / 4 = 85, edges the means of their two corners.
        {"2x2 to 3x3", 2, 2, {{200, 40}, {0, 100}}, {0, 0, 2, 2}, 3, 3,
         {{200, 120, 40}, {100, 85, 70}, {0, 50, 100}}},
        // Clip of the top two lines, scaled vertically only: no row copy, and the lines
        // come out the right way up.
        {"top clip", 1, 4, {{30}, {20}, {10}, {0}}, {0, 0, 1, 2}, 1, 3, {{30}, {25}, {20}}},
        // sx = 1 but sy = 2: the full resample path, middle line the vertical mean.
        {"sx 1 sy 2", 2, 2, {{0, 50}, {100, 250}}, {0, 0, 2, 2}, 2, 3,
         {{0, 50}, {50, 150}, {100, 250}}},
        // One-line clip doubled: the second sample would reach the line above the
        // clip, but the neighbour is clamped to the clip's top line.
        {"vertical clamp", 1, 3, {{200}, {100}, {0}}, {0, 1, 1, 2}, 1, 2, {{100}, {100}}},
        // Output width 1: scale dstW / clipW, the clip's left column.
        {"width 1", 3, 1, {{10, 20, 30}}, {1, 0, 3, 1}, 1, 1, {{20}}},
        // Clip at the right edge, one column doubled: the step past the last pixel reads
        // its duplicate.
        {"right edge", 2, 1, {{10, 90}}, {1, 0, 2, 1}, 2, 1, {{90, 90}}},
        // One column inside the picture doubled: the step reads the next source pixel.
        {"inner column", 3, 1, {{10, 90, 30}}, {1, 0, 2, 1}, 2, 1, {{90, 60}}},
        // Downscale 4 → 2 with corrected scale 3: the outer pixels.
        {"4 to 2", 4, 1, {{10, 20, 30, 40}}, {0, 0, 4, 1}, 2, 1, {{10, 40}}},
    };
    for (const ResizeCase& c : cases) {
        CImgResize r;
        r.SetClipRect(c.clip.left, c.clip.top, c.clip.right, c.clip.bottom);
        const auto src = Frame24(c.srcW, c.srcH, c.lines);
        std::vector<BYTE> dst(((3 * c.dstW + 3) & ~3) * c.dstH, 0xEE);
        const BITMAPINFOHEADER sh = Header(c.srcW, c.srcH), dh = Header(c.dstW, c.dstH);
        ASSERT_EQ(r.Resize(src.data(), dst.data(), &sh, &dh), dst.data()) << c.name;
        for (int y = 0; y < c.dstH; ++y)
            for (int x = 0; x < c.dstW; ++x)
                for (int ch = 0; ch < 3; ++ch)
                    EXPECT_EQ(PixelB(dst, c.dstW, c.dstH, x, y, ch), c.expected[y][x] + ch)
                        << c.name << " x " << x << " y " << y << " channel " << ch;
        const size_t stride = (3 * c.dstW + 3) & ~3;
        for (int y = 0; y < c.dstH; ++y)
            for (size_t k = 3 * c.dstW; k < stride; ++k) EXPECT_EQ(dst[stride * y + k], 0) << c.name << " padding";
    }
}

// One resizer is kept for a whole run while the clip and the output size change:
// what an earlier frame left in it must not reach a later one.
TEST(Resize, KeptResizerGivesWhatAFreshOneGives) {
    const int w = 37, h = 23;
    std::vector<BYTE> src(size_t((3 * w + 3) & ~3) * h);
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<BYTE>(i * 131 + (i >> 7));
    const BITMAPINFOHEADER sh = Header(w, h);
    const struct {
        RECT clip;
        int dstW, dstH;
    } runs[] = {{{0, 0, 37, 23}, 50, 30}, {{5, 3, 20, 19}, 31, 7}, {{30, 0, 37, 23}, 13, 40},
                {{0, 10, 9, 11}, 4, 4},   {{11, 2, 12, 22}, 3, 19}, {{0, 0, 37, 23}, 20, 11}};
    CImgResize kept;
    for (const auto& run : runs) {
        const BITMAPINFOHEADER dh = Header(run.dstW, run.dstH);
        std::vector<BYTE> a(size_t((3 * run.dstW + 3) & ~3) * run.dstH, 0), b = a;
        CImgResize fresh;
        fresh.SetClipRect(run.clip.left, run.clip.top, run.clip.right, run.clip.bottom);
        kept.SetClipRect(run.clip.left, run.clip.top, run.clip.right, run.clip.bottom);
        ASSERT_TRUE(fresh.Resize(src.data(), a.data(), &sh, &dh));
        ASSERT_TRUE(kept.Resize(src.data(), b.data(), &sh, &dh));
        EXPECT_EQ(a, b) << "clip from " << run.clip.left << "," << run.clip.top;
    }
}

TEST(Resize, SameSizeIsAnExactRowCopy) {
    CImgResize r;
    // 3 × 2 source; clip the right two columns of both lines into a 2 × 2 output.
    std::vector<BYTE> src(12 * 2);
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<BYTE>(i);
    std::vector<BYTE> dst(8 * 2, 0xEE);
    const BITMAPINFOHEADER sh = Header(3, 2), dh = Header(2, 2);
    r.SetClipRect(1, 0, 3, 2);
    ASSERT_TRUE(r.Resize(src.data(), dst.data(), &sh, &dh));
    const std::vector<BYTE> expected = {3, 4, 5, 6, 7, 8, 0, 0, 15, 16, 17, 18, 19, 20, 0, 0};
    EXPECT_EQ(dst, expected);
}

TEST(Resize, Yuy2BlendsLumaBilinearlyAndChromaVertically) {
    CImgResize r;
    // 2 × 2, top-down: Y0 U Y1 V per row.
    const std::vector<BYTE> src = {0, 100, 200, 50, 100, 200, 0, 150};
    const BITMAPINFOHEADER sh = Header(2, 2, kFourccYUY2, 16);
    BITMAPINFOHEADER dh = Header(4, 2);
    std::vector<BYTE> dst(16, 0xEE);
    r.SetClipRect(0, 0, 2, 2);
    ASSERT_TRUE(r.Resize(src.data(), dst.data(), &sh, &dh));
    const std::vector<BYTE> expected = {0, 100, 100, 50, 200, 100, 200, 50,
                                        100, 200, 50, 150, 0, 200, 0, 150};
    EXPECT_EQ(dst, expected);

    // Same size: a row copy from the clip's first pixel pair.
    const std::vector<BYTE> wide = {1, 2, 3, 4, 5, 6, 7, 8};
    const BITMAPINFOHEADER wh = Header(4, 1, kFourccYUY2, 16);
    dh = Header(2, 1);
    std::vector<BYTE> out(4);
    r.SetClipRect(2, 0, 4, 1);
    ASSERT_TRUE(r.Resize(wide.data(), out.data(), &wh, &dh));
    EXPECT_EQ(out, (std::vector<BYTE>{5, 6, 7, 8}));
}

TEST(Resize, RefusesClipsOutsideTheFrameAndEmptySizes) {
    CImgResize r;
    std::vector<BYTE> src(12 * 4, 0), dst(12 * 4, 0);
    const BITMAPINFOHEADER sh = Header(3, 4), dh = Header(3, 4);
    const RECT bad[] = {{0, 0, 4, 4}, {0, 0, 3, 5}, {-1, 0, 2, 4}, {0, -1, 3, 3},
                        {1, 0, 1, 4}, {0, 2, 3, 2}, {2, 0, 1, 4}};
    for (const RECT& c : bad) {
        r.SetClipRect(c.left, c.top, c.right, c.bottom);
        EXPECT_EQ(r.Resize(src.data(), dst.data(), &sh, &dh), nullptr);
    }
    r.SetClipRect(0, 0, 3, 4);
    for (const BITMAPINFOHEADER& d : {Header(0, 4), Header(3, 0), Header(-3, 4)})
        EXPECT_EQ(r.Resize(src.data(), dst.data(), &sh, &d), nullptr);
    const BITMAPINFOHEADER h32 = Header(3, 4, BI_RGB, 32), other = Header(3, 4, 99);
    EXPECT_EQ(r.Resize(src.data(), dst.data(), &h32, &dh), nullptr);
    EXPECT_EQ(r.Resize(src.data(), dst.data(), &other, &dh), nullptr);
    EXPECT_EQ(r.Resize24(src.data(), dst.data(), &h32, &dh), nullptr);
}

TEST(Resize, ToDibPutsTheHeaderAsGivenInFrontOfTheRows) {
    CImgResize r;
    const auto src = Frame24(2, 2, {{200, 40}, {0, 100}});
    BITMAPINFOHEADER sh = Header(2, 2);
    BITMAPINFOHEADER dh = Header(3, 3);
    dh.biSizeImage = 12345;
    dh.biXPelsPerMeter = 7;
    r.SetClipRect(0, 0, 2, 2);
    HGLOBAL block = r.ResizeToDIB(nullptr, src.data(), &sh, &dh);
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(GlobalSize(block), 40u + 12 * 3);
    const auto* p = static_cast<const BYTE*>(GlobalLock(block));
    EXPECT_EQ(std::memcmp(p, &dh, 40), 0);
    EXPECT_EQ(p[40 + 12 + 3], 85);  // middle pixel of the middle row
    GlobalUnlock(block);
    GlobalFree(block);

    // A YUY2 source is refused; a block made here is not left behind (leak check),
    // a passed one stays the caller's, and a block too small for the rows is refused.
    BITMAPINFOHEADER yuy2 = Header(2, 2, kFourccYUY2, 16);
    EXPECT_EQ(r.ResizeToDIB(nullptr, src.data(), &yuy2, &dh), nullptr);
    HGLOBAL small = GlobalAlloc(GHND, 40);
    EXPECT_EQ(r.ResizeToDIB(small, src.data(), &sh, &dh), nullptr);
    GlobalFree(small);
}

TEST(BrightnessTable, IdentityClampsAndGamma) {
    CImgLumi lumi;
    for (int i = 0; i < 256; ++i) ASSERT_EQ(lumi.GetTable()[i], i);
    lumi.BuildTable(0, 300);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(lumi.GetTable()[i], 255);
    lumi.BuildTable(0, -300);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(lumi.GetTable()[i], 0);
    // gamma 128 gives the exponent 1/2: 255 × sqrt(64 / 255) + 0.5 = 128.2.
    lumi.BuildTable(128, 0);
    EXPECT_EQ(lumi.GetTable()[64], 128);
    EXPECT_EQ(lumi.GetTable()[0], 0);
    EXPECT_EQ(lumi.GetTable()[255], 255);
}

}  // namespace

// The vector kernels of the 24-bit resize give the scalar code's bytes, padding left
// alone, for widths around their step sizes, clips at either edge, up and down scaling
// and samples at both ends of the range.
class ResizeKernelsMatch : public ::testing::TestWithParam<ResizeKernels> {
protected:
    void TearDown() override { UseResizeKernels(ResizeKernels::kFastest); }
};

TEST_P(ResizeKernelsMatch, TheScalarBytes) {
    if (!HaveResizeKernels(GetParam())) GTEST_SKIP() << "this CPU lacks the kernels";
    const int srcW = 67, srcH = 9;
    std::vector<BYTE> src(size_t((3 * srcW + 3) & ~3) * srcH);
    for (size_t i = 0; i < src.size(); ++i) src[i] = (i / 7) % 5 == 0 ? 255 * (i / 35 % 2) : BYTE(i * 167 + (i >> 5));
    const BITMAPINFOHEADER sh = Header(srcW, srcH);
    const RECT clips[] = {{0, 0, srcW, srcH}, {5, 2, 40, 7}, {50, 0, srcW, 4}, {66, 3, srcW, 9}, {0, 4, 1, 5}};
    CImgResize scalar, vector;
    for (const RECT& c : clips)
        for (int dstW : {1, 2, 3, 4, 5, 7, 8, 9, 12, 15, 16, 17, 25, 33, 66, 99, 150})
            for (int dstH : {1, 2, 5, 13}) {
                const BITMAPINFOHEADER dh = Header(dstW, dstH);
                std::vector<BYTE> a(size_t((3 * dstW + 3) & ~3) * dstH + 16, 0xA5), b = a;
                scalar.SetClipRect(c.left, c.top, c.right, c.bottom);
                vector.SetClipRect(c.left, c.top, c.right, c.bottom);
                UseResizeKernels(ResizeKernels::kScalar);
                ASSERT_TRUE(scalar.Resize(src.data(), a.data(), &sh, &dh));
                UseResizeKernels(GetParam());
                ASSERT_TRUE(vector.Resize(src.data(), b.data(), &sh, &dh));
                ASSERT_EQ(a, b) << "clip from " << c.left << "," << c.top << " to " << dstW << "x" << dstH;
            }
}

INSTANTIATE_TEST_SUITE_P(Families, ResizeKernelsMatch, ::testing::Values(ResizeKernels::kSsse3, ResizeKernels::kAvx2),
                         [](const auto& info) { return info.param == ResizeKernels::kSsse3 ? "Ssse3" : "Avx2"; });
