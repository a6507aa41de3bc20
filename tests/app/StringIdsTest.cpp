// Every string the program's code loads by number exists, in both languages where it
// is a pair, and the pair follows the rule: Japanese at an odd id N, English at N + 1.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "foundation/LangString.h"
#include "platform/ui/FrameWnd.h"

namespace fs = std::filesystem;

namespace {

struct Use {
    std::string file;
    UINT first;
    UINT second;  // 0 for a single entry
};

std::vector<Use> ScanSources() {
    static const std::regex pair(R"(LoadLangString(?:Pair)?\s*\(\s*(\d+)\s*,\s*(\d+)\s*\))");
    static const std::regex single(R"(LoadStringTableEntry\s*\(\s*(\d+)\s*\))");
    std::vector<Use> uses;
    for (const char* folder : {"app", "dialogs", "foundation", "platform", "toolkit", "resources"}) {
        const fs::path root = fs::path(TALVERN_SOURCE_DIR) / folder;
        if (!fs::exists(root)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".cpp" && ext != ".h") continue;
            std::ifstream in(entry.path());
            std::stringstream text;
            text << in.rdbuf();
            const std::string s = text.str();
            const std::string name = entry.path().lexically_relative(TALVERN_SOURCE_DIR).string();
            for (std::sregex_iterator m(s.begin(), s.end(), pair), end; m != end; ++m)
                uses.push_back({name, static_cast<UINT>(std::stoul((*m)[1])), static_cast<UINT>(std::stoul((*m)[2]))});
            for (std::sregex_iterator m(s.begin(), s.end(), single), end; m != end; ++m)
                uses.push_back({name, static_cast<UINT>(std::stoul((*m)[1])), 0});
        }
    }
    return uses;
}

bool Present(UINT id) {
    const std::wstring text = LoadStringTableEntry(id);
    return !text.empty() && text != L" ";
}

}  // namespace

TEST(StringTable, EveryIdTheCodeLoadsExistsInBothLanguages) {
    const std::vector<Use> uses = ScanSources();
    EXPECT_GT(uses.size(), 3u);  // the scan found the program's own calls
    for (const Use& use : uses) {
        SCOPED_TRACE(use.file + ": " + std::to_string(use.first) + "/" + std::to_string(use.second));
        EXPECT_TRUE(Present(use.first));
        if (use.second == 0) continue;
        EXPECT_TRUE(Present(use.second));
        EXPECT_EQ(use.first % 2, 1u);
        EXPECT_EQ(use.second, use.first + 1);
    }
    EXPECT_TRUE(Present(AFX_IDS_APP_TITLE));  // loaded through its name
}
