#include "image/ResImgFile.h"

#include <cwchar>

namespace {

enum class ImageFormat { None, Bmp, Jpeg, Tiff, Png };

// True when ext (NUL-terminated) equals literal, which is lower case, with any ASCII
// letter of ext in either case.
bool ExtensionIs(const wchar_t* ext, const wchar_t* literal) {
    for (; *literal; ++ext, ++literal) {
        wchar_t c = *ext;
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != *literal) return false;
    }
    return *ext == L'\0';
}

// The extension is the text from the last dot of the name after the last separator; a
// name that starts with its only dot has none. Read in place: nothing is copied.
ImageFormat FormatOf(const wchar_t* path) {
    if (!path) return ImageFormat::None;
    const wchar_t* slash = std::wcsrchr(path, L'/');
    const wchar_t* name = slash ? slash + 1 : path;
    const wchar_t* dot = std::wcsrchr(name, L'.');
    if (!dot || dot == name) return ImageFormat::None;
    if (ExtensionIs(dot, L".bmp")) return ImageFormat::Bmp;
    if (ExtensionIs(dot, L".jpg") || ExtensionIs(dot, L".jpeg")) return ImageFormat::Jpeg;
    if (ExtensionIs(dot, L".tif") || ExtensionIs(dot, L".tiff")) return ImageFormat::Tiff;
    if (ExtensionIs(dot, L".png")) return ImageFormat::Png;
    return ImageFormat::None;
}

}  // namespace

bool CResImgFile::EncodesApart(const wchar_t* path) {
    const ImageFormat format = FormatOf(path);
    return format == ImageFormat::Jpeg || format == ImageFormat::Png;
}

PackedDib* CResImgFile::Load(const wchar_t* path, PackedDib* block) {
    switch (FormatOf(path)) {
        case ImageFormat::Bmp: return m_bmp.Load(path, block);
        case ImageFormat::Jpeg: return m_jpeg.Load(path, block);
        case ImageFormat::Tiff: return m_tiff.Load(path, block);
        case ImageFormat::Png: return m_png.Load(path, block);
        case ImageFormat::None: break;
    }
    return nullptr;
}

BOOL CResImgFile::EncodeApart(std::vector<BYTE>* block, const BYTE* bits, BITMAPINFOHEADER* header,
                              const wchar_t* path, int quality) {
    switch (FormatOf(path)) {
        case ImageFormat::Jpeg: return m_jpeg.Encode(block, bits, header, quality);
        case ImageFormat::Png: return m_png.Encode(block, bits, header);
        default: return FALSE;
    }
}

BOOL CResImgFile::Save(const BYTE* bits, BITMAPINFOHEADER* header, const wchar_t* path,
                       int quality) {
    switch (FormatOf(path)) {
        case ImageFormat::Bmp: return m_bmp.Save(bits, header, path);
        case ImageFormat::Jpeg: return m_jpeg.Save(bits, header, path, quality);
        case ImageFormat::Tiff: return m_tiff.Save(bits, header, path);
        case ImageFormat::Png: return m_png.Save(bits, header, path);
        case ImageFormat::None: break;
    }
    return FALSE;
}
