#include "platform/vcm/VcmEncoder.h"

#include <algorithm>
#include <climits>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/rational.h>
#include <libswscale/swscale.h>
}

namespace talvern::vcm {
namespace {

// x264's presets from slowest to fastest; the codec option "speed" picks one.
constexpr const char* kX264Presets[] = {"placebo", "veryslow", "slower", "slow", "medium",
                                        "fast", "faster", "veryfast", "superfast", "ultrafast"};

// An interval that no real recording reaches: the first frame stays the only key frame.
constexpr int kNoKeyInterval = 1 << 30;

// The slice encoders (Motion JPEG, MPEG-4, x264) cut each picture into one slice per
// thread, so the count is fixed rather than taken from the cores this process may use:
// the same movie gives the same file on any machine. Eight keeps a many-core machine busy
// while the image files are written beside the movie. Xvid keeps its own single thread,
// faster than its threads and independent of the machine.
constexpr int kEncoderThreads = 8;

int EncoderThreads(const AVCodec* codec) {
    return std::strcmp(codec->name, "libxvid") == 0 ? 0 : kEncoderThreads;
}

AVPixelFormat ChoosePixelFormat(const CompressorEntry& entry, const AVCodec* codec) {
    if (entry.pixelFormat) return av_get_pix_fmt(entry.pixelFormat);
    if (!codec->pix_fmts) return AV_PIX_FMT_BGR24;
    return avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr);
}

bool IsX264(const AVCodec* codec) { return std::strcmp(codec->name, "libx264") == 0; }

void ApplyQuality(AVCodecContext* ctx, const CompressorEntry& entry, const EncoderSettings& s) {
    const LONG q = s.quality;
    const LONG fixedQ = s.options.quantizer;
    switch (entry.quality) {
    case QualityKind::QScale:
        if (q >= 0 || fixedQ > 0) {
            // 10000 gives quantiser 2, 0 gives 31.
            const int qscale = fixedQ > 0 ? std::clamp<int>(fixedQ, 1, 31)
                                          : 2 + (10000 - std::clamp<int>(q, 0, 10000)) * 29 / 10000;
            ctx->flags |= AV_CODEC_FLAG_QSCALE;
            ctx->global_quality = FF_QP2LAMBDA * qscale;
            ctx->qmin = 1;
            return;
        }
        break;
    case QualityKind::Crf:
        if (fixedQ > 0) {
            av_opt_set_int(ctx->priv_data, "qp", std::clamp<int>(fixedQ, 0, 51), 0);
            return;
        }
        if (q >= 0) {
            const int crf = 12 + (10000 - std::clamp<int>(q, 0, 10000)) * 39 / 10000;
            av_opt_set_double(ctx->priv_data, "crf", crf, 0);
            return;
        }
        break;
    case QualityKind::None:
        return;
    }
    // No quality asked for: aim at the data rate when there is one.
    if ((entry.flags & VIDCF_CRUNCH) && s.bytesPerSecond > 0) {
        ctx->bit_rate = static_cast<int64_t>(s.bytesPerSecond) * 8;
    }
}

void ApplyCodecOptions(AVCodecContext* ctx, const EncoderSettings& s) {
    // Scene-cut detection would add key frames the interval did not ask for.
    av_opt_set_int(ctx, "sc_threshold", 1000000000, AV_OPT_SEARCH_CHILDREN);
    if (IsX264(ctx->codec)) {
        const int speed = s.options.speed >= 0 ? std::clamp<int>(s.options.speed, 0, 9) : 4;
        av_opt_set(ctx->priv_data, "preset", kX264Presets[speed], 0);
        av_opt_set(ctx->priv_data, "tune", "zerolatency", 0);
        av_opt_set(ctx->priv_data, "x264-params", "scenecut=0:rc-lookahead=0:sync-lookahead=0", 0);
    }
}

}  // namespace

VcmEncoder::~VcmEncoder() { Close(); }

