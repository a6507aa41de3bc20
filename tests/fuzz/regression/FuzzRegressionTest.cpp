// The inputs kept from fuzzing, inputs/<entry>/<case>, each fed to its entry the way
// the fuzz target feeds it: nothing may crash, leak or break the entry's properties.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tests/fuzz/FuzzEntries.h"
#include "tests/support/TestSupport.h"

namespace talvern::fuzz {
namespace {

namespace fs = std::filesystem;

struct StoredCase {
    std::string entry;
    fs::path file;
};

void PrintTo(const StoredCase& c, std::ostream* os) { *os << c.file.string(); }

std::vector<StoredCase> StoredCases() {
    std::vector<StoredCase> cases;
    std::error_code ec;
    for (const auto& folder : fs::directory_iterator(TALVERN_FUZZ_INPUTS, ec)) {
        if (!folder.is_directory()) continue;
        for (const auto& file : fs::directory_iterator(folder.path()))
            if (file.is_regular_file()) cases.push_back({folder.path().filename().string(), file.path()});
    }
    std::sort(cases.begin(), cases.end(), [](const auto& a, const auto& b) { return a.file < b.file; });
    return cases;
}

std::string CaseName(const testing::TestParamInfo<StoredCase>& info) {
    std::string name = info.param.entry + "_" + info.param.file.stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

class StoredInput : public testing::TestWithParam<StoredCase> {};

TEST_P(StoredInput, RunsCleanThroughItsEntry) {
    PrepareEntries();
    const Entry* entry = FindEntry(GetParam().entry);
    ASSERT_NE(entry, nullptr) << "no entry named " << GetParam().entry;
    const std::string bytes = talvern::test::ReadFileBytes(GetParam().file);
    EXPECT_EQ(entry->run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
}

INSTANTIATE_TEST_SUITE_P(Kept, StoredInput, testing::ValuesIn(StoredCases()), CaseName);

}  // namespace
}  // namespace talvern::fuzz
