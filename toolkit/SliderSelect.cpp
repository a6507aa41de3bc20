#include "toolkit/SliderSelect.h"

#include <QCursor>
#include <algorithm>
#include <cmath>

namespace {
// The thumb's half width on either side that the track does not reach.
constexpr int kTrackInset = 14;
}  // namespace

CSliderSelect::CSliderSelect(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

int CSliderSelect::PositionForPoint(int x) const {
    const int usable = width() - 2 * kTrackInset;
    if (usable <= 0) return value();
    // The range minimum is taken to be 0, as the frame slider's always is.
    const int offset = std::clamp(x - kTrackInset, 0, usable);
    return static_cast<int>(std::trunc(static_cast<double>(maximum()) * offset / usable));
}

int CSliderSelect::SetPosFromPoint(int x) {
    setValue(PositionForPoint(x));
    return value();
}

int CSliderSelect::SetPosFromCursor() { return SetPosFromPoint(mapFromGlobal(QCursor::pos()).x()); }
