#include "foundation/SysUtil.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <ctime>
#include <pthread.h>
#include <thread>

#include "foundation/PathUtil.h"
#include "foundation/SystemCommands.h"
#include "platform/win32/ThreadRole.h"
#include "platform/win32/WideChar.h"

namespace {

std::atomic<IUiHooks*> g_uiHooks{nullptr};

DWORD MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms);
}

std::atomic<TimeSource> g_timeSource{&MonotonicMs};

}  // namespace

IUiHooks* RegisterUiHooks(IUiHooks* hooks) {
    return g_uiHooks.exchange(hooks);
}
IUiHooks* GetUiHooks() {
    return g_uiHooks.load();
}

void CopyDIBToClipboard(HGLOBAL hDib) {
    IUiHooks* ui = GetUiHooks();
    bool placed = false;
    if (ui && hDib && ui->OpenClipboard()) {
        if (ui->EmptyClipboard()) placed = ui->SetClipboardDib(hDib);
        ui->CloseClipboard();
    }
    if (!placed && hDib) GlobalFree(hDib);
}

DWORD GetTimeMs() {
    return g_timeSource.load()();
}

TimeSource SetTimeSource(TimeSource source) {
    return g_timeSource.exchange(source ? source : &MonotonicMs);
}

BOOL IsVersionXPOrLater(DWORD major, DWORD minor) {
    return (major > 5 || (major == 5 && minor != 0)) ? TRUE : FALSE;
}

BOOL IsWinXPOrLater() {
    return TRUE;
}

BITMAPINFOHEADER MakeBitmapInfoHeader24(int width, int height) {
    BITMAPINFOHEADER h{};
    const std::optional<int64_t> imageBytes = FrameBytes24(width, height);
    if (!imageBytes) return h;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(*imageBytes);
    return h;
}

void EnableShutdownPrivilege() {}

void ShutdownSystem(int how) {
    EnableShutdownPrivilege();
    ISystemCommands& sys = GetSystemCommands();
    if (how == -1) return sys.RunPowerAction(PowerAction::Hibernate);
    if (how == -2) return sys.RunPowerAction(PowerAction::Suspend);
    if (how < 0) return;
    const int kind = how & ~(EWX_FORCE | EWX_FORCEIFHUNG);
    switch (kind) {
        case EWX_LOGOFF:
            return sys.RunPowerAction(PowerAction::LogOff);
        case EWX_SHUTDOWN:
            return sys.RunPowerAction(PowerAction::ShutDown);
        case EWX_REBOOT:
            return sys.RunPowerAction(PowerAction::Reboot);
        case EWX_POWEROFF:
        case EWX_POWEROFF | EWX_SHUTDOWN:
            return sys.RunPowerAction(PowerAction::PowerOff);
        default:
            return;
    }
}

LOGFONTW GetDefaultGuiLogFont() {
    if (IUiHooks* ui = GetUiHooks()) return ui->GetDefaultGuiLogFont();
    return LOGFONTW{};
}

SIZE GetTextExtentGuiFont(CWnd* wnd, const std::wstring& text) {
    if (IUiHooks* ui = GetUiHooks()) return ui->GetTextExtentGuiFont(wnd, text);
    return SIZE{0, 0};
}

int EnableDialogTabTexture(HWND hwnd) {
    IUiHooks* ui = GetUiHooks();
    if (ui && IsWinXPOrLater()) ui->EnableDialogTabTexture(hwnd);
    return 0;
}

int PumpPendingMessages() {
    IUiHooks* ui = GetUiHooks();
    if (!ui) return 0;
    while (ui->HasPendingMessage()) {
        if (!ui->PumpMessage()) {
            ui->PostQuitMessage(0);
            return 1;
        }
    }
    for (long count = 0; ui->OnIdle(count); ++count) {
    }
    return 0;
}

BOOL ShellOpenAsync(const wchar_t* target, std::function<void()> onFailure) {
    if (!target) return FALSE;
    std::string text;
    if (!WideToUtf8(target, text)) return FALSE;
    try {
        std::thread worker([text = std::move(text), onFailure = std::move(onFailure)] {
            NameThisThread("tv-shellopen");
            // Below normal priority, as the worker does nothing urgent.
            setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 1);
            if (!GetSystemCommands().ShellOpen(text) && onFailure) onFailure();
        });
        worker.detach();
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

std::wstring FormatFileVersion(int major, int minor, int build) {
    wchar_t buf[64];
    std::swprintf(buf, 64, L"%d.%d%d", major, minor, build);
    return buf;
}

std::wstring GetFileVersionString(const wchar_t* modulePath) {
    if (!modulePath || GetModuleFilePath() != modulePath) return {};
    int major = 0, minor = 0, build = 0;
    if (std::sscanf(TALVERN_VERSION_STRING, "%d.%d.%d", &major, &minor, &build) < 2) return {};
    return FormatFileVersion(major, minor, build);
}
