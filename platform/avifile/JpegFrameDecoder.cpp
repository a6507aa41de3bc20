#include "platform/avifile/JpegFrameDecoder.h"

JpegFrameDecoder::JpegFrameDecoder() {
    m_cinfo.err = jpeg_std_error(&m_err.pub);
    m_err.pub.error_exit = ErrorExit;
    m_err.pub.emit_message = EmitMessage;
    jpeg_create_decompress(&m_cinfo);
}

JpegFrameDecoder::~JpegFrameDecoder() { jpeg_destroy_decompress(&m_cinfo); }

void JpegFrameDecoder::ErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// A warning means libjpeg patched over damage (a missing end, a bad marker); the
// general decoder's concealment is kept for such frames.
void JpegFrameDecoder::EmitMessage(j_common_ptr cinfo, int level) {
    if (level < 0) ++reinterpret_cast<ErrorManager*>(cinfo->err)->warnings;
}

bool JpegFrameDecoder::Decode(const uint8_t* data, size_t size, int width, int height,
                              uint8_t* bits, int64_t rowBytes) {
    if (!data || size == 0 || width <= 0 || height <= 0) return false;
    if (m_rows.size() != size_t(height)) m_rows.resize(size_t(height));
    m_err.warnings = 0;
    if (setjmp(m_err.jump)) {
        jpeg_abort_decompress(&m_cinfo);
        return false;
    }
    jpeg_mem_src(&m_cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&m_cinfo, TRUE);
    // One field of an interlaced frame is half the frame's height: that and any
    // other size mismatch goes to the general decoder. So do progressive frames:
    // libjpeg keeps a whole progressive image's coefficients and reads any number
    // of scans over them, which a hostile frame could make very slow.
    if (m_cinfo.image_width != JDIMENSION(width) || m_cinfo.image_height != JDIMENSION(height) ||
        m_cinfo.data_precision != 8 || m_cinfo.progressive_mode) {
        jpeg_abort_decompress(&m_cinfo);
        return false;
    }
    m_cinfo.out_color_space = JCS_EXT_BGR;
    // Chroma taken per block, as the general decoder's conversion does, so that a frame
    // looks the same whichever decoder produced it.
    m_cinfo.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&m_cinfo);
    if (!DecodeRows(bits, rowBytes, height)) {
        jpeg_abort_decompress(&m_cinfo);
        return false;
    }
    jpeg_finish_decompress(&m_cinfo);
    return m_err.warnings == 0;
}

bool JpegFrameDecoder::DecodeRows(uint8_t* bits, int64_t rowBytes, int height) {
    if (m_cinfo.output_components != 3) return false;
    for (int y = 0; y < height; ++y) m_rows[size_t(y)] = bits + rowBytes * (height - 1 - y);
    while (m_cinfo.output_scanline < m_cinfo.output_height) {
        const JDIMENSION at = m_cinfo.output_scanline;
        if (jpeg_read_scanlines(&m_cinfo, m_rows.data() + at, m_cinfo.output_height - at) == 0)
            return false;
    }
    return true;
}
