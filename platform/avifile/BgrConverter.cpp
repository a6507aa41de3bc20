#include "platform/avifile/BgrConverter.h"

#include <cstring>

#include "platform/avifile/YuvToBgr.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace {

// The JPEG-range formats under their plain names, with the range told apart, so
// that full-range pictures keep their levels.
AVPixelFormat PlainFormat(AVPixelFormat f, bool* fullRange) {
    switch (f) {
    case AV_PIX_FMT_YUVJ420P: *fullRange = true; return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: *fullRange = true; return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: *fullRange = true; return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P: *fullRange = true; return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P: *fullRange = true; return AV_PIX_FMT_YUV411P;
    default: return f;
    }
}

bool FastLayout(AVPixelFormat f, ChromaLayout* layout) {
    switch (f) {
    case AV_PIX_FMT_YUV420P: *layout = ChromaLayout::k420; return true;
    case AV_PIX_FMT_YUV422P: *layout = ChromaLayout::k422; return true;
    case AV_PIX_FMT_YUV444P: *layout = ChromaLayout::k444; return true;
    default: return false;
    }
}

}  // namespace

BgrConverter::~BgrConverter() { sws_freeContext(m_sws); }

bool BgrConverter::ConvertDirect(const AVFrame* f, AVPixelFormat format, bool fullRange,
                                 uint8_t* bits, int64_t rowBytes) {
    ChromaLayout layout;
    if (!FastLayout(format, &layout)) return false;
    if (!m_direct || fullRange != m_directFullRange) {
        m_factors = MakeYuvToBgrFactors(sws_getCoefficients(SWS_CS_DEFAULT), fullRange);
        m_direct = true;
        m_directFullRange = fullRange;
    }
    const YuvPlanes planes{{f->data[0], f->data[1], f->data[2]},
                           {f->linesize[0], f->linesize[1], f->linesize[2]}};
    ConvertYuvToBgr(planes, layout, f->width, f->height, m_factors, bits, rowBytes);
    return true;
}

bool BgrConverter::Convert(const AVFrame* f, int outWidth, int outHeight, uint8_t* bits,
                           int64_t rowBytes) {
    if (f->format < 0 || outWidth <= 0 || outHeight <= 0) return false;
    bool fullRange = f->color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat format = PlainFormat(static_cast<AVPixelFormat>(f->format), &fullRange);
    if (outWidth == f->width && outHeight == f->height &&
        ConvertDirect(f, format, fullRange, bits, rowBytes))
        return true;
    if (!m_sws || format != m_format || fullRange != m_fullRange || f->width != m_srcWidth ||
        f->height != m_srcHeight || outWidth != m_dstWidth || outHeight != m_dstHeight) {
        sws_freeContext(m_sws);
        m_sws = sws_getContext(f->width, f->height, format, outWidth, outHeight, AV_PIX_FMT_BGR24,
                               SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (!m_sws) return false;
        const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
        sws_setColorspaceDetails(m_sws, coefficients, fullRange ? 1 : 0, coefficients, 1, 0,
                                 1 << 16, 1 << 16);
        m_format = format;
        m_fullRange = fullRange;
        m_srcWidth = f->width;
        m_srcHeight = f->height;
        m_dstWidth = outWidth;
        m_dstHeight = outHeight;
    }
    if (outWidth % 16 == 0) {
        uint8_t* dst[4] = {bits + rowBytes * (outHeight - 1), nullptr, nullptr, nullptr};
        const int dstStride[4] = {static_cast<int>(-rowBytes), 0, 0, 0};
        return sws_scale(m_sws, f->data, f->linesize, 0, f->height, dst, dstStride) == outHeight;
    }
    // The scaler's vector code works on whole blocks of 8 pixels and, for rows of
    // other widths, either stores past a row's end (written bottom-up, onto the start
    // of the row written before) or leaves the last pixels out, depending on the row
    // stride. Such pictures go through rows with room to spare.
    const int64_t scratchStride = (int64_t(outWidth) * 3 + 63) / 64 * 64 + 64;
    const size_t scratchBytes = size_t(scratchStride) * size_t(outHeight);
    if (m_scratch.size() < scratchBytes) m_scratch.resize(scratchBytes);
    uint8_t* dst[4] = {m_scratch.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {static_cast<int>(scratchStride), 0, 0, 0};
    if (sws_scale(m_sws, f->data, f->linesize, 0, f->height, dst, dstStride) != outHeight) return false;
    for (int y = 0; y < outHeight; ++y)
        std::memcpy(bits + rowBytes * (outHeight - 1 - y), m_scratch.data() + scratchStride * y,
                    size_t(outWidth) * 3);
    return true;
}
