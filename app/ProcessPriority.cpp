#include "app/ProcessPriority.h"

#include <dirent.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

// A process has far fewer threads than this; the bound only keeps a strange /proc
// from making the walk endless.
constexpr size_t kMaxThreads = 65536;
// Threads started while the walk runs take the value of the thread that started them,
// which may be an old one; a few passes catch them.
constexpr int kPasses = 3;

std::vector<id_t> ThreadIds() {
    std::vector<id_t> ids;
    DIR* dir = ::opendir("/proc/self/task");
    if (!dir) return ids;
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const unsigned long tid = std::strtoul(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || tid == 0) continue;
        ids.push_back(static_cast<id_t>(tid));
        if (ids.size() >= kMaxThreads) break;
    }
    ::closedir(dir);
    return ids;
}

// The thread's nice value, or false when it has ended.
bool ReadNice(id_t tid, int& nice) {
    errno = 0;
    nice = ::getpriority(PRIO_PROCESS, tid);
    return errno == 0;
}

}  // namespace

int CProcessPriority::GetNice() {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    return errno == 0 ? nice : 0;
}

bool CProcessPriority::SetNice(int nice) {
    std::vector<std::pair<id_t, int>> changed;  // thread, value before
    for (int pass = 0; pass < kPasses; ++pass) {
        std::vector<std::pair<id_t, int>> todo;
        for (const id_t tid : ThreadIds()) {
            int old = 0;
            if (ReadNice(tid, old) && old != nice) todo.emplace_back(tid, old);
        }
        if (todo.empty()) return true;
        // Raising may be refused, lowering never is: the raises go first, so that a
        // refusal finds only raised threads to put back, which is a lowering again.
        std::stable_partition(todo.begin(), todo.end(),
                              [nice](const auto& t) { return t.second > nice; });
        for (const auto& [tid, old] : todo) {
            if (::setpriority(PRIO_PROCESS, tid, nice) == 0) {
                changed.emplace_back(tid, old);
            } else if (errno != ESRCH) {  // ESRCH: the thread ended meanwhile
                for (auto it = changed.rbegin(); it != changed.rend(); ++it)
                    ::setpriority(PRIO_PROCESS, it->first, it->second);
                return false;
            }
        }
    }
    return true;
}
