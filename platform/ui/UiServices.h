#pragma once
// Everything that would block or reach outside the process (message boxes, file and
// folder dialogs, the clipboard, moving a window, the tray, screen snapshots) goes
// through these interfaces; opening a document goes through the foundation's system
// commands. The real implementations use Qt; tests install ScriptedUi, which answers
// from a script and records what was asked.
#include <QIcon>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/Win32Types.h"

class CWnd;
class QWidget;

// Message box types and icons (Win32 values).
constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_OKCANCEL = 0x0001;
constexpr UINT MB_YESNOCANCEL = 0x0003;
constexpr UINT MB_YESNO = 0x0004;
constexpr UINT MB_ICONSTOP = 0x0010;
constexpr UINT MB_ICONERROR = MB_ICONSTOP;
constexpr UINT MB_ICONQUESTION = 0x0020;
constexpr UINT MB_ICONEXCLAMATION = 0x0030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONINFORMATION = 0x0040;

// Open/save dialog flags the system passes (Win32 values).
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;

struct FileDialogRequest {
    bool save = false;
    std::wstring title;
    std::wstring filter;      // "text|pattern|text|pattern|", patterns separated by ';'
    std::wstring defaultExt;  // without dot; see ApplyDefaultExtension
    std::wstring path;        // initial name in, chosen full path out
    int filterIndex = 1;      // 1-based, in and out
    DWORD flags = 0;
    // Every chosen file, in the dialog's order (path holds the first); an open dialog
    // with OFN_ALLOWMULTISELECT lets the user choose several.
    std::vector<std::wstring> paths;
};

class IMessageBoxService {
public:
    virtual ~IMessageBoxService() = default;
    // Returns IDOK, IDCANCEL, IDYES or IDNO.
    virtual int Show(QWidget* owner, const std::wstring& text, const std::wstring& caption, UINT type) = 0;
};

class IFileDialogService {
public:
    virtual ~IFileDialogService() = default;
    // true on OK, with request.path and request.filterIndex updated.
    virtual bool RunFileDialog(QWidget* owner, FileDialogRequest& request) = 0;
    // The chosen folder, or nothing when cancelled.
    virtual std::optional<std::wstring> BrowseForFolder(QWidget* owner, const std::wstring& title,
                                                        const std::wstring& initial) = 0;
};

class IClipboardService {
public:
    virtual ~IClipboardService() = default;
    // A packed DIB (BITMAPINFOHEADER, palette, pixels), offered as an image.
    virtual bool SetDib(const uint8_t* packed, size_t bytes) = 0;
};

class IWindowMoverService {
public:
    virtual ~IWindowMoverService() = default;
    // Starts moving window with the mouse held at globalPos; the window system moves it
    // when it can, otherwise the window follows the mouse until the button is released.
    virtual bool BeginMove(QWidget* window, const QPoint& globalPos) = 0;
};

class ITrayService {
public:
    virtual ~ITrayService() = default;
    // Shows owner's tray icon, or refreshes its tip and icon when it is there already;
    // false when there is no tray.
    virtual bool Add(QWidget* owner, const std::wstring& tip, const QIcon& icon) = 0;
    virtual void ShowBalloon(QWidget* owner, const std::wstring& title, const std::wstring& text) = 0;
    virtual bool Remove(QWidget* owner) = 0;
    // onClick runs when the user clicks owner's icon, until the icon is removed.
    virtual void SetClickHandler(QWidget* owner, std::function<void()> onClick) = 0;
};

// A picture of one screen: image in device pixels (its device pixel ratio set), and
// where that screen lies on the desktop in logical pixels.
struct ScreenSnapshot {
    QImage image;
    QRect geometry;
    qreal devicePixelRatio = 1.0;
};

class IScreenService {
public:
    virtual ~IScreenService() = default;
    // A snapshot of the primary screen, in screen pixels.
    virtual QImage Grab() = 0;
    // A snapshot of the screen window is on (the primary one for null); a null image
    // where the platform cannot take one.
    virtual ScreenSnapshot GrabScreenOf(const QWidget* window) = 0;
};

