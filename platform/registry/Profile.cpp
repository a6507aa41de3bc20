#include "platform/registry/Profile.h"

#include <mutex>

#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"

using talvern::settings::RegistryData;
using talvern::settings::RegistryStore;
using talvern::settings::RegValue;

namespace {

constexpr wchar_t kAppName[] = L"TALVERN";

std::mutex g_keyMutex;
std::wstring g_registryKey = L"ZELT";

std::wstring FullKey(LPCWSTR section) {
    return L"HKEY_CURRENT_USER\\" + GetProfileSectionKey(section);
}

std::optional<RegValue> Read(LPCWSTR section, LPCWSTR entry) {
    if (!section || !entry) return std::nullopt;
    return RegistryStore().Load().Get(FullKey(section), entry);
}

BOOL Write(LPCWSTR section, LPCWSTR entry, RegValue value) {
    if (!section || !entry) return FALSE;
    const std::wstring key = FullKey(section);
    return RegistryStore().Update([&](RegistryData& d) {
        d.Set(key, entry, std::move(value));
        return true;
    })
               ? TRUE
               : FALSE;
}

}  // namespace

void SetRegistryKey(LPCWSTR key) {
    std::lock_guard lock(g_keyMutex);
    g_registryKey = key && *key ? key : L"ZELT";
}

std::wstring GetProfileRegistryKey() {
    std::lock_guard lock(g_keyMutex);
    return g_registryKey;
}

std::wstring GetProfileSectionKey(LPCWSTR section) {
    return L"Software\\" + GetProfileRegistryKey() + L"\\" + kAppName + L"\\" +
           (section ? section : L"");
}

UINT GetProfileInt(LPCWSTR section, LPCWSTR entry, int def) {
    const auto v = Read(section, entry);
    return v && v->type == REG_DWORD ? v->dword : static_cast<UINT>(def);
}

std::wstring GetProfileString(LPCWSTR section, LPCWSTR entry, LPCWSTR def) {
    const auto v = Read(section, entry);
    if (v && v->type == REG_SZ) return v->text;
    return def ? def : L"";
}

BOOL GetProfileBinary(LPCWSTR section, LPCWSTR entry, std::vector<BYTE>& data) {
    data.clear();
    const auto v = Read(section, entry);
    if (!v || v->type != REG_BINARY) return FALSE;
    data = v->bytes;
    return TRUE;
}

BOOL WriteProfileInt(LPCWSTR section, LPCWSTR entry, int value) {
    return Write(section, entry, RegValue::Dword(static_cast<DWORD>(value)));
}

BOOL WriteProfileString(LPCWSTR section, LPCWSTR entry, LPCWSTR value) {
    if (!section) return FALSE;
    const std::wstring key = FullKey(section);
    if (!entry) {
        return RegistryStore().Update([&](RegistryData& d) { return d.DeleteKeyTree(key); }) ||
                       !RegistryStore().Load().KeyExists(key)
                   ? TRUE
                   : FALSE;
    }
    if (!value) {
        return RegistryStore().Update([&](RegistryData& d) { return d.DeleteValue(key, entry); }) ||
                       !RegistryStore().Load().Get(key, entry)
                   ? TRUE
                   : FALSE;
    }
    return Write(section, entry, RegValue::String(value));
}

BOOL WriteProfileBinary(LPCWSTR section, LPCWSTR entry, const BYTE* data, UINT bytes) {
    if ((!data && bytes) || bytes > kMaxRegistryValueBytes) return FALSE;
    return Write(section, entry, RegValue::Binary(std::vector<BYTE>(data, data + bytes)));
}
