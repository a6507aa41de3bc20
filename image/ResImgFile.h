#pragma once
// Chooses the still-image format by the file name's extension.
#include "image/ImgFileBmp.h"
#include "image/ImgFileJpeg.h"
#include "image/ImgFilePng.h"
#include "image/ImgFileTiff.h"
#include "image/PackedDib.h"

class CResImgFile {
public:
    virtual ~CResImgFile() = default;
    // Loads path with the loader of its extension; null for any other extension.
    virtual PackedDib* Load(const wchar_t* path, PackedDib* block);
    // Saves 24-bit bottom-up rows with the writer of the extension of path (.bmp, .jpg,
    // .jpeg, .tif, .tiff, .png in any letter case); FALSE for any other extension.
    [[nodiscard]] virtual BOOL Save(const BYTE* bits, BITMAPINFOHEADER* header, const wchar_t* path, int quality);
    // JPEG and PNG files cost their encoding: those of successive frames can be encoded
    // side by side into memory and written in order.
    static bool EncodesApart(const wchar_t* path);
    // The bytes Save would write to a JPEG or PNG path, chosen by its extension, into
    // block (emptied first, its room kept); no file is made. FALSE for other formats.
    [[nodiscard]] BOOL EncodeApart(std::vector<BYTE>* block, const BYTE* bits, BITMAPINFOHEADER* header, const wchar_t* path,
                     int quality);

private:
    // One writer per format, kept with its buffers and library state: a caller that keeps
    // this object for a run writes every file after the first without allocating.
    CImgFileBmp m_bmp;
    CImgFileJpeg m_jpeg;
    CImgFileTiff m_tiff;
    CImgFilePng m_png;
};
