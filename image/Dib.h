#pragma once
// CDib: a 24-bit device-independent bitmap of our own (bottom-up B, G, R rows padded
// to 4 bytes) with helpers to create, load and save it.
#include "foundation/MemBuffBase.h"
#include "image/PackedDib.h"
#include "platform/win32/GlobalMemory.h"

class CDib {
public:
    CDib() = default;
    virtual ~CDib() = default;
    CDib(const CDib&) = delete;
    CDib& operator=(const CDib&) = delete;

    // Decode a picture of any readable format from a resource, a file or a global block.
    // Each reports whether a picture was decoded; a held bitmap is replaced on success.
    virtual BOOL LoadFromResource(UINT id, const wchar_t* type);
    virtual BOOL LoadFromFile(const wchar_t* path);
    // Load a BMP file, or a bitmap resource (info header, palette, rows).
    virtual BOOL LoadBitmapFile(const wchar_t* path);
    virtual BOOL LoadBitmapResource(UINT id);
    // A new zeroed width × height bitmap in place of any held one.
    virtual BOOL Create24(int width, int height);
    // Writes the bitmap as a 24-bit BMP file; FALSE when no bitmap is held.
    virtual BOOL SaveBmp(const wchar_t* path);
    // Size, row length and bits of the held bitmap; all zero when none is held.
    virtual BITMAP GetBitmapInfo();
    // The block stays the caller's; size is not needed (the block knows its own).
    virtual BOOL LoadFromMemory(HGLOBAL block, DWORD size);

    // Releases the held bitmap.
    void DeleteObject();

private:
    BOOL Adopt(PackedDib* dib);
    BOOL LoadBytes(const void* bytes, size_t size);

    CMemBuffBase<unsigned char> m_bits;
    int m_width = 0;
    int m_height = 0;
};
