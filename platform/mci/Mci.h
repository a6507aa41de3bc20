#pragma once
// The multimedia player device as the program drives it: a movie device
// ("AVIVideo") opened on a file, played from a frame, stopped, sought and closed
// through mciSendCommand, with its errors as codes that mciGetErrorString turns into
// text. Positions are frames. Pictures go to the surface registered for the parent
// window (MciVideoSurface.h); the sound goes to the machine's audio device, and a
// movie still plays, timed by a steady clock, when it has no sound or the machine
// has no audio device.
#include <cstdint>

#include "platform/win32/Win32Types.h"

using MCIDEVICEID = UINT;
using MCIERROR = DWORD;
using DWORD_PTR = uintptr_t;

// No device has this id: a holder of a device id starts with it and returns to it.
constexpr MCIDEVICEID MCI_INVALID_DEVICE_ID = 0;

// Commands.
constexpr UINT MCI_OPEN = 0x0803;
constexpr UINT MCI_CLOSE = 0x0804;
constexpr UINT MCI_PLAY = 0x0806;
constexpr UINT MCI_SEEK = 0x0807;
constexpr UINT MCI_STOP = 0x0808;

// Flags every command takes. MCI_WAIT makes no difference: stop, seek and close
// have finished when they return, and play returns as soon as the movie plays.
// MCI_NOTIFY is accepted, but no notice is sent: nothing in the program waits for one.
constexpr DWORD MCI_NOTIFY = 0x00000001;
constexpr DWORD MCI_WAIT = 0x00000002;
// MCI_PLAY: start at MCI_PLAY_PARMS::dwFrom instead of the current position.
constexpr DWORD MCI_FROM = 0x00000004;
// MCI_OPEN.
constexpr DWORD MCI_OPEN_ELEMENT = 0x00000200;
constexpr DWORD MCI_OPEN_TYPE = 0x00002000;
constexpr DWORD MCI_DGV_OPEN_WS = 0x00010000;
constexpr DWORD MCI_DGV_OPEN_PARENT = 0x00020000;
// MCI_SEEK.
constexpr DWORD MCI_SEEK_TO_START = 0x00000100;
constexpr DWORD MCI_SEEK_TO_END = 0x00000200;

// Error codes.
constexpr MCIERROR MCIERR_BASE = 256;
constexpr MCIERROR MCIERR_INVALID_DEVICE_ID = MCIERR_BASE + 1;
constexpr MCIERROR MCIERR_UNRECOGNIZED_COMMAND = MCIERR_BASE + 5;
constexpr MCIERROR MCIERR_INVALID_DEVICE_NAME = MCIERR_BASE + 7;
constexpr MCIERROR MCIERR_OUT_OF_MEMORY = MCIERR_BASE + 8;
constexpr MCIERROR MCIERR_MISSING_PARAMETER = MCIERR_BASE + 17;
constexpr MCIERROR MCIERR_UNSUPPORTED_FUNCTION = MCIERR_BASE + 18;
constexpr MCIERROR MCIERR_FILE_NOT_FOUND = MCIERR_BASE + 19;
constexpr MCIERROR MCIERR_OUTOFRANGE = MCIERR_BASE + 26;
constexpr MCIERROR MCIERR_FLAGS_NOT_COMPATIBLE = MCIERR_BASE + 28;
constexpr MCIERROR MCIERR_DEVICE_TYPE_REQUIRED = MCIERR_BASE + 31;
constexpr MCIERROR MCIERR_INVALID_FILE = MCIERR_BASE + 40;
constexpr MCIERROR MCIERR_NULL_PARAMETER_BLOCK = MCIERR_BASE + 41;
constexpr MCIERROR MCIERR_FILENAME_REQUIRED = MCIERR_BASE + 48;

struct MCI_GENERIC_PARMS {
    DWORD_PTR dwCallback;
};

struct MCI_DGV_OPEN_PARMSW {
    DWORD_PTR dwCallback;
    MCIDEVICEID wDeviceID;       // set by a successful open
    LPCWSTR lpstrDeviceType;     // "AVIVideo" (MCI_OPEN_TYPE)
    LPCWSTR lpstrElementName;    // the movie file (MCI_OPEN_ELEMENT)
    LPCWSTR lpstrAlias;          // not used
    DWORD dwStyle;               // window style of the picture (MCI_DGV_OPEN_WS)
    HWND hWndParent;             // window whose surface shows the pictures (MCI_DGV_OPEN_PARENT)
};

struct MCI_PLAY_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwFrom;
    DWORD dwTo;  // not used
};

struct MCI_SEEK_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwTo;  // not used
};

// Sends a command to the device `id` (MCI_OPEN: to none; the new id comes back in
// the parameter block). 0, or one of the error codes above.
MCIERROR mciSendCommand(MCIDEVICEID id, UINT message, DWORD_PTR flags, DWORD_PTR params);

// The text of an error code in the user's language, cut to fit `chars` characters
// with its terminating zero. FALSE for a code without a text of its own (the buffer
// then holds a general text) or for a buffer that holds nothing.
BOOL mciGetErrorString(MCIERROR error, LPWSTR text, UINT chars);
