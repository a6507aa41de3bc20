#pragma once
// Resources bound into the program: blocks of bytes found by numeric id and type name.
// The program registers its resources at start-up; lookups never copy.
#include "platform/win32/Win32Types.h"

// Resource type names; "#n" is the textual form of a numeric type.
inline constexpr const wchar_t* RT_BITMAP = L"#2";
inline constexpr const wchar_t* RT_RCDATA = L"#10";

// Makes data (which must outlive every lookup) the resource id of the given type,
// replacing an earlier one.
void RegisterResource(UINT id, const wchar_t* type, const void* data, DWORD size);

// The bytes of resource id of the given type, or null; *size receives their count.
const void* FindResourceData(UINT id, const wchar_t* type, DWORD* size);
