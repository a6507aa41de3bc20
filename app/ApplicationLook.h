#pragma once
// The nine visual styles of the main frame (commands 40001-40009): each a Qt style, a
// palette for the whole program and colours of its own for the bars.
#include <QColor>

#include "platform/win32/Win32Types.h"

class QWidget;

struct ApplicationLook {
    UINT id;
    const char* style;  // Qt style name
    QColor window;      // dialogs and the view's surroundings
    QColor button;
    QColor highlight;
    QColor barTop;  // the bars' background runs from top to bottom
    QColor barBottom;
    QColor barText;
    QColor barLine;  // edge between the bars and the view
};

// The look of id; an id outside 40001-40009 gets the blue look.
const ApplicationLook& FindApplicationLook(UINT id);

// Applies the look to the whole program and to the bars of frame, under a wait cursor,
// and repaints frame at once.
void ApplyApplicationLook(QWidget* frame, UINT id);
