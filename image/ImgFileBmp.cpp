#include "image/ImgFileBmp.h"

#include <cstring>
#include <vector>

#include "foundation/SysUtil.h"

namespace {

constexpr WORD kBmpMagic = 0x4D42;  // "BM"
constexpr size_t kFileHeaderBytes = sizeof(BITMAPFILEHEADER);
constexpr size_t kInfoHeaderBytes = sizeof(BITMAPINFOHEADER);
// A BMP file bigger than the largest picture we hold plus headers and palette is refused
// before it is read.
constexpr int64_t kMaxBmpFileBytes = kMaxImageBytes + 65536;

// Reads the file that starts at info (the info header) and whose pixel rows begin at
// bitsOffset bytes from info. Every size is checked against the bytes at hand.
PackedDib* DecodeRows(const BYTE* info, size_t size, size_t bitsOffset, PackedDib* block) {
    if (size < kInfoHeaderBytes) return nullptr;
    BITMAPINFOHEADER h;
    std::memcpy(&h, info, sizeof h);
    if (h.biSize < kInfoHeaderBytes || h.biSize > size || h.biCompression != BI_RGB) return nullptr;
    if (h.biBitCount != 24 && h.biBitCount != 8) return nullptr;
    if (h.biHeight == INT32_MIN) return nullptr;
    const bool topDown = h.biHeight < 0;
    const int width = h.biWidth;
    const int height = topDown ? -h.biHeight : h.biHeight;
    if (!ImageSizeAcceptable(width, height)) return nullptr;

    RGBQUAD palette[256] = {};
    if (h.biBitCount == 8) {
        const size_t entries = h.biClrUsed == 0 || h.biClrUsed > 256 ? 256 : h.biClrUsed;
        if (h.biSize + entries * sizeof(RGBQUAD) > size) return nullptr;
        std::memcpy(palette, info + h.biSize, entries * sizeof(RGBQUAD));
    }
    const size_t srcStride = static_cast<size_t>(DibRowBytes(width, h.biBitCount));
    if (bitsOffset > size || srcStride * height > size - bitsOffset) return nullptr;

    bool owned = false;
    PackedDib* dib = TakePackedDib(block, width, height, &owned);
    if (!dib) return nullptr;
    const size_t dstStride = static_cast<size_t>(DibRowBytes(width, 24));
    for (int r = 0; r < height; ++r) {
        const BYTE* src = info + bitsOffset + srcStride * r;
        BYTE* dst = dib->Bits() + dstStride * (topDown ? height - 1 - r : r);
        if (h.biBitCount == 24) {
            std::memcpy(dst, src, 3 * static_cast<size_t>(width));
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const RGBQUAD& c = palette[src[x]];
            dst[3 * x] = c.rgbBlue;
            dst[3 * x + 1] = c.rgbGreen;
            dst[3 * x + 2] = c.rgbRed;
        }
    }
    return dib;
}

}  // namespace

PackedDib* CImgFileBmp::Decode(const BYTE* bytes, size_t size, PackedDib* block) {
    if (!bytes || size < kFileHeaderBytes + kInfoHeaderBytes) return nullptr;
    BITMAPFILEHEADER fh;
    std::memcpy(&fh, bytes, sizeof fh);
    if (fh.bfType != kBmpMagic || fh.bfOffBits < kFileHeaderBytes) return nullptr;
    return DecodeRows(bytes + kFileHeaderBytes, size - kFileHeaderBytes,
                      fh.bfOffBits - kFileHeaderBytes, block);
}

PackedDib* CImgFileBmp::DecodeInfo(const BYTE* bytes, size_t size, PackedDib* block) {
    if (!bytes || size < kInfoHeaderBytes) return nullptr;
    BITMAPINFOHEADER h;
    std::memcpy(&h, bytes, sizeof h);
    size_t paletteBytes = 0;
    if (h.biBitCount == 8) paletteBytes = (h.biClrUsed == 0 || h.biClrUsed > 256 ? 256 : h.biClrUsed) * 4;
    return DecodeRows(bytes, size, size_t{h.biSize} + paletteBytes, block);
}

PackedDib* CImgFileBmp::Load(const wchar_t* path, PackedDib* block) {
    FILE* f = OpenFileWide(path, "rb");
    if (!f) return nullptr;
    std::vector<BYTE> bytes;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (size > 0 && size <= kMaxBmpFileBytes && std::fseek(f, 0, SEEK_SET) == 0) {
        bytes.resize(static_cast<size_t>(size));
        if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
    }
    std::fclose(f);
    return Decode(bytes.data(), bytes.size(), block);
}

BOOL CImgFileBmp::Save(const BYTE* bits, BITMAPINFOHEADER* header, const wchar_t* path) {
    if (!bits || !header || !ImageSizeAcceptable(header->biWidth, header->biHeight)) return FALSE;
    *header = MakeBitmapInfoHeader24(header->biWidth, header->biHeight);
    BITMAPFILEHEADER fh{};
    fh.bfType = kBmpMagic;
    fh.bfSize = header->biSizeImage + kFileHeaderBytes + kInfoHeaderBytes;
    fh.bfOffBits = kFileHeaderBytes + kInfoHeaderBytes;
    BYTE headers[kFileHeaderBytes + kInfoHeaderBytes];
    std::memcpy(headers, &fh, kFileHeaderBytes);
    std::memcpy(headers + kFileHeaderBytes, header, kInfoHeaderBytes);
    if (!m_file.Open(path)) return FALSE;
    // Headers and rows leave in one system call when the headers wait in the buffer.
    const bool written = m_file.Write(headers, sizeof headers) && m_file.Write(bits, header->biSizeImage);
    if (!written) {
        m_file.Abandon();
        return FALSE;
    }
    return m_file.Close();
}
