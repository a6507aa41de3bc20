// Pictures of tool bar 128 (16 x 15 each, one per command) and of the program icon,
// drawn here rather than kept as files so that each stays a few readable lines.
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "platform/ui/Icons.h"
#include "platform/ui/ToolBar.h"
#include "resources/AppResources.h"
#include "resources/CommandIds.h"

namespace {

constexpr int kW = 16;
constexpr int kH = 15;

// 5 x 7 letters for the format buttons, '#' a pixel.
struct Glyph {
    char letter;
    const char* rows[7];
};
constexpr Glyph kGlyphs[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"}},
    {'J', {"..###", "...#.", "...#.", "...#.", "#..#.", "#..#.", ".##.."}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'i', {"..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."}},
    {'?', {".###.", "#...#", "....#", "..##.", "..#..", ".....", "..#.."}},
};

void DrawGlyph(QPainter& p, char letter, int x, int y, QColor color) {
    for (const Glyph& g : kGlyphs) {
        if (g.letter != letter) continue;
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col)
                if (g.rows[row][col] == '#') p.fillRect(x + col, y + row, 1, 1, color);
    }
}

QImage Blank() {
    QImage image(kW, kH, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage Open() {
    QImage image = Blank();
    QPainter p(&image);
    p.setPen(QColor(128, 96, 16));
    p.setBrush(QColor(232, 192, 80));
    p.drawRect(1, 3, 12, 9);
    p.drawRect(1, 2, 5, 1);
    p.setBrush(QColor(250, 220, 120));
    p.drawPolygon(QPolygon({{3, 6}, {15, 6}, {13, 12}, {1, 12}}));
    return image;
}

QImage SaveImage() {
    QImage image = Blank();
    QPainter p(&image);
    p.setPen(QColor(20, 40, 90));
    p.setBrush(QColor(58, 95, 168));
    p.drawRect(1, 1, 13, 13);
    p.fillRect(4, 2, 8, 5, Qt::white);
    p.fillRect(5, 9, 6, 5, QColor(190, 190, 200));
    p.fillRect(9, 10, 1, 3, QColor(58, 95, 168));
    return image;
}

QImage Copy() {
    QImage image = Blank();
    QPainter p(&image);
    p.setPen(QColor(90, 90, 90));
    for (const QPoint& at : {QPoint(1, 1), QPoint(6, 4)}) {
        p.setBrush(Qt::white);
        p.drawRect(at.x(), at.y(), 8, 9);
        for (int line = 0; line < 3; ++line)
            p.fillRect(at.x() + 2, at.y() + 2 + 2 * line, 5, 1, QColor(70, 110, 200));
    }
    return image;
}

QImage Triangle(bool right, QColor color, int left, int top, int height) {
    QImage image = Blank();
    QPainter p(&image);
    p.setPen(color.darker(150));
    p.setBrush(color);
    const int tip = height / 2;
    if (right)
        p.drawPolygon(QPolygon({{left, top}, {left + tip, top + tip}, {left, top + height}}));
    else
        p.drawPolygon(QPolygon({{left + tip, top}, {left, top + tip}, {left + tip, top + height}}));
    return image;
}

QImage Play() {
    return Triangle(true, QColor(40, 170, 60), 4, 1, 12);
}

QImage Pause() {
    QImage image = Blank();
    QPainter p(&image);
    p.fillRect(3, 2, 4, 11, QColor(40, 80, 180));
    p.fillRect(9, 2, 4, 11, QColor(40, 80, 180));
    return image;
}

QImage Stop() {
    QImage image = Blank();
    QPainter p(&image);
    p.setPen(QColor(120, 20, 20));
    p.setBrush(QColor(210, 40, 40));
    p.drawRect(2, 2, 11, 10);
    return image;
}

QImage Step(bool forward) {
    QImage image = Triangle(forward, QColor(40, 80, 180), forward ? 3 : 6, 2, 10);
    QPainter p(&image);
    p.fillRect(forward ? 11 : 2, 2, 2, 11, QColor(30, 50, 120));
    return image;
}

// A movie output: a strip of film in the format's colour with its letter.
QImage MovieOutput(char letter, QColor color) {
    QImage image = Blank();
    QPainter p(&image);
    p.fillRect(0, 1, 16, 13, QColor(40, 40, 40));
    for (int x = 1; x < 16; x += 3) {
        p.fillRect(x, 2, 2, 1, Qt::white);
        p.fillRect(x, 12, 2, 1, Qt::white);
    }
    p.fillRect(2, 4, 12, 7, color);
    DrawGlyph(p, letter, 6, 4, Qt::white);
    return image;
}

// A picture output: a page with a turned corner in the format's colour with its letter.
QImage PictureOutput(char letter, QColor color) {
    QImage image = Blank();
    QPainter p(&image);
    p.setPen(color.darker(160));
    p.setBrush(color);
    p.drawPolygon(QPolygon({{2, 0}, {10, 0}, {13, 3}, {13, 14}, {2, 14}}));
    p.setBrush(color.lighter(150));
    p.drawPolygon(QPolygon({{10, 0}, {13, 3}, {10, 3}}));
    DrawGlyph(p, letter, 5, 5, Qt::white);
    return image;
}

QImage Settings() {
    QImage image = Blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath gear;
    const QPointF c(7.5, 7);
    for (int i = 0; i < 8; ++i) {
        QTransform t;
        t.translate(c.x(), c.y());
        t.rotate(i * 45.0);
        gear.addPolygon(t.map(QPolygonF(QRectF(-1.5, -7, 3, 4))));
    }
    gear.addEllipse(c, 5, 5);
    p.setPen(QColor(70, 70, 80));
    p.setBrush(QColor(150, 150, 165));
    p.drawPath(gear.simplified());
    p.setBrush(Qt::white);
    p.drawEllipse(c, 2, 2);
    return image;
}

QImage ClipResize() {
    QImage image = Blank();
    QPainter p(&image);
    QPen dash(QColor(40, 80, 180));
    dash.setStyle(Qt::DotLine);
    p.setPen(dash);
    p.drawRect(4, 4, 8, 7);
    const QColor dark(40, 40, 40);
    p.fillRect(2, 0, 2, 12, dark);
    p.fillRect(2, 10, 12, 2, dark);
    p.fillRect(12, 3, 2, 12, dark);
    p.fillRect(0, 3, 14, 2, dark);
    return image;
}

QImage Badge(char letter, QColor color) {
    QImage image = Blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(color.darker(150));
    p.setBrush(color);
    p.drawEllipse(QRectF(0.5, 0, 14, 14));
    p.setRenderHint(QPainter::Antialiasing, false);
    DrawGlyph(p, letter, 5, 3, Qt::white);
    return image;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal u = size / 16.0;
        p.fillRect(QRectF(0, 2 * u, 16 * u, 12 * u), QColor(40, 40, 40));
        for (int x = 1; x < 16; x += 3) {
            p.fillRect(QRectF(x * u, 3 * u, 2 * u, u), Qt::white);
            p.fillRect(QRectF(x * u, 12 * u, 2 * u, u), Qt::white);
        }
        p.fillRect(QRectF(2 * u, 5 * u, 12 * u, 6 * u), QColor(70, 130, 210));
        p.setBrush(QColor(255, 210, 60));
        p.setPen(Qt::NoPen);
        p.drawPolygon(
            QPolygonF({QPointF(6 * u, 5.5 * u), QPointF(11 * u, 8 * u), QPointF(6 * u, 10.5 * u)}));
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

void RegisterImageResources() {
    ToolBarTemplate bar;
    bar.id = IDR_MAINFRAME;
    bar.buttons = {ID_FILE_OPEN, ID_SAVE_IMAGE, 0,  // file
                   ID_EDIT_COPY, 0,  // clipboard
                   ID_PLAY, ID_PAUSE, ID_STOP, 0,  // run
                   ID_PREV_FRAME, ID_NEXT_FRAME, 0,  // step
                   ID_OUTPUT_AVI, ID_OUTPUT_WMV, 0,  // movie outputs
                   ID_OUTPUT_JPG, ID_OUTPUT_BMP, ID_OUTPUT_TIF, ID_OUTPUT_PNG, 0,  // picture outputs
                   ID_OUTPUT_SETTINGS, ID_CLIP_RESIZE, ID_FILE_INFO, 0,  // settings and information
                   ID_HELP};
    bar.images = {
        {ID_FILE_OPEN, Open()},
        {ID_SAVE_IMAGE, SaveImage()},
        {ID_EDIT_COPY, Copy()},
        {ID_PLAY, Play()},
        {ID_PAUSE, Pause()},
        {ID_STOP, Stop()},
        {ID_PREV_FRAME, Step(false)},
        {ID_NEXT_FRAME, Step(true)},
        {ID_OUTPUT_AVI, MovieOutput('A', QColor(200, 40, 40))},
        {ID_OUTPUT_WMV, MovieOutput('W', QColor(120, 50, 170))},
        {ID_OUTPUT_JPG, PictureOutput('J', QColor(230, 120, 20))},
        {ID_OUTPUT_BMP, PictureOutput('B', QColor(40, 90, 200))},
        {ID_OUTPUT_TIF, PictureOutput('T', QColor(0, 140, 140))},
        {ID_OUTPUT_PNG, PictureOutput('P', QColor(40, 150, 50))},
        {ID_OUTPUT_SETTINGS, Settings()},
        {ID_CLIP_RESIZE, ClipResize()},
        {ID_FILE_INFO, Badge('i', QColor(40, 100, 200))},
        {ID_HELP, Badge('?', QColor(40, 100, 200))},
    };
    RegisterToolBarTemplate(std::move(bar));
    RegisterIconResource(IDR_MAINFRAME, ProgramIcon());
}
