#include "image/ResImgFile.h"

#include <string>

#include "foundation/PathUtil.h"
#include "image/ImgFileBmp.h"
#include "image/ImgFileJpeg.h"
#include "image/ImgFilePng.h"
#include "image/ImgFileTiff.h"

namespace {

enum class ImageFormat { None, Bmp, Jpeg, Tiff, Png };

ImageFormat FormatOf(const wchar_t* path) {
    if (!path) return ImageFormat::None;
    const std::wstring ext = GetPathExt(path);
    if (ext == L".bmp") return ImageFormat::Bmp;
    if (ext == L".jpg" || ext == L".jpeg") return ImageFormat::Jpeg;
    if (ext == L".tif" || ext == L".tiff") return ImageFormat::Tiff;
    if (ext == L".png") return ImageFormat::Png;
    return ImageFormat::None;
}

}  // namespace

PackedDib* CResImgFile::Load(const wchar_t* path, PackedDib* block) {
    switch (FormatOf(path)) {
        case ImageFormat::Bmp: return CImgFileBmp().Load(path, block);
        case ImageFormat::Jpeg: return CImgFileJpeg().Load(path, block);
        case ImageFormat::Tiff: return CImgFileTiff().Load(path, block);
        case ImageFormat::Png: return CImgFilePng().Load(path, block);
        case ImageFormat::None: break;
    }
    return nullptr;
}

BOOL CResImgFile::Save(const BYTE* bits, BITMAPINFOHEADER* header, const wchar_t* path,
                       int quality) {
    switch (FormatOf(path)) {
        case ImageFormat::Bmp: return CImgFileBmp().Save(bits, header, path);
        case ImageFormat::Jpeg: return CImgFileJpeg().Save(bits, header, path, quality);
        case ImageFormat::Tiff: return CImgFileTiff().Save(bits, header, path);
        case ImageFormat::Png: return CImgFilePng().Save(bits, header, path);
        case ImageFormat::None: break;
    }
    return FALSE;
}
