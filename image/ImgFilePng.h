#pragma once
#include <cstddef>

#include "image/ImgFile.h"
#include "image/OutFile.h"
#include "image/PngMemory.h"

class CImgFilePng : public CImgFile {
public:
    // Accepts 8-bit RGB files only.
    PackedDib* Load(const wchar_t* path, PackedDib* block) override;
    // Writes an 8-bit RGB file; the caller's header is left as it is.
    [[nodiscard]] virtual BOOL Save(const BYTE* bits, BITMAPINFOHEADER* header, const wchar_t* path);

    // The same decoding over a whole file held in memory.
    static PackedDib* Decode(const BYTE* bytes, size_t size, PackedDib* block);
    // The bytes Save would write, into block (emptied first, its room kept); no file is made.
    [[nodiscard]] BOOL Encode(std::vector<BYTE>* block, const BYTE* bits, const BITMAPINFOHEADER* header);

private:
    // The library hands over a few bytes at a time (chunk headers, checksums); they
    // gather here, in a buffer kept from one file to the next.
    static constexpr size_t kWriteBufferBytes = 64 * 1024;
    COutFile m_file{kWriteBufferBytes};
    CPngMemory m_memory;
};
