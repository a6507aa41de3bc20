#include "foundation/SystemCommands.h"

#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace {

// Runs a program found on PATH with the given arguments (no shell) and waits for it;
// true when it ran and exited with status 0.
bool RunProgram(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    pid_t waited = 0;
    while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    return waited == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class RealSystemCommands : public ISystemCommands {
public:
    void RunPowerAction(PowerAction action) override {
        switch (action) {
            case PowerAction::Hibernate:
                RunProgram({"systemctl", "hibernate"});
                break;
            case PowerAction::Suspend:
                RunProgram({"systemctl", "suspend"});
                break;
            case PowerAction::ShutDown:
            case PowerAction::PowerOff:
                RunProgram({"systemctl", "poweroff"});
                break;
            case PowerAction::Reboot:
                RunProgram({"systemctl", "reboot"});
                break;
            case PowerAction::LogOff:
                LogOff();
                break;
        }
    }

    bool ShellOpen(const std::string& target) override {
        // xdg-open knows no "--": a relative name that starts with '-' would read as an option.
        return RunProgram({"xdg-open", target.starts_with('-') ? "./" + target : target});
    }

private:
    static void LogOff() {
        const char* loginId = std::getenv("XDG_SESSION_ID");
        if (loginId && *loginId) RunProgram({"loginctl", "terminate-session", loginId});
    }
};

RealSystemCommands g_real;
std::atomic<ISystemCommands*> g_current{nullptr};

}  // namespace

ISystemCommands* SetSystemCommands(ISystemCommands* commands) {
    ISystemCommands* old = g_current.exchange(commands);
    return old ? old : &g_real;
}

ISystemCommands& GetSystemCommands() {
    ISystemCommands* c = g_current.load();
    return c ? *c : g_real;
}