struct UiServices {
    IMessageBoxService* messageBox;
    IFileDialogService* fileDialog;
    IClipboardService* clipboard;
    IWindowMoverService* mover;
    ITrayService* tray;
    IScreenService* screen;
};

// The Qt-backed services (process-wide singletons).
UiServices RealUiServices();
const UiServices& GetUiServices();
// Installs services; returns the previous set.
UiServices SetUiServices(const UiServices& services);

int ShowMessageBox(QWidget* owner, const std::wstring& text, const std::wstring& caption, UINT type);

// The filter string split into (text, patterns) pairs; malformed tails are dropped.
struct FileFilter {
    std::wstring text;
    std::vector<std::wstring> patterns;  // e.g. "*.jpg", trimmed
};
std::vector<FileFilter> ParseFileFilter(const std::wstring& filter);
// Glob match of a file name (no folder) against one pattern, ignoring case.
bool MatchFilePattern(const std::wstring& name, const std::wstring& pattern);
// Qt's name filter for one entry, each pattern spelt case-insensitively ("*.[jJ][pP][gG]").
std::wstring QtNameFilter(const FileFilter& f);
// The name a save dialog hands back for a typed path: a file name without an extension
// gets the extension of the chosen filter's first pattern that names one ("*.AVI" gives
// ".avi"), else defaultExt; anything else comes back as it is.
std::wstring ApplyDefaultExtension(const std::wstring& path, const FileFilter* chosen,
                                   const std::wstring& defaultExt);

// Answers from a script and records every request; for tests.
class ScriptedUi : public IMessageBoxService, public IFileDialogService, public IClipboardService,
                   public IWindowMoverService, public ITrayService, public IScreenService {
public:
    struct MessageBoxCall {
        std::wstring text, caption;
        UINT type;
    };

    UiServices Services();

    int Show(QWidget*, const std::wstring& text, const std::wstring& caption, UINT type) override;
    bool RunFileDialog(QWidget*, FileDialogRequest& request) override;
    std::optional<std::wstring> BrowseForFolder(QWidget*, const std::wstring& title,
                                                const std::wstring& initial) override;
    bool SetDib(const uint8_t* packed, size_t bytes) override;
    bool BeginMove(QWidget* window, const QPoint& globalPos) override;
    bool Add(QWidget*, const std::wstring& tip, const QIcon&) override;
    void ShowBalloon(QWidget*, const std::wstring& title, const std::wstring& text) override;
    bool Remove(QWidget*) override;
    void SetClickHandler(QWidget* owner, std::function<void()> onClick) override;
    // A click on owner's icon; false when it has no icon or no handler.
    bool ClickTray(QWidget* owner);
    QImage Grab() override { return screenImage; }
    ScreenSnapshot GrabScreenOf(const QWidget*) override;

    // Script: answers are taken in order; when none is left the default applies
    // (IDOK / cancel / cancel).
    std::deque<int> messageBoxAnswers;
    std::deque<std::optional<FileDialogRequest>> fileAnswers;  // nullopt = cancel
    std::deque<std::optional<std::wstring>> folderAnswers;     // nullopt = cancel
    bool trayAvailable = true;
    QImage screenImage;  // also the one screen GrabScreenOf sees, at the desktop's origin

    // Record.
    std::vector<MessageBoxCall> messageBoxes;
    std::vector<FileDialogRequest> fileRequests;
    std::vector<std::pair<std::wstring, std::wstring>> folderRequests;  // title, initial
    std::vector<std::vector<uint8_t>> clipboard;
    std::vector<std::pair<QWidget*, QPoint>> moves;
    std::vector<std::wstring> trayAdds;  // tips
    std::vector<std::pair<std::wstring, std::wstring>> balloons;
    int trayRemoves = 0;
    std::map<QWidget*, std::function<void()>> trayClicks;
    std::set<QWidget*> trayIcons;
};

// Installs a ScriptedUi for its lifetime.
class ScopedScriptedUi {
public:
    ScopedScriptedUi() : m_previous(SetUiServices(ui.Services())) {}
    ~ScopedScriptedUi() { SetUiServices(m_previous); }
    ScriptedUi ui;

private:
    UiServices m_previous;
};
