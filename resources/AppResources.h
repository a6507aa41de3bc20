#pragma once
// The program's resources that are more than texts: main menus 128 (Japanese) and 129
// (English), context menus 140 and 141, accelerator table 128, tool bar 128 and the
// program icon 128. Registered once at start-up, before the main frame is built.
#include "platform/win32/Win32Types.h"

constexpr UINT IDR_MAINFRAME = 128;
constexpr UINT IDR_MAINFRAME_EN = 129;
constexpr UINT IDR_CONTEXT_JA = 140;
constexpr UINT IDR_CONTEXT_EN = 141;

// Menus and keys.
void RegisterMenuResources();
// Tool bar 128 with its pictures and the program icon; needs Qt's application.
void RegisterImageResources();
// Both of the above.
void RegisterAppResources();
