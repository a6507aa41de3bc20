#include "image/JpegWriter.h"

#include <jerror.h>

#include <csetjmp>

namespace {

constexpr int kOutputBufferBytes = 64 * 1024;
// Rows handed to the library per call: one band of the tallest sampling it uses.
constexpr UINT kRowsPerCall = 16;

}  // namespace

CJpegWriter::CJpegWriter() {
    m_cinfo.err = jpeg_std_error(&m_err.pub);
    m_err.pub.error_exit = JpegErrorExit;
    m_dest.pub.init_destination = StartOutput;
    m_dest.pub.empty_output_buffer = BufferFull;
    m_dest.pub.term_destination = FinishOutput;
    m_dest.owner = this;
}

CJpegWriter::~CJpegWriter() {
    if (m_created) jpeg_destroy_compress(&m_cinfo);
}

BOOL CJpegWriter::Write(const wchar_t* path, const BYTE* topRow, ptrdiff_t rowStep, UINT width,
                        UINT height, J_COLOR_SPACE space, int components, int quality) {
    if (!m_buffer.GetBuffer(kOutputBufferBytes)) return FALSE;
    if (!m_file.Open(path)) return FALSE;
    if (!EncodeTo(m_file, topRow, rowStep, width, height, space, components, quality)) {
        m_file.Abandon();
        return FALSE;
    }
    return m_file.Close();
}

BOOL CJpegWriter::Encode(std::vector<BYTE>* block, const BYTE* topRow, ptrdiff_t rowStep, UINT width, UINT height,
                         J_COLOR_SPACE space, int components, int quality) {
    block->clear();
    CMemoryOutput out(*block);
    return EncodeTo(out, topRow, rowStep, width, height, space, components, quality);
}

BOOL CJpegWriter::EncodeTo(COutput& out, const BYTE* topRow, ptrdiff_t rowStep, UINT width, UINT height,
                           J_COLOR_SPACE space, int components, int quality) {
    if (!m_buffer.GetBuffer(kOutputBufferBytes)) return FALSE;
    m_out = &out;
    // Nothing with a destructor lives in this frame, so the long jump back from the
    // error exit skips no cleanup; the object itself is returned to a reusable state.
    if (setjmp(m_err.jump)) {
        if (m_created)
            jpeg_abort_compress(&m_cinfo);
        else
            jpeg_destroy_compress(&m_cinfo);  // a creation that failed half way
        m_out = nullptr;
        return FALSE;
    }
    if (!m_created) {
        jpeg_create_compress(&m_cinfo);
        m_created = true;
    }
    m_cinfo.dest = &m_dest.pub;
    Compress(topRow, rowStep, width, height, space, components, quality);
    m_out = nullptr;
    return TRUE;
}

void CJpegWriter::Compress(const BYTE* topRow, ptrdiff_t rowStep, UINT width, UINT height,
                           J_COLOR_SPACE space, int components, int quality) {
    m_cinfo.image_width = width;
    m_cinfo.image_height = height;
    m_cinfo.input_components = components;
    m_cinfo.in_color_space = space;
    jpeg_set_defaults(&m_cinfo);
    jpeg_set_quality(&m_cinfo, quality, TRUE);
    jpeg_start_compress(&m_cinfo, TRUE);
    JSAMPROW rows[kRowsPerCall];
    while (m_cinfo.next_scanline < height) {
        const UINT first = m_cinfo.next_scanline;
        const UINT count = height - first < kRowsPerCall ? height - first : kRowsPerCall;
        for (UINT i = 0; i < count; ++i)
            rows[i] = const_cast<BYTE*>(topRow + static_cast<ptrdiff_t>(first + i) * rowStep);
        jpeg_write_scanlines(&m_cinfo, rows, count);
    }
    jpeg_finish_compress(&m_cinfo);
}

void CJpegWriter::StartOutput(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->owner->m_buffer.GetData();
    dest->pub.free_in_buffer = kOutputBufferBytes;
}

// The library calls this only with the whole buffer full, whatever free_in_buffer says.
boolean CJpegWriter::BufferFull(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    if (!dest->owner->m_out->Write(dest->owner->m_buffer.GetData(), kOutputBufferBytes))
        ERREXIT(cinfo, JERR_FILE_WRITE);
    StartOutput(cinfo);
    return TRUE;
}

void CJpegWriter::FinishOutput(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    const size_t bytes = kOutputBufferBytes - dest->pub.free_in_buffer;
    if (!dest->owner->m_out->Write(dest->owner->m_buffer.GetData(), bytes)) ERREXIT(cinfo, JERR_FILE_WRITE);
}
