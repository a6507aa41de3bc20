// One libFuzzer target per entry; the build names the entry in TALVERN_FUZZ_ENTRY.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/FuzzEntries.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    talvern::fuzz::PrepareEntries();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const talvern::fuzz::Entry* const entry = talvern::fuzz::FindEntry(TALVERN_FUZZ_ENTRY);
    // A broken property is a finding like a crash: the input is kept as one.
    if (const int broken = entry->run(data, size)) {
        std::fprintf(stderr, "%s: property %d does not hold for this input\n", entry->name, broken);
        std::abort();
    }
    return 0;
}
