#include "image/ImgFileCom.h"

#include <cstring>

#include "image/ImgFileBmp.h"
#include "image/ImgFileJpeg.h"
#include "image/ImgFilePng.h"
#include "image/ImgFileTiff.h"
#include "image/JpegFile.h"

namespace {

bool StartsWith(const BYTE* bytes, size_t size, const char* magic, size_t n) {
    return size >= n && std::memcmp(bytes, magic, n) == 0;
}

}  // namespace

PackedDib* CImgFileCom::LoadFromGlobal(HGLOBAL pictureBytes, PackedDib* block) {
    const auto* bytes = static_cast<const BYTE*>(GlobalLock(pictureBytes));
    if (!bytes) return nullptr;
    const size_t size = GlobalSize(pictureBytes);
    PackedDib* dib = nullptr;
    if (StartsWith(bytes, size, "BM", 2)) {
        dib = CImgFileBmp::Decode(bytes, size, block);
    } else if (StartsWith(bytes, size, "\xFF\xD8\xFF", 3)) {
        dib = ReadJpegGlobalDib(pictureBytes, block);
    } else if (StartsWith(bytes, size, "\x89PNG\r\n\x1A\n", 8)) {
        dib = CImgFilePng::Decode(bytes, size, block);
    } else if (StartsWith(bytes, size, "II*\0", 4) || StartsWith(bytes, size, "MM\0*", 4)) {
        dib = CImgFileTiff::Decode(bytes, size, block);
    }
    GlobalUnlock(pictureBytes);
    return dib;
}

PackedDib* CImgFileCom::Load(const wchar_t* path, PackedDib* block) {
    FILE* f = OpenFileWide(path, "rb");
    if (!f) return nullptr;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    HGLOBAL data = nullptr;
    // Compressed formats hold far fewer bytes than their pictures, so a file larger than
    // the largest picture is refused.
    if (size > 0 && size <= kMaxImageBytes && std::fseek(f, 0, SEEK_SET) == 0)
        data = GlobalAlloc(GMEM_MOVEABLE, static_cast<size_t>(size));
    void* p = GlobalLock(data);
    const bool read = p && std::fread(p, 1, static_cast<size_t>(size), f) == static_cast<size_t>(size);
    GlobalUnlock(data);
    std::fclose(f);
    PackedDib* dib = read ? LoadFromGlobal(data, block) : nullptr;
    GlobalFree(data);
    return dib;
}
