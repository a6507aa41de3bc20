#pragma once
// The modal steps a run or an extraction asks of the user, and a run's closing beep:
// the real dialogs and the system beep unless a test puts scripted answers in their
// place.
#include <cstdint>
#include <functional>

#include "dialogs/Launchers.h"
#include "writers/MMio.h"

// The system beep.
void SystemBeep();

struct ViewRunHooks {
    std::function<int(const BITMAPINFOHEADER*, CEncAVISetting*, CWnd*)> aviSettings = DoAviSettingDialog;
    std::function<int(int*, CWnd*)> audioChoice = DoAudioStreamDialog;
    std::function<int(CInfo*, CWnd*)> wmvSettings = DoWmvSettingDialog;
    std::function<void()> beep = SystemBeep;
    // The size an extracted WAV file may reach; a test sets a small one.
    int64_t wavFileLimit = CMMio::kMaxFileBytes;
};
