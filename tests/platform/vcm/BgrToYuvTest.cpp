#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/vcm/BgrToYuv.h"
#include "platform/win32/Win32Types.h"

namespace {

struct Bgr {
    uint8_t b, g, r;
};

// A bottom-up 24-bit picture with DWORD-aligned rows, addressed top-down.
struct Picture {
    int width, height;
    ptrdiff_t rowBytes;
    std::vector<uint8_t> bits;
    Picture(int w, int h)
        : width(w), height(h), rowBytes(DibRowBytes(w, 24)), bits(size_t(rowBytes) * h, 0xEE) {}
    uint8_t* At(int x, int y) { return bits.data() + (height - 1 - y) * rowBytes + 3 * x; }
    Bgr Get(int x, int y) {
        const uint8_t* p = At(x, y);
        return {p[0], p[1], p[2]};
    }
    void Set(int x, int y, Bgr c) {
        uint8_t* p = At(x, y);
        p[0] = c.b, p[1] = c.g, p[2] = c.r;
    }
};

Picture Random(int w, int h, uint32_t seed) {
    Picture pic(w, h);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) pic.Set(x, y, {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
    return pic;
}

// Planes with a guard byte pattern past each row's samples, to show what was written.
struct Planes {
    static constexpr int kGuard = 5;
    static constexpr uint8_t kFill = 0xA5;
    int w[3], h[3];
    std::vector<uint8_t> plane[3];
    YuvPlanesOut out{};
    Planes(int width, int height) {
        for (int p = 0; p < 3; ++p) {
            w[p] = p ? (width + 1) / 2 : width;
            h[p] = p ? (height + 1) / 2 : height;
            plane[p].assign(size_t(w[p] + kGuard) * h[p], kFill);
            out.data[p] = plane[p].data();
            out.stride[p] = w[p] + kGuard;
        }
    }
    int At(int p, int x, int y) const { return plane[p][size_t(y) * (w[p] + kGuard) + x]; }
    bool GuardsIntact() const {
        for (int p = 0; p < 3; ++p)
            for (int y = 0; y < h[p]; ++y)
                for (int x = w[p]; x < w[p] + kGuard; ++x)
                    if (At(p, x, y) != kFill) return false;
        return true;
    }
};

Planes Convert(Picture& pic, bool fullRange) {
    Planes planes(pic.width, pic.height);
    ConvertBgrToYuv420(pic.bits.data(), pic.rowBytes, pic.width, pic.height,
                       MakeBgrToYuvFactors(fullRange), planes.out);
    return planes;
}

// The definition in floating point: BT.601, chroma of a block the mean of its
// pixels' chroma, edges repeated.
constexpr double kKr = 0.299, kKb = 0.114, kKg = 1 - kKr - kKb;

double Luma(Bgr c) {
    return kKr * c.r + kKg * c.g + kKb * c.b;
}

int Level(double v) {
    return std::clamp(int(std::lround(v)), 0, 255);
}

void ExpectNearReference(Picture& pic, const Planes& planes, bool full) {
    const double lumaScale = full ? 1.0 : 219.0 / 255.0, chromaScale = full ? 1.0 : 224.0 / 255.0;
    const double black = full ? 0 : 16;
    int worst = 0;
    for (int y = 0; y < pic.height; ++y)
        for (int x = 0; x < pic.width; ++x)
            worst = std::max(worst, std::abs(planes.At(0, x, y) -
                                             Level(black + lumaScale * Luma(pic.Get(x, y)))));
    for (int cy = 0; cy < planes.h[1]; ++cy) {
        for (int cx = 0; cx < planes.w[1]; ++cx) {
            double u = 0, v = 0;
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    const Bgr c = pic.Get(std::min(2 * cx + dx, pic.width - 1),
                                          std::min(2 * cy + dy, pic.height - 1));
                    u += (c.b - Luma(c)) / (2 * (1 - kKb)) / 4;
                    v += (c.r - Luma(c)) / (2 * (1 - kKr)) / 4;
                }
            }
            worst = std::max(worst, std::abs(planes.At(1, cx, cy) - Level(128 + chromaScale * u)));
            worst = std::max(worst, std::abs(planes.At(2, cx, cy) - Level(128 + chromaScale * v)));
        }
    }
    EXPECT_LE(worst, 1);
}

class BgrToYuvKernelsTest : public ::testing::Test {
protected:
    void TearDown() override { UseBgrToYuvKernels(BgrToYuvKernels::kFastest); }
};

}  // namespace

