#pragma once
// Where the player device puts its pictures. The device knows only the window
// handle it is opened in; the UI layer registers a surface for that handle before
// it opens the device, and unregisters it only after the device is closed.
#include "platform/win32/Win32Types.h"

class IMciVideoSurface {
public:
    virtual ~IMciVideoSurface() = default;
    // Frame `frame` of the movie: 24-bit bottom-up rows padded to 4 bytes as the
    // header describes them. Called on the device's play thread or on the thread
    // that sent a seek; the bits are valid only during the call.
    virtual void ShowFrame(int frame, const BITMAPINFOHEADER& header, const void* bits) = 0;
};

// The surface stays the caller's; registering a handle again replaces its surface.
void MciRegisterVideoSurface(HWND window, IMciVideoSurface* surface);
void MciUnregisterVideoSurface(HWND window);
// The surface registered for the handle, or null.
IMciVideoSurface* MciFindVideoSurface(HWND window);
