#include "platform/mci/MciVideoSurface.h"

#include <map>
#include <mutex>

namespace {

struct SurfaceTable {
    std::mutex lock;
    std::map<HWND, IMciVideoSurface*> surfaces;
};

SurfaceTable& Table() {
    static SurfaceTable table;
    return table;
}

}  // namespace

void MciRegisterVideoSurface(HWND window, IMciVideoSurface* surface) {
    SurfaceTable& t = Table();
    std::lock_guard<std::mutex> lock(t.lock);
    if (surface)
        t.surfaces[window] = surface;
    else
        t.surfaces.erase(window);
}

void MciUnregisterVideoSurface(HWND window) { MciRegisterVideoSurface(window, nullptr); }

IMciVideoSurface* MciFindVideoSurface(HWND window) {
    SurfaceTable& t = Table();
    std::lock_guard<std::mutex> lock(t.lock);
    const auto it = t.surfaces.find(window);
    return it == t.surfaces.end() ? nullptr : it->second;
}
