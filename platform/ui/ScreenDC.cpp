#include "platform/ui/ScreenDC.h"

#include "platform/ui/UiServices.h"

CScreenDC::CScreenDC() : m_screen(GetUiServices().screen->Grab()), m_geometry(QPoint(0, 0), m_screen.size()) {}

CScreenDC::CScreenDC(const QWidget* window) {
    ScreenSnapshot shot = GetUiServices().screen->GrabScreenOf(window);
    m_geometry = shot.geometry;
    m_dpr = shot.devicePixelRatio > 0 ? shot.devicePixelRatio : 1.0;
    m_screen = std::move(shot.image);
    // Copies out of this DC count in device pixels, whatever ratio the picture carries.
    if (!m_screen.isNull()) m_screen.setDevicePixelRatio(1.0);
}
