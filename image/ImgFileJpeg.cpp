#include "image/ImgFileJpeg.h"


#include "foundation/SysUtil.h"
#include "image/JpegFile.h"

PackedDib* CImgFileJpeg::Load(const wchar_t* path, PackedDib* block) {
    return ReadJpegFileDib(path, block);
}

BOOL CImgFileJpeg::Save(const BYTE* bits, BITMAPINFOHEADER* header, const wchar_t* path,
                        int quality) {
    if (!bits || !header || !ImageSizeAcceptable(header->biWidth, header->biHeight)) return FALSE;
    *header = MakeBitmapInfoHeader24(header->biWidth, header->biHeight);
    // The library takes each row where it lies, bottom-up B, G, R, so nothing is copied.
    const int height = header->biHeight;
    const auto stride = static_cast<ptrdiff_t>(DibRowBytes(header->biWidth, 24));
    return m_writer.Write(path, bits + (height - 1) * stride, -stride, header->biWidth, height, JCS_EXT_BGR,
                          3, quality);
}

HGLOBAL CImgFileJpeg::LoadFromGlobal(HGLOBAL jpegBytes) { return ReadJpegGlobalToGlobalDib(jpegBytes); }
