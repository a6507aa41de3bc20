#include "image/ImgFileTiff.h"

#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstring>

#include "image/BoundedPath.h"
#include "platform/win32/RegularFile.h"

namespace {

// Reads the first directory of an open file through the RGBA reader, bottom line first.
PackedDib* ReadTiff(TIFF* tif, PackedDib* block) {
    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height))
        return nullptr;
    if (!ImageSizeAcceptable(width, height)) return nullptr;
    bool owned = false;
    PackedDib* dib = TakePackedDib(block, static_cast<int>(width), static_cast<int>(height), &owned);
    if (!dib) return nullptr;
    auto* raster = static_cast<uint32_t*>(_TIFFmalloc(static_cast<tmsize_t>(width) * height * 4));
    const bool read = raster && TIFFReadRGBAImageOriented(tif, width, height, raster, ORIENTATION_BOTLEFT, 0);
    if (read) {
        const size_t stride = static_cast<size_t>(DibRowBytes(width, 24));
        for (uint32_t y = 0; y < height; ++y) {
            const uint32_t* src = raster + size_t{y} * width;
            BYTE* dst = dib->Bits() + stride * y;
            for (uint32_t x = 0; x < width; ++x, dst += 3) {
                dst[0] = static_cast<BYTE>(TIFFGetB(src[x]));
                dst[1] = static_cast<BYTE>(TIFFGetG(src[x]));
                dst[2] = static_cast<BYTE>(TIFFGetR(src[x]));
            }
        }
    }
    _TIFFfree(raster);
    return read ? dib : DropPackedDib(dib, owned);
}

struct MemoryFile {
    const BYTE* bytes;
    toff_t size;
    toff_t position;
};

tmsize_t MemRead(thandle_t h, void* out, tmsize_t count) {
    auto* m = static_cast<MemoryFile*>(h);
    if (count < 0) return -1;
    const toff_t left = m->position < m->size ? m->size - m->position : 0;
    const toff_t n = static_cast<toff_t>(count) < left ? static_cast<toff_t>(count) : left;
    std::memcpy(out, m->bytes + m->position, n);
    m->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t MemWrite(thandle_t, void*, tmsize_t) { return -1; }

toff_t MemSeek(thandle_t h, toff_t offset, int whence) {
    auto* m = static_cast<MemoryFile*>(h);
    toff_t base = whence == SEEK_CUR ? m->position : whence == SEEK_END ? m->size : 0;
    m->position = base + offset;
    return m->position;
}

int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<MemoryFile*>(h)->size; }
int MemMap(thandle_t, void**, toff_t*) { return 0; }
void MemUnmap(thandle_t, void*, toff_t) {}

}  // namespace

PackedDib* CImgFileTiff::Decode(const BYTE* bytes, size_t size, PackedDib* block) {
    if (!bytes) return nullptr;
    MemoryFile memory{bytes, size, 0};
    TIFF* tif = TIFFClientOpen("memory", "rm", &memory, MemRead, MemWrite, MemSeek, MemClose,
                               MemSize, MemMap, MemUnmap);
    if (!tif) return nullptr;
    PackedDib* dib = ReadTiff(tif, block);
    TIFFClose(tif);
    return dib;
}

PackedDib* CImgFileTiff::Load(const wchar_t* path, PackedDib* block) {
    const CBoundedPath native(path);
    if (!native.Get()) return nullptr;
    const int fd = OpenRegularFile(native.Get(), O_RDONLY);
    if (fd < 0) return nullptr;
    TIFF* tif = TIFFFdOpen(fd, native.Get(), "r");
    if (!tif) {
        ::close(fd);
        return nullptr;
    }
    PackedDib* dib = ReadTiff(tif, block);
    TIFFClose(tif);
    return dib;
}

BOOL CImgFileTiff::Save(const BYTE* bits, BITMAPINFOHEADER* header, const wchar_t* path) {
    if (!bits || !header || !ImageSizeAcceptable(header->biWidth, header->biHeight)) return FALSE;
    const int width = header->biWidth;
    const int height = header->biHeight;
    const int rowBytes = 3 * width;
    const int bytes = rowBytes * height;
    BYTE* rgb = m_rows.GetBuffer(bytes);
    if (!rgb) return FALSE;
    const size_t stride = static_cast<size_t>(DibRowBytes(width, 24));
    for (int y = 0; y < height; ++y) {
        const BYTE* src = bits + stride * (height - 1 - y);
        BYTE* dst = rgb + static_cast<size_t>(rowBytes) * y;
        for (int x = 0; x < width; ++x, src += 3, dst += 3) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
        }
    }
    // The library writes through the file's descriptor, so that a file it leaves
    // unfinished is taken away like every other image file's.
    if (!m_file.Open(path)) return FALSE;
    TIFF* tif = TIFFFdOpen(m_file.Descriptor(), "output", "w");
    if (!tif) {
        m_file.Abandon();
        return FALSE;
    }
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    const bool written = TIFFWriteRawStrip(tif, 0, rgb, bytes) == bytes;
    // The directory is written on flush; a full disk shows up only there.
    const bool flushed = written && TIFFFlush(tif) == 1;
    // Frees the library's state and leaves the descriptor to the file.
    TIFFCleanup(tif);
    if (!flushed) {
        m_file.Abandon();
        return FALSE;
    }
    return m_file.Close();
}
