#include "platform/win32/KernelChoice.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#define TALVERN_CPUID 1
#endif

namespace {

struct CpuKind {
    char vendor[13] = {};
    unsigned family = 0;
    unsigned model = 0;
};

CpuKind ReadCpuKind() {
    CpuKind kind;
#ifdef TALVERN_CPUID
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(0, &a, &b, &c, &d)) return kind;
    std::memcpy(kind.vendor, &b, 4);
    std::memcpy(kind.vendor + 4, &d, 4);
    std::memcpy(kind.vendor + 8, &c, 4);
    if (!__get_cpuid(1, &a, &b, &c, &d)) return kind;
    const unsigned base = (a >> 8) & 0xF, extFamily = (a >> 20) & 0xFF;
    const unsigned baseModel = (a >> 4) & 0xF, extModel = (a >> 16) & 0xF;
    kind.family = base == 0xF ? base + extFamily : base;
    kind.model = base == 0xF || base == 0x6 ? (extModel << 4) | baseModel : baseModel;
#endif
    return kind;
}

}  // namespace

bool SplitsWideVectors() {
    static const bool splits = [] {
        const CpuKind k = ReadCpuKind();
        if (std::strcmp(k.vendor, "AuthenticAMD") == 0)
            // 15h and 16h (Bulldozer to Excavator, Jaguar); 17h below model 30h (Zen, Zen+).
            return k.family == 0x15 || k.family == 0x16 || (k.family == 0x17 && k.model < 0x30);
        if (std::strcmp(k.vendor, "HygonGenuine") == 0) return k.family == 0x18;
        return false;
    }();
    return splits;
}

int FastestKernel(int count, const std::function<void(int)>& run, int rounds) {
    using Clock = std::chrono::steady_clock;
    std::vector<Clock::duration> best(static_cast<size_t>(count), Clock::duration::max());
    for (int i = 0; i < count; ++i) run(i);  // code, tables and data brought in once
    // Turns, so that a busy moment of the machine spoils one try of each, not one kernel;
    // the best try of each is the one least disturbed.
    for (int r = 0; r < rounds; ++r)
        for (int i = 0; i < count; ++i) {
            const Clock::time_point start = Clock::now();
            run(i);
            const Clock::duration took = Clock::now() - start;
            if (took < best[static_cast<size_t>(i)]) best[static_cast<size_t>(i)] = took;
        }
    int fastest = 0;
    for (int i = 1; i < count; ++i)
        if (best[static_cast<size_t>(i)] < best[static_cast<size_t>(fastest)]) fastest = i;
    return fastest;
}

void ChooseJpegLibraryKernels() {
    // A choice the user made for the library stays.
    if (SplitsWideVectors() && !std::getenv("JSIMD_FORCEAVX2") && !std::getenv("JSIMD_FORCENONE"))
        setenv("JSIMD_FORCESSE2", "1", 0);
}
