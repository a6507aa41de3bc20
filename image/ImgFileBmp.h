#pragma once
#include <cstddef>

#include "image/ImgFile.h"
#include "image/OutFile.h"

class CImgFileBmp : public CImgFile {
public:
    // Accepts uncompressed 24-bit and 8-bit (palette) files, bottom-up or top-down.
    PackedDib* Load(const wchar_t* path, PackedDib* block) override;
    // Writes a 24-bit BMP; the caller's header is replaced by the canonical one.
    virtual BOOL Save(const BYTE* bits, BITMAPINFOHEADER* header, const wchar_t* path);

    // The same decoding over a whole file held in memory.
    static PackedDib* Decode(const BYTE* bytes, size_t size, PackedDib* block);
    // A bitmap without its file header: the info header, any palette, then the rows.
    static PackedDib* DecodeInfo(const BYTE* bytes, size_t size, PackedDib* block);

private:
    // Room for the 54 header bytes, which then leave together with the rows; kept
    // between files so that writing one allocates nothing once the first has.
    static constexpr size_t kHeaderBufferBytes = 64;
    COutFile m_file{kHeaderBufferBytes};
};
