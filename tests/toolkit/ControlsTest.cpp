#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <set>

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UiServices.h"
#include "toolkit/BaseColorDialog.h"
#include "toolkit/Browse.h"
#include "toolkit/LinkButton.h"
#include "toolkit/MemCDC.h"
#include "toolkit/SliderSelect.h"

namespace {

constexpr UINT kTemplate = 9201;
constexpr UINT kButton = 300, kLabel = 301;
constexpr COLORREF kBack = RGB(255, 255, 255);
constexpr COLORREF kText = RGB(255, 0, 0);
constexpr COLORREF kDisabled = RGB(0, 160, 0);
constexpr COLORREF kHover = RGB(0, 0, 255);

class ColorDialog : public CBaseColorDialog {
public:
    ColorDialog() : CBaseColorDialog(kTemplate, nullptr, RGB(255, 255, 255), RGB(0, 0, 0)) {}
};

class OwnerDrawn : public testing::Test {
protected:
    void SetUp() override {
        DialogTemplate t;
        t.id = kTemplate;
        t.cx = 200;
        t.cy = 60;
        t.controls = {{kButton, ControlKind::PushButton, 0, 0, 10, 10, 0, L"Go"},
                      {kLabel, ControlKind::Static, 0, 40, 50, 10, 0, L"Label"}};
        RegisterDialogTemplate(t);
        ASSERT_TRUE(dlg.Create(nullptr));
        button = dlg.GetButton(kButton);
        button->setGeometry(0, 0, 100, 30);
        button->setText(QStringLiteral("IIIIII"));
    }
    QImage Grab() { return button->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    ColorDialog dlg;
    QAbstractButton* button = nullptr;
};

QRgb Rgb(COLORREF c) { return qRgb(GetRValue(c), GetGValue(c), GetBValue(c)) & 0xFFFFFF; }
QRgb At(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }

// Which of the three caption colours shows in the image (anti-aliased text on white
// still has pixels dominated by its own channel).
std::set<char> CaptionColours(const QImage& img) {
    std::set<char> found;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.red() - std::max(c.green(), c.blue()) > 100) found.insert('r');
            if (c.green() - std::max(c.red(), c.blue()) > 80) found.insert('g');
            if (c.blue() - std::max(c.red(), c.green()) > 100) found.insert('b');
        }
    return found;
}

// The leftmost column that holds caption pixels.
int FirstInkColumn(const QImage& img) {
    for (int x = 0; x < img.width(); ++x)
        for (int y = 3; y < img.height() - 3; ++y)
            if (const QColor c = img.pixelColor(x, y); c.red() - std::max(c.green(), c.blue()) > 100) return x;
    return -1;
}

}  // namespace

TEST_F(OwnerDrawn, LinkButtonColoursFollowHoverAndDisabled) {
    CLinkButton link(kBack, kText, kDisabled, kHover);
    ASSERT_TRUE(link.AttachDlgItem(kButton, &dlg));
    EXPECT_FALSE(link.AttachDlgItem(kButton, &dlg));
    QImage img = Grab();
    EXPECT_EQ(At(img, 0, 0), Rgb(kBack));  // no frame
    EXPECT_EQ(CaptionColours(img), std::set<char>{'r'});

    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(button, &enter);
    EXPECT_TRUE(link.IsHover());
    EXPECT_EQ(CaptionColours(Grab()), std::set<char>{'b'});
    button->setEnabled(false);  // disabled wins over hover
    EXPECT_EQ(CaptionColours(Grab()), std::set<char>{'g'});
    button->setEnabled(true);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    EXPECT_FALSE(link.IsHover());
    EXPECT_EQ(CaptionColours(Grab()), std::set<char>{'r'});
}

TEST_F(OwnerDrawn, ColorButtonFramesPressedStateAndFocus) {
    CColorButton classic(kBack, kText, kDisabled, kHover, 0);
    ASSERT_TRUE(classic.AttachDlgItem(kButton, &dlg));
    QImage up = Grab();
    EXPECT_EQ(At(up, 0, 0), Rgb(kColor3DLight));
    EXPECT_EQ(At(up, 99, 29), Rgb(kColor3DDarkShadow));
    EXPECT_EQ(At(up, 4, 4), Rgb(kBack));  // no focus yet

    button->setDown(true);
    QImage down = Grab();
    EXPECT_EQ(At(down, 0, 0), Rgb(kColor3DShadow));
    EXPECT_EQ(At(down, 1, 1), Rgb(kColor3DDarkShadow));
    EXPECT_EQ(FirstInkColumn(down), FirstInkColumn(up) + 1);  // caption one pixel right
    button->setDown(false);

    // The focus rectangle 4 pixels inside inverts the background.
    QImage focused(100, 30, QImage::Format_RGB32);
    {
        QPainter painter(&focused);
        CDC dc(&painter);
        classic.DrawItem(&dc, ODS_FOCUS, {0, 0, 100, 30});
    }
    EXPECT_EQ(At(focused, 4, 4), 0u);
    EXPECT_EQ(At(focused, 5, 4), Rgb(kBack));
    EXPECT_EQ(classic.GetItemState() & ODS_DISABLED, 0u);
}

