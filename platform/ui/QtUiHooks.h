#pragma once
// The window-system services the foundation's system functions call (clipboard, message
// pump, GUI font), implemented over Qt and registered with the foundation.
#include <QObject>

#include "foundation/UiHooks.h"

class CQtUiHooks : public QObject, public IUiHooks {
public:
    CQtUiHooks();
    ~CQtUiHooks() override;

    bool OpenClipboard() override;
    bool EmptyClipboard() override;
    bool SetClipboardDib(HGLOBAL dib) override;
    void CloseClipboard() override {}

    // Qt cannot peek its queue: each pump round reports work once and then drains
    // everything that is waiting in one go.
    bool HasPendingMessage() override;
    bool PumpMessage() override;
    void PostQuitMessage(int exitCode) override;
    bool OnIdle(long) override { return false; }

    LOGFONTW GetDefaultGuiLogFont() override;
    SIZE GetTextExtentGuiFont(CWnd* wnd, const std::wstring& text) override;
    void EnableDialogTabTexture(HWND) override {}

    bool QuitRequested() const { return m_bQuit; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_bPumped = false;
    bool m_bQuit = false;
};

// Registers one process-wide instance with the foundation (needs the QApplication).
void InstallQtUiHooks();

// Before the QApplication exists: on Wayland, ask Qt for its X11 platform,
// which window placement, screen snapshots and shaped windows need. An explicit
// QT_QPA_PLATFORM is left alone.
void PreferX11Platform();
