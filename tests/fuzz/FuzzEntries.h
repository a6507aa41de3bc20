#pragma once
// The ways hostile bytes enter the media core, each as one function over one input:
// the libFuzzer targets call them, and the regression suite feeds them the inputs that
// once found faults. An entry returns 0, or a nonzero number when the input breaks a
// property the entry checks (crashes, leaks and undefined behaviour are the
// sanitizers' to report).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace talvern::fuzz {

using EntryFunction = int (*)(const uint8_t* data, size_t size);

struct Entry {
    const char* name;  // also the folder of its seeds and regression inputs
    EntryFunction run;
};

// Every entry, in a fixed order.
const std::vector<Entry>& Entries();
// The entry of that name, or null.
const Entry* FindEntry(const std::string& name);

// Once per process before the first input: a private folder for the files the entries
// write (below $TALVERN_TEST_TMP or the system temp folder), the settings folder
// pointed there, and the libraries' own messages silenced.
void PrepareEntries();

}  // namespace talvern::fuzz
