#pragma once
// The templates of the batch, VOB list, kind, luminance and audio encoder
// dialogs, with the icons they show. Every such dialog registers them before it
// is built; registering again changes nothing.
#include "platform/win32/Win32Types.h"

class CDialog;

void RegisterDormantDialogResources();
// Registers the resources and returns id: for a dialog's base-class initialiser.
inline UINT DormantDialogTemplate(UINT id) {
    RegisterDormantDialogResources();
    return id;
}

// A label whose text holds "&&" shows a single '&', as a static control does:
// its mnemonic leads to the control nBuddy.
void SetLabelBuddy(CDialog* dlg, UINT nLabel, UINT nBuddy);
