#pragma once
// Registry value helpers, the thin application-profile wrappers, and CRegUtil, a
// reader of one key's values.
#include <string>

#include "platform/registry/Registry.h"
#include "platform/win32/GlobalMemory.h"
#include "platform/win32/Win32Types.h"

// Largest binary value RegReadBinary reads back.
constexpr DWORD kRegReadBinaryMax = 4096;

// TRUE only when the value was really written.
BOOL RegWriteBinary(HKEY root, LPCWSTR subkey, LPCWSTR name, const BYTE* data, DWORD size);
// A new GMEM_FIXED block holding the value (the caller frees it with GlobalFree), its
// size in *outSize; null and 0 for a missing, larger than 4096-byte or non-binary value.
HGLOBAL RegReadBinary(HKEY root, LPCWSTR subkey, LPCWSTR name, int* outSize);
void RegWriteDword(HKEY root, LPCWSTR subkey, LPCWSTR name, DWORD value);
// def for a missing key or value and for a value of another type.
DWORD RegReadDword(HKEY root, LPCWSTR subkey, LPCWSTR name, DWORD def);

BOOL ProfileWriteString(LPCWSTR section, LPCWSTR entry, LPCWSTR value);
void ProfileWriteInt(LPCWSTR section, LPCWSTR entry, int value);
UINT ProfileGetInt(LPCWSTR section, LPCWSTR entry, int def);
std::wstring ProfileGetString(LPCWSTR section, LPCWSTR entry, LPCWSTR def);

class CRegUtil {
public:
    CRegUtil() = default;
    virtual ~CRegUtil();
    CRegUtil(const CRegUtil&) = delete;
    CRegUtil& operator=(const CRegUtil&) = delete;

    // Opens the key for reading; returns its number of values (0 on failure).
    virtual int Open(HKEY root, LPCWSTR subkey);
    // Value number index: its name (up to 511 characters) and, for a string value, its
    // text (up to 255 characters; other types give an empty text). FALSE past the end
    // or when the value does not fit.
    virtual BOOL EnumValue(int index, std::wstring& name, std::wstring& data);

private:
    void Close();
    HKEY m_key = nullptr;
};
