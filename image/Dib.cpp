#include "image/Dib.h"

#include <cstdlib>
#include <cstring>

#include "image/ImgFileBmp.h"
#include "image/ImgFileCom.h"
#include "platform/win32/Resource.h"

BOOL CDib::Create24(int width, int height) {
    if (!ImageSizeAcceptable(width, height)) return FALSE;
    const int bytes = static_cast<int>(DibRowBytes(width, 24) * height);
    if (!m_bits.Alloc(bytes) || !m_bits.FillAll(0)) {
        DeleteObject();
        return FALSE;
    }
    m_width = width;
    m_height = height;
    return TRUE;
}

void CDib::DeleteObject() {
    m_bits.Free();
    m_width = m_height = 0;
}

BITMAP CDib::GetBitmapInfo() {
    BITMAP bm{};
    if (!m_bits.GetData()) return bm;
    bm.bmWidth = m_width;
    bm.bmHeight = m_height;
    bm.bmWidthBytes = static_cast<LONG>(DibRowBytes(m_width, 24));
    bm.bmPlanes = 1;
    bm.bmBitsPixel = 24;
    bm.bmBits = m_bits.GetData();
    return bm;
}

BOOL CDib::Adopt(PackedDib* dib) {
    if (!dib) return FALSE;
    const BOOL made = Create24(dib->bmiHeader.biWidth, dib->bmiHeader.biHeight);
    if (made) {
        const BITMAP bm = GetBitmapInfo();
        std::memcpy(bm.bmBits, dib->Bits(), static_cast<size_t>(bm.bmWidthBytes) * bm.bmHeight);
    }
    std::free(dib);
    return made;
}

BOOL CDib::LoadFromMemory(HGLOBAL block, DWORD) {
    return Adopt(CImgFileCom().LoadFromGlobal(block, nullptr));
}

BOOL CDib::LoadBytes(const void* bytes, size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, size);
    void* p = GlobalLock(block);
    if (!p) {
        GlobalFree(block);
        return FALSE;
    }
    std::memcpy(p, bytes, size);
    GlobalUnlock(block);
    const BOOL loaded = LoadFromMemory(block, static_cast<DWORD>(size));
    GlobalFree(block);
    return loaded;
}

BOOL CDib::LoadFromResource(UINT id, const wchar_t* type) {
    DWORD size = 0;
    const void* data = FindResourceData(id, type, &size);
    return data ? LoadBytes(data, size) : FALSE;
}

BOOL CDib::LoadFromFile(const wchar_t* path) {
    FILE* f = OpenFileWide(path, "rb");
    if (!f) return FALSE;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    void* bytes = nullptr;
    if (size > 0 && size <= kMaxImageBytes && std::fseek(f, 0, SEEK_SET) == 0)
        bytes = std::malloc(static_cast<size_t>(size));
    const bool read = bytes && std::fread(bytes, 1, static_cast<size_t>(size), f) == static_cast<size_t>(size);
    std::fclose(f);
    const BOOL loaded = read ? LoadBytes(bytes, static_cast<size_t>(size)) : FALSE;
    std::free(bytes);
    return loaded;
}

BOOL CDib::LoadBitmapFile(const wchar_t* path) { return Adopt(CImgFileBmp().Load(path, nullptr)); }

BOOL CDib::LoadBitmapResource(UINT id) {
    DWORD size = 0;
    const auto* data = static_cast<const BYTE*>(FindResourceData(id, RT_BITMAP, &size));
    return data ? Adopt(CImgFileBmp::DecodeInfo(data, size, nullptr)) : FALSE;
}

BOOL CDib::SaveBmp(const wchar_t* path) {
    const BITMAP bm = GetBitmapInfo();
    if (!bm.bmBits) return FALSE;
    BITMAPINFOHEADER header{};
    header.biWidth = bm.bmWidth;
    header.biHeight = bm.bmHeight;
    return CImgFileBmp().Save(static_cast<const BYTE*>(bm.bmBits), &header, path);
}
