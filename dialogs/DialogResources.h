#pragma once
// The templates and icons of the settings dialogs. Every dialog registers them
// before it is built; registering again changes nothing.
#include "platform/win32/Win32Types.h"

void RegisterSettingsDialogResources();
// Registers the resources and returns id: for a dialog's base-class initialiser.
inline UINT SettingsDialogTemplate(UINT id) {
    RegisterSettingsDialogResources();
    return id;
}

#include <string>

// The text of string pair (ja, ja + 1) in the user's language.
std::wstring DialogText(UINT ja);
// The same with its "%s" replaced by path, taken literally.
std::wstring DialogTextWithPath(UINT ja, const std::wstring& path);
