#pragma once
// The registry store: keys holding typed values (DWORD, string, binary), kept in one
// UTF-8 text file in the settings folder. Keys and value names compare without
// regard to ASCII case; the spelling first written is the one kept. Every change
// rereads the file under a write lock, applies itself and replaces the file
// atomically, so other values and other processes' changes survive.
//
// File layout, one key per section:
//   [HKEY_CURRENT_USER\Software\ZELT\TALVERN\DATA]
//   name=dword:0000002a
//   name=sz:text
//   name=hex:00ff10
// Names, key paths and texts escape '%', control characters and what would end or
// mistake their field ('=', ';' and '[' in names, ']' in key paths) as %XX; a byte
// that was not UTF-8 (carried as U+DC80-U+DCFF) is written as %80-%FF. Parsing is the
// exact inverse of serialising for every text that can be stored.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/Win32Types.h"

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

namespace talvern::settings {

struct RegValue {
    DWORD type = REG_NONE;
    DWORD dword = 0;          // REG_DWORD
    std::wstring text;        // REG_SZ
    std::vector<BYTE> bytes;  // REG_BINARY

    static RegValue Dword(DWORD v) { return {REG_DWORD, v, {}, {}}; }
    static RegValue String(std::wstring s) { return {REG_SZ, 0, std::move(s), {}}; }
    static RegValue Binary(std::vector<BYTE> b) { return {REG_BINARY, 0, {}, std::move(b)}; }
    bool operator==(const RegValue&) const = default;
};

// Folds ASCII letters to lower case for comparisons of keys and names.
std::wstring FoldCase(const std::wstring& s);
// "a\\b\\" and "a\b" name one key: separators are collapsed and trimmed.
std::wstring NormalizeKeyPath(const std::wstring& path);

// The parsed contents of the store file.
class RegistryData {
public:
    struct Key {
        std::wstring path;                                      // as first written
        std::vector<std::pair<std::wstring, RegValue>> values;  // in the order written
    };

    // Parses the file text; malformed lines are skipped.
    static RegistryData Parse(const std::string& text);
    // Nothing when a key path, name or text holds a value that no bytes stand for.
    std::optional<std::string> Serialize() const;
    // True when the text can be stored (it holds no stray surrogate).
    static bool Storable(const std::wstring& text);

    bool KeyExists(const std::wstring& path) const;
    const Key* FindKey(const std::wstring& path) const;
    Key& CreateKey(const std::wstring& path);
    std::optional<RegValue> Get(const std::wstring& path, const std::wstring& name) const;
    void Set(const std::wstring& path, const std::wstring& name, RegValue value);
    bool DeleteValue(const std::wstring& path, const std::wstring& name);
    // Deletes the key and every key below it.
    bool DeleteKeyTree(const std::wstring& path);

private:
    std::map<std::wstring, Key> m_keys;  // by folded path
};

// The store file in a settings folder (by default the per-user one).
class RegistryStore {
public:
    explicit RegistryStore(std::string folder = GetDefaultFolder());

    // A missing or unreadable file reads as an empty store.
    RegistryData Load() const;
    // True when the file exists but cannot be read (too large, not permitted, not a
    // regular file): the program then runs on defaults and the file is never written.
    bool IsUnreadable() const;
    // Rereads the file under the write lock, lets change edit it and writes it back.
    // change returns false to leave the file alone. False when nothing was written,
    // also when the file cannot be read or the changed data cannot be stored: the
    // file then stays as it was.
    bool Update(const std::function<bool(RegistryData&)>& change) const;

    const std::string& FilePath() const { return m_file; }
    static std::string GetDefaultFolder();

private:
    std::string m_folder;
    std::string m_file;
};

}  // namespace talvern::settings
