#include "platform/registry/RegistryStore.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "platform/registry/StoreFile.h"
#include "platform/win32/WideChar.h"

namespace talvern::settings {

namespace {

constexpr char kFileName[] = "registry.txt";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Wide characters U+DC80-U+DCFF stand for bytes that were not UTF-8 (see WideChar.h).
constexpr wchar_t kByteBase = 0xDC00;
bool IsCarriedByte(wchar_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

void AppendEscape(std::string& out, unsigned char c) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%%%02X", c);
    out += buf;
}

// Names, key paths and texts become one line of printable UTF-8: '%', control bytes
// and the specials are escaped as %XX. A carried byte is written as %XX with XX of 80
// or above (no ASCII escape has one), so that it never merges with its neighbours
// into another character when read back. False when the text holds a value that no
// bytes stand for (a stray surrogate); such a text cannot be stored at all.
bool Escape(const std::wstring& text, const char* specials, std::string& out) {
    for (wchar_t w : text) {
        if (IsCarriedByte(w)) {
            AppendEscape(out, static_cast<unsigned char>(w - kByteBase));
            continue;
        }
        std::string utf8;
        if (!WideToUtf8(std::wstring_view(&w, 1), utf8)) return false;
        for (unsigned char c : utf8) {
            if (c < 0x20 || c == 0x7F || c == '%' || std::strchr(specials, c))
                AppendEscape(out, c);
            else
                out += static_cast<char>(c);
        }
    }
    return true;
}

// The exact inverse of Escape. Raw bytes that are not UTF-8 (a file edited by hand)
// are carried as they would be anywhere else.
std::wstring Unescape(std::string_view text) {
    std::wstring out;
    std::string run;  // UTF-8 bytes not decoded yet
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
            HexDigit(text[i + 2]) >= 0) {
            const int byte = HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]);
            i += 2;
            if (byte < 0x80) {
                run += static_cast<char>(byte);
                continue;
            }
            out += Utf8ToWide(run);
            run.clear();
            out += static_cast<wchar_t>(kByteBase + byte);
        } else {
            run += text[i];
        }
    }
    return out + Utf8ToWide(run);
}

bool ParseValue(std::string_view text, RegValue& value) {
    if (text.starts_with("dword:")) {
        text.remove_prefix(6);
        if (text.empty() || text.size() > 8) return false;
        DWORD v = 0;
        for (char c : text) {
            const int d = HexDigit(c);
            if (d < 0) return false;
            v = v * 16 + static_cast<DWORD>(d);
        }
        value = RegValue::Dword(v);
        return true;
    }
    if (text.starts_with("sz:")) {
        value = RegValue::String(Unescape(text.substr(3)));
        return true;
    }
    if (text.starts_with("hex:")) {
        text.remove_prefix(4);
        if (text.size() % 2) return false;
        std::vector<BYTE> bytes;
        bytes.reserve(text.size() / 2);
        for (size_t i = 0; i < text.size(); i += 2) {
            const int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
            if (hi < 0 || lo < 0) return false;
            bytes.push_back(static_cast<BYTE>(hi * 16 + lo));
        }
        value = RegValue::Binary(std::move(bytes));
        return true;
    }
    return false;
}

std::optional<std::string> FormatValue(const RegValue& v) {
    static const char kHex[] = "0123456789abcdef";
    switch (v.type) {
        case REG_DWORD: {
            char buf[16];
            std::snprintf(buf, sizeof buf, "dword:%08x", v.dword);
            return buf;
        }
        case REG_SZ: {
            std::string out = "sz:";
            return Escape(v.text, "", out) ? std::optional<std::string>(out) : std::nullopt;
        }
        default: {
            std::string out = "hex:";
            for (BYTE b : v.bytes) {
                out += kHex[b >> 4];
                out += kHex[b & 15];
            }
            return out;
        }
    }
}

}  // namespace

std::wstring FoldCase(const std::wstring& s) {
    std::wstring out = s;
    for (wchar_t& c : out)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return out;
}

std::wstring NormalizeKeyPath(const std::wstring& path) {
    std::wstring out;
    for (wchar_t c : path) {
        if (c == L'\\' && (out.empty() || out.back() == L'\\')) continue;
        out += c;
    }
    while (!out.empty() && out.back() == L'\\') out.pop_back();
    return out;
}

RegistryData RegistryData::Parse(const std::string& text) {
    RegistryData data;
    Key* current = nullptr;
    // Names already read, per key: a file with very many values must still parse in
    // linear time, not by searching each key's list for every line.
    std::map<const Key*, std::unordered_map<std::wstring, size_t>> seen;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            current = close == std::string_view::npos
                          ? nullptr
                          : &data.CreateKey(Unescape(line.substr(1, close - 1)));
            continue;
        }
        const size_t eq = line.find('=');
        RegValue value;
        if (!current || eq == std::string_view::npos || !ParseValue(line.substr(eq + 1), value))
            continue;
        std::wstring name = Unescape(line.substr(0, eq));
        const auto [at, fresh] = seen[current].try_emplace(FoldCase(name), current->values.size());
        if (fresh)
            current->values.emplace_back(std::move(name), std::move(value));
        else
            current->values[at->second].second = std::move(value);
    }
    return data;
}

