#pragma once
// The application profile: per-section settings of the program kept in the registry
// store under HKEY_CURRENT_USER\Software\<registry key>\TALVERN\<section>. The start-up
// chooses the registry key once with SetRegistryKey; until then it is "ZELT".
#include <string>
#include <vector>

#include "platform/win32/Win32Types.h"

void SetRegistryKey(LPCWSTR key);
std::wstring GetProfileRegistryKey();
// The profile's key path below HKEY_CURRENT_USER for section.
std::wstring GetProfileSectionKey(LPCWSTR section);

// Integers are kept as DWORD values and strings as string values; a value of the
// other type reads as the default.
UINT GetProfileInt(LPCWSTR section, LPCWSTR entry, int def);
std::wstring GetProfileString(LPCWSTR section, LPCWSTR entry, LPCWSTR def = nullptr);
BOOL GetProfileBinary(LPCWSTR section, LPCWSTR entry, std::vector<BYTE>& data);
BOOL WriteProfileInt(LPCWSTR section, LPCWSTR entry, int value);
// A null value removes the entry; a null entry removes the whole section.
BOOL WriteProfileString(LPCWSTR section, LPCWSTR entry, LPCWSTR value);
BOOL WriteProfileBinary(LPCWSTR section, LPCWSTR entry, const BYTE* data, UINT bytes);
