#include "bench/pipeline/KeyDecode.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "platform/win32/Win32Types.h"

KeyDecoder::KeyDecoder(const std::string& path, int threads) {
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return;
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream >= 0 && codec) {
        m_ctx = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(m_ctx, fmt->streams[stream]->codecpar);
        m_ctx->thread_count = threads;
        if (avcodec_open2(m_ctx, codec, nullptr) < 0) avcodec_free_context(&m_ctx);
        for (AVPacket* p = av_packet_alloc(); av_read_frame(fmt, p) >= 0; p = av_packet_alloc()) {
            if (p->stream_index != stream) {
                av_packet_free(&p);
                continue;
            }
            if (p->flags & AV_PKT_FLAG_KEY) m_keys.push_back(int(m_packets.size()));
            m_packets.push_back(p);
        }
    }
    avformat_close_input(&fmt);
    m_frame = av_frame_alloc();
    m_next = av_frame_alloc();
}

KeyDecoder::~KeyDecoder() {
    for (AVPacket*& p : m_packets) av_packet_free(&p);
    av_frame_free(&m_frame);
    av_frame_free(&m_next);
    avcodec_free_context(&m_ctx);
    sws_freeContext(m_sws);
}

bool KeyDecoder::Convert() {
    m_sws = sws_getCachedContext(m_sws, m_frame->width, m_frame->height, AVPixelFormat(m_frame->format),
                                 m_frame->width, m_frame->height, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr,
                                 nullptr, nullptr);
    if (!m_sws) return false;
    const auto stride = static_cast<int>(DibRowBytes(m_frame->width, 24));
    m_rows.resize(size_t(stride) * m_frame->height);
    uint8_t* dst[4] = {m_rows.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {stride, 0, 0, 0};
    return sws_scale(m_sws, m_frame->data, m_frame->linesize, 0, m_frame->height, dst, dstStride) ==
           m_frame->height;
}

// Keeps the last picture the decoder gives: a failed receive empties the frame it is given.
bool KeyDecoder::ReceiveAll() {
    bool got = false;
    while (avcodec_receive_frame(m_ctx, m_next) == 0) {
        av_frame_unref(m_frame);
        av_frame_move_ref(m_frame, m_next);
        got = true;
    }
    return got;
}

bool KeyDecoder::DecodeFromKey(int frame) {
    if (!m_ctx || frame < 0 || frame >= int(m_packets.size())) return false;
    const auto it = std::upper_bound(m_keys.begin(), m_keys.end(), frame);
    const int key = it == m_keys.begin() ? 0 : *(it - 1);
    avcodec_flush_buffers(m_ctx);
    // One packet past the frame lets a decoder that holds one picture back give it out.
    const int last = std::min(frame + 1, int(m_packets.size()) - 1);
    bool got = false;
    for (int i = key; i <= last; ++i) {
        if (avcodec_send_packet(m_ctx, m_packets[size_t(i)]) < 0) continue;
        got = ReceiveAll() || got;
    }
    if (!got) {
        avcodec_send_packet(m_ctx, nullptr);
        got = ReceiveAll();
    }
    return got && Convert();
}
