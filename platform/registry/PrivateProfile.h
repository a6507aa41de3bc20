#pragma once
// Private-profile (INI) files: sections of key=value lines. Sections and keys
// compare without regard to ASCII case. Files made on Windows are read as they are:
// CRLF line ends, a UTF-8 byte-order mark, or UTF-16LE with its mark; writing keeps
// the file's encoding and line ends and every other line. Writes are atomic (a
// temporary file renamed into place) and serialised with other writers.
#include "platform/win32/Win32Types.h"

// Copies the value (blanks around it and one pair of enclosing quotes removed), or
// def when the file, section or key is missing, into out, cut to size - 1 characters
// and NUL-terminated. Returns the number of characters copied.
DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR def, LPWSTR out, DWORD size,
                               LPCWSTR path);
// The value read as a decimal (or 0x hexadecimal) number, def when the key is missing.
UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT def, LPCWSTR path);
// Sets key in section (both created as needed). A null value removes the key, a null
// key removes the whole section. FALSE, the file left as it was, when it cannot be
// written or its encoding cannot carry the section, key or value (a stray surrogate).
BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR path);
