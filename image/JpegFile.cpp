#include "image/JpegFile.h"

#include <jerror.h>

#include <cstring>
#include <new>

#include "foundation/SysUtil.h"
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

// Where decoded rows go. The sink learns the picture's size, then gives the place of
// each row (counted from the top), and undoes its work when decoding fails after that.
class JpegRowSink {
public:
    virtual ~JpegRowSink() = default;
    virtual J_COLOR_SPACE ColorSpace() const = 0;
    virtual bool Begin(UINT width, UINT height) = 0;
    virtual BYTE* Row(UINT top) = 0;
    virtual void Abandon() = 0;
};

// Picture rows are refused before the library sizes anything for them: a progressive
// picture would otherwise have its whole coefficient store allocated first.
bool Acceptable(j_decompress_ptr cinfo) {
    const J_COLOR_SPACE in = cinfo->jpeg_color_space;
    const bool kind = (in == JCS_GRAYSCALE && cinfo->num_components == 1) ||
                      ((in == JCS_YCbCr || in == JCS_RGB) && cinfo->num_components == 3);
    return kind && ImageSizeAcceptable(cinfo->output_width, cinfo->output_height);
}

// One decompression pass from a file or a global block; each output row goes straight
// to the place the sink gives for it, so the picture is held once.
bool DecompressInto(FILE* file, HGLOBAL block, JpegRowSink& sink) {
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    JpegGlobalSource record{block, 0};
    volatile bool begun = false;
    InstallErrorManager(reinterpret_cast<jpeg_common_struct*>(&cinfo), &err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        if (begun) sink.Abandon();
        return false;
    }
    jpeg_create_decompress(&cinfo);
    if (file)
        jpeg_stdio_src(&cinfo, file);
    else
        InstallGlobalJpegSource(&cinfo, &record);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = sink.ColorSpace();
    jpeg_calc_output_dimensions(&cinfo);
    if (!Acceptable(&cinfo) || !sink.Begin(cinfo.output_width, cinfo.output_height)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    begun = true;
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = sink.Row(cinfo.output_scanline);
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) ERREXIT(&cinfo, JERR_INPUT_EOF);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// Packed, top-down RGB rows in one new[] block.
class PackedRgbSink : public JpegRowSink {
public:
    J_COLOR_SPACE ColorSpace() const override { return JCS_RGB; }
    bool Begin(UINT width, UINT height) override {
        m_rowBytes = size_t{width} * 3;
        m_image = new (std::nothrow) BYTE[m_rowBytes * height];
        if (!m_image) return false;
        *m_width = width;
        *m_height = height;
        return true;
    }
    BYTE* Row(UINT top) override { return m_image + m_rowBytes * top; }
    void Abandon() override {
        delete[] m_image;
        m_image = nullptr;
    }
    PackedRgbSink(UINT* width, UINT* height) : m_width(width), m_height(height) {}
    BYTE* Take() { return m_image; }

private:
    UINT* m_width;
    UINT* m_height;
    BYTE* m_image = nullptr;
    size_t m_rowBytes = 0;
};

BYTE* DecompressRows(FILE* file, HGLOBAL block, UINT* width, UINT* height) {
    PackedRgbSink sink(width, height);
    return DecompressInto(file, block, sink) ? sink.Take() : nullptr;
}

// PackedDib rows: bottom line first, B, G, R, padded to 4 bytes.
class DibSink : public JpegRowSink {
public:
    J_COLOR_SPACE ColorSpace() const override { return JCS_EXT_BGR; }
    BYTE* Row(UINT top) override { return m_bits + m_stride * (m_height - 1 - top); }

protected:
    void Place(PackedDib* dib, UINT width, UINT height) {
        m_bits = dib->Bits();
        m_stride = static_cast<size_t>(DibRowBytes(width, 24));
        m_height = height;
    }

private:
    BYTE* m_bits = nullptr;
    size_t m_stride = 0;
    UINT m_height = 0;
};

// Into a caller's PackedDib of the picture's size, or a new one.
class BlockDibSink : public DibSink {
public:
    explicit BlockDibSink(PackedDib* block) : m_dib(block) {}
    bool Begin(UINT width, UINT height) override {
        m_dib = TakePackedDib(m_dib, static_cast<int>(width), static_cast<int>(height), &m_owned);
        if (m_dib) Place(m_dib, width, height);
        return m_dib != nullptr;
    }
    void Abandon() override { m_dib = DropPackedDib(m_dib, m_owned); }
    PackedDib* Take() { return m_dib; }

private:
    PackedDib* m_dib;
    bool m_owned = false;
};

// Into a new movable global block holding a PackedDib.
class GlobalDibSink : public DibSink {
public:
    bool Begin(UINT width, UINT height) override {
        const size_t bytes = sizeof(BITMAPINFOHEADER) + DibRowBytes(width, 24) * height;
        m_block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        auto* dib = static_cast<PackedDib*>(GlobalLock(m_block));
        if (!dib) return false;
        dib->bmiHeader = MakeBitmapInfoHeader24(static_cast<int>(width), static_cast<int>(height));
        Place(dib, width, height);
        return true;
    }
    void Abandon() override {
        GlobalUnlock(m_block);
        m_block = GlobalFree(m_block);
    }
    HGLOBAL Take() {
        GlobalUnlock(m_block);
        return m_block;
    }

private:
    HGLOBAL m_block = nullptr;
};

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

PackedDib* ReadJpegFileDib(const wchar_t* path, PackedDib* block) {
    FILE* file = OpenFileWide(path, "rb");
    if (!file) return nullptr;
    BlockDibSink sink(block);
    const bool decoded = DecompressInto(file, nullptr, sink);
    std::fclose(file);
    return decoded ? sink.Take() : nullptr;
}

PackedDib* ReadJpegGlobalDib(HGLOBAL jpeg, PackedDib* block) {
    BlockDibSink sink(block);
    return jpeg && DecompressInto(nullptr, jpeg, sink) ? sink.Take() : nullptr;
}

HGLOBAL ReadJpegGlobalToGlobalDib(HGLOBAL jpeg) {
    GlobalDibSink sink;
    return jpeg && DecompressInto(nullptr, jpeg, sink) ? sink.Take() : nullptr;
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
