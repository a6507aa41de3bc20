#pragma once
// Buffered file I/O with RIFF chunk navigation: create chunks, descend into them
// (finding a RIFF form or a chunk by id), ascend out of them (padding odd sizes
// and writing back sizes that changed). Offsets are 64-bit; a chunk size still
// has to fit the 32 bits RIFF gives it.
#include <cstdint>

#include "platform/win32/Win32Types.h"

struct MmioFile;
using HMMIO = MmioFile*;

struct MMCKINFO {
    FOURCC ckid;
    DWORD cksize;
    FOURCC fccType;
    int64_t dwDataOffset;  // file offset of the chunk's data (a RIFF or LIST chunk's data starts with fccType)
    DWORD dwFlags;
};

constexpr DWORD MMIO_READ = 0x00000000;
constexpr DWORD MMIO_WRITE = 0x00000001;
constexpr DWORD MMIO_READWRITE = 0x00000002;
constexpr DWORD MMIO_CREATE = 0x00001000;
constexpr DWORD MMIO_ALLOCBUF = 0x00010000;

constexpr UINT MMIO_FINDCHUNK = 0x0010;
constexpr UINT MMIO_FINDRIFF = 0x0020;
constexpr UINT MMIO_FINDLIST = 0x0040;
constexpr UINT MMIO_CREATERIFF = 0x0020;
constexpr UINT MMIO_CREATELIST = 0x0040;
constexpr UINT MMIO_EMPTYBUF = 0x0010;
constexpr DWORD MMIO_DIRTY = 0x10000000;

constexpr FOURCC FOURCC_RIFF = MAKEFOURCC('R', 'I', 'F', 'F');
constexpr FOURCC FOURCC_LIST = MAKEFOURCC('L', 'I', 'S', 'T');

using MMIORESULT = UINT;
constexpr MMIORESULT MMIOERR_NOERROR = 0;
constexpr MMIORESULT MMIOERR_CHUNKNOTFOUND = 265;
constexpr MMIORESULT MMIOERR_CANNOTREAD = 259;
constexpr MMIORESULT MMIOERR_CANNOTWRITE = 260;
constexpr MMIORESULT MMIOERR_CANNOTSEEK = 261;
constexpr MMIORESULT MMIOERR_CANNOTEXPAND = 262;
constexpr MMIORESULT MMIOERR_INVALIDFILE = 272;

constexpr int MMIO_SEEK_SET = 0;
constexpr int MMIO_SEEK_CUR = 1;
constexpr int MMIO_SEEK_END = 2;

// Null when the file cannot be opened. info is unused (kept for the call's shape).
HMMIO mmioOpenW(const wchar_t* path, void* info, DWORD flags);
// Writes what is buffered and closes; MMIOERR_CANNOTWRITE when buffered bytes could not be written.
MMIORESULT mmioClose(HMMIO h, UINT flags);
// Bytes read (0 at the end), or -1.
int64_t mmioRead(HMMIO h, char* data, int64_t count);
// Bytes written, or -1.
int64_t mmioWrite(HMMIO h, const char* data, int64_t count);
// The new position, or -1.
int64_t mmioSeek(HMMIO h, int64_t offset, int origin);
MMIORESULT mmioFlush(HMMIO h, UINT flags);
MMIORESULT mmioDescend(HMMIO h, MMCKINFO* ck, const MMCKINFO* parent, UINT flags);
MMIORESULT mmioAscend(HMMIO h, MMCKINFO* ck, UINT flags);
MMIORESULT mmioCreateChunk(HMMIO h, MMCKINFO* ck, UINT flags);
