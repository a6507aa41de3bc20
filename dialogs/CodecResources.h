#pragma once
// The templates of the compressor and profile dialogs, the audio format chooser and
// the compressor configuration, with the icons they show. Every such dialog
// registers them before it is built; registering again changes nothing.
#include "platform/win32/Win32Types.h"

void RegisterCodecDialogResources();
// Registers the resources and returns id: for a dialog's base-class initialiser.
inline UINT CodecDialogTemplate(UINT id) {
    RegisterCodecDialogResources();
    return id;
}

#include <string>

// The text of string pair (ja, ja + 1) with its "%d" replaced by n.
std::wstring DialogTextWithNumber(UINT ja, long long n);
