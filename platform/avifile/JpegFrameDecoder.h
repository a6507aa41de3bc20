#pragma once
// JpegFrameDecoder: a Motion JPEG frame straight into 24-bit bottom-up BGR rows.
// libjpeg-turbo upsamples and converts colour while it decodes, a row band at a
// time, which costs less than decoding to planes and converting afterwards. Frames
// it cannot decode cleanly (interlaced fields, damaged data, unusual sample
// formats) and progressive frames are left to the general decoder.
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <vector>

#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>

class JpegFrameDecoder {
public:
    JpegFrameDecoder();
    ~JpegFrameDecoder();
    JpegFrameDecoder(const JpegFrameDecoder&) = delete;
    JpegFrameDecoder& operator=(const JpegFrameDecoder&) = delete;

    // Decodes one frame of width x height into bits, whose rows are rowBytes apart,
    // the picture's last row first. Only a row's width*3 bytes are written. False
    // when the frame is not a whole, undamaged picture of that size.
    bool Decode(const uint8_t* data, size_t size, int width, int height, uint8_t* bits,
                int64_t rowBytes);

private:
    struct ErrorManager {
        jpeg_error_mgr pub;
        std::jmp_buf jump;
        int warnings;
    };
    static void ErrorExit(j_common_ptr cinfo);
    static void EmitMessage(j_common_ptr cinfo, int level);
    bool DecodeRows(uint8_t* bits, int64_t rowBytes, int height);

    jpeg_decompress_struct m_cinfo{};
    ErrorManager m_err{};
    std::vector<JSAMPROW> m_rows;
};
