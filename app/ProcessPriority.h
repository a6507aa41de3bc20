#pragma once
// The priority of the whole process as a nice value. Linux keeps one per thread, so a
// change is made to every thread the process has; a refusal (an ordinary user may
// lower the priority but not raise it) leaves every thread as it was.
class IProcessPriority {
public:
    virtual ~IProcessPriority() = default;
    // The nice value of the calling thread.
    virtual int GetNice() = 0;
    // false when the system refuses; nothing has changed then.
    virtual bool SetNice(int nice) = 0;
};

class CProcessPriority : public IProcessPriority {
public:
    int GetNice() override;
    bool SetNice(int nice) override;
};

// The nice values of the three priority commands.
constexpr int kNiceHigh = -10;
constexpr int kNiceNormal = 0;
constexpr int kNiceLow = 19;
