#include "platform/registry/PrivateProfile.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry/RegistryStore.h"
#include "platform/registry/StoreFile.h"
#include "platform/win32/WideChar.h"

using talvern::settings::FoldCase;

namespace {

enum class Encoding { Utf8, Utf8Bom, Utf16Le };

// A line and the end it had in the file ("\r\n", "\n"; "\r" or none on the last line):
// a write keeps every other line's end as it was, so that a stray '\r' before one
// stays part of the line's value.
struct IniLine {
    std::wstring text;
    std::wstring end;
};

struct IniText {
    std::vector<IniLine> lines;
    Encoding encoding = Encoding::Utf8;
    std::wstring lineEnd = L"\n";  // the first line's, for the lines a write adds
};

std::wstring Trim(const std::wstring& s) {
    const size_t b = s.find_first_not_of(L" \t");
    if (b == std::wstring::npos) return {};
    const size_t e = s.find_last_not_of(L" \t");
    return s.substr(b, e - b + 1);
}

std::wstring DecodeText(const std::string& bytes, Encoding& encoding) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        encoding = Encoding::Utf8Bom;
        return Utf8ToWide(std::string_view(bytes).substr(3));
    }
    if (bytes.starts_with("\xFF\xFE")) {
        encoding = Encoding::Utf16Le;
        std::u16string units;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           (static_cast<unsigned char>(bytes[i + 1]) << 8));
        return Utf16ToWide(units);
    }
    encoding = Encoding::Utf8;
    return Utf8ToWide(bytes);
}

