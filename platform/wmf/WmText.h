#pragma once
// Profile files are XML in UTF-16 (as profile editors save them) or UTF-8.
#include <cstddef>
#include <string>

#include "platform/win32/Win32Types.h"

// Decodes the bytes of a profile file: UTF-16 LE or BE after their byte-order mark,
// UTF-16 LE without one when the text starts with an ASCII character, else UTF-8
// (with or without its mark). The text ends at the first NUL.
std::wstring WmDecodeProfileText(const BYTE* data, size_t size);
