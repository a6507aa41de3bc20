#include "image/JpegFile.h"

#include <jerror.h>

#include <cstring>
#include <new>

#include "image/JpegWriter.h"
#include "image/PackedDib.h"

namespace {

constexpr size_t kSourceBufferBytes = 4096;

void InstallErrorManager(jpeg_common_struct* cinfo, JpegErrorManager* err) {
    cinfo->err = jpeg_std_error(&err->pub);
    err->pub.error_exit = JpegErrorExit;
}

struct GlobalSourceManager {
    jpeg_source_mgr pub;
    JpegGlobalSource* record;
    JOCTET* buffer;
    boolean startOfFile;
};

void GlobalSrcInit(j_decompress_ptr cinfo) {
    reinterpret_cast<GlobalSourceManager*>(cinfo->src)->startOfFile = TRUE;
}

boolean GlobalSrcFill(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<GlobalSourceManager*>(cinfo->src);
    JpegGlobalSource* record = src->record;
    size_t count = 0;
    if (const auto* bytes = static_cast<const BYTE*>(GlobalLock(record->block))) {
        const size_t size = GlobalSize(record->block);
        const size_t position = static_cast<size_t>(record->position);
        if (position < size) {
            count = size - position < kSourceBufferBytes ? size - position : kSourceBufferBytes;
            std::memcpy(src->buffer, bytes + position, count);
            record->position = static_cast<int>(position + count);
        }
        GlobalUnlock(record->block);
    }
    if (count == 0) {
        if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        // The stream ended early: finish it with an End Of Image marker so the
        // decoder delivers what it has.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        count = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = count;
    src->startOfFile = FALSE;
    return TRUE;
}

void GlobalSrcSkip(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = cinfo->src;
    while (count > static_cast<long>(src->bytes_in_buffer)) {
        count -= static_cast<long>(src->bytes_in_buffer);
        (*src->fill_input_buffer)(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
}

void GlobalSrcTerm(j_decompress_ptr) {}

// One decompression pass from a file or a global block into packed RGB rows.
BYTE* DecompressRows(FILE* file, HGLOBAL block, UINT* width, UINT* height) {
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    JpegGlobalSource record{block, 0};
    BYTE* volatile image = nullptr;
    InstallErrorManager(reinterpret_cast<jpeg_common_struct*>(&cinfo), &err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        delete[] image;
        return nullptr;
    }
    jpeg_create_decompress(&cinfo);
    if (file)
        jpeg_stdio_src(&cinfo, file);
    else
        InstallGlobalJpegSource(&cinfo, &record);
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    const UINT w = cinfo.output_width;
    const UINT h = cinfo.output_height;
    const int components = cinfo.out_color_components;
    if ((components != 3 && components != 1) || !ImageSizeAcceptable(w, h)) {
        jpeg_destroy_decompress(&cinfo);
        return nullptr;
    }
    image = new (std::nothrow) BYTE[size_t{w} * 3 * h];
    if (!image) {
        jpeg_destroy_decompress(&cinfo);
        return nullptr;
    }
    *width = w;
    *height = h;
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                JPOOL_IMAGE, w * components, 1);
    while (cinfo.output_scanline < h) {
        if (jpeg_read_scanlines(&cinfo, row, 1) != 1) ERREXIT(&cinfo, JERR_INPUT_EOF);
        const int r = static_cast<int>(cinfo.output_scanline) - 1;
        if (components == 3)
            CopyRgbRow(row[0], static_cast<int>(w), image, r);
        else
            GrayRowToRgb(row[0], static_cast<int>(w), image, r);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return image;
}

}  // namespace

BOOL WriteJpegFile(const wchar_t* path, const BYTE* data, UINT width, UINT height, BOOL colour,
                   int quality) {
    if (!data || !ImageSizeAcceptable(width, height)) return FALSE;
    CJpegWriter writer;
    const auto w = static_cast<ptrdiff_t>(width);
    if (colour) return writer.Write(path, data, 3 * w, width, height, JCS_RGB, 3, quality);
    const size_t pixels = size_t{width} * height;
    BYTE* grey = new (std::nothrow) BYTE[pixels];
    if (!grey) return FALSE;
    for (size_t i = 0; i < pixels; ++i) {
        const BYTE* p = data + 3 * i;
        grey[i] = static_cast<BYTE>(static_cast<int>(0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]));
    }
    const BOOL ok = writer.Write(path, grey, w, width, height, JCS_GRAYSCALE, 1, quality);
    delete[] grey;
    return ok;
}

BYTE* ReadJpegFile(const wchar_t* path, UINT* width, UINT* height) {
    *width = *height = 0;
    FILE* file = OpenFileWide(path, "rb");
    if (!file) return nullptr;
    BYTE* image = DecompressRows(file, nullptr, width, height);
    std::fclose(file);
    return image;
}

BYTE* ReadJpegGlobal(HGLOBAL block, UINT* width, UINT* height) {
    *width = *height = 0;
    if (!block) return nullptr;
    return DecompressRows(nullptr, block, width, height);
}

BOOL SwapRedBlue(BYTE* data, UINT width, UINT height) {
    if (!data) return FALSE;
    const size_t pixels = size_t{width} * height;
    for (size_t i = 0; i < pixels; ++i) {
        BYTE* p = data + 3 * i;
        const BYTE t = p[0];
        p[0] = p[2];
        p[2] = t;
    }
    return TRUE;
}

BOOL FlipRowsVertical(BYTE* data, UINT rowBytes, UINT rows) {
    if (!data) return FALSE;
    BYTE* upper = new (std::nothrow) BYTE[size_t{rowBytes} + 1];
    BYTE* lower = new (std::nothrow) BYTE[size_t{rowBytes} + 1];
    if (!upper || !lower) {
        delete[] upper;
        delete[] lower;
        return FALSE;
    }
    for (UINT i = 0; i < ((rows + 1) >> 1); ++i) {
        BYTE* a = data + size_t{i} * rowBytes;
        BYTE* b = data + size_t{rows - 1 - i} * rowBytes;
        std::memcpy(upper, a, rowBytes);
        std::memcpy(lower, b, rowBytes);
        std::memcpy(a, lower, rowBytes);
        std::memcpy(b, upper, rowBytes);
    }
    delete[] upper;
    delete[] lower;
    return TRUE;
}

BYTE* UnpadRows(const BYTE* data, UINT width, UINT stride, UINT height) {
    if (!data) return nullptr;
    const size_t rowBytes = size_t{width} * 3;
    BYTE* packed = new (std::nothrow) BYTE[rowBytes * height + 1];
    if (!packed) return nullptr;
    for (UINT r = 0; r < height; ++r)
        std::memcpy(packed + r * rowBytes, data + size_t{r} * stride, rowBytes);
    return packed;
}

BYTE* PadRowsToDword(const BYTE* data, UINT width, UINT height, UINT* stride) {
    if (!data) return nullptr;
    const size_t rowBytes = size_t{width} * 3;
    const size_t padded = ((size_t{width} * 24 + 31) >> 5) << 2;
    BYTE* rows = new (std::nothrow) BYTE[padded * height + 1];
    if (!rows) return nullptr;
    for (UINT r = 0; r < height; ++r)
        std::memcpy(rows + r * padded, data + r * rowBytes, rowBytes);
    *stride = static_cast<UINT>(padded);
    return rows;
}

void CopyRgbRow(const BYTE* row, int width, BYTE* image, int rowIndex) {
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::memcpy(image + rowBytes * rowIndex, row, rowBytes);
}

void GrayRowToRgb(const BYTE* row, int width, BYTE* image, int rowIndex) {
    BYTE* out = image + static_cast<size_t>(width) * 3 * rowIndex;
    for (int x = 0; x < width; ++x, out += 3) out[0] = out[1] = out[2] = row[x];
}

void JpegErrorExit(j_common_ptr cinfo) {
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

void InstallGlobalJpegSource(j_decompress_ptr cinfo, JpegGlobalSource* source) {
    if (!cinfo->src) {
        auto* manager = static_cast<GlobalSourceManager*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(GlobalSourceManager)));
        manager->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kSourceBufferBytes));
        cinfo->src = &manager->pub;
    }
    auto* manager = reinterpret_cast<GlobalSourceManager*>(cinfo->src);
    manager->pub.init_source = GlobalSrcInit;
    manager->pub.fill_input_buffer = GlobalSrcFill;
    manager->pub.skip_input_data = GlobalSrcSkip;
    manager->pub.resync_to_restart = jpeg_resync_to_restart;
    manager->pub.term_source = GlobalSrcTerm;
    manager->record = source;
    manager->pub.bytes_in_buffer = 0;
    manager->pub.next_input_byte = nullptr;
}
