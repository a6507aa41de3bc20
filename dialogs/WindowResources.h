#pragma once
// The templates of the clipping and resize window and the two information windows.
// Every such window registers them before it is built; registering again changes
// nothing.
#include "platform/win32/Win32Types.h"

void RegisterWindowDialogResources();
// Registers the resources and returns id: for a window's base-class initialiser.
inline UINT WindowDialogTemplate(UINT id) {
    RegisterWindowDialogResources();
    return id;
}
