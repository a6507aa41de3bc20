#include "platform/registry/RegistryStore.h"

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

std::string Escape(const std::wstring& text, const char* specials) {
    const std::string utf8 = WideToUtf8(text);
    std::string out;
    for (unsigned char c : utf8) {
        if (c < 0x20 || c == 0x7F || c == '%' || std::strchr(specials, c)) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::wstring Unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
            HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return Utf8ToWide(out);
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

std::string FormatValue(const RegValue& v) {
    static const char kHex[] = "0123456789abcdef";
    switch (v.type) {
        case REG_DWORD: {
            char buf[16];
            std::snprintf(buf, sizeof buf, "dword:%08x", v.dword);
            return buf;
        }
        case REG_SZ:
            return "sz:" + Escape(v.text, "");
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

std::string RegistryData::Serialize() const {
    std::string out;
    for (const auto& [folded, key] : m_keys) {
        out += "[" + Escape(key.path, "]") + "]\n";
        for (const auto& [name, value] : key.values)
            out += Escape(name, "=") + "=" + FormatValue(value) + "\n";
        out += "\n";
    }
    return out;
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

bool RegistryStore::Update(const std::function<bool(RegistryData&)>& change) const {
    if (!EnsureFolder(m_folder)) return false;
    FileWriteLock lock(m_file);
    if (!lock.ok()) return false;
    RegistryData data = Load();
    if (!change(data)) return false;
    return ReplaceFileAtomically(m_file, data.Serialize());
}

}  // namespace talvern::settings
