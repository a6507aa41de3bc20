// The view: creation, opening and closing a movie, zoom, navigation, the frame
// range, the slider, context menus, dropped files and the side-window commands.
#include "app/TALVERNView.h"

#include <algorithm>
#include <cmath>

double ClampZoom(double zoom) {
    if (std::isnan(zoom)) return 1.0;
    return std::clamp(zoom, kMinZoom, kMaxZoom);
}

double ZoomByNotches(double zoom, int notches) {
    // Twelve steps cross the whole allowed span; more only clamp.
    return ClampZoom(std::ldexp(ClampZoom(zoom), std::clamp(notches, -16, 16)));
}

int CWheelNotches::Add(int delta) {
    m_rest += delta;
    const int64_t notches = m_rest / 120;
    m_rest -= notches * 120;
    return static_cast<int>(notches);
}
