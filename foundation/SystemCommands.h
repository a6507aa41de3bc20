#pragma once
// Actions that reach outside the program: power actions and opening a document or
// web address with the desktop's handler. The real implementation runs systemctl,
// loginctl and xdg-open; tests install their own so nothing leaves the test.
#include <string>

enum class PowerAction { Hibernate, Suspend, LogOff, ShutDown, Reboot, PowerOff };

class ISystemCommands {
public:
    virtual ~ISystemCommands() = default;
    virtual void RunPowerAction(PowerAction action) = 0;
    // Opens target (UTF-8 path or address) and returns when the handler has been started;
    // false when there is no handler or it reported a failure.
    virtual bool ShellOpen(const std::string& target) = 0;
};

// Replaces the implementation (null restores the real one); returns the previous one.
ISystemCommands* SetSystemCommands(ISystemCommands* commands);
ISystemCommands& GetSystemCommands();
