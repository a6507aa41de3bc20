#include "image/ImgFilePng.h"

#include <png.h>

#include <cstdlib>
#include <cstring>

#include "image/OutFile.h"

namespace {

struct MemoryReader {
    const BYTE* bytes;
    size_t size;
    size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (count > reader->size - reader->position) png_error(png, "read past the end of the data");
    std::memcpy(out, reader->bytes + reader->position, count);
    reader->position += count;
}

// Reads an 8-bit RGB picture from a file or from memory into PackedDib rows. libpng's
// errors jump back here; nothing with a destructor lives in this frame.
PackedDib* ReadPng(FILE* file, MemoryReader* memory, PackedDib* block) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return nullptr;
    png_infop info = png_create_info_struct(png);
    PackedDib* volatile dib = nullptr;
    volatile bool owned = false;
    png_bytep* volatile rows = nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        std::free(rows);
        return DropPackedDib(dib, owned);
    }
    if (file)
        png_init_io(png, file);
    else
        png_set_read_fn(png, memory, ReadFromMemory);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colourType = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colourType, nullptr, nullptr, nullptr);
    if (depth != 8 || colourType != PNG_COLOR_TYPE_RGB) png_error(png, "not 8-bit RGB");
    bool own = false;
    dib = TakePackedDib(block, static_cast<int>(width), static_cast<int>(height), &own);
    owned = own;
    if (!dib) png_error(png, "picture size refused");
    rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (!rows) png_error(png, "out of memory");
    const size_t stride = static_cast<size_t>(DibRowBytes(width, 24));
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = dib->Bits() + stride * (height - 1 - y);
    png_set_bgr(png);
    png_read_image(png, rows);
    png_destroy_read_struct(&png, &info, nullptr);
    std::free(rows);
    return dib;
}

void WriteToOutput(png_structp png, png_bytep data, png_size_t bytes) {
    if (!static_cast<COutput*>(png_get_io_ptr(png))->Write(data, bytes)) png_error(png, "write failed");
}

// Nothing to do: the file is flushed once, when it is closed.
void FlushNothing(png_structp) {}

// Encodes the rows into out; false when the library or a write failed.
bool EncodePng(COutput& out, CPngMemory& memory, const BYTE* bits, int width, int height) {
    memory.Prepare();
    png_structp png = png_create_write_struct_2(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr, &memory,
                                                CPngMemory::Allocate, CPngMemory::Release);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        memory.Reset();
        return false;
    }
    png_set_write_fn(png, &out, WriteToOutput, FlushNothing);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // The rows go to the library where they lie, top line first; it swaps B and R
    // in its own row copy.
    png_set_bgr(png);
    const size_t stride = static_cast<size_t>(DibRowBytes(width, 24));
    for (int y = 0; y < height; ++y) png_write_row(png, bits + stride * (height - 1 - y));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    memory.Reset();
    return true;
}

}  // namespace

PackedDib* CImgFilePng::Decode(const BYTE* bytes, size_t size, PackedDib* block) {
    if (!bytes) return nullptr;
    MemoryReader memory{bytes, size, 0};
    return ReadPng(nullptr, &memory, block);
}

PackedDib* CImgFilePng::Load(const wchar_t* path, PackedDib* block) {
    FILE* f = OpenFileWide(path, "rb");
    if (!f) return nullptr;
    PackedDib* dib = ReadPng(f, nullptr, block);
    std::fclose(f);
    return dib;
}

BOOL CImgFilePng::Save(const BYTE* bits, BITMAPINFOHEADER* header, const wchar_t* path) {
    if (!bits || !header || !ImageSizeAcceptable(header->biWidth, header->biHeight)) return FALSE;
    if (!m_file.Open(path)) return FALSE;
    if (!EncodePng(m_file, m_memory, bits, header->biWidth, header->biHeight)) {
        m_file.Abandon();
        return FALSE;
    }
    return m_file.Close();
}

BOOL CImgFilePng::Encode(std::vector<BYTE>* block, const BYTE* bits, const BITMAPINFOHEADER* header) {
    if (!bits || !header || !ImageSizeAcceptable(header->biWidth, header->biHeight)) return FALSE;
    block->clear();
    CMemoryOutput out(*block);
    return EncodePng(out, m_memory, bits, header->biWidth, header->biHeight) ? TRUE : FALSE;
}