void VcmEncoder::Close() {
    avcodec_free_context(&m_ctx);
    sws_freeContext(m_sws);
    m_sws = nullptr;
    for (AVFrame*& f : m_frames) av_frame_free(&f);
    for (Prepared& p : m_prepared) {
        av_frame_free(&p.frame);
        p = Prepared{};
    }
    av_packet_free(&m_packet);
    m_format.clear();
    m_pts = 0;
}

bool VcmEncoder::Open(const CompressorEntry& entry, const EncoderSettings& s) {
    Close();
    const AVCodec* codec = EncoderOf(entry);
    if (!codec || s.width <= 0 || s.height <= 0 || s.width > 16384 || s.height > 16384) return false;
    const AVPixelFormat pixFmt = ChoosePixelFormat(entry, codec);
    if (pixFmt == AV_PIX_FMT_NONE) return false;

    m_ctx = avcodec_alloc_context3(codec);
    m_packet = av_packet_alloc();
    if (!m_ctx || !m_packet) return Close(), false;
    m_ctx->width = s.width;
    m_ctx->height = s.height;
    m_ctx->pix_fmt = pixFmt;
    if (pixFmt == AV_PIX_FMT_YUVJ420P) m_ctx->color_range = AVCOL_RANGE_JPEG;
    int num = 1, den = 25;
    if (s.rate > 0 && s.scale > 0) av_reduce(&num, &den, s.scale, s.rate, 65535);
    m_ctx->time_base = AVRational{num, den};
    m_ctx->framerate = AVRational{den, num};
    m_ctx->gop_size = s.keyEvery > 0 ? s.keyEvery : kNoKeyInterval;
    // ZMBV and Video 1 take their interval from keyint_min (Video 1 counts one more);
    // x264 wants it small.
    m_ctx->keyint_min = IsX264(codec) ? 1 : m_ctx->gop_size;
    if (std::strcmp(codec->name, "msvideo1") == 0) m_ctx->keyint_min = m_ctx->gop_size - 1;
    m_ctx->max_b_frames = 0;
    // Slice threads only: frame threads would hold packets back.
    m_ctx->thread_type = FF_THREAD_SLICE;
    m_ctx->thread_count = EncoderThreads(codec);
    // The MPEG-4 family caps the key-frame interval at 600 unless told otherwise.
    m_ctx->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    ApplyQuality(m_ctx, entry, s);
    ApplyCodecOptions(m_ctx, s);
    if (avcodec_open2(m_ctx, codec, nullptr) < 0) return Close(), false;

    // Without vector kernels our conversion is slower than the scaler's own.
    const bool own = pixFmt == AV_PIX_FMT_YUV420P || pixFmt == AV_PIX_FMT_YUVJ420P;
    if (own && HaveBgrToYuvKernels(BgrToYuvKernels::kAvx2)) {
        m_yuvFactors = MakeBgrToYuvFactors(pixFmt == AV_PIX_FMT_YUVJ420P);
    } else {
        m_sws = sws_getContext(s.width, s.height, AV_PIX_FMT_BGR24, s.width, s.height, pixFmt,
                               SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!m_sws) return Close(), false;
    }
    for (AVFrame*& f : m_frames) {
        f = NewInputFrame();
        if (!f) return Close(), false;
    }
    m_inStride = static_cast<int>(DibRowBytes(s.width, 24));
    BuildOutputFormat(entry, s);
    return true;
}

void VcmEncoder::BuildOutputFormat(const CompressorEntry& entry, const EncoderSettings& s) {
    const int extra = m_ctx->extradata ? m_ctx->extradata_size : 0;
    m_format.assign(sizeof(BITMAPINFOHEADER) + extra, 0);
    BITMAPINFOHEADER bi{};
    bi.biSize = static_cast<DWORD>(m_format.size());
    bi.biWidth = s.width;
    bi.biHeight = s.height;
    bi.biPlanes = 1;
    bi.biBitCount = entry.outputBitCount;
    bi.biCompression = entry.handler;
    bi.biSizeImage = static_cast<DWORD>(
        entry.outputBitCount == 12 && entry.quality == QualityKind::None
            ? static_cast<int64_t>(s.width) * s.height * 3 / 2
            : DibRowBytes(s.width, 24) * s.height);
    std::memcpy(m_format.data(), &bi, sizeof bi);
    if (extra > 0) std::memcpy(m_format.data() + sizeof bi, m_ctx->extradata, extra);
}