TEST(BgrToYuv, KnownColoursGiveTheTextbookLevels) {
    struct Case {
        Bgr colour;
        bool full;
        int y, u, v;
    };
    const Case cases[] = {
        {{0, 0, 0}, false, 16, 128, 128},        {{255, 255, 255}, false, 235, 128, 128},
        {{128, 128, 128}, false, 126, 128, 128}, {{0, 0, 255}, false, 81, 90, 240},
        {{0, 255, 0}, false, 145, 54, 34},       {{255, 0, 0}, false, 41, 240, 110},
        {{0, 0, 0}, true, 0, 128, 128},          {{255, 255, 255}, true, 255, 128, 128},
        {{128, 128, 128}, true, 128, 128, 128},  {{0, 0, 255}, true, 76, 85, 255},
        {{0, 255, 0}, true, 150, 44, 21},        {{255, 0, 0}, true, 29, 255, 107},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.colour.b) << "," << int(c.colour.g) << ","
                                        << int(c.colour.r) << (c.full ? " full" : " limited"));
        // Wide enough for the vector code, odd so the scalar code has a share too.
        Picture pic(71, 3);
        for (int y = 0; y < pic.height; ++y)
            for (int x = 0; x < pic.width; ++x) pic.Set(x, y, c.colour);
        const Planes planes = Convert(pic, c.full);
        for (int x : {0, 35, 70}) EXPECT_EQ(planes.At(0, x, 2), c.y) << x;
        for (int x : {0, 17, 35}) {
            EXPECT_EQ(planes.At(1, x, 1), c.u) << x;
            EXPECT_EQ(planes.At(2, x, 1), c.v) << x;
        }
    }
}

TEST(BgrToYuv, MatchesTheFloatingPointDefinitionAndWritesNoMore) {
    for (bool full : {false, true}) {
        for (int w = 1; w <= 67; ++w) {
            for (int h : {1, 2, 5, 6}) {
                SCOPED_TRACE(testing::Message() << w << "x" << h << (full ? " full" : " limited"));
                Picture pic = Random(w, h, uint32_t(w * 31 + h));
                const Planes planes = Convert(pic, full);
                ExpectNearReference(pic, planes, full);
                EXPECT_TRUE(planes.GuardsIntact());
            }
        }
        for (auto [w, h] : {std::pair{1281, 7}, {1920, 4}, {333, 17}}) {
            SCOPED_TRACE(testing::Message() << w << "x" << h << (full ? " full" : " limited"));
            Picture pic = Random(w, h, uint32_t(w));
            const Planes planes = Convert(pic, full);
            ExpectNearReference(pic, planes, full);
            EXPECT_TRUE(planes.GuardsIntact());
        }
    }
}

TEST(BgrToYuv, ReadsTheFirstRowInMemoryAsTheBottomOfThePicture) {
    Picture pic(40, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 40; ++x) pic.Set(x, y, y == 0 ? Bgr{0, 0, 255} : Bgr{255, 0, 0});
    const Planes planes = Convert(pic, false);
    EXPECT_EQ(planes.At(0, 39, 0), 81) << "red top row";
    EXPECT_EQ(planes.At(0, 39, 3), 41) << "blue bottom row";
    EXPECT_EQ(planes.At(2, 19, 0), (240 + 110 + 1) / 2) << "top chroma mixes red and blue";
    EXPECT_EQ(planes.At(2, 19, 1), 110);
}

TEST_F(BgrToYuvKernelsTest, EveryKernelFamilyGivesTheScalarBytes) {
    for (BgrToYuvKernels family : {BgrToYuvKernels::kAvx2, BgrToYuvKernels::kAvx512}) {
        if (!HaveBgrToYuvKernels(family)) continue;
        for (bool full : {false, true}) {
            for (int w = 1; w <= 300; w += (w < 140 ? 1 : 23)) {
                for (int h : {3, 4}) {
                    SCOPED_TRACE(testing::Message()
                                 << int(family) << ": " << w << "x" << h << (full ? " full" : ""));
                    Picture pic = Random(w, h, uint32_t(w * 7 + h));
                    UseBgrToYuvKernels(BgrToYuvKernels::kScalar);
                    const Planes scalar = Convert(pic, full);
                    UseBgrToYuvKernels(family);
                    const Planes vector = Convert(pic, full);
                    for (int p = 0; p < 3; ++p)
                        ASSERT_EQ(scalar.plane[p], vector.plane[p]) << "plane " << p;
                }
            }
        }
    }
}
