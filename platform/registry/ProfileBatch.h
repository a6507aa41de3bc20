#pragma once
// Several entries of one profile section written as one change of the registry
// store: the file is replaced once, so a reader (another instance, another process)
// sees all of the new values or none of them.
#include <string>
#include <utility>
#include <vector>

#include "platform/registry/RegistryStore.h"
#include "platform/win32/Win32Types.h"

// Entry names with their values, written in this order.
using ProfileValues = std::vector<std::pair<std::wstring, talvern::settings::RegValue>>;

// TRUE when all values were written; on failure the store keeps what it held.
BOOL WriteProfileValues(LPCWSTR section, const ProfileValues& values);
