#include "platform/registry/Registry.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>

using talvern::settings::NormalizeKeyPath;
using talvern::settings::RegistryData;
using talvern::settings::RegistryStore;
using talvern::settings::RegValue;

// An open key: the full path below its root's name.
struct HKEY__ {
    std::wstring path;
};

namespace {

const wchar_t* RootName(HKEY key) {
    if (key == HKEY_CLASSES_ROOT) return L"HKEY_CLASSES_ROOT";
    if (key == HKEY_CURRENT_USER) return L"HKEY_CURRENT_USER";
    if (key == HKEY_LOCAL_MACHINE) return L"HKEY_LOCAL_MACHINE";
    if (key == HKEY_USERS) return L"HKEY_USERS";
    return nullptr;
}

bool KeyPath(HKEY key, std::wstring& path) {
    if (!key) return false;
    if (const wchar_t* root = RootName(key)) {
        path = root;
        return true;
    }
    path = key->path;
    return true;
}

bool SubkeyPath(HKEY root, LPCWSTR subkey, std::wstring& path) {
    if (!KeyPath(root, path)) return false;
    if (subkey && *subkey) path = NormalizeKeyPath(path + L"\\" + subkey);
    return true;
}

HKEY NewHandle(const std::wstring& path) {
    return new HKEY__{path};
}

// The bytes a value reads back as (REG_SZ as wchar_t text with its NUL).
std::basic_string<BYTE> ValueBytes(const RegValue& v) {
    switch (v.type) {
        case REG_DWORD:
            return {reinterpret_cast<const BYTE*>(&v.dword), sizeof v.dword};
        case REG_SZ:
            return {reinterpret_cast<const BYTE*>(v.text.c_str()),
                    (v.text.size() + 1) * sizeof(wchar_t)};
        default:
            return {v.bytes.begin(), v.bytes.end()};
    }
}

LSTATUS CopyOut(const RegValue& v, DWORD* type, BYTE* data, DWORD* size) {
    const auto bytes = ValueBytes(v);
    if (type) *type = v.type;
    LSTATUS result = ERROR_SUCCESS;
    if (data) {
        if (!size) return ERROR_INVALID_PARAMETER;
        if (*size < bytes.size())
            result = ERROR_MORE_DATA;
        else
            std::memcpy(data, bytes.data(), bytes.size());
    }
    if (size) *size = static_cast<DWORD>(bytes.size());
    return result;
}

}  // namespace

