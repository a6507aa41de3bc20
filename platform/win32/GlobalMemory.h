#pragma once
// Movable global-memory blocks, as the clipboard and packed pictures use them:
// an opaque handle owning a byte block that is locked to get at its bytes.
#include <cstddef>

#include "platform/win32/Win32Types.h"

struct GlobalMemoryBlock;
using HGLOBAL = GlobalMemoryBlock*;

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// Returns null when the block cannot be allocated.
HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
// Returns the block's bytes (null for a null handle); the lock count only documents use.
void* GlobalLock(HGLOBAL h);
BOOL GlobalUnlock(HGLOBAL h);
size_t GlobalSize(HGLOBAL h);
// Frees the block; returns null on success, as the original does.
HGLOBAL GlobalFree(HGLOBAL h);
