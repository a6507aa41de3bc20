#include "image/ImgFileJpeg.h"


#include "foundation/SysUtil.h"
#include "image/JpegFile.h"

PackedDib* CImgFileJpeg::Load(const wchar_t* path, PackedDib* block) {
    return ReadJpegFileDib(path, block);
}

namespace {

// The library takes each row where it lies, bottom-up B, G, R, so nothing is copied:
// the top line and the step to the next. False for a picture no writer takes.
bool TopDown(const BYTE* bits, BITMAPINFOHEADER* header, const BYTE** top, ptrdiff_t* step) {
    if (!bits || !header || !ImageSizeAcceptable(header->biWidth, header->biHeight)) return false;
    *header = MakeBitmapInfoHeader24(header->biWidth, header->biHeight);
    const auto stride = static_cast<ptrdiff_t>(DibRowBytes(header->biWidth, 24));
    *top = bits + (header->biHeight - 1) * stride;
    *step = -stride;
    return true;
}

}  // namespace

BOOL CImgFileJpeg::Save(const BYTE* bits, BITMAPINFOHEADER* header, const wchar_t* path,
                        int quality) {
    const BYTE* top = nullptr;
    ptrdiff_t step = 0;
    if (!TopDown(bits, header, &top, &step)) return FALSE;
    return m_writer.Write(path, top, step, header->biWidth, header->biHeight, JCS_EXT_BGR, 3, quality);
}

BOOL CImgFileJpeg::Encode(std::vector<BYTE>* block, const BYTE* bits, BITMAPINFOHEADER* header, int quality) {
    const BYTE* top = nullptr;
    ptrdiff_t step = 0;
    if (!TopDown(bits, header, &top, &step)) return FALSE;
    return m_writer.Encode(block, top, step, header->biWidth, header->biHeight, JCS_EXT_BGR, 3, quality);
}

HGLOBAL CImgFileJpeg::LoadFromGlobal(HGLOBAL jpegBytes) { return ReadJpegGlobalToGlobalDib(jpegBytes); }
