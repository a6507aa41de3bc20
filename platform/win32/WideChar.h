#pragma once
// Conversions between the wide strings the system works in (UTF-32 wchar_t here)
// and the UTF-8 that Linux file names, files and libraries use.
//
// Bytes that are not valid UTF-8 (a file name written by another program, say) are
// carried through wide strings as U+DC80..U+DCFF and turned back into the same
// bytes, so every name read from the file system can be opened again.
#include <string>
#include <string_view>

// Converts wide text to UTF-8. Returns false, leaving out empty, when the text
// holds a value that is no Unicode scalar (a stray surrogate or above U+10FFFF).
bool WideToUtf8(std::wstring_view text, std::string& out);

// The same conversion into a caller's buffer of capacity bytes, NUL included, without
// touching the heap. Returns false, leaving out empty, for a null text, a text that
// cannot be converted, or one whose UTF-8 form does not fit.
bool WideToUtf8Bounded(const wchar_t* text, char* out, size_t capacity);

// Convenience form: the UTF-8 text, or an empty string when it cannot be converted.
std::string WideToUtf8(std::wstring_view text);

// Converts UTF-8 to wide text; never fails (invalid bytes are carried as above).
std::wstring Utf8ToWide(std::string_view text);

// UTF-16 code units as stored in files (little-endian order already resolved).
std::wstring Utf16ToWide(std::u16string_view text);
std::u16string WideToUtf16(std::wstring_view text);
