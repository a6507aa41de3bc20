#pragma once
// BgrConverter: turns a decoded picture into 24-bit bottom-up BGR rows, the one
// form readers hand out. The converter is rebuilt only when the pictures change,
// so a run of equal pictures converts without allocating.
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "platform/avifile/YuvToBgr.h"

struct AVFrame;
struct SwsContext;

class BgrConverter {
public:
    BgrConverter() = default;
    ~BgrConverter();
    BgrConverter(const BgrConverter&) = delete;
    BgrConverter& operator=(const BgrConverter&) = delete;

    // Scales f to outWidth x outHeight and writes its rows bottom-up into bits, whose
    // rows are rowBytes apart (the first row in memory is the picture's last).
    // Full-range (JPEG-range) pictures keep their levels. Only a row's pixels are
    // written; bits needs kSlack bytes after its last row for the vector code.
    bool Convert(const AVFrame* f, int outWidth, int outHeight, uint8_t* bits, int64_t rowBytes);

    static constexpr int kSlack = 64;

private:
    // Same-size planar YUV: our own kernels, which are faster than the scaler's.
    bool ConvertDirect(const AVFrame* f, AVPixelFormat format, bool fullRange, uint8_t* bits,
                       int64_t rowBytes);

    YuvToBgrFactors m_factors;
    bool m_direct = false;
    bool m_directFullRange = false;
    SwsContext* m_sws = nullptr;
    std::vector<uint8_t> m_scratch;  // top-down rows with room to spare, for the scaler
    int m_format = -1;
    bool m_fullRange = false;
    int m_srcWidth = 0, m_srcHeight = 0, m_dstWidth = 0, m_dstHeight = 0;
};
