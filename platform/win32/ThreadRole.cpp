#include "platform/win32/ThreadRole.h"

#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {
// Static initialisation runs on the process's first thread, before main.
const std::thread::id g_uiThread = std::this_thread::get_id();
}  // namespace

void NameThisThread(const char* name) {
    char shortName[16] = {};
    std::strncpy(shortName, name, sizeof shortName - 1);
    pthread_setname_np(pthread_self(), shortName);
}

bool IsUiThread() { return std::this_thread::get_id() == g_uiThread; }

void FailOffUiThread(const char* function) {
    std::fprintf(stderr, "%s runs on the UI thread only\n", function);
    std::abort();
}
