#include "foundation/RegUtil.h"

#include <cstring>

#include "platform/registry/Profile.h"

namespace {

// Closes a key handle when the scope ends.
class KeyHandle {
public:
    ~KeyHandle() {
        if (key) RegCloseKey(key);
    }
    HKEY key = nullptr;
};

}  // namespace

BOOL RegWriteBinary(HKEY root, LPCWSTR subkey, LPCWSTR name, const BYTE* data, DWORD size) {
    KeyHandle k;
    if (RegCreateKeyW(root, subkey, &k.key) != ERROR_SUCCESS) return FALSE;
    return RegSetValueExW(k.key, name, 0, REG_BINARY, data, size) == ERROR_SUCCESS ? TRUE : FALSE;
}

HGLOBAL RegReadBinary(HKEY root, LPCWSTR subkey, LPCWSTR name, int* outSize) {
    if (outSize) *outSize = 0;
    KeyHandle k;
    if (RegOpenKeyW(root, subkey, &k.key) != ERROR_SUCCESS) return nullptr;
    BYTE buf[kRegReadBinaryMax];
    DWORD size = sizeof buf;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(k.key, name, nullptr, &type, buf, &size) != ERROR_SUCCESS ||
        type != REG_BINARY)
        return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, size);
    if (!block) return nullptr;
    if (size) std::memcpy(GlobalLock(block), buf, size);
    GlobalUnlock(block);
    if (outSize) *outSize = static_cast<int>(size);
    return block;
}

void RegWriteDword(HKEY root, LPCWSTR subkey, LPCWSTR name, DWORD value) {
    KeyHandle k;
    if (RegCreateKeyExW(root, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &k.key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(k.key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

DWORD RegReadDword(HKEY root, LPCWSTR subkey, LPCWSTR name, DWORD def) {
    KeyHandle k;
    if (RegOpenKeyExW(root, subkey, 0, KEY_READ, &k.key) != ERROR_SUCCESS) return def;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(k.key, name, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return def;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(k.key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS)
        return def;
    return value;
}

BOOL ProfileWriteString(LPCWSTR section, LPCWSTR entry, LPCWSTR value) {
    return WriteProfileString(section, entry, value);
}

void ProfileWriteInt(LPCWSTR section, LPCWSTR entry, int value) {
    WriteProfileInt(section, entry, value);
}

UINT ProfileGetInt(LPCWSTR section, LPCWSTR entry, int def) {
    return GetProfileInt(section, entry, def);
}

std::wstring ProfileGetString(LPCWSTR section, LPCWSTR entry, LPCWSTR def) {
    return GetProfileString(section, entry, def);
}

CRegUtil::~CRegUtil() {
    Close();
}

void CRegUtil::Close() {
    if (m_key) RegCloseKey(m_key);
    m_key = nullptr;
}

int CRegUtil::Open(HKEY root, LPCWSTR subkey) {
    Close();
    if (RegOpenKeyExW(root, subkey, 0, KEY_READ, &m_key) != ERROR_SUCCESS) {
        m_key = nullptr;
        return 0;
    }
    DWORD values = 0;
    if (RegQueryInfoKeyW(m_key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return static_cast<int>(values);
}

BOOL CRegUtil::EnumValue(int index, std::wstring& name, std::wstring& data) {
    name.clear();
    data.clear();
    if (!m_key || index < 0) return FALSE;
    wchar_t nameBuf[512];
    DWORD nameChars = 512;
    wchar_t dataBuf[256] = {};
    DWORD dataBytes = sizeof dataBuf - sizeof(wchar_t);  // keep room for a NUL
    DWORD type = REG_NONE;
    if (RegEnumValueW(m_key, static_cast<DWORD>(index), nameBuf, &nameChars, nullptr, &type,
                      reinterpret_cast<BYTE*>(dataBuf), &dataBytes) != ERROR_SUCCESS)
        return FALSE;
    name.assign(nameBuf, nameChars);
    if (type == REG_SZ) data = dataBuf;
    return TRUE;
}
