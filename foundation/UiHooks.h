#pragma once
// The window-system services the system helpers need. The foundation library does
// not link the UI toolkit: the UI layer registers its implementation at start-up,
// and until then the helpers behave as if there were no windows at all (the
// message queue is empty, nothing reaches the clipboard, text has no extent).
#include <string>

#include "platform/win32/GlobalMemory.h"
#include "platform/win32/Win32Types.h"

class CWnd;  // a window of the UI layer

class IUiHooks {
public:
    virtual ~IUiHooks() = default;

    // Clipboard, in the order the copy uses them.
    virtual bool OpenClipboard() = 0;
    virtual bool EmptyClipboard() = 0;
    // Places a packed 24-bit DIB; on true the clipboard owns the block from then on.
    virtual bool SetClipboardDib(HGLOBAL dib) = 0;
    virtual void CloseClipboard() = 0;

    // Message queue of the UI thread.
    virtual bool HasPendingMessage() = 0;
    // Removes, translates and dispatches one message; false when it took a quit request.
    virtual bool PumpMessage() = 0;
    virtual void PostQuitMessage(int exitCode) = 0;
    // The toolkit's idle processing; returns true while it wants another round.
    virtual bool OnIdle(long count) = 0;

    virtual LOGFONTW GetDefaultGuiLogFont() = 0;
    virtual SIZE GetTextExtentGuiFont(CWnd* wnd, const std::wstring& text) = 0;
    // Gives a dialog the themed tab-page background where the style has one.
    virtual void EnableDialogTabTexture(HWND hwnd) = 0;
};

// Registers the UI layer's services (null unregisters); returns the previous ones.
// The object must outlive its registration.
IUiHooks* RegisterUiHooks(IUiHooks* hooks);
IUiHooks* GetUiHooks();
