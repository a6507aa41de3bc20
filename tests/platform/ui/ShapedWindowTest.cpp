#include <gtest/gtest.h>

#include <QBitmap>
#include <QDialog>

#include "platform/ui/ScreenDC.h"
#include "platform/ui/ShapedWindow.h"
#include "platform/ui/UiServices.h"

TEST(ShapedWindow, EllipticRegionAndFramelessWindow) {
    QDialog window;
    window.resize(200, 100);
    SetWindowFrameless(&window);
    SetWindowEllipse(&window, QRect(2, 0, 198, 100));
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    const QRegion mask = window.mask();
    EXPECT_TRUE(mask.contains(QPoint(100, 50)));
    EXPECT_TRUE(mask.contains(QPoint(4, 50)));
    EXPECT_FALSE(mask.contains(QPoint(3, 3)));
    EXPECT_FALSE(mask.contains(QPoint(196, 96)));
}

TEST(ShapedWindow, PopupPaintsEachFrameBeforeReturning) {
    CAnimationPopup popup(QRect(10, 10, 30, 20));
    QImage frame(30, 20, QImage::Format_RGB32);
    frame.fill(QColor(0, 200, 0));
    popup.ShowFrame(frame);
    EXPECT_TRUE(popup.isVisible());
    EXPECT_EQ(popup.FramesShown(), 1);
    EXPECT_EQ(popup.grab().toImage().pixel(15, 10) & 0xFFFFFF, qRgb(0, 200, 0) & 0xFFFFFF);
}

TEST(ShapedWindow, ScreenSnapshotOfAWindowsScreenCountsDevicePixels) {
    ScopedScriptedUi script;
    script.ui.screenImage = QImage(64, 48, QImage::Format_RGB32);
    script.ui.screenImage.fill(Qt::white);
    script.ui.screenImage.setDevicePixelRatio(2.0);
    QWidget window;
    CScreenDC screen(&window);
    ASSERT_NE(screen.GetImage(), nullptr);
    EXPECT_EQ(screen.GetImage()->devicePixelRatio(), 1.0);
    EXPECT_EQ(screen.GetImage()->size(), QSize(64, 48));
    script.ui.screenImage = QImage();
    EXPECT_EQ(CScreenDC(&window).GetImage(), nullptr);  // no snapshot to be had
}
