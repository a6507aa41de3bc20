#include "foundation/LangString.h"

#include <cstdlib>
#include <string_view>

namespace {

struct StringEntry {
    UINT id;
    const wchar_t* text;
};

constexpr StringEntry kStringTable[] = {
#define TALVERN_STRING(id, text) {id, text},
#include "resources/StringTable.inc"
#undef TALVERN_STRING
};

struct CatalogueRow {
    int code;
    UINT jpId;
};

constexpr CatalogueRow kCatalogue[] = {
#define TALVERN_ERROR(code, jpId) {code, jpId},
#include "resources/ErrorCatalogue.inc"
#undef TALVERN_ERROR
};

constexpr UINT kOtherErrors = 43271;

// Ids between the message blocks hold a single blank rather than nothing, so a
// caller that strays into them gets a harmless text.
bool IsBlankId(UINT id) {
    return (id >= 43073 && id <= 43100) || (id >= 43273 && id <= 43290) ||
           (id >= 43335 && id <= 43400);
}

// The table is short and fetched at human speed: a linear search keeps the data
// file free of any ordering rule.
const wchar_t* FindString(UINT id) {
    for (const StringEntry& e : kStringTable)
        if (e.id == id) return e.text;
    return nullptr;
}

bool NamesJapanese(std::string_view locale) {
    if (!locale.starts_with("ja")) return false;
    return locale.size() == 2 || locale[2] == '_' || locale[2] == '.' || locale[2] == '@';
}

std::wstring Pair(UINT jpId) {
    return LoadLangString(jpId, jpId + 1);
}

}  // namespace

BOOL IsJapaneseSystem() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return NamesJapanese(value) ? TRUE : FALSE;
    }
    return FALSE;
}

std::wstring SelectByLanguage(const std::wstring& jp, const std::wstring& en) {
    return IsJapaneseSystem() ? jp : en;
}

std::wstring LoadStringTableEntry(UINT id) {
    if (const wchar_t* text = FindString(id)) return text;
    return IsBlankId(id) ? L" " : L"";
}

std::wstring LoadLangString(UINT jpId, UINT enId) {
    return SelectByLanguage(LoadStringTableEntry(jpId), LoadStringTableEntry(enId));
}

std::wstring LoadLangStringPair(UINT jpId, UINT enId) {
    return LoadLangString(jpId, enId);
}

UINT ErrorCatalogueId(int code) {
    for (const CatalogueRow& row : kCatalogue)
        if (row.code == code) return row.jpId;
    return 0;
}

std::wstring ErrorMessageForCode(int code) {
    if (code == 0 || code == -2) return {};
    const UINT id = ErrorCatalogueId(code);
    return Pair(id ? id : kOtherErrors);
}

std::wstring GetMsgPause() {
    return Pair(43041);
}
std::wstring GetMsgStop() {
    return Pair(43043);
}
std::wstring GetMsgMake() {
    return Pair(43045);
}
std::wstring GetMsgOnePass() {
    return Pair(43047);
}
std::wstring GetMsgPlay() {
    return Pair(43049);
}
std::wstring GetMsgStopQuery() {
    return Pair(43053);
}
std::wstring GetMsgImageNotAcquired() {
    return Pair(43059);
}
std::wstring GetMsgSlash() {
    return Pair(43065);
}
std::wstring GetMsgRangeSelected() {
    return Pair(43067);
}
std::wstring GetMsgDefault() {
    return Pair(43069);
}
std::wstring GetMsgCustomize() {
    return Pair(43071);
}

std::wstring FormatSavedToMsg(const std::wstring& path) {
    // The stored text carries one %s; the path replaces it as plain text, so a '%'
    // in a file name is never read as a format.
    std::wstring text = Pair(43051);
    const size_t at = text.find(L"%s");
    if (at == std::wstring::npos) return text + path;
    return text.replace(at, 2, path);
}
