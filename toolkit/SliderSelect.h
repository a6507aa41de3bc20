#pragma once
// The frame slider of the main view, which jumps straight to the position under
// the mouse.
#include <QSlider>

#include "platform/win32/Win32Types.h"

class CSliderSelect : public QSlider {
public:
    explicit CSliderSelect(QWidget* parent = nullptr);

    // Moves the thumb to the position under the mouse cursor; returns the position.
    int SetPosFromCursor();
    // The same for a point given in the slider's own coordinates.
    int SetPosFromPoint(int x);
    // The position x maps to, before the slider clamps it to its range; the slider's
    // current position when it is too narrow to map anything.
    int PositionForPoint(int x) const;
};
