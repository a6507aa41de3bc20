#pragma once
// The message pump and the audio format chooser of the view's long loops (runs and
// extractions), scripted by the tests.
#include <QCoreApplication>
#include <functional>

#include "foundation/UiHooks.h"
#include "platform/acm/Acm.h"
#include "platform/ui/UiServices.h"

namespace talvern::test {

// The message queue as the run's pump sees it: one message per drain, which runs the
// test's step for that moment and then Qt's events; a quit when the test says so.
class ScriptedPump : public IUiHooks {
public:
    std::function<void()> step;
    bool quit = false;
    int quitsPosted = 0;

    bool SetClipboardDib(HGLOBAL dib) override {
        GetUiServices().clipboard->SetDib(static_cast<const uint8_t*>(GlobalLock(dib)), GlobalSize(dib));
        GlobalFree(dib);
        return true;
    }
    bool HasPendingMessage() override { return m_pending = !m_pending; }
    bool PumpMessage() override {
        if (step) step();
        QCoreApplication::processEvents();
        return !quit;
    }
    void PostQuitMessage(int) override { ++quitsPosted; }
    bool OpenClipboard() override { return true; }
    bool EmptyClipboard() override { return true; }
    void CloseClipboard() override {}
    bool OnIdle(long) override { return false; }
    LOGFONTW GetDefaultGuiLogFont() override { return {}; }
    SIZE GetTextExtentGuiFont(CWnd*, const std::wstring&) override { return {}; }
    void EnableDialogTabTexture(HWND) override {}

private:
    bool m_pending = false;
};

// Passes the first format offered (the source PCM), or cancels.
struct ScriptedChooser : AcmFormatChooser {
    bool cancel = false;
    MMRESULT Choose(ACMFORMATCHOOSEW&) override { return cancel ? ACMERR_CANCELED : MMSYSERR_NOERROR; }
};

}  // namespace talvern::test
