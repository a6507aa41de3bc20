#include "platform/win32/Cores.h"

#include <sched.h>

#include <thread>

int AllowedCores() {
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) return CPU_COUNT(&allowed);
    return static_cast<int>(std::thread::hardware_concurrency());
}