LSTATUS RegCreateKeyExW(HKEY root, LPCWSTR subkey, DWORD, LPWSTR, DWORD, REGSAM, void*,
                        HKEY* result, DWORD* disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::wstring path;
    if (!SubkeyPath(root, subkey, path)) return ERROR_INVALID_HANDLE;
    if (!RegistryData::Storable(path)) return ERROR_INVALID_PARAMETER;
    bool existed = false;
    const bool ok = RegistryStore().Update([&](RegistryData& data) {
        existed = data.FindKey(path) != nullptr;
        if (existed) return false;
        data.CreateKey(path);
        return true;
    });
    if (!ok && !existed) return ERROR_ACCESS_DENIED;
    if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = NewHandle(path);
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyW(HKEY root, LPCWSTR subkey, HKEY* result) {
    return RegCreateKeyExW(root, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, result, nullptr);
}

LSTATUS RegOpenKeyExW(HKEY root, LPCWSTR subkey, DWORD, REGSAM, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::wstring path;
    if (!SubkeyPath(root, subkey, path)) return ERROR_INVALID_HANDLE;
    if (!RootName(root) || (subkey && *subkey)) {
        if (!RegistryStore().Load().KeyExists(path)) return ERROR_FILE_NOT_FOUND;
    }
    *result = NewHandle(path);
    return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyW(HKEY root, LPCWSTR subkey, HKEY* result) {
    return RegOpenKeyExW(root, subkey, 0, KEY_ALL_ACCESS, result);
}

LSTATUS RegCloseKey(HKEY key) {
    if (!key) return ERROR_INVALID_HANDLE;
    if (!RootName(key)) delete key;
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    std::wstring path;
    if (!KeyPath(key, path)) return ERROR_INVALID_HANDLE;
    if ((size > 0 && !data) || size > kMaxRegistryValueBytes) return ERROR_INVALID_PARAMETER;
    RegValue value;
    if (type == REG_DWORD) {
        if (size != sizeof(DWORD)) return ERROR_INVALID_PARAMETER;
        DWORD v;
        std::memcpy(&v, data, sizeof v);
        value = RegValue::Dword(v);
    } else if (type == REG_SZ) {
        std::wstring text(size / sizeof(wchar_t), L'\0');
        if (!text.empty()) std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
        text.resize(std::wcslen(text.c_str()));  // up to the first NUL
        value = RegValue::String(std::move(text));
    } else if (type == REG_BINARY) {
        value = RegValue::Binary(std::vector<BYTE>(data, data + size));
    } else {
        return ERROR_INVALID_PARAMETER;
    }
    const std::wstring valueName = name ? name : L"";
    if (!RegistryData::Storable(valueName) || !RegistryData::Storable(value.text))
        return ERROR_INVALID_PARAMETER;
    const bool ok = RegistryStore().Update([&](RegistryData& d) {
        d.Set(path, valueName, value);
        return true;
    });
    return ok ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
    std::wstring path;
    if (!KeyPath(key, path)) return ERROR_INVALID_HANDLE;
    const auto value = RegistryStore().Load().Get(path, name ? name : L"");
    if (!value) return ERROR_FILE_NOT_FOUND;
    return CopyOut(*value, type, data, size);
}

LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, DWORD* nameChars, DWORD*, DWORD* type,
                      BYTE* data, DWORD* size) {
    std::wstring path;
    if (!KeyPath(key, path)) return ERROR_INVALID_HANDLE;
    if (!name || !nameChars) return ERROR_INVALID_PARAMETER;
    const RegistryData store = RegistryStore().Load();
    const RegistryData::Key* k = store.FindKey(path);
    if (!k || index >= k->values.size()) return ERROR_NO_MORE_ITEMS;
    const auto& [valueName, value] = k->values[index];
    if (valueName.size() + 1 > *nameChars) return ERROR_MORE_DATA;
    std::wmemcpy(name, valueName.c_str(), valueName.size() + 1);
    *nameChars = static_cast<DWORD>(valueName.size());
    return CopyOut(value, type, data, size);
}

LSTATUS RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, DWORD* classChars, DWORD*, DWORD* subKeys,
                         DWORD* maxSubKeyLen, DWORD* maxClassLen, DWORD* values,
                         DWORD* maxValueNameLen, DWORD* maxValueLen, DWORD* securityBytes, void*) {
    std::wstring path;
    if (!KeyPath(key, path)) return ERROR_INVALID_HANDLE;
    const RegistryData store = RegistryStore().Load();
    const RegistryData::Key* k = store.FindKey(path);
    DWORD count = 0, maxName = 0, maxData = 0;
    if (k) {
        count = static_cast<DWORD>(k->values.size());
        for (const auto& [n, v] : k->values) {
            maxName = std::max(maxName, static_cast<DWORD>(n.size()));
            maxData = std::max(maxData, static_cast<DWORD>(ValueBytes(v).size()));
        }
    }
    if (keyClass && classChars && *classChars > 0) keyClass[0] = L'\0';
    if (classChars) *classChars = 0;
    if (subKeys) *subKeys = 0;
    if (maxSubKeyLen) *maxSubKeyLen = 0;
    if (maxClassLen) *maxClassLen = 0;
    if (values) *values = count;
    if (maxValueNameLen) *maxValueNameLen = maxName;
    if (maxValueLen) *maxValueLen = maxData;
    if (securityBytes) *securityBytes = 0;
    return ERROR_SUCCESS;
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR name) {
    std::wstring path;
    if (!KeyPath(key, path)) return ERROR_INVALID_HANDLE;
    bool found = false;
    const bool ok = RegistryStore().Update(
        [&](RegistryData& d) { return found = d.DeleteValue(path, name ? name : L""); });
    return !found ? ERROR_FILE_NOT_FOUND : ok ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LSTATUS RegDeleteTreeW(HKEY key, LPCWSTR subkey) {
    std::wstring path;
    if (!SubkeyPath(key, subkey, path)) return ERROR_INVALID_HANDLE;
    bool found = false;
    const bool ok =
        RegistryStore().Update([&](RegistryData& d) { return found = d.DeleteKeyTree(path); });
    return !found ? ERROR_FILE_NOT_FOUND : ok ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}
