#pragma once
// System helpers: clipboard, millisecond clock, 24-bit bitmap header, power actions,
// GUI font, dialog texture, message pump, shell open on a worker thread, version.
#include <functional>
#include <string>

#include "foundation/UiHooks.h"
#include "platform/win32/GlobalMemory.h"
#include "platform/win32/Win32Types.h"

// Flags of the log-off / shut-down request.
constexpr int EWX_LOGOFF = 0x00;
constexpr int EWX_SHUTDOWN = 0x01;
constexpr int EWX_REBOOT = 0x02;
constexpr int EWX_FORCE = 0x04;
constexpr int EWX_POWEROFF = 0x08;
constexpr int EWX_FORCEIFHUNG = 0x10;

// Hands a packed DIB to the clipboard. The block is the clipboard's once placed and is
// freed here on every other path, so the caller never keeps it.
void CopyDIBToClipboard(HGLOBAL hDib);

// Milliseconds of a monotonic clock, wrapping after 2^32.
DWORD GetTimeMs();
// Replaces the clock (null restores the real one); returns the previous one.
using TimeSource = DWORD (*)();
TimeSource SetTimeSource(TimeSource source);

// The version rule of the themed-dialog test: above 5, or 5 with a minor version other than 0.
BOOL IsVersionXPOrLater(DWORD major, DWORD minor);
// The platform always offers what that test looks for.
BOOL IsWinXPOrLater();

// Header of a 24-bit bottom-up BI_RGB picture. A negative size, or one whose pixel
// block would not fit in an int, gives an all-zero header (biSize 0) instead.
BITMAPINFOHEADER MakeBitmapInfoHeader24(int width, int height);

// The process needs no privilege for power actions here; kept for callers that ask.
void EnableShutdownPrivilege();
// -1 hibernates, -2 suspends; otherwise how is a log-off/shut-down request made of the
// EWX_ flags (EWX_FORCE and EWX_FORCEIFHUNG allowed). Any other value does nothing.
void ShutdownSystem(int how);

LOGFONTW GetDefaultGuiLogFont();
SIZE GetTextExtentGuiFont(CWnd* wnd, const std::wstring& text);
int EnableDialogTabTexture(HWND hwnd);

// Drains the UI thread's queue, then runs idle processing. Returns 1 when the
// application is quitting (a new quit request is left queued for the main loop), else 0.
int PumpPendingMessages();

// Opens target with the desktop's handler on a worker thread below normal priority.
// Returns FALSE when the thread cannot start. onFailure, when given, runs on that worker
// when no handler opened the target (none is installed, say), so the user can be told.
BOOL ShellOpenAsync(const wchar_t* target, std::function<void()> onFailure = {});

// "%d.%d%d" of the three leading version numbers: 1.2.3 gives "1.23".
std::wstring FormatFileVersion(int major, int minor, int build);
// The version text of the program's own module; empty for any other module path.
std::wstring GetFileVersionString(const wchar_t* modulePath);
