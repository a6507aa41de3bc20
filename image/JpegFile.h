#pragma once
// JPEG files over libjpeg (IJG 6b interface): packed RGB rows written to and read
// from files or global memory blocks, and the row-layout helpers that convert
// between PackedDib rows and the packed, top-down rows the library works on.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "image/PackedDib.h"
#include "platform/win32/GlobalMemory.h"
#include "platform/win32/Win32Types.h"

// libjpeg's error manager followed by the place its error_exit jumps back to.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

// What the memory source reads: the whole JPEG stream and the read position.
struct JpegGlobalSource {
    HGLOBAL block;
    int position;
};

// Writes width × height packed top-down RGB pixels (or, with colour FALSE, the same
// pixels reduced to grey) as a baseline JPEG file. FALSE for a null image, a zero or
// negative size, a file that cannot be opened or any library failure.
BOOL WriteJpegFile(const wchar_t* path, const BYTE* data, UINT width, UINT height, BOOL colour,
                   int quality);

// Decode into packed top-down RGB (new[]); width and height stay 0 when decoding fails
// before the output exists. Pictures that are neither grey nor three-component
// (CMYK, YCCK) give null.
BYTE* ReadJpegFile(const wchar_t* path, UINT* width, UINT* height);
BYTE* ReadJpegGlobal(HGLOBAL block, UINT* width, UINT* height);

// The same pictures decoded straight into PackedDib rows, so that only one copy of the
// picture is ever held: into block when it already has the picture's size (it may be
// left part-written when decoding fails), else into a new PackedDib; or into a new
// movable global block holding a PackedDib (returned unlocked). Null on failure.
PackedDib* ReadJpegFileDib(const wchar_t* path, PackedDib* block);
PackedDib* ReadJpegGlobalDib(HGLOBAL jpeg, PackedDib* block);
HGLOBAL ReadJpegGlobalToGlobalDib(HGLOBAL jpeg);

BOOL SwapRedBlue(BYTE* data, UINT width, UINT height);
BOOL FlipRowsVertical(BYTE* data, UINT rowBytes, UINT rows);
// Packed copy (new[]) of the first 3 × width bytes of each row.
BYTE* UnpadRows(const BYTE* data, UINT width, UINT stride, UINT height);
// Copy (new[]) of packed rows into rows padded to 4 bytes; stores the stride.
BYTE* PadRowsToDword(const BYTE* data, UINT width, UINT height, UINT* stride);
void CopyRgbRow(const BYTE* row, int width, BYTE* image, int rowIndex);
void GrayRowToRgb(const BYTE* row, int width, BYTE* image, int rowIndex);

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo);
void InstallGlobalJpegSource(j_decompress_ptr cinfo, JpegGlobalSource* source);
