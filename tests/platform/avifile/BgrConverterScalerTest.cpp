// Pictures the scaler converts become bottom-up BGR rows exactly as it converts them
// into rows that cannot touch each other, whatever the width, height and format:
// its whole-block stores must neither spill into a neighbouring row nor leave a
// row's last pixels out.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "platform/avifile/BgrConverter.h"

namespace {

struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

FramePtr PatternFrame(AVPixelFormat format, int width, int height) {
    FramePtr f(av_frame_alloc());
    f->format = format;
    f->width = width;
    f->height = height;
    if (av_frame_get_buffer(f.get(), 0) < 0) return nullptr;
    uint32_t seed = uint32_t(width * 7919 + height * 131 + format);
    for (int i = 0; i < 4 && f->buf[i]; ++i) {
        for (size_t k = 0; k < f->buf[i]->size; ++k) {
            seed = seed * 1664525u + 1013904223u;
            f->buf[i]->data[k] = uint8_t(seed >> 24);
        }
    }
    if (format == AV_PIX_FMT_PAL8)
        for (int c = 0; c < 256; ++c) f->data[1][c * 4 + 3] = 0xFF;
    return f;
}

// Top-down rows, each far apart from the next.
std::vector<uint8_t> Reference(const AVFrame* f, int64_t stride) {
    std::vector<uint8_t> out(size_t(stride * f->height));
    SwsContext* sws = sws_getContext(f->width, f->height, AVPixelFormat(f->format), f->width,
                                     f->height, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
    const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
    sws_setColorspaceDetails(sws, coefficients, 0, coefficients, 1, 0, 1 << 16, 1 << 16);
    uint8_t* dst[4] = {out.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(stride), 0, 0, 0};
    sws_scale(sws, f->data, f->linesize, 0, f->height, dst, dstStride);
    sws_freeContext(sws);
    return out;
}

TEST(BgrConverterScaler, RowsMatchAnUnconstrainedConversionForEveryShape) {
    const AVPixelFormat formats[] = {AV_PIX_FMT_YUV411P, AV_PIX_FMT_YUV440P, AV_PIX_FMT_YUYV422,
                                     AV_PIX_FMT_NV12,    AV_PIX_FMT_GRAY8,   AV_PIX_FMT_PAL8,
                                     AV_PIX_FMT_RGB24,   AV_PIX_FMT_BGR0};
    BgrConverter converter;  // one converter throughout, as a reader keeps it
    for (AVPixelFormat format : formats) {
        for (int width : {1, 2, 3, 5, 8, 13, 16, 30, 32, 62, 63, 100, 854, 1366}) {
            for (int height : {1, 2, 7, 8}) {
                SCOPED_TRACE(std::string(av_get_pix_fmt_name(format)) + " " + std::to_string(width) +
                             "x" + std::to_string(height));
                FramePtr f = PatternFrame(format, width, height);
                ASSERT_TRUE(f);
                const int64_t rowBytes = (int64_t(width) * 3 + 3) & ~3;
                const int64_t image = rowBytes * height;
                std::vector<uint8_t> bits(size_t(image + BgrConverter::kSlack) + 16, 0xA5);
                ASSERT_TRUE(converter.Convert(f.get(), width, height, bits.data(), rowBytes));
                for (size_t k = size_t(image + BgrConverter::kSlack); k < bits.size(); ++k)
                    ASSERT_EQ(0xA5, bits[k]) << "stored past the slack";
                const int64_t refStride = int64_t(width) * 3 + 64;
                const std::vector<uint8_t> ref = Reference(f.get(), refStride);
                for (int y = 0; y < height; ++y) {
                    const uint8_t* got = bits.data() + rowBytes * (height - 1 - y);
                    ASSERT_EQ(0, std::memcmp(got, ref.data() + refStride * y, size_t(width) * 3))
                        << "picture row " << y;
                }
            }
        }
    }
}

}  // namespace
