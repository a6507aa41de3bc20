#include "platform/ui/ScreenDC.h"

#include "platform/ui/UiServices.h"

CScreenDC::CScreenDC() : m_screen(GetUiServices().screen->Grab()) {}
