#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstring>
#include <set>
#include <vector>

#include "platform/ui/DC.h"
#include "platform/ui/PackedDib.h"

namespace {

QRgb At(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }
QRgb Rgb(COLORREF c) { return qRgb(GetRValue(c), GetGValue(c), GetBValue(c)) & 0xFFFFFF; }

// A bottom-up 24-bit frame whose pixel (x, y) (top-down) has blue x, green y, red 7.
std::vector<uint8_t> Frame(int w, int h) {
    const int stride = static_cast<int>(DibRowBytes(w, 24));
    std::vector<uint8_t> bits(static_cast<size_t>(stride) * h, 0xEE);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = bits.data() + static_cast<size_t>(stride) * (h - 1 - y);
        for (int x = 0; x < w; ++x) {
            row[3 * x] = static_cast<uint8_t>(x * 10);
            row[3 * x + 1] = static_cast<uint8_t>(y * 10);
            row[3 * x + 2] = 7;
        }
    }
    return bits;
}

}  // namespace

TEST(DrawContext, EdgesFocusAndFill) {
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::black);
    {
        QPainter p(&img);
        CDC dc(&p);
        dc.FillSolidRect({0, 0, 20, 20}, RGB(10, 20, 30));
        dc.DrawEdge({0, 0, 20, 20}, EDGE_RAISED, BF_RECT);
        dc.DrawEdge({5, 5, 15, 15}, EDGE_SUNKEN, BF_RECT);
    }
    EXPECT_EQ(At(img, 0, 0), Rgb(kColor3DLight));
    EXPECT_EQ(At(img, 19, 19), Rgb(kColor3DDarkShadow));
    EXPECT_EQ(At(img, 1, 1), Rgb(kColor3DHighlight));
    EXPECT_EQ(At(img, 18, 18), Rgb(kColor3DShadow));
    EXPECT_EQ(At(img, 2, 2), Rgb(RGB(10, 20, 30)));
    EXPECT_EQ(At(img, 5, 5), Rgb(kColor3DShadow));
    EXPECT_EQ(At(img, 6, 6), Rgb(kColor3DDarkShadow));
    EXPECT_EQ(At(img, 14, 14), Rgb(kColor3DHighlight));

    img.fill(Qt::black);
    {
        QPainter p(&img);
        CDC dc(&p);
        dc.DrawFocusRect({2, 2, 10, 10});
        dc.DrawFocusRect({2, 2, 10, 10});  // drawn twice it vanishes
        dc.DrawFocusRect({4, 4, 8, 8});
    }
    EXPECT_EQ(At(img, 2, 2), 0u);
    EXPECT_EQ(At(img, 4, 4), 0xFFFFFFu);
    EXPECT_EQ(At(img, 5, 4), 0u);
    EXPECT_EQ(At(img, 6, 4), 0xFFFFFFu);
    EXPECT_EQ(At(img, 5, 5), 0u);  // inside stays
}

TEST(DrawContext, TextKeepsStateAndHonoursBackgroundMode) {
    QImage img(60, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    CDC dc(&p);
    EXPECT_EQ(dc.SetTextColor(RGB(255, 0, 0)), RGB(0, 0, 0));
    dc.SetBkColor(RGB(0, 0, 255));
    dc.SetBkMode(OPAQUE);
    dc.DrawText(L"MW", {0, 0, 60, 20}, DT_LEFT | DT_SINGLELINE);
    p.end();
    int blue = 0, red = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.blue() > 200 && c.red() < 50) ++blue;
            if (c.red() - std::max(c.green(), c.blue()) > 100) ++red;
        }
    EXPECT_GT(blue, 0);
    EXPECT_GT(red, 0);
}

TEST(DrawContext, BottomUpFrameDrawnAtZoomWithoutBlending) {
    const int w = 5, h = 3;
    const std::vector<uint8_t> bits = Frame(w, h);
    QImage img(8, 4, QImage::Format_RGB32);
    img.fill(Qt::black);
    {
        QPainter p(&img);
        CDC dc(&p);
        // Region x 1..4, y 1..3 of the picture, doubled.
        dc.DrawFrame24({0, 0, 8, 4}, bits.data(), w, h, {1, 1, 5, 3});
    }
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            const int px = 1 + x / 2, py = 1 + y / 2;
            EXPECT_EQ(At(img, x, y), qRgb(7, py * 10, px * 10) & 0xFFFFFF) << x << "," << y;
        }
}

TEST(PackedDib, ReadsBlocksAndRefusesBadOnes) {
    const int w = 3, h = 2;
    const std::vector<uint8_t> rows = Frame(w, h);
    BITMAPINFOHEADER bih{};
    bih.biSize = 40;
    bih.biWidth = w;
    bih.biHeight = h;
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    std::vector<uint8_t> block(sizeof bih + rows.size());
    std::memcpy(block.data(), &bih, sizeof bih);
    std::memcpy(block.data() + sizeof bih, rows.data(), rows.size());

    QImage img = ImageFromPackedDib(block.data(), block.size());
    ASSERT_EQ(img.size(), QSize(w, h));
    EXPECT_EQ(At(img, 2, 0), qRgb(7, 0, 20) & 0xFFFFFF);
    EXPECT_EQ(At(img, 0, 1), qRgb(7, 10, 0) & 0xFFFFFF);

    // The same rows read top-down give the picture upside down.
    bih.biHeight = -h;
    std::memcpy(block.data(), &bih, sizeof bih);
    img = ImageFromPackedDib(block.data(), block.size());
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(At(img, 0, 0), qRgb(7, 10, 0) & 0xFFFFFF);

    EXPECT_TRUE(ImageFromPackedDib(block.data(), block.size() - 1).isNull());
    EXPECT_TRUE(ImageFromPackedDib(block.data(), 20).isNull());
    bih.biWidth = 1 << 30;
    std::memcpy(block.data(), &bih, sizeof bih);
    EXPECT_TRUE(ImageFromPackedDib(block.data(), block.size()).isNull());
    bih.biWidth = w;
    bih.biBitCount = 16;
    std::memcpy(block.data(), &bih, sizeof bih);
    EXPECT_TRUE(ImageFromPackedDib(block.data(), block.size()).isNull());
}
