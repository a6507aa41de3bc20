// Every string the program's code loads by number exists, in both languages where it
// is a pair, and the pair follows the rule: Japanese at an odd id N, English at N + 1.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
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

// The numbers in "name(  N , M )" at pos (just after the name); false unless the call
// has exactly count numeric arguments.
bool ReadNumbers(const std::string& s, size_t pos, size_t count, UINT out[2]) {
    auto skipBlanks = [&] {
        while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
    };
    skipBlanks();
    if (pos >= s.size() || s[pos++] != '(') return false;
    for (size_t i = 0; i < count; ++i) {
        skipBlanks();
        const size_t digits = pos;
        while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) ++pos;
        if (pos == digits || pos - digits > 9) return false;
        out[i] = static_cast<UINT>(std::stoul(s.substr(digits, pos - digits)));
        skipBlanks();
        if (pos >= s.size() || s[pos++] != (i + 1 < count ? ',' : ')')) return false;
    }
    return true;
}

std::vector<Use> ScanSources() {
    const struct {
        const char* name;
        size_t count;
    } calls[] = {{"LoadLangString", 2}, {"LoadLangStringPair", 2}, {"LoadStringTableEntry", 1}};
    std::vector<Use> uses;
    for (const char* folder :
         {"app", "dialogs", "foundation", "platform", "toolkit", "resources"}) {
        const fs::path root = fs::path(TALVERN_SOURCE_DIR) / folder;
        if (!fs::exists(root)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".cpp" && ext != ".h") continue;
            std::ifstream in(entry.path());
            std::stringstream text;
            text << in.rdbuf();
            const std::string s = text.str();
            const std::string file = entry.path().lexically_relative(TALVERN_SOURCE_DIR).string();
            for (const auto& call : calls) {
                const std::string name = call.name;
                for (size_t at = s.find(name); at != std::string::npos; at = s.find(name, at + 1)) {
                    UINT ids[2] = {0, 0};
                    if (ReadNumbers(s, at + name.size(), call.count, ids))
                        uses.push_back({file, ids[0], ids[1]});
                }
            }
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
        SCOPED_TRACE(use.file + ": " + std::to_string(use.first) + "/" +
                     std::to_string(use.second));
        EXPECT_TRUE(Present(use.first));
        if (use.second == 0) continue;
        EXPECT_TRUE(Present(use.second));
        EXPECT_EQ(use.first % 2, 1u);
        EXPECT_EQ(use.second, use.first + 1);
    }
    EXPECT_TRUE(Present(AFX_IDS_APP_TITLE));  // loaded through its name
}