// A name's leading ';' or '[' would make its line a comment or a key: both are escaped
// wherever they stand, like the '=' that ends the name.
std::optional<std::string> RegistryData::Serialize() const {
    std::string out;
    for (const auto& [folded, key] : m_keys) {
        out += "[";
        if (!Escape(key.path, "]", out)) return std::nullopt;
        out += "]\n";
        for (const auto& [name, value] : key.values) {
            if (!Escape(name, "=;[", out)) return std::nullopt;
            const std::optional<std::string> text = FormatValue(value);
            if (!text) return std::nullopt;
            out += "=" + *text + "\n";
        }
        out += "\n";
    }
    return out;
}

bool RegistryData::Storable(const std::wstring& text) {
    std::string ignored;
    return Escape(text, "", ignored);
}

namespace {
bool IsSameOrBelow(const std::wstring& folded, const std::wstring& key) {
    return key == folded ||
           (key.size() > folded.size() && key.starts_with(folded) && key[folded.size()] == L'\\');
}
}  // namespace

bool RegistryData::KeyExists(const std::wstring& path) const {
    const std::wstring folded = FoldCase(NormalizeKeyPath(path));
    for (const auto& entry : m_keys)
        if (IsSameOrBelow(folded, entry.first)) return true;
    return false;
}

const RegistryData::Key* RegistryData::FindKey(const std::wstring& path) const {
    auto it = m_keys.find(FoldCase(NormalizeKeyPath(path)));
    return it == m_keys.end() ? nullptr : &it->second;
}

RegistryData::Key& RegistryData::CreateKey(const std::wstring& path) {
    const std::wstring normal = NormalizeKeyPath(path);
    Key& key = m_keys[FoldCase(normal)];
    if (key.path.empty()) key.path = normal;
    return key;
}

std::optional<RegValue> RegistryData::Get(const std::wstring& path,
                                          const std::wstring& name) const {
    const Key* key = FindKey(path);
    if (!key) return std::nullopt;
    const std::wstring folded = FoldCase(name);
    for (const auto& [n, v] : key->values)
        if (FoldCase(n) == folded) return v;
    return std::nullopt;
}

void RegistryData::Set(const std::wstring& path, const std::wstring& name, RegValue value) {
    Key& key = CreateKey(path);
    const std::wstring folded = FoldCase(name);
    for (auto& [n, v] : key.values) {
        if (FoldCase(n) == folded) {
            v = std::move(value);
            return;
        }
    }
    key.values.emplace_back(name, std::move(value));
}

bool RegistryData::DeleteValue(const std::wstring& path, const std::wstring& name) {
    auto it = m_keys.find(FoldCase(NormalizeKeyPath(path)));
    if (it == m_keys.end()) return false;
    auto& values = it->second.values;
    const std::wstring folded = FoldCase(name);
    for (auto v = values.begin(); v != values.end(); ++v) {
        if (FoldCase(v->first) == folded) {
            values.erase(v);
            return true;
        }
    }
    return false;
}

bool RegistryData::DeleteKeyTree(const std::wstring& path) {
    const std::wstring folded = FoldCase(NormalizeKeyPath(path));
    return std::erase_if(m_keys,
                         [&](const auto& entry) { return IsSameOrBelow(folded, entry.first); }) > 0;
}

RegistryStore::RegistryStore(std::string folder)
    : m_folder(std::move(folder)), m_file(m_folder + "/" + kFileName) {}

std::string RegistryStore::GetDefaultFolder() {
    return GetConfigDir();
}

RegistryData RegistryStore::Load() const {
    std::string text;
    ReadWholeFile(m_file, text);
    return RegistryData::Parse(text);
}

bool RegistryStore::IsUnreadable() const {
    struct stat st;
    std::string text;
    return ::stat(m_file.c_str(), &st) == 0 && !ReadWholeFile(m_file, text);
}

bool RegistryStore::Update(const std::function<bool(RegistryData&)>& change) const {
    if (!EnsureFolder(m_folder)) return false;
    FileWriteLock lock(m_file);
    if (!lock.ok()) return false;
    // A store that cannot be read (too large, say) is never written over: everything
    // in it but the one change would be lost.
    std::string before;
    if (!ReadWholeFile(m_file, before)) return false;
    RegistryData data = RegistryData::Parse(before);
    if (!change(data)) return false;
    const std::optional<std::string> text = data.Serialize();
    return text && ReplaceFileAtomically(m_file, *text);
}

}  // namespace talvern::settings
