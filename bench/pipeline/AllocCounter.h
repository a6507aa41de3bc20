#pragma once
#include <cstdint>

struct AllocCounts {
    uint64_t mallocs = 0;  // every C allocation of the process, libraries included
    uint64_t news = 0;     // C++ allocations alone
};

AllocCounts CurrentAllocCounts();
