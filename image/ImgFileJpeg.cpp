#include "image/ImgFileJpeg.h"

#include <cstring>

#include "foundation/SysUtil.h"
#include "image/JpegFile.h"

PackedDib* CImgFileJpeg::FromPackedRgb(BYTE* rgb, UINT width, UINT height, PackedDib* block) {
    if (!rgb) return nullptr;
    bool owned = false;
    PackedDib* dib = TakePackedDib(block, static_cast<int>(width), static_cast<int>(height), &owned);
    UINT stride = 0;
    BYTE* padded = nullptr;
    if (dib && SwapRedBlue(rgb, width, height) && FlipRowsVertical(rgb, width * 3, height))
        padded = PadRowsToDword(rgb, width, height, &stride);
    delete[] rgb;
    if (!padded) return DropPackedDib(dib, owned);
    std::memcpy(dib->Bits(), padded, size_t{stride} * height);
    delete[] padded;
    return dib;
}

PackedDib* CImgFileJpeg::Load(const wchar_t* path, PackedDib* block) {
    UINT width = 0, height = 0;
    BYTE* rgb = ReadJpegFile(path, &width, &height);
    return FromPackedRgb(rgb, width, height, block);
}

BOOL CImgFileJpeg::Save(const BYTE* bits, BITMAPINFOHEADER* header, const wchar_t* path,
                        int quality) {
    if (!bits || !header || !ImageSizeAcceptable(header->biWidth, header->biHeight)) return FALSE;
    *header = MakeBitmapInfoHeader24(header->biWidth, header->biHeight);
    // The library takes each row where it lies, bottom-up B, G, R, so nothing is copied.
    const int height = header->biHeight;
    const auto stride = static_cast<ptrdiff_t>(PackedDibStride(header->biWidth));
    return m_writer.Write(path, bits + (height - 1) * stride, -stride, header->biWidth, height, JCS_EXT_BGR,
                          3, quality);
}

HGLOBAL CImgFileJpeg::LoadFromGlobal(HGLOBAL jpegBytes) {
    UINT width = 0, height = 0;
    BYTE* rgb = ReadJpegGlobal(jpegBytes, &width, &height);
    PackedDib* dib = FromPackedRgb(rgb, width, height, nullptr);
    if (!dib) return nullptr;
    const size_t bytes = sizeof(BITMAPINFOHEADER) + PackedDibStride(width) * height;
    HGLOBAL out = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (void* p = GlobalLock(out)) {
        std::memcpy(p, dib, bytes);
        GlobalUnlock(out);
    }
    std::free(dib);
    return out;
}