TEST_F(OwnerDrawn, HoverOnlyFrameAndFramelessStyles) {
    CColorButton hoverFrame(kBack, kText, kDisabled, kHover, 1);
    ASSERT_TRUE(hoverFrame.AttachDlgItem(kButton, &dlg));
    button->setDown(true);
    EXPECT_EQ(At(Grab(), 0, 0), Rgb(kBack));  // pressed but the mouse is elsewhere
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(button, &enter);
    EXPECT_EQ(At(Grab(), 0, 0), Rgb(kColor3DShadow));
    button->setDown(false);
    EXPECT_EQ(At(Grab(), 0, 0), Rgb(kColor3DLight));

    // Without a frame style only the pressed edge shows.
    CColorButton flat(kBack, kText, kDisabled, kHover, 2);
    QImage img(100, 30, QImage::Format_RGB32);
    for (UINT state : {0u, ODS_SELECTED}) {
        QPainter painter(&img);
        CDC dc(&painter);
        flat.DrawItem(&dc, state, {0, 0, 100, 30});
        painter.end();
        EXPECT_EQ(At(img, 0, 0), Rgb(state ? kColor3DShadow : kBack));
    }
}

TEST_F(OwnerDrawn, IconButtonCentresItsIconAndSwapsItWhenDisabled) {
    QPixmap magenta(32, 32), cyan(32, 32);
    magenta.fill(QColor(255, 0, 255));
    cyan.fill(QColor(0, 255, 255));
    CIconButton icon(QIcon(magenta), QIcon(cyan), kBack, kText, kDisabled, kHover, 2);
    ASSERT_TRUE(icon.AttachDlgItem(kButton, &dlg));
    button->setGeometry(0, 0, 100, 24);
    QImage img = Grab();
    // A 24-pixel-high button draws the 32-pixel icon from y = -4.
    EXPECT_EQ(At(img, 16, 0), qRgb(255, 0, 255) & 0xFFFFFF);
    EXPECT_EQ(At(img, 47, 23), qRgb(255, 0, 255) & 0xFFFFFF);
    EXPECT_EQ(At(img, 15, 10), Rgb(kBack));
    EXPECT_EQ(At(img, 48, 10), Rgb(kBack));
    EXPECT_GT(FirstInkColumn(img), 48);  // the caption is centred right of the first 32 pixels
    button->setEnabled(false);
    EXPECT_EQ(At(Grab(), 20, 10), qRgb(0, 255, 255) & 0xFFFFFF);
}