bool IsScalar(wchar_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// The file's bytes, or nothing when the text holds a character the encoding cannot
// carry: a stray surrogate, or (in UTF-16) a byte that was not UTF-8.
std::optional<std::string> EncodeText(const std::wstring& text, Encoding encoding) {
    if (encoding == Encoding::Utf16Le) {
        if (!std::all_of(text.begin(), text.end(), IsScalar)) return std::nullopt;
        std::string out = "\xFF\xFE";
        for (char16_t u : WideToUtf16(text)) {
            out += static_cast<char>(u & 0xFF);
            out += static_cast<char>(u >> 8);
        }
        return out;
    }
    std::string utf8;
    if (!WideToUtf8(text, utf8)) return std::nullopt;
    return encoding == Encoding::Utf8Bom ? "\xEF\xBB\xBF" + utf8 : utf8;
}

std::optional<IniText> LoadIni(const std::string& path) {
    std::string bytes;
    if (!talvern::settings::ReadWholeFile(path, bytes)) return std::nullopt;
    IniText ini;
    const std::wstring text = DecodeText(bytes, ini.encoding);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(L'\n', pos);
        if (end == std::wstring::npos) end = text.size();
        IniLine line{text.substr(pos, end - pos), end < text.size() ? L"\n" : L""};
        if (!line.text.empty() && line.text.back() == L'\r') {
            line.text.pop_back();
            line.end = L"\r" + line.end;
        }
        if (ini.lines.empty() && line.end == L"\r\n") ini.lineEnd = line.end;
        ini.lines.push_back(std::move(line));
        pos = end + 1;
    }
    return ini;
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::wstring> SectionOf(const std::wstring& line) {
    const std::wstring t = Trim(line);
    if (t.size() < 2 || t.front() != L'[') return std::nullopt;
    const size_t close = t.find(L']');
    if (close == std::wstring::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

// The key of a "key=value" line (comments and section lines have none).
std::optional<std::wstring> KeyOf(const std::wstring& line, std::wstring* value = nullptr) {
    const std::wstring t = Trim(line);
    if (t.empty() || t.front() == L';' || t.front() == L'[') return std::nullopt;
    const size_t eq = t.find(L'=');
    if (eq == std::wstring::npos) return std::nullopt;
    if (value) *value = Trim(t.substr(eq + 1));
    return Trim(t.substr(0, eq));
}

// Index range [begin, end) of the section's lines after its header, or nothing.
struct SectionRange {
    size_t header, begin, end;
};

std::optional<SectionRange> FindSection(const IniText& ini, const std::wstring& section) {
    const std::wstring folded = FoldCase(section);
    for (size_t i = 0; i < ini.lines.size(); ++i) {
        const auto name = SectionOf(ini.lines[i].text);
        if (!name || FoldCase(*name) != folded) continue;
        size_t end = i + 1;
        while (end < ini.lines.size() && !SectionOf(ini.lines[end].text)) ++end;
        return SectionRange{i, i + 1, end};
    }
    return std::nullopt;
}

std::optional<size_t> FindKey(const IniText& ini, const SectionRange& range,
                              const std::wstring& key, std::wstring* value = nullptr) {
    const std::wstring folded = FoldCase(key);
    for (size_t i = range.begin; i < range.end; ++i) {
        const auto k = KeyOf(ini.lines[i].text, value);
        if (k && FoldCase(*k) == folded) return i;
    }
    return std::nullopt;
}

std::optional<std::wstring> ReadValue(LPCWSTR section, LPCWSTR key, LPCWSTR path) {
    if (!section || !key || !path) return std::nullopt;
    const auto ini = LoadIni(WideToUtf8(path));
    if (!ini) return std::nullopt;
    const auto range = FindSection(*ini, section);
    std::wstring value;
    if (!range || !FindKey(*ini, *range, key, &value)) return std::nullopt;
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

constexpr size_t kNone = static_cast<size_t>(-1);

void ApplyWrite(IniText& ini, const std::wstring& section, LPCWSTR key, LPCWSTR value) {
    const auto range = FindSection(ini, section);
    if (!key) {  // remove the section
        if (range)
            ini.lines.erase(ini.lines.begin() + range->header, ini.lines.begin() + range->end);
        return;
    }
    const size_t at = range ? FindKey(ini, *range, key).value_or(kNone) : kNone;
    if (!value) {
        if (at != kNone) ini.lines.erase(ini.lines.begin() + static_cast<ptrdiff_t>(at));
        return;
    }
    std::wstring line = std::wstring(key) + L"=" + value;
    if (at != kNone) {
        ini.lines[at].text = std::move(line);
    } else if (range) {
        size_t insert = range->end;  // after the section's last non-blank line
        while (insert > range->begin && Trim(ini.lines[insert - 1].text).empty()) --insert;
        ini.lines.insert(ini.lines.begin() + insert, {std::move(line), ini.lineEnd});
    } else {
        ini.lines.push_back({L"[" + section + L"]", ini.lineEnd});
        ini.lines.push_back({std::move(line), ini.lineEnd});
    }
}

bool HasLineBreak(LPCWSTR s) {
    return s && std::wcspbrk(s, L"\r\n");
}

}  // namespace

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR def, LPWSTR out, DWORD size,
                               LPCWSTR path) {
    if (!out || size == 0) return 0;
    std::wstring value;
    if (auto v = ReadValue(section, key, path)) {
        value = std::move(*v);
    } else if (def) {
        value = def;
        while (!value.empty() && value.back() == L' ') value.pop_back();
    }
    const size_t n = std::min<size_t>(value.size(), size - 1);
    std::wmemcpy(out, value.c_str(), n);
    out[n] = L'\0';
    return static_cast<DWORD>(n);
}

UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT def, LPCWSTR path) {
    const auto value = ReadValue(section, key, path);
    if (!value) return static_cast<UINT>(def);
    const wchar_t* p = value->c_str();
    bool negative = false;
    if (*p == L'-' || *p == L'+') negative = *p++ == L'-';
    uint32_t v = 0;
    if (p[0] == L'0' && (p[1] == L'x' || p[1] == L'X')) {
        for (p += 2; std::iswxdigit(*p); ++p)
            v = v * 16 +
                static_cast<uint32_t>(std::iswdigit(*p) ? *p - L'0' : (*p | 0x20) - L'a' + 10);
    } else {
        for (; *p >= L'0' && *p <= L'9'; ++p) v = v * 10 + static_cast<uint32_t>(*p - L'0');
    }
    return negative ? 0u - v : v;
}

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR path) {
    if (!section || !path || !*section) return FALSE;
    // A line break would split the entry into lines that read back as something else.
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return FALSE;
    if (key && std::wcschr(key, L'=')) return FALSE;
    std::string native;
    if (!WideToUtf8(path, native) || native.empty()) return FALSE;
    talvern::settings::FileWriteLock lock(native);
    if (!lock.ok()) return FALSE;
    // A file that cannot be read (too large, say) is never written over.
    std::optional<IniText> loaded = LoadIni(native);
    if (!loaded) return FALSE;
    IniText& ini = *loaded;
    ApplyWrite(ini, section, key, value);
    std::wstring text;
    for (size_t i = 0; i < ini.lines.size(); ++i) {
        const IniLine& line = ini.lines[i];
        // The last line, unended (or ended by a lone '\r'), gets an end once others follow.
        const bool ended = !line.end.empty() && line.end.back() == L'\n';
        text += line.text + (ended || i + 1 == ini.lines.size() ? line.end : ini.lineEnd);
    }
    const std::optional<std::string> bytes = EncodeText(text, ini.encoding);
    return bytes && talvern::settings::ReplaceFileAtomically(native, *bytes) ? TRUE : FALSE;
}
