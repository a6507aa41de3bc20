#pragma once
// Registry calls as the system's settings code makes them, over the registry store.
// A key handle names a key path; every call reads or writes the store afresh, so a
// handle never holds stale data and nothing needs flushing.
#include <cstdint>

#include "platform/registry/RegistryStore.h"
#include "platform/win32/Win32Types.h"

struct HKEY__;
using HKEY = HKEY__*;
using REGSAM = DWORD;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(uintptr_t{0x80000000});
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t{0x80000001});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(uintptr_t{0x80000002});
inline HKEY const HKEY_USERS = reinterpret_cast<HKEY>(uintptr_t{0x80000003});

constexpr LSTATUS ERROR_SUCCESS = 0;
constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
constexpr LSTATUS ERROR_ACCESS_DENIED = 5;
constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
constexpr LSTATUS ERROR_MORE_DATA = 234;
constexpr LSTATUS ERROR_NO_MORE_ITEMS = 259;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Values larger than this are refused on write, keeping the store file small.
constexpr DWORD kMaxRegistryValueBytes = 1024 * 1024;

LSTATUS RegCreateKeyW(HKEY root, LPCWSTR subkey, HKEY* result);
LSTATUS RegCreateKeyExW(HKEY root, LPCWSTR subkey, DWORD reserved, LPWSTR keyClass, DWORD options,
                        REGSAM access, void* security, HKEY* result, DWORD* disposition);
LSTATUS RegOpenKeyW(HKEY root, LPCWSTR subkey, HKEY* result);
LSTATUS RegOpenKeyExW(HKEY root, LPCWSTR subkey, DWORD options, REGSAM access, HKEY* result);
LSTATUS RegCloseKey(HKEY key);

// REG_SZ data is wchar_t text; its size counts bytes, including the terminating NUL.
// A name or text that cannot be stored (a stray surrogate) gives ERROR_INVALID_PARAMETER
// and changes nothing.
LSTATUS RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD size);
// With data null only type and size are reported; a buffer too small gives
// ERROR_MORE_DATA with the size needed.
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR name, DWORD* reserved, DWORD* type, BYTE* data,
                         DWORD* size);
// nameChars holds the buffer size in characters on entry, the name's length on return.
LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, DWORD* nameChars, DWORD* reserved,
                      DWORD* type, BYTE* data, DWORD* size);
LSTATUS RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, DWORD* classChars, DWORD* reserved,
                         DWORD* subKeys, DWORD* maxSubKeyLen, DWORD* maxClassLen, DWORD* values,
                         DWORD* maxValueNameLen, DWORD* maxValueLen, DWORD* securityBytes,
                         void* lastWriteTime);
LSTATUS RegDeleteValueW(HKEY key, LPCWSTR name);
// Deletes subkey and everything below it.
LSTATUS RegDeleteTreeW(HKEY key, LPCWSTR subkey);
