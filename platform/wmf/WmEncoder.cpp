#include "platform/wmf/WmEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/wmf/WmCodecs.h"

namespace {

constexpr AVRational kHundredNs{1, 10000000};
constexpr LONG kMaxInputSide = 8192;
constexpr int kMaxGop = 600;
// WMA takes no more than this; a profile or input asking for more is adjusted down.
constexpr int kWmaMaxRate = 48000;
constexpr int kWmaMaxChannels = 2;
constexpr int64_t kWmaMinBitrate = 24000;
constexpr int64_t kDefaultAudioBitrate = 64000;

}  // namespace

// ---------------------------------------------------------------- ASF file

WmAsfFile::~WmAsfFile() { Discard(); }

void WmAsfFile::Discard() {
    if (!m_ctx) return;
    if (m_ctx->pb) avio_closep(&m_ctx->pb);
    avformat_free_context(m_ctx);
    m_ctx = nullptr;
    m_headerWritten = false;
}

HRESULT WmAsfFile::Create(const std::string& path) {
    Discard();
    if (avformat_alloc_output_context2(&m_ctx, nullptr, "asf", path.c_str()) < 0 || !m_ctx) return E_OUTOFMEMORY;
    if (avio_open(&m_ctx->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
        Discard();
        return WMF_E_FILE_OPEN_FAILED;
    }
    return S_OK;
}

int WmAsfFile::AddStream(const AVCodecContext* encoder) {
    if (!m_ctx || m_headerWritten) return -1;
    AVStream* st = avformat_new_stream(m_ctx, nullptr);
    if (!st || avcodec_parameters_from_context(st->codecpar, encoder) < 0) return -1;
    st->time_base = encoder->time_base;
    return st->index;
}

HRESULT WmAsfFile::WriteHeader() {
    if (!m_ctx) return WMF_E_INVALID_REQUEST;
    if (m_headerWritten) return S_OK;
    if (avformat_write_header(m_ctx, nullptr) < 0) return E_FAIL;
    m_headerWritten = true;
    return S_OK;
}

HRESULT WmAsfFile::WritePacket(AVPacket* packet, int stream, const AVCodecContext* encoder) {
    if (!m_headerWritten || stream < 0 || stream >= static_cast<int>(m_ctx->nb_streams)) return WMF_E_INVALID_REQUEST;
    packet->stream_index = stream;
    av_packet_rescale_ts(packet, encoder->time_base, m_ctx->streams[stream]->time_base);
    return av_interleaved_write_frame(m_ctx, packet) < 0 ? E_FAIL : S_OK;
}

HRESULT WmAsfFile::Finish() {
    if (!m_ctx) return S_OK;
    HRESULT hr = S_OK;
    if (!m_headerWritten && WriteHeader() != S_OK) hr = E_FAIL;
    if (m_headerWritten && av_write_trailer(m_ctx) < 0) hr = E_FAIL;
    if (avio_closep(&m_ctx->pb) < 0) hr = E_FAIL;
    Discard();
    return hr;
}

// ---------------------------------------------------------------- frame ring

namespace {

// A few frames of one shape taken in turn. The encoder may keep a reference to the
// last frame it was given; the next free frame of the ring is used instead of
// copying that one, so no frame is allocated once the ring exists.
class FrameRing {
public:
    ~FrameRing() { Free(); }
    // Frames shaped like model (format, size or samples and channel layout).
    bool Alloc(const AVFrame* model) {
        Free();
        for (AVFrame*& f : m_frames) {
            f = av_frame_alloc();
            if (!f) return false;
            f->format = model->format;
            f->width = model->width;
            f->height = model->height;
            f->nb_samples = model->nb_samples;
            f->sample_rate = model->sample_rate;
            if (av_channel_layout_copy(&f->ch_layout, &model->ch_layout) < 0) return false;
            if (av_frame_get_buffer(f, 0) < 0) return false;
        }
        return true;
    }
    AVFrame* Next() {
        for (AVFrame* f : m_frames) {
            if (f && av_frame_is_writable(f)) return f;
        }
        return m_frames[0] && av_frame_make_writable(m_frames[0]) >= 0 ? m_frames[0] : nullptr;
    }
    void Free() {
        for (AVFrame*& f : m_frames) av_frame_free(&f);
    }

private:
    AVFrame* m_frames[3] = {};
};

}  // namespace

// ---------------------------------------------------------------- encoder base

WmStreamEncoder::~WmStreamEncoder() { WmStreamEncoder::Close(); }

void WmStreamEncoder::Close() {
    if (m_ctx) m_ctx->stats_in = nullptr;  // ours, not the codec's to free
    avcodec_free_context(&m_ctx);
    av_packet_free(&m_packet);
}

HRESULT WmStreamEncoder::SendAndDrain(AVFrame* frame) {
    if (avcodec_send_frame(m_ctx, frame) < 0) return WMF_E_ENCODER_FAILED;
    for (;;) {
        const int r = avcodec_receive_packet(m_ctx, m_packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return S_OK;
        if (r < 0) return WMF_E_ENCODER_FAILED;
        if (m_mode == WmPassMode::Analysis) {
            if (m_ctx->stats_out) m_stats += m_ctx->stats_out;
            av_packet_unref(m_packet);
            continue;
        }
        const HRESULT hr = !AdjustPacket(m_packet) ? S_OK
                           : m_file           ? m_file->WritePacket(m_packet, m_stream, m_ctx)
                                              : WMF_E_INVALID_REQUEST;
        av_packet_unref(m_packet);
        if (FAILED(hr)) return hr;
    }
}

// ---------------------------------------------------------------- video

namespace {

struct InputPixels {
    AVPixelFormat format = AV_PIX_FMT_NONE;
    bool bottomUp = false;     // Windows RGB rows run bottom-up when the height is positive
    bool swapChroma = false;   // YV12 and YVU9 store V before U
};

InputPixels PixelsFor(const GUID& subtype, const BITMAPINFOHEADER& h) {
    InputPixels p;
    if (subtype == MEDIASUBTYPE_RGB24) {
        p.format = AV_PIX_FMT_BGR24;
    } else if (subtype == MEDIASUBTYPE_RGB32) {
        p.format = AV_PIX_FMT_BGR0;
    } else if (subtype == MEDIASUBTYPE_RGB555) {
        p.format = AV_PIX_FMT_RGB555LE;
    } else if (subtype == GuidFromFourcc(MAKEFOURCC('I', '4', '2', '0')) ||
               subtype == GuidFromFourcc(MAKEFOURCC('I', 'Y', 'U', 'V'))) {
        p.format = AV_PIX_FMT_YUV420P;
    } else if (subtype == GuidFromFourcc(MAKEFOURCC('Y', 'V', '1', '2'))) {
        p.format = AV_PIX_FMT_YUV420P;
        p.swapChroma = true;
    } else if (subtype == GuidFromFourcc(MAKEFOURCC('Y', 'V', 'U', '9'))) {
        p.format = AV_PIX_FMT_YUV410P;
        p.swapChroma = true;
    } else if (subtype == GuidFromFourcc(MAKEFOURCC('Y', 'U', 'Y', '2'))) {
        p.format = AV_PIX_FMT_YUYV422;
    } else if (subtype == GuidFromFourcc(MAKEFOURCC('U', 'Y', 'V', 'Y'))) {
        p.format = AV_PIX_FMT_UYVY422;
    } else if (subtype == GuidFromFourcc(MAKEFOURCC('Y', 'V', 'Y', 'U'))) {
        p.format = AV_PIX_FMT_YVYU422;
    }
    p.bottomUp = h.biCompression == BI_RGB && h.biHeight > 0;
    return p;
}

// Pointers and strides of one input frame, rows of RGB flipped when stored bottom-up.
// False when the buffer is smaller than a frame.
bool MapInput(const InputPixels& p, int w, int h, const BYTE* data, DWORD size, const uint8_t* planes[4],
              int strides[4]) {
    const bool rgb = p.format == AV_PIX_FMT_BGR24 || p.format == AV_PIX_FMT_BGR0 || p.format == AV_PIX_FMT_RGB555LE;
    if (rgb) {
        const int bits = p.format == AV_PIX_FMT_BGR24 ? 24 : p.format == AV_PIX_FMT_BGR0 ? 32 : 16;
        const int64_t row = DibRowBytes(w, bits);
        if (static_cast<int64_t>(size) < row * h) return false;
        planes[0] = p.bottomUp ? data + row * (h - 1) : data;
        strides[0] = static_cast<int>(p.bottomUp ? -row : row);
        planes[1] = planes[2] = planes[3] = nullptr;
        strides[1] = strides[2] = strides[3] = 0;
        return true;
    }
    uint8_t* tmp[4];
    const int need = av_image_fill_arrays(tmp, strides, data, p.format, w, h, 1);
    if (need < 0 || static_cast<int64_t>(size) < need) return false;
    for (int i = 0; i < 4; ++i) planes[i] = tmp[i];
    if (p.swapChroma) {
        std::swap(planes[1], planes[2]);
        std::swap(strides[1], strides[2]);
    }
    return true;
}

AVCodecID VideoCodecId(FOURCC fourcc) {
    switch (WmVideoCodecFor(fourcc)) {
        case WmVideoCodec::MsMpeg4v2:
            return AV_CODEC_ID_MSMPEG4V2;
        case WmVideoCodec::MsMpeg4v3:
            return AV_CODEC_ID_MSMPEG4V3;
        case WmVideoCodec::Wmv1:
            return AV_CODEC_ID_WMV1;
        case WmVideoCodec::Wmv2:
            return AV_CODEC_ID_WMV2;
        case WmVideoCodec::None:
            break;
    }
    return AV_CODEC_ID_NONE;
}

// Whether the second-pass rate control can meet the bit rate with these first-pass
// statistics. It refuses to start when the bits every frame needs whatever its
// quantiser (motion, headers) and the texture at the coarsest quantiser exceed what
// the rate allows; such a run is written with the one-pass rate control instead.
bool SecondPassFeasible(const std::string& stats, int64_t bitrate, double frameSeconds) {
    constexpr double kCoarsestQ = 31;
    constexpr double kMargin = 1.25;
    double needed = 0;
    int frames = 0;
    size_t pos = 0;
    while (pos < stats.size()) {
        size_t end = stats.find(';', pos);
        if (end == std::string::npos) break;
        const std::string line = stats.substr(pos, end - pos);
        pos = end + 1;
        int in, out, type, q, itex, ptex, mv, misc;
        if (std::sscanf(line.c_str(), " in:%d out:%d type:%d q:%d itex:%d ptex:%d mv:%d misc:%d", &in, &out, &type,
                        &q, &itex, &ptex, &mv, &misc) != 8) {
            return false;
        }
        const double qscale = std::max(1.0, static_cast<double>(q) / FF_QP2LAMBDA);
        needed += mv + misc + (static_cast<double>(itex) + ptex) * qscale / kCoarsestQ;
        ++frames;
    }
    if (frames == 0) return false;
    const double available = static_cast<double>(bitrate) * frames * frameSeconds;
    return available > needed * kMargin;
}

class WmVideoEncoder : public WmStreamEncoder {
public:
    WmVideoEncoder(const WmStreamConfig& config, const GUID& subtype, const WMVIDEOINFOHEADER& format)
        : m_config(config), m_format(format), m_pixels(PixelsFor(subtype, format.bmiHeader)) {}
    ~WmVideoEncoder() override { Close(); }

    HRESULT Open(WmPassMode mode, const std::string& stats) override;
    HRESULT Encode(const BYTE* data, DWORD size, QWORD time) override;
    HRESULT Finish() override;
    void Close() override;

private:
    bool AdjustPacket(AVPacket* packet) override {
        if (packet->duration <= 0) packet->duration = 1;  // one frame: the time base is the frame period
        return true;
    }
    bool QualityBased() const { return m_config.vbr && m_config.vbrQuality != 0; }
    void Configure();

    WmStreamConfig m_config;
    WMVIDEOINFOHEADER m_format;
    InputPixels m_pixels;
    SwsContext* m_sws = nullptr;
    FrameRing m_frames;
    int64_t m_lastPts = -1;
};

void WmVideoEncoder::Configure() {
    const int inW = m_format.bmiHeader.biWidth;
    const int inH = std::abs(m_format.bmiHeader.biHeight);
    // The codecs work on whole chroma samples: sizes are made even.
    m_ctx->width = std::max(2, (m_config.width > 0 ? m_config.width : inW) & ~1);
    m_ctx->height = std::max(2, (m_config.height > 0 ? m_config.height : inH) & ~1);
    m_ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    const int64_t frameTime = m_format.AvgTimePerFrame > 0 ? m_format.AvgTimePerFrame : 400000;
    av_reduce(&m_ctx->time_base.num, &m_ctx->time_base.den, frameTime, 10000000, 65535);
    m_ctx->framerate = av_inv_q(m_ctx->time_base);
    const int64_t gop = m_config.keyFrameSpacing > 0 ? m_config.keyFrameSpacing / frameTime : 12;
    m_ctx->gop_size = static_cast<int>(std::clamp<int64_t>(gop, 1, kMaxGop));
    m_ctx->max_b_frames = 0;
    const int64_t bitrate = m_config.bitrate > 0 ? m_config.bitrate : 1000000;
    m_ctx->bit_rate = bitrate;
    // The rate is kept on average; the buffer window says how many bits it may stray
    // by (a hard buffer limit makes the encoder fail on content it cannot fit).
    const int64_t window = m_config.bufferWindow > 0 ? m_config.bufferWindow : 3000;
    m_ctx->bit_rate_tolerance = static_cast<int>(std::clamp<int64_t>(bitrate * window / 1000, bitrate / 4, INT32_MAX));
    if (QualityBased()) {
        // Quality 100 gives the finest quantiser (2), quality 0 the coarsest (31).
        const int q = 2 + static_cast<int>((100 - m_config.vbrQuality) * 29 / 100);
        m_ctx->flags |= AV_CODEC_FLAG_QSCALE;
        m_ctx->global_quality = FF_QP2LAMBDA * q;
    }
}

HRESULT WmVideoEncoder::Open(WmPassMode mode, const std::string& stats) {
    Close();
    m_mode = mode;
    m_stats.clear();
    const AVCodec* codec = avcodec_find_encoder(VideoCodecId(m_config.fourcc));
    if (!codec || m_pixels.format == AV_PIX_FMT_NONE) return WMF_E_INVALID_PROFILE;
    m_ctx = avcodec_alloc_context3(codec);
    m_packet = av_packet_alloc();
    if (!m_ctx || !m_packet) return E_OUTOFMEMORY;
    Configure();
    // A quality-based stream needs no statistics: both passes encode at the same quantiser.
    if (!QualityBased()) {
        if (mode == WmPassMode::Analysis) {
            m_ctx->flags |= AV_CODEC_FLAG_PASS1;
        } else if (SecondPassFeasible(stats, m_ctx->bit_rate, av_q2d(m_ctx->time_base))) {
            m_statsIn = stats;
            m_ctx->flags |= AV_CODEC_FLAG_PASS2;
            m_ctx->stats_in = m_statsIn.data();
        }
    }
    if (avcodec_open2(m_ctx, codec, nullptr) < 0) {
        if (m_ctx->flags & AV_CODEC_FLAG_PASS2) {
            // The library frees part of a context whose second-pass rate control failed
            // to start and would free it again with the context: the context is given up
            // rather than freed. SecondPassFeasible keeps this path rare.
            m_ctx = nullptr;
            Close();
            return Open(mode, std::string());
        }
        return WMF_E_ENCODER_FAILED;
    }
    AVFrame model{};
    model.format = m_ctx->pix_fmt;
    model.width = m_ctx->width;
    model.height = m_ctx->height;
    if (!m_frames.Alloc(&model)) return E_OUTOFMEMORY;
    const int inW = m_format.bmiHeader.biWidth;
    const int inH = std::abs(m_format.bmiHeader.biHeight);
    m_sws = sws_getCachedContext(m_sws, inW, inH, m_pixels.format, m_ctx->width, m_ctx->height, AV_PIX_FMT_YUV420P,
                                 SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!m_sws) return E_OUTOFMEMORY;
    m_lastPts = -1;
    return S_OK;
}

HRESULT WmVideoEncoder::Encode(const BYTE* data, DWORD size, QWORD time) {
    if (!m_ctx) return WMF_E_INVALID_REQUEST;
    const uint8_t* planes[4];
    int strides[4];
    const int inW = m_format.bmiHeader.biWidth;
    const int inH = std::abs(m_format.bmiHeader.biHeight);
    if (!data || !MapInput(m_pixels, inW, inH, data, size, planes, strides)) return E_INVALIDARG;
    AVFrame* frame = m_frames.Next();
    if (!frame) return E_OUTOFMEMORY;
    sws_scale(m_sws, planes, strides, 0, inH, frame->data, frame->linesize);
    int64_t pts = av_rescale_q_rnd(static_cast<int64_t>(std::min<QWORD>(time, INT64_MAX / 2)), kHundredNs,
                                   m_ctx->time_base, AV_ROUND_NEAR_INF);
    // The codecs need strictly rising stamps; samples stamped too close still count.
    if (pts <= m_lastPts) pts = m_lastPts + 1;
    m_lastPts = pts;
    frame->pts = pts;
    // A fixed quantiser is read from each frame, not from the context.
    frame->quality = m_ctx->global_quality;
    return SendAndDrain(frame);
}

HRESULT WmVideoEncoder::Finish() {
    if (!m_ctx) return S_OK;
    return SendAndDrain(nullptr);
}

void WmVideoEncoder::Close() {
    WmStreamEncoder::Close();
    m_frames.Free();
    sws_freeContext(m_sws);
    m_sws = nullptr;
}

// ---------------------------------------------------------------- audio

AVSampleFormat PcmFormat(WORD bits) {
    switch (bits) {
        case 8:
            return AV_SAMPLE_FMT_U8;
        case 16:
            return AV_SAMPLE_FMT_S16;
        case 32:
            return AV_SAMPLE_FMT_S32;
        default:
            return AV_SAMPLE_FMT_NONE;
    }
}

class WmAudioEncoder : public WmStreamEncoder {
public:
    WmAudioEncoder(const WmStreamConfig& config, const WAVEFORMATEX& format) : m_config(config), m_format(format) {}
    ~WmAudioEncoder() override { Close(); }

    HRESULT Open(WmPassMode mode, const std::string& stats) override;
    HRESULT Encode(const BYTE* data, DWORD size, QWORD time) override;
    HRESULT Finish() override;
    void Close() override;

private:
    HRESULT Configure();
    HRESULT Convert(const BYTE* data, int samples);
    bool AdjustPacket(AVPacket* packet) override;
    HRESULT EncodeFullFrames();

    WmStreamConfig m_config;
    WAVEFORMATEX m_format;
    SwrContext* m_swr = nullptr;
    AVAudioFifo* m_fifo = nullptr;
    FrameRing m_frames;
    uint8_t** m_converted = nullptr;  // planar buffers for one conversion
    int m_convertedCapacity = 0;
    int64_t m_nextPts = 0;
    int64_t m_samplesIn = 0;  // converted samples taken, at the encoder's rate
};

// The encoder's first packet holds only its priming, stamped before 0; it is left
// out so that audio and video both start at 0 (the decoder fades the first frame in).
// The silence that fills the last frame is not part of the stream either: the last
// packet ends where the samples given end, so the file is as long as its audio.
bool WmAudioEncoder::AdjustPacket(AVPacket* packet) {
    if (packet->duration <= 0) packet->duration = m_ctx->frame_size;
    if (packet->pts == AV_NOPTS_VALUE) return true;
    if (packet->pts + packet->duration <= 0) return false;
    if (packet->pts + packet->duration > m_samplesIn) {
        packet->duration = std::max<int64_t>(0, m_samplesIn - packet->pts);
    }
    return true;
}

HRESULT WmAudioEncoder::Configure() {
    const AVCodecID id =
        WmAudioCodecFor(m_config.formatTag) == WmAudioCodec::Wma1 ? AV_CODEC_ID_WMAV1 : AV_CODEC_ID_WMAV2;
    const AVCodec* codec = avcodec_find_encoder(id);
    if (!codec) return WMF_E_INVALID_PROFILE;
    m_ctx = avcodec_alloc_context3(codec);
    if (!m_ctx) return E_OUTOFMEMORY;
    const int rate = static_cast<int>(m_config.sampleRate ? m_config.sampleRate : m_format.nSamplesPerSec);
    const int channels = m_config.channels ? m_config.channels : m_format.nChannels;
    m_ctx->sample_rate = std::clamp(rate, 8000, kWmaMaxRate);
    av_channel_layout_default(&m_ctx->ch_layout, std::clamp(channels, 1, kWmaMaxChannels));
    m_ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
    m_ctx->bit_rate = std::max<int64_t>(m_config.bitrate ? m_config.bitrate : kDefaultAudioBitrate, kWmaMinBitrate);
    m_ctx->time_base = AVRational{1, m_ctx->sample_rate};
    if (avcodec_open2(m_ctx, codec, nullptr) < 0) return WMF_E_ENCODER_FAILED;

    AVChannelLayout inLayout;
    av_channel_layout_default(&inLayout, m_format.nChannels);
    const int r = swr_alloc_set_opts2(&m_swr, &m_ctx->ch_layout, m_ctx->sample_fmt, m_ctx->sample_rate, &inLayout,
                                      PcmFormat(m_format.wBitsPerSample), static_cast<int>(m_format.nSamplesPerSec),
                                      0, nullptr);
    av_channel_layout_uninit(&inLayout);
    if (r < 0 || swr_init(m_swr) < 0) return E_FAIL;
    m_fifo = av_audio_fifo_alloc(m_ctx->sample_fmt, m_ctx->ch_layout.nb_channels, m_ctx->frame_size * 2);
    if (!m_fifo) return E_OUTOFMEMORY;
    AVFrame model{};
    model.format = m_ctx->sample_fmt;
    model.nb_samples = m_ctx->frame_size;
    model.sample_rate = m_ctx->sample_rate;
    model.ch_layout = m_ctx->ch_layout;  // copied by the ring, not owned by the model
    return m_frames.Alloc(&model) ? S_OK : E_OUTOFMEMORY;
}

HRESULT WmAudioEncoder::Open(WmPassMode mode, const std::string&) {
    Close();
    m_mode = mode;
    m_nextPts = 0;
    m_samplesIn = 0;
    // WMA has no first-pass statistics: the analysis pass only takes the samples.
    if (mode == WmPassMode::Analysis) return S_OK;
    m_packet = av_packet_alloc();
    if (!m_packet) return E_OUTOFMEMORY;
    return Configure();
}

// Converts samples (or, with data null, what the resampler still holds) into the FIFO.
HRESULT WmAudioEncoder::Convert(const BYTE* data, int samples) {
    const int out = swr_get_out_samples(m_swr, samples);
    if (out < 0) return E_FAIL;
    if (out > m_convertedCapacity) {
        if (m_converted) av_freep(&m_converted[0]);
        av_freep(&m_converted);
        m_convertedCapacity = 0;
        if (av_samples_alloc_array_and_samples(&m_converted, nullptr, m_ctx->ch_layout.nb_channels, out,
                                               m_ctx->sample_fmt, 0) < 0) {
            return E_OUTOFMEMORY;
        }
        m_convertedCapacity = out;
    }
    const uint8_t* in[1] = {data};
    const int got = swr_convert(m_swr, m_converted, m_convertedCapacity, data ? in : nullptr, samples);
    if (got < 0) return E_FAIL;
    m_samplesIn += got;
    if (got > 0 && av_audio_fifo_write(m_fifo, reinterpret_cast<void**>(m_converted), got) < got) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT WmAudioEncoder::EncodeFullFrames() {
    while (av_audio_fifo_size(m_fifo) >= m_ctx->frame_size) {
        AVFrame* frame = m_frames.Next();
        if (!frame) return E_OUTOFMEMORY;
        av_audio_fifo_read(m_fifo, reinterpret_cast<void**>(frame->data), m_ctx->frame_size);
        frame->pts = m_nextPts;
        m_nextPts += m_ctx->frame_size;
        const HRESULT hr = SendAndDrain(frame);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT WmAudioEncoder::Encode(const BYTE* data, DWORD size, QWORD) {
    if (!data) return E_INVALIDARG;
    if (m_mode == WmPassMode::Analysis) return S_OK;
    if (!m_ctx) return WMF_E_INVALID_REQUEST;
    const int samples = static_cast<int>(size / m_format.nBlockAlign);
    if (samples == 0) return S_OK;
    const HRESULT hr = Convert(data, samples);
    return FAILED(hr) ? hr : EncodeFullFrames();
}

HRESULT WmAudioEncoder::Finish() {
    if (!m_ctx) return S_OK;
    HRESULT hr = Convert(nullptr, 0);
    if (SUCCEEDED(hr)) hr = EncodeFullFrames();
    // The encoder takes whole frames only, and hands out each frame's packet one frame
    // late: the tail is padded with silence, then one frame of silence pushes it out.
    const int left = av_audio_fifo_size(m_fifo);
    for (int i = 0; i < (left > 0 ? 2 : 1) && SUCCEEDED(hr); ++i) {
        AVFrame* frame = m_frames.Next();
        if (!frame) return E_OUTOFMEMORY;
        av_samples_set_silence(frame->data, 0, m_ctx->frame_size, m_ctx->ch_layout.nb_channels, m_ctx->sample_fmt);
        if (i == 0 && left > 0) av_audio_fifo_read(m_fifo, reinterpret_cast<void**>(frame->data), left);
        frame->pts = m_nextPts;
        m_nextPts += m_ctx->frame_size;
        hr = SendAndDrain(frame);
    }
    const HRESULT end = SendAndDrain(nullptr);
    return FAILED(hr) ? hr : end;
}

void WmAudioEncoder::Close() {
    WmStreamEncoder::Close();
    swr_free(&m_swr);
    if (m_fifo) av_audio_fifo_free(m_fifo);
    m_fifo = nullptr;
    m_frames.Free();
    if (m_converted) av_freep(&m_converted[0]);
    av_freep(&m_converted);
    m_convertedCapacity = 0;
}

}  // namespace

std::unique_ptr<WmStreamEncoder> WmCreateVideoEncoder(const WmStreamConfig& config, const GUID& subtype,
                                                      const WMVIDEOINFOHEADER& format) {
    return std::make_unique<WmVideoEncoder>(config, subtype, format);
}

std::unique_ptr<WmStreamEncoder> WmCreateAudioEncoder(const WmStreamConfig& config, const WAVEFORMATEX& format) {
    return std::make_unique<WmAudioEncoder>(config, format);
}

bool WmVideoInputSupported(const GUID& subtype, const BITMAPINFOHEADER& header) {
    const LONG h = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    if (header.biWidth < 2 || header.biWidth > kMaxInputSide || h < 2 || h > kMaxInputSide) return false;
    const InputPixels p = PixelsFor(subtype, header);
    if (p.format == AV_PIX_FMT_NONE) return false;
    if (subtype == MEDIASUBTYPE_RGB24) return header.biBitCount == 24;
    if (subtype == MEDIASUBTYPE_RGB32) return header.biBitCount == 32;
    if (subtype == MEDIASUBTYPE_RGB555) return header.biBitCount == 16;
    return true;
}

bool WmAudioInputSupported(const WAVEFORMATEX& f) {
    return f.wFormatTag == WAVE_FORMAT_PCM && PcmFormat(f.wBitsPerSample) != AV_SAMPLE_FMT_NONE && f.nChannels >= 1 &&
           f.nChannels <= 8 && f.nSamplesPerSec >= 1000 && f.nSamplesPerSec <= 384000 &&
           f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}
