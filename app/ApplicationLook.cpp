#include "app/ApplicationLook.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

#include "resources/CommandIds.h"

namespace {

constexpr ApplicationLook kLooks[] = {
    // Windows 2000: the classic flat grey.
    {ID_VIEW_APPLOOK_WIN_2000,
     "Windows",
     {212, 208, 200},
     {212, 208, 200},
     {10, 36, 106},
     {212, 208, 200},
     {212, 208, 200},
     {0, 0, 0},
     {128, 128, 128}},
    // Office XP: light bars, lavender selection.
    {ID_VIEW_APPLOOK_OFF_XP,
     "Fusion",
     {236, 233, 216},
     {246, 245, 242},
     {182, 189, 210},
     {252, 252, 249},
     {235, 233, 226},
     {0, 0, 0},
     {160, 158, 150}},
    // Windows XP: beige with the strong blue selection.
    {ID_VIEW_APPLOOK_WIN_XP,
     "Windows",
     {236, 233, 216},
     {236, 233, 216},
     {49, 106, 197},
     {245, 244, 234},
     {222, 218, 196},
     {0, 0, 0},
     {172, 168, 153}},
    // Office 2003: pale to deep blue bars, orange selection.
    {ID_VIEW_APPLOOK_OFF_2003,
     "Fusion",
     {227, 239, 255},
     {214, 232, 255},
     {255, 200, 110},
     {227, 239, 255},
     {135, 173, 228},
     {0, 0, 80},
     {59, 97, 156}},
    // Visual Studio 2005: warm grey bars.
    {ID_VIEW_APPLOOK_VS_2005,
     "Fusion",
     {238, 237, 229},
     {241, 240, 233},
     {193, 210, 238},
     {250, 249, 245},
     {206, 203, 186},
     {0, 0, 0},
     {146, 143, 130}},
    // Blue.
    {ID_VIEW_APPLOOK_OFF_2007_BLUE,
     "Fusion",
     {191, 219, 255},
     {218, 232, 250},
     {255, 222, 140},
     {227, 239, 255},
     {175, 205, 240},
     {21, 66, 139},
     {101, 147, 207}},
    // Black.
    {ID_VIEW_APPLOOK_OFF_2007_BLACK,
     "Fusion",
     {83, 83, 83},
     {110, 110, 110},
     {255, 200, 90},
     {110, 110, 110},
     {40, 40, 40},
     {255, 255, 255},
     {20, 20, 20}},
    // Silver.
    {ID_VIEW_APPLOOK_OFF_2007_SILVER,
     "Fusion",
     {208, 212, 221},
     {232, 235, 240},
     {255, 222, 140},
     {243, 244, 246},
     {196, 200, 212},
     {50, 50, 60},
     {140, 144, 156}},
    // Aqua.
    {ID_VIEW_APPLOOK_OFF_2007_AQUA,
     "Fusion",
     {196, 224, 232},
     {222, 238, 243},
     {255, 222, 140},
     {224, 240, 245},
     {154, 200, 214},
     {20, 70, 90},
     {96, 150, 168}},
};

QPalette MakePalette(const ApplicationLook& look) {
    QPalette palette(look.button, look.window);
    if (look.window.lightness() < 128) {
        // Qt would give a dark look black lists and menus; a lighter grey keeps them
        // apart from the frame's edges.
        palette.setColor(QPalette::Base, look.window.darker(140));
        palette.setColor(QPalette::AlternateBase, look.window.darker(120));
    }
    palette.setColor(QPalette::Highlight, look.highlight);
    const bool darkHighlight = look.highlight.lightness() < 128;
    palette.setColor(QPalette::HighlightedText, darkHighlight ? Qt::white : Qt::black);
    palette.setColor(QPalette::ToolTipBase, look.barTop);
    palette.setColor(QPalette::ToolTipText, look.barText);
    return palette;
}

QString BarStyleSheet(const ApplicationLook& look) {
    const QString gradient =
        QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)")
            .arg(look.barTop.name(), look.barBottom.name());
    const QString text = look.barText.name();
    return QStringLiteral(
               "QToolBar { background: %1; border: none; border-bottom: 1px solid %3; spacing: "
               "2px; }"
               "QMenuBar { background: transparent; color: %2; }"
               "QMenuBar::item { background: transparent; padding: 2px 7px; }"
               "QMenuBar::item:selected { background: %4; color: %5; }"
               "QToolBar > QToolButton { color: %2; }"
               "QStatusBar { background: %1; color: %2; border-top: 1px solid %3; }"
               "QStatusBar QLabel { color: %2; }")
        .arg(gradient, text, look.barLine.name(), look.highlight.name(),
             look.highlight.lightness() < 128 ? QStringLiteral("white") : QStringLiteral("black"));
}

// Changing the style rebuilds every widget's look; skip it when it stays.
void SetStyle(const char* name) {
    if (QApplication::style() &&
        QApplication::style()->name().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
        return;
    if (QStyle* style = QStyleFactory::create(QLatin1String(name))) QApplication::setStyle(style);
}

}  // namespace

const ApplicationLook& FindApplicationLook(UINT id) {
    for (const ApplicationLook& look : kLooks)
        if (look.id == id) return look;
    return FindApplicationLook(ID_VIEW_APPLOOK_DEFAULT);
}

void ApplyApplicationLook(QWidget* frame, UINT id) {
    const ApplicationLook& look = FindApplicationLook(id);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SetStyle(look.style);
    QApplication::setPalette(MakePalette(look));
    if (frame) {
        frame->setStyleSheet(BarStyleSheet(look));
        frame->repaint();
    }
    QApplication::restoreOverrideCursor();
}