TEST_F(OwnerDrawn, ColourDialogColoursStaticsOnly) {
    EXPECT_EQ(dlg.palette().color(QPalette::Window), QColor(255, 255, 255));
    EXPECT_EQ(dlg.GetDlgItem(kLabel)->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    EXPECT_FALSE(dlg.GetDlgItem(kLabel)->autoFillBackground());
}

TEST(MemCDC, StretchesWithoutBlendingAndReleasesOnRecreate) {
    CMemCDC src;
    ASSERT_TRUE(src.CreateCompatible(nullptr, 2, 2));
    src.FillSolidRect({0, 0, 1, 1}, RGB(255, 0, 0));
    src.FillSolidRect({1, 0, 2, 1}, RGB(0, 255, 0));
    src.FillSolidRect({0, 1, 1, 2}, RGB(0, 0, 255));
    src.FillSolidRect({1, 1, 2, 2}, RGB(255, 255, 255));

    CMemCDC dst;
    ASSERT_TRUE(dst.CreateCompatible(nullptr, 7, 5));
    src.SetStretchBltMode(HALFTONE);
    ASSERT_TRUE(src.StretchTo(&dst, {0, 0, 7, 5}, {0, 0, 2, 2}, SRCCOPY));
    std::set<QRgb> colours;
    const QImage& out = *dst.GetImage();
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) colours.insert(out.pixel(x, y) & 0xFFFFFF);
    EXPECT_EQ(colours.size(), 4u);
    EXPECT_EQ(out.pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(out.pixel(6, 4) & 0xFFFFFF, 0xFFFFFFu);

    // The other direction, from a region, into the top-left corner.
    ASSERT_TRUE(dst.StretchFrom(&src, {0, 0, 3, 3}, {1, 1, 2, 2}, SRCCOPY));
    EXPECT_EQ(dst.GetImage()->pixel(2, 2) & 0xFFFFFF, 0xFFFFFFu);

    // Re-creating drops the old bitmap first; a mono bitmap can be copied from.
    ASSERT_TRUE(src.CreateCompatible(nullptr, 3, 1));
    EXPECT_EQ(src.GetImage()->size(), QSize(3, 1));
    ASSERT_TRUE(src.CreateMono(nullptr, 4, 4));
    EXPECT_EQ(src.GetPainter(), nullptr);
    EXPECT_TRUE(src.StretchTo(&dst, {0, 0, 7, 5}, {0, 0, 4, 4}, SRCCOPY));
    EXPECT_EQ(dst.GetImage()->pixel(3, 3) & 0xFFFFFF, 0u);
    EXPECT_FALSE(src.CreateCompatible(nullptr, 0, 10));
    EXPECT_EQ(src.GetImage(), nullptr);
    EXPECT_FALSE(dst.StretchFrom(&src, {0, 0, 1, 1}, {0, 0, 1, 1}, SRCCOPY));
}

TEST(SliderSelect, MapsTheCursorAcrossTheTrack) {
    CSliderSelect slider;
    slider.resize(128, 30);  // usable width 100
    slider.setRange(0, 200);
    struct Case {
        int x, expected;
    };
    for (const Case c : {Case{0, 0}, Case{14, 0}, Case{15, 2}, Case{64, 100}, Case{113, 198}, Case{114, 200},
                         Case{500, 200}, Case{-1000, 0}}) {
        EXPECT_EQ(slider.SetPosFromPoint(c.x), c.expected) << c.x;
    }
    // A range that does not start at 0 is still mapped as if it did, then clamped.
    slider.setRange(50, 100);
    EXPECT_EQ(slider.SetPosFromPoint(14), 50);
    EXPECT_EQ(slider.SetPosFromPoint(89), 75);
    // Too narrow to map: the position stays where it was.
    for (int width : {28, 20, 1}) {
        slider.resize(width, 30);
        EXPECT_EQ(slider.SetPosFromPoint(10), 75) << width;
    }
    slider.resize(29, 30);
    EXPECT_EQ(slider.SetPosFromPoint(15), 100);
}

TEST(SliderSelect, TellsOnlyWhatTheUserDidAndMarksItsSelection) {
    CSliderSelect slider;
    slider.resize(128, 30);
    std::vector<CSliderSelect::Scroll> told;
    std::vector<bool> held;
    slider.SetScrollHandler([&](CSliderSelect::Scroll s) {
        told.push_back(s);
        held.push_back(slider.IsLeftButtonDown());
    });
    slider.SetRange(0, 200);
    slider.SetPos(120);
    slider.SetPosFromPoint(64);
    EXPECT_TRUE(told.empty());  // code never comes back as a scroll
    EXPECT_EQ(slider.value(), 100);

    auto mouse = [&](QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(30, 15), QPointF(30, 15), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&slider, &e);
    };
    mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
    mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton);
    using S = CSliderSelect::Scroll;
    EXPECT_EQ(told, (std::vector<S>{S::Press, S::Track, S::Release}));
    EXPECT_EQ(held, (std::vector<bool>{true, true, false}));
    EXPECT_EQ(slider.value(), 100);  // the mouse alone pages nothing: the owner moves it

    QKeyEvent key(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
    QCoreApplication::sendEvent(&slider, &key);
    EXPECT_EQ(told.back(), S::Key);

    slider.SetTicFreq(20);
    EXPECT_EQ(slider.tickPosition(), QSlider::TicksBelow);
    slider.SetTicFreq(0);
    EXPECT_EQ(slider.tickPosition(), QSlider::NoTicks);

    // The band is painted over the groove between the two positions, and only there.
    slider.SetPos(0);
    slider.SetSelection(50, 150);
    const QImage band = slider.grab().toImage();
    slider.SetSelection(0, 0);
    const QImage none = slider.grab().toImage();
    const QColor highlight = slider.palette().color(QPalette::Highlight);
    auto bandAt = [&](const QImage& img, int x) {
        for (int y = 0; y < img.height(); ++y)
            if (img.pixelColor(x, y) == highlight) return true;
        return false;
    };
    EXPECT_TRUE(bandAt(band, 64));
    EXPECT_FALSE(bandAt(band, 100));
    EXPECT_FALSE(bandAt(none, 64));
}

TEST(Browse, ReturnsTheChosenFolderOrTheInitialOne) {
    ScopedScriptedUi script;
    script.ui.folderAnswers = {std::wstring(L"/home/user/videos/"), std::wstring(L"/"), std::nullopt,
                               std::wstring(L"/data//")};
    CBrowse browse;
    EXPECT_EQ(browse.BrowseFolder(L"/tmp", nullptr), L"/home/user/videos");
    EXPECT_EQ(browse.BrowseFolder(L"/tmp", nullptr), L"/");
    EXPECT_EQ(browse.BrowseFolder(L"/tmp/out/", nullptr), L"/tmp/out/");
    EXPECT_EQ(browse.BrowseFolder(L"", nullptr), L"/data");
    ASSERT_EQ(script.ui.folderRequests.size(), 4u);
    EXPECT_EQ(script.ui.folderRequests[0].first, L"フォルダの選択");
    EXPECT_EQ(script.ui.folderRequests[2].second, L"/tmp/out/");
}
