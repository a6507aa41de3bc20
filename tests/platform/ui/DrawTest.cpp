#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstring>
#include <functional>
#include <set>
#include <vector>

#include "platform/ui/DC.h"
#include "platform/ui/FrameDC.h"
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

// A bottom-up frame whose pixels tell where they are: blue and green are the low
// bytes of x and y (top-down), red holds their high nibbles.
std::vector<uint8_t> PositionFrame(int w, int h) {
    const auto stride = static_cast<size_t>(DibRowBytes(w, 24));
    std::vector<uint8_t> bits(stride * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* px = bits.data() + stride * static_cast<size_t>(h - 1 - y) + 3 * x;
            px[0] = static_cast<uint8_t>(x), px[1] = static_cast<uint8_t>(y);
            px[2] = static_cast<uint8_t>((x >> 8) | (y >> 8) << 4);
        }
    return bits;
}

QPoint SourceOf(QRgb c) { return {(qRed(c) & 15) << 8 | qBlue(c), (qRed(c) >> 4) << 8 | qGreen(c)}; }

QImage Painted(const std::function<void(CDC&)>& draw) {
    QImage image(760, 620, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    CDC dc(&p);
    draw(dc);
    return image;
}

// Count of pixels in a few parts of a window where the visible part, made once and
// copied, shows another source pixel than stretching the whole frame through the
// painter does; fails when one is more than a neighbour away.
int Differences(const std::vector<uint8_t>& bits, int w, int h, const RECT& src, const RECT& picture) {
    const RECT window{0, 0, 760, 620};
    const QImage whole = Painted([&](CDC& dc) { dc.DrawFrame24(picture, bits.data(), w, h, src); });
    CFrameDC frame;
    int differences = 0;
    for (const RECT part : {window, RECT{37, 41, 390, 377}, RECT{0, 500, 13, 620}}) {
        frame.Render(bits.data(), w, h, src, picture, window);
        const RECT& a = frame.Area();
        const RECT r{std::max(a.left, part.left), std::max(a.top, part.top), std::min(a.right, part.right),
                     std::min(a.bottom, part.bottom)};
        const QImage shown = Painted([&](CDC& dc) {
            if (r.right > r.left && r.bottom > r.top)
                dc.BitBlt(r.left, r.top, r.right - r.left, r.bottom - r.top, &frame, r.left - a.left,
                          r.top - a.top, SRCCOPY);
        });
        for (int y = part.top; y < part.bottom; ++y)
            for (int x = part.left; x < part.right; ++x) {
                if (shown.pixel(x, y) == whole.pixel(x, y)) continue;
                ++differences;
                const QPoint d = SourceOf(shown.pixel(x, y)) - SourceOf(whole.pixel(x, y));
                EXPECT_LE(d.manhattanLength(), 1) << x << "," << y;
            }
    }
    return differences;
}

// At every zoom the visible part shows exactly what the painter showed stretching the
// whole frame. A clip rectangle stretched by an uneven ratio may take a neighbouring
// source column now and then: the painter steps in 16.16 fixed point and drifts.
TEST(DrawContext, VisiblePartOfFrameEqualsWholeFrameStretched) {
    const std::vector<uint8_t> small = PositionFrame(320, 180), large = PositionFrame(1920, 1080);
    auto at = [](int w, int h, double zoom) {
        return RECT{10, 25, 10 + static_cast<LONG>(w * zoom), 25 + static_cast<LONG>(h * zoom)};
    };
    for (const double zoom : {0.25, 0.5, 1.0, 1.5, 2.0, 4.0}) {
        EXPECT_EQ(Differences(small, 320, 180, {0, 0, 320, 180}, at(320, 180, zoom)), 0) << zoom;
        EXPECT_EQ(Differences(large, 1920, 1080, {0, 0, 1920, 1080}, at(1920, 1080, zoom)), 0) << zoom;
        EXPECT_EQ(Differences(large, 1920, 1080, {0, 0, 1920, 1080}, at(960, 540, zoom)), 0) << zoom;
        EXPECT_EQ(Differences(small, 320, 180, {40, 10, 280, 170}, at(120, 80, zoom)), 0) << zoom;
        EXPECT_LT(Differences(large, 1920, 1080, {5, 3, 1913, 1077}, at(1280, 722, zoom)), 760 * 620 / 100) << zoom;
    }
}

// A frame is made once: painting again copies it, until the frame's pixels change.
// Only what the window shows is made, however large the picture.
TEST(DrawContext, VisiblePartIsMadeOnceAndNoLargerThanTheWindow) {
    std::vector<uint8_t> bits = PositionFrame(8, 4);
    CFrameDC frame;
    frame.Render(bits.data(), 8, 4, {0, 0, 8, 4}, {0, 0, 16, 8}, {0, 0, 100, 100});
    const QRgb first = frame.GetImage()->pixel(0, 0);
    std::fill(bits.begin(), bits.end(), uint8_t{0x55});
    frame.Render(bits.data(), 8, 4, {0, 0, 8, 4}, {0, 0, 16, 8}, {0, 0, 100, 100});
    EXPECT_EQ(frame.GetImage()->pixel(0, 0), first);
    frame.Invalidate();
    frame.Render(bits.data(), 8, 4, {0, 0, 8, 4}, {0, 0, 16, 8}, {0, 0, 100, 100});
    EXPECT_EQ(frame.GetImage()->pixel(0, 0), qRgb(0x55, 0x55, 0x55));
    EXPECT_EQ(frame.Area().right, 16);

    // Zoom 64 of a 4000 x 3000 output in a 760 x 600 window: 64 screen pixels a source pixel.
    const std::vector<uint8_t> large = PositionFrame(4000, 3000);
    frame.Render(large.data(), 4000, 3000, {0, 0, 4000, 3000}, {10, 25, 10 + 256000, 25 + 192000}, {0, 0, 760, 600});
    EXPECT_TRUE(frame.Area().left == 10 && frame.Area().top == 25 && frame.Area().right == 760 &&
                frame.Area().bottom == 600);
    EXPECT_LE(frame.GetImage()->width(), 760);
    EXPECT_EQ(SourceOf(frame.GetImage()->pixel(63, 63)), QPoint(0, 0));
    EXPECT_EQ(SourceOf(frame.GetImage()->pixel(64, 128)), QPoint(1, 2));
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
