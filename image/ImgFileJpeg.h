#pragma once
#include "image/ImgFile.h"
#include "image/JpegWriter.h"
#include "platform/win32/GlobalMemory.h"

class CImgFileJpeg : public CImgFile {
public:
    // Accepts any JPEG that decodes to three components or grey.
    PackedDib* Load(const wchar_t* path, PackedDib* block) override;
    // Writes a baseline colour JPEG; the caller's header is replaced by the canonical one.
    [[nodiscard]] virtual BOOL Save(const BYTE* bits, BITMAPINFOHEADER* header, const wchar_t* path, int quality);
    // Decodes a JPEG held in a global block into a new movable block holding a PackedDib
    // (returned unlocked), or null. The given block stays the caller's.
    virtual HGLOBAL LoadFromGlobal(HGLOBAL jpegBytes);
    // The bytes Save would write, into block (emptied first, its room kept); no file is made.
    [[nodiscard]] BOOL Encode(std::vector<BYTE>* block, const BYTE* bits, BITMAPINFOHEADER* header, int quality);

private:
    CJpegWriter m_writer;
};
