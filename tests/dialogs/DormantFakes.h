#pragma once
// A recording owner for the batch and luminance dialogs, recorded power actions,
// and a stand-in main window.
#include <QWidget>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/EncodeOwner.h"
#include "foundation/SystemCommands.h"
#include "platform/ui/Wnd.h"

namespace talvern::test {

class FakeOwner : public IEncodeOwner {
public:
    void RunFile(const std::wstring& path) override {
        runs.push_back(path);
        if (onRun) onRun(path);
    }
    void StopRun() override { ++stops; }
    void OnLuminanceChanged(int gamma, int offset) override { luminance.emplace_back(gamma, offset); }

    std::vector<std::wstring> runs;
    int stops = 0;
    std::vector<std::pair<int, int>> luminance;
    std::function<void(const std::wstring&)> onRun;
};

class RecordedPower : public ISystemCommands {
public:
    RecordedPower() : m_previous(SetSystemCommands(this)) {}
    ~RecordedPower() override { SetSystemCommands(m_previous); }
    void RunPowerAction(PowerAction action) override { actions.push_back(action); }
    bool ShellOpen(const std::string&) override { return true; }
    std::vector<PowerAction> actions;

private:
    ISystemCommands* m_previous;
};

struct MainWindow : QWidget, CWnd {
    QWidget* GetWidget() override { return this; }
};

}  // namespace talvern::test
