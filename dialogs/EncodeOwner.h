#pragma once
// What the batch and luminance dialogs ask of the window that owns them: run one
// project file, stop the run in progress, follow a changed luminance filter.
#include <string>

class IEncodeOwner {
public:
    virtual ~IEncodeOwner() = default;
    // Processes one project file and returns when it is done. It may pump messages,
    // so that a Stop pressed meanwhile reaches StopRun.
    virtual void RunFile(const std::wstring& path) = 0;
    virtual void StopRun() = 0;
    // Called once for every change of either value while the user adjusts them.
    virtual void OnLuminanceChanged(int gamma, int offset) = 0;
};
