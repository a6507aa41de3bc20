#pragma once
// Text conversions the layer needs at its edges: wide strings to UTF-8 for file
// names and the XML parser, and profile file bytes (UTF-16 or UTF-8) to wide text.
#include <cstddef>
#include <string>

#include "platform/win32/Win32Types.h"

std::string WmWideToUtf8(const std::wstring& text);
std::wstring WmUtf8ToWide(const std::string& text);

// Decodes the bytes of a profile file: UTF-16 LE or BE after their byte-order mark,
// UTF-16 LE without one when the text starts with an ASCII character, else UTF-8
// (with or without its mark). Stops at the first NUL. False when the bytes are not
// well-formed text.
bool WmDecodeProfileText(const BYTE* data, size_t size, std::wstring* out);