AVFrame* VcmEncoder::NewInputFrame() const {
    AVFrame* f = av_frame_alloc();
    if (!f) return nullptr;
    f->format = m_ctx->pix_fmt;
    f->width = m_ctx->width;
    f->height = m_ctx->height;
    f->color_range = m_ctx->color_range;
    if (av_frame_get_buffer(f, 0) < 0) av_frame_free(&f);
    return f;
}

AVFrame* VcmEncoder::WritableFrame() {
    for (AVFrame* f : m_frames) {
        if (av_frame_is_writable(f)) return f;
    }
    // Every buffer is still referenced by the encoder: give one a fresh buffer.
    return av_frame_make_writable(m_frames[0]) < 0 ? nullptr : m_frames[0];
}

void VcmEncoder::ConvertInput(const uint8_t* bits, AVFrame* frame) {
    if (!m_sws) {
        const YuvPlanesOut planes{{frame->data[0], frame->data[1], frame->data[2]},
                                  {frame->linesize[0], frame->linesize[1], frame->linesize[2]}};
        ConvertBgrToYuv420(bits, m_inStride, m_ctx->width, m_ctx->height, m_yuvFactors, planes);
        return;
    }
    // Bottom-up rows: start at the last row and walk backwards.
    const uint8_t* src[1] = {bits + static_cast<ptrdiff_t>(m_inStride) * (m_ctx->height - 1)};
    const int srcStride[1] = {-m_inStride};
    sws_scale(m_sws, src, srcStride, 0, m_ctx->height, frame->data, frame->linesize);
}

bool VcmEncoder::Prepare(const void* bits, int place) {
    // The scaler's context serves one thread at a time; our own conversion any number.
    if (!m_ctx || !bits || m_sws || place < 0 || place >= kPlaces) return false;
    Prepared& p = m_prepared[static_cast<size_t>(place)];
    p.ready = false;
    if (!p.frame) p.frame = NewInputFrame();
    // A frame the encoder still holds is left alone.
    if (!p.frame || !av_frame_is_writable(p.frame)) return false;
    ConvertInput(static_cast<const uint8_t*>(bits), p.frame);
    p.bits = bits;
    p.ready = true;
    return true;
}

const uint8_t* VcmEncoder::Encode(const void* bits, int* size, bool* key, int place) {
    if (!m_ctx || !bits) return nullptr;
    av_packet_unref(m_packet);
    AVFrame* frame = nullptr;
    if (place >= 0 && place < kPlaces && m_prepared[static_cast<size_t>(place)].ready &&
        m_prepared[static_cast<size_t>(place)].bits == bits) {
        Prepared& p = m_prepared[static_cast<size_t>(place)];
        p.ready = false;
        frame = p.frame;
    } else {
        frame = WritableFrame();
        if (!frame) return nullptr;
        ConvertInput(static_cast<const uint8_t*>(bits), frame);
    }
    frame->pts = m_pts++;
    frame->pict_type = AV_PICTURE_TYPE_NONE;
    // With a fixed quantiser the encoders take it from each frame, not from the context:
    // a frame without it is coded at the finest quantiser whatever the quality asked.
    frame->quality = m_ctx->global_quality;
    if (avcodec_send_frame(m_ctx, frame) < 0) return nullptr;
    if (avcodec_receive_packet(m_ctx, m_packet) < 0) return nullptr;
    *size = m_packet->size;
    *key = (m_packet->flags & AV_PKT_FLAG_KEY) != 0;
    return m_packet->data;
}

}  // namespace talvern::vcm
