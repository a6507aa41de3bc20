#pragma once
#include <cstddef>

#include "image/ImgFile.h"

class CImgFileTiff : public CImgFile {
public:
    // Accepts whatever libtiff's RGBA reader can turn into 8-bit colour (16-bit files too).
    PackedDib* Load(const wchar_t* path, PackedDib* block) override;
    // Writes an uncompressed RGB file of one strip; the caller's header is left as it is.
    virtual BOOL Save(const BYTE* bits, BITMAPINFOHEADER* header, const wchar_t* path);

    // The same decoding over a whole file held in memory.
    static PackedDib* Decode(const BYTE* bytes, size_t size, PackedDib* block);
};
