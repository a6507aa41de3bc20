#pragma once
#include "image/ImgFile.h"
#include "platform/win32/GlobalMemory.h"

// Loads a picture of any format we read (BMP, JPEG, PNG, TIFF), recognised by its
// first bytes rather than by its file name.
class CImgFileCom : public CImgFile {
public:
    PackedDib* Load(const wchar_t* path, PackedDib* block) override;
    // Decodes the picture held in pictureBytes; the block stays the caller's.
    virtual PackedDib* LoadFromGlobal(HGLOBAL pictureBytes, PackedDib* block);
};
