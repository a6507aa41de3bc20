#pragma once
#include <cstddef>

#include "foundation/MemBuffBase.h"
#include "image/ImgFile.h"
#include "image/OutFile.h"

class CImgFileTiff : public CImgFile {
public:
    // Accepts whatever libtiff's RGBA reader can turn into 8-bit colour (16-bit files too).
    PackedDib* Load(const wchar_t* path, PackedDib* block) override;
    // Writes an uncompressed RGB file of one strip; the caller's header is left as it is.
    virtual BOOL Save(const BYTE* bits, BITMAPINFOHEADER* header, const wchar_t* path);

    // The same decoding over a whole file held in memory.
    static PackedDib* Decode(const BYTE* bytes, size_t size, PackedDib* block);

private:
    // The packed R, G, B copy of the frame, kept so that writing frame after frame
    // allocates nothing once the first frame has sized it.
    CMemBuffBase<unsigned char> m_rows;
    COutFile m_file;
};
