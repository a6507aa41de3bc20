// Conversion streams: raw sample bytes or a decoder on the way in, a resampler
// in the middle, raw sample bytes or an encoder on the way out. Output that does
// not fit the caller's destination waits in a queue.
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "platform/acm/Acm.h"
#include "platform/acm/AcmFormat.h"

namespace {

constexpr int kRawChunkSamples = 4096;     // raw input is resampled this many samples at a time
constexpr int kSizeSlackSamples = 2 * 4608;  // resampler delay, partial frames, queued output
constexpr DWORD kMaxDword = 0xFFFFFFFFu;

DWORD ClampDword(uint64_t v) { return v > kMaxDword ? kMaxDword : static_cast<DWORD>(v); }

const AVCodec* FindEncoder(AVCodecID id) {
    const char* preferred = nullptr;
    if (id == AV_CODEC_ID_MP3) preferred = "libmp3lame";
    if (id == AV_CODEC_ID_GSM_MS) preferred = "libgsm_ms";
    if (preferred) {
        if (const AVCodec* c = avcodec_find_encoder_by_name(preferred)) return c;
    }
    return avcodec_find_encoder(id);
}

AVSampleFormat PickSampleFormat(const AVCodec* codec) {
    if (!codec->sample_fmts) return AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_S16) return *f;
    return codec->sample_fmts[0];
}

}  // namespace

struct AcmStream {
    AcmShape in;
    AcmShape out;

    AVCodecContext* dec = nullptr;
    AVCodecParserContext* parser = nullptr;
    AVCodecContext* enc = nullptr;
    AVAudioFifo* fifo = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    AVFrame* encodeFrame = nullptr;
    int64_t encodePts = 0;

    SwrContext* swr = nullptr;
    int swrInFormat = AV_SAMPLE_FMT_NONE;
    int swrInRate = 0;
    int swrInChannels = 0;
    AVSampleFormat midFormat = AV_SAMPLE_FMT_NONE;  // what the resampler produces
    std::vector<std::vector<uint8_t>> planes;
    std::vector<uint8_t*> planePtrs;
    int planeSamples = 0;
    std::vector<int32_t> unpacked;  // 24-bit input widened to 32 bits

    std::vector<uint8_t> queue;
    size_t queueHead = 0;
    bool started = false;
    bool ended = false;

    ~AcmStream() { Stop(); }

    bool Start();
    void Stop();
    bool ConfigureResampler(int format, int rate, int channels);
    bool EnsurePlanes(int samples);
    bool Resample(const uint8_t* const* data, int samples);
    bool FlushResampler();
    bool Emit(int samples);
    bool EncodeReady(bool final);
    bool PrepareEncodeFrame(int capacity);
    bool DrainPackets();
    bool Decode(const uint8_t* data, int size);
    bool DrainFrames();
    bool FeedRaw(const uint8_t* data, size_t frames);
    bool FeedCompressed(const uint8_t* data, size_t bytes, bool final);
    bool Finish();
    void TakeQueue(uint8_t* dst, DWORD room, DWORD& produced);
    DWORD WholeBlocks(DWORD bytes) const;
    uint64_t MaxOutputBytes(uint64_t inputBytes) const;
    uint64_t InputBytesFitting(uint64_t outputBytes) const;
};

bool AcmStream::Start() {
    started = true;
    packet = av_packet_alloc();
    frame = av_frame_alloc();
    if (!packet || !frame) return false;
    if (!in.raw) {
        const AVCodec* codec = avcodec_find_decoder(in.codec);
        if (!codec || !(dec = avcodec_alloc_context3(codec))) return false;
        dec->sample_rate = in.rate;
        av_channel_layout_default(&dec->ch_layout, in.channels);
        dec->block_align = in.blockAlign;
        dec->bit_rate = in.bytesPerSecond * 8;
        dec->bits_per_coded_sample = in.bitsPerSample;
        if (!in.extra.empty()) {
            dec->extradata = static_cast<uint8_t*>(av_mallocz(in.extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
            if (!dec->extradata) return false;
            std::memcpy(dec->extradata, in.extra.data(), in.extra.size());
            dec->extradata_size = static_cast<int>(in.extra.size());
        }
        if (avcodec_open2(dec, codec, nullptr) < 0) return false;
        if (!in.wholePackets) parser = av_parser_init(in.codec);
    }
    if (out.raw) {
        midFormat = out.sampleFormat;
    } else {
        const AVCodec* codec = FindEncoder(out.codec);
        if (!codec || !(enc = avcodec_alloc_context3(codec))) return false;
        enc->sample_rate = out.rate;
        av_channel_layout_default(&enc->ch_layout, out.channels);
        enc->sample_fmt = PickSampleFormat(codec);
        enc->bit_rate = out.bytesPerSecond * 8;
        AVDictionary* options = nullptr;
        if (out.codec == AV_CODEC_ID_ADPCM_MS || out.codec == AV_CODEC_ID_ADPCM_IMA_WAV)
            av_dict_set_int(&options, "block_size", out.blockAlign, 0);
        const int opened = avcodec_open2(enc, codec, &options);
        av_dict_free(&options);
        if (opened < 0) return false;
        // A codec of fixed blocks must make exactly the blocks the format promises.
        if (out.samplesPerBlock > 1 &&
            (enc->block_align != out.blockAlign || enc->frame_size != out.samplesPerBlock))
            return false;
        midFormat = enc->sample_fmt;
        fifo = av_audio_fifo_alloc(midFormat, out.channels, 1);
        if (!fifo) return false;
    }
    if (in.raw && !ConfigureResampler(in.sampleFormat, in.rate, in.channels)) return false;
    return true;
}

void AcmStream::Stop() {
    avcodec_free_context(&dec);
    avcodec_free_context(&enc);
    if (parser) av_parser_close(parser);
    parser = nullptr;
    if (fifo) av_audio_fifo_free(fifo);
    fifo = nullptr;
    av_packet_free(&packet);
    av_frame_free(&frame);
    av_frame_free(&encodeFrame);
    swr_free(&swr);
    swrInFormat = AV_SAMPLE_FMT_NONE;
    swrInRate = swrInChannels = 0;
    encodePts = 0;
    started = false;
}

bool AcmStream::ConfigureResampler(int format, int rate, int channels) {
    if (swr && format == swrInFormat && rate == swrInRate && channels == swrInChannels) return true;
    if (swr && !FlushResampler()) return false;  // a decoder changed shape mid-stream
    swr_free(&swr);
    AVChannelLayout inLayout, outLayout;
    av_channel_layout_default(&inLayout, channels);
    av_channel_layout_default(&outLayout, out.channels);
    const int made = swr_alloc_set_opts2(&swr, &outLayout, midFormat, out.rate, &inLayout,
                                         static_cast<AVSampleFormat>(format), rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (made < 0 || swr_init(swr) < 0) return false;
    swrInFormat = format;
    swrInRate = rate;
    swrInChannels = channels;
    return true;
}

bool AcmStream::EnsurePlanes(int samples) {
    if (samples <= planeSamples && !planes.empty()) return true;
    const bool planar = av_sample_fmt_is_planar(midFormat);
    const int count = planar ? out.channels : 1;
    const int bytes = av_samples_get_buffer_size(nullptr, planar ? 1 : out.channels, samples, midFormat, 1);
    if (bytes < 0) return false;
    planes.resize(count);
    planePtrs.resize(count);
    for (int i = 0; i < count; ++i) {
        planes[i].resize(static_cast<size_t>(bytes));
        planePtrs[i] = planes[i].data();
    }
    planeSamples = samples;
    return true;
}

bool AcmStream::Resample(const uint8_t* const* data, int samples) {
    const int room = swr_get_out_samples(swr, samples);
    if (room < 0 || !EnsurePlanes(std::max(room, 1))) return false;
    const int got = swr_convert(swr, planePtrs.data(), planeSamples, const_cast<const uint8_t**>(data), samples);
    return got >= 0 && Emit(got);
}

bool AcmStream::FlushResampler() {
    if (!swr) return true;
    for (;;) {
        const int room = std::max(swr_get_out_samples(swr, 0), 1024);
        if (!EnsurePlanes(room)) return false;
        const int got = swr_convert(swr, planePtrs.data(), planeSamples, nullptr, 0);
        if (got < 0) return false;
        if (got == 0) return true;
        if (!Emit(got)) return false;
    }
}

bool AcmStream::Emit(int samples) {
    if (samples <= 0) return true;
    if (enc) {
        if (av_audio_fifo_write(fifo, reinterpret_cast<void**>(planePtrs.data()), samples) < samples) return false;
        return EncodeReady(false);
    }
    const size_t values = static_cast<size_t>(samples) * out.channels;
    if (out.bytesPerSample == 3) {
        const auto* s = reinterpret_cast<const int32_t*>(planePtrs[0]);
        for (size_t i = 0; i < values; ++i) {
            const uint32_t v = static_cast<uint32_t>(s[i]);
            queue.push_back(static_cast<uint8_t>(v >> 8));
            queue.push_back(static_cast<uint8_t>(v >> 16));
            queue.push_back(static_cast<uint8_t>(v >> 24));
        }
        return true;
    }
    queue.insert(queue.end(), planePtrs[0], planePtrs[0] + values * out.bytesPerSample);
    return true;
}

bool AcmStream::EncodeReady(bool final) {
    const bool variable = enc->frame_size == 0 ||
                          (enc->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
    const bool smallLast = variable || (enc->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
    for (;;) {
        const int held = av_audio_fifo_size(fifo);
        const int frameSize = variable ? std::min(held, kRawChunkSamples) : enc->frame_size;
        if (held == 0 || (held < frameSize && !final)) return true;
        const int take = std::min(held, frameSize);
        if (!PrepareEncodeFrame(variable ? kRawChunkSamples : frameSize)) return false;
        encodeFrame->nb_samples = smallLast ? take : frameSize;
        if (av_audio_fifo_read(fifo, reinterpret_cast<void**>(encodeFrame->extended_data), take) < take) return false;
        if (take < encodeFrame->nb_samples)
            av_samples_set_silence(encodeFrame->extended_data, take, encodeFrame->nb_samples - take, out.channels,
                                   enc->sample_fmt);
        encodeFrame->pts = encodePts;
        encodePts += encodeFrame->nb_samples;
        if (avcodec_send_frame(enc, encodeFrame) < 0) return false;
        if (!DrainPackets()) return false;
    }
}

// One frame of encoder input, allocated once; it is copied only when the encoder
// still holds the previous one.
bool AcmStream::PrepareEncodeFrame(int capacity) {
    if (!encodeFrame) {
        encodeFrame = av_frame_alloc();
        if (!encodeFrame) return false;
        encodeFrame->nb_samples = capacity;
        encodeFrame->format = enc->sample_fmt;
        encodeFrame->sample_rate = enc->sample_rate;
        if (av_channel_layout_copy(&encodeFrame->ch_layout, &enc->ch_layout) < 0) return false;
        if (av_frame_get_buffer(encodeFrame, 0) < 0) return false;
    }
    encodeFrame->nb_samples = capacity;
    return av_frame_make_writable(encodeFrame) >= 0;
}

bool AcmStream::DrainPackets() {
    for (;;) {
        const int r = avcodec_receive_packet(enc, packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return false;
        queue.insert(queue.end(), packet->data, packet->data + packet->size);
        av_packet_unref(packet);
    }
}

bool AcmStream::DrainFrames() {
    for (;;) {
        const int r = avcodec_receive_frame(dec, frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return r == AVERROR_INVALIDDATA;
        const int channels = frame->ch_layout.nb_channels;
        const bool ok = channels >= 1 && channels <= kAcmMaxChannels && frame->sample_rate > 0 &&
                        ConfigureResampler(frame->format, frame->sample_rate, channels) &&
                        Resample(frame->extended_data, frame->nb_samples);
        av_frame_unref(frame);
        if (!ok) return false;
    }
}

bool AcmStream::Decode(const uint8_t* data, int size) {
    packet->data = const_cast<uint8_t*>(data);
    packet->size = size;
    for (;;) {
        const int r = avcodec_send_packet(dec, data ? packet : nullptr);
        if (r == AVERROR(EAGAIN)) {
            if (!DrainFrames()) return false;
            continue;
        }
        packet->data = nullptr;
        packet->size = 0;
        // Damaged packets are skipped as a player would; the rest of the stream still decodes.
        if (r < 0 && r != AVERROR_INVALIDDATA && r != AVERROR_EOF) return false;
        return DrainFrames();
    }
}

bool AcmStream::FeedRaw(const uint8_t* data, size_t frames) {
    while (frames > 0) {
        const int n = static_cast<int>(std::min<size_t>(frames, kRawChunkSamples));
        const uint8_t* source = data;
        if (in.bytesPerSample == 3) {
            unpacked.resize(static_cast<size_t>(n) * in.channels);
            for (size_t i = 0; i < unpacked.size(); ++i) {
                const uint8_t* b = data + i * 3;
                unpacked[i] = static_cast<int32_t>((static_cast<uint32_t>(b[0]) << 8) |
                                                   (static_cast<uint32_t>(b[1]) << 16) |
                                                   (static_cast<uint32_t>(b[2]) << 24));
            }
            source = reinterpret_cast<const uint8_t*>(unpacked.data());
        }
        const uint8_t* planesIn[1] = {source};
        if (!Resample(planesIn, n)) return false;
        data += static_cast<size_t>(n) * in.blockAlign;
        frames -= static_cast<size_t>(n);
    }
    return true;
}

bool AcmStream::FeedCompressed(const uint8_t* data, size_t bytes, bool final) {
    if (parser) {
        while (bytes > 0) {
            uint8_t* out = nullptr;
            int outSize = 0;
            const int chunk = static_cast<int>(std::min<size_t>(bytes, 1 << 20));
            const int used = av_parser_parse2(parser, dec, &out, &outSize, data, chunk, AV_NOPTS_VALUE,
                                              AV_NOPTS_VALUE, 0);
            if (used < 0) return false;
            if (outSize > 0 && !Decode(out, outSize)) return false;
            data += used;
            bytes -= static_cast<size_t>(used);
        }
        if (final) {
            uint8_t* out = nullptr;
            int outSize = 0;
            av_parser_parse2(parser, dec, &out, &outSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (outSize > 0 && !Decode(out, outSize)) return false;
        }
        return true;
    }
    // The decoder takes the frames of a packet one after another.
    if (in.wholePackets) return bytes == 0 || Decode(data, static_cast<int>(std::min<size_t>(bytes, INT_MAX)));
    // Codecs of fixed blocks take one block per packet; byte-sized blocks go in batches.
    size_t packetBytes = static_cast<size_t>(in.blockAlign);
    if (packetBytes < 256) packetBytes *= std::max<size_t>(1, 4096 / packetBytes);
    while (bytes > 0) {
        const size_t n = std::min(bytes, packetBytes);
        if (n < static_cast<size_t>(in.blockAlign) && !final) break;
        if (!Decode(data, static_cast<int>(n))) return false;
        data += n;
        bytes -= n;
    }
    return true;
}

bool AcmStream::Finish() {
    if (dec) {
        if (parser) {
            av_parser_close(parser);
            parser = av_parser_init(in.codec);
        }
        if (!Decode(nullptr, 0)) return false;
    }
    if (!FlushResampler()) return false;
    if (enc) {
        if (!EncodeReady(true)) return false;
        if (avcodec_send_frame(enc, nullptr) < 0) return false;
        if (!DrainPackets()) return false;
    }
    ended = true;
    return true;
}

void AcmStream::TakeQueue(uint8_t* dst, DWORD room, DWORD& produced) {
    const size_t held = queue.size() - queueHead;
    const size_t n = std::min<size_t>(held, room - produced);
    if (n > 0) std::memcpy(dst + produced, queue.data() + queueHead, n);
    produced += static_cast<DWORD>(n);
    queueHead += n;
    if (queueHead == queue.size()) {
        queue.clear();
        queueHead = 0;
    }
}

DWORD AcmStream::WholeBlocks(DWORD bytes) const {
    return bytes - bytes % static_cast<DWORD>(in.blockAlign);
}

// Samples that inputBytes of the source can hold at most.
static uint64_t MaxSamplesIn(const AcmShape& s, uint64_t bytes) {
    if (s.raw) return bytes / s.blockAlign;
    if (s.samplesPerBlock > 0)
        return (bytes + s.blockAlign - 1) / s.blockAlign * static_cast<uint64_t>(s.samplesPerBlock);
    return bytes * AcmMaxSamplesPerByte(s) + 2 * static_cast<uint64_t>(AcmFrameSamples(s));
}

uint64_t AcmStream::MaxOutputBytes(uint64_t inputBytes) const {
    const uint64_t inSamples = MaxSamplesIn(in, inputBytes);
    const uint64_t outSamples =
        (inSamples * out.rate + in.rate - 1) / in.rate + kSizeSlackSamples;
    if (out.raw) return outSamples * out.blockAlign;
    if (out.samplesPerBlock > 0)
        return (outSamples + out.samplesPerBlock - 1) / out.samplesPerBlock * out.blockAlign;
    const uint64_t frameSamples = AcmFrameSamples(out);
    const uint64_t frames = (outSamples + frameSamples - 1) / frameSamples + 2;
    const uint64_t frameBytes = static_cast<uint64_t>(out.bytesPerSecond) * frameSamples / out.rate + 16;
    return frames * frameBytes;
}

uint64_t AcmStream::InputBytesFitting(uint64_t outputBytes) const {
    uint64_t outSamples;
    if (out.raw)
        outSamples = outputBytes / out.blockAlign;
    else if (out.samplesPerBlock > 0)
        outSamples = outputBytes / out.blockAlign * out.samplesPerBlock;
    else  // frames of varying size: the average the format states
        outSamples = out.bytesPerSecond > 0 ? outputBytes * out.rate / out.bytesPerSecond : 0;
    const uint64_t inSamples = outSamples * in.rate / out.rate;
    if (in.raw) return inSamples * in.blockAlign;
    if (in.samplesPerBlock > 0) return inSamples / in.samplesPerBlock * in.blockAlign;
    return inSamples / AcmMaxSamplesPerByte(in);
}

// ---------------------------------------------------------------------------

MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER, const WAVEFORMATEX* source,
                       const WAVEFORMATEX* dest, void*, uintptr_t, uintptr_t, DWORD flags) {
    if (stream) *stream = nullptr;
    if (!source || !dest) return MMSYSERR_INVALPARAM;
    auto s = std::make_unique<AcmStream>();
    if (!AcmDescribe(source, s->in) || !AcmDescribe(dest, s->out)) return ACMERR_NOTPOSSIBLE;
    // One side is always PCM: codec to codec is two conversions.
    if (!s->in.raw && !s->out.raw) return ACMERR_NOTPOSSIBLE;
    if (!s->in.raw && s->out.tag != WAVE_FORMAT_PCM) return ACMERR_NOTPOSSIBLE;
    if (!s->in.raw && !avcodec_find_decoder(s->in.codec)) return ACMERR_NOTPOSSIBLE;
    if (!s->out.raw && !FindEncoder(s->out.codec)) return ACMERR_NOTPOSSIBLE;
    if (flags & ACM_STREAMOPENF_QUERY) return MMSYSERR_NOERROR;
    if (!stream) return MMSYSERR_INVALPARAM;
    // Decoders open at once so that a format they refuse fails here; encoders open at the
    // first conversion (a stream opened only to ask sizes never starts one).
    if (!s->in.raw && !s->Start()) return ACMERR_NOTPOSSIBLE;
    *stream = s.release();
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM stream, DWORD) {
    if (!stream) return MMSYSERR_INVALHANDLE;
    delete stream;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags) {
    if (!stream) return MMSYSERR_INVALHANDLE;
    if (!output) return MMSYSERR_INVALPARAM;
    if (flags == ACM_STREAMSIZEF_SOURCE)
        *output = ClampDword(stream->MaxOutputBytes(input));
    else if (flags == ACM_STREAMSIZEF_DESTINATION)
        *output = ClampDword(stream->InputBytesFitting(input));
    else
        return MMSYSERR_INVALFLAG;
    return *output == 0 && input != 0 && flags == ACM_STREAMSIZEF_SOURCE ? ACMERR_NOTPOSSIBLE
                                                                         : MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* h, DWORD) {
    if (!stream) return MMSYSERR_INVALHANDLE;
    if (!h || h->cbStruct < sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
    if ((!h->pbSrc && h->cbSrcLength) || (!h->pbDst && h->cbDstLength)) return MMSYSERR_INVALPARAM;
    h->fdwStatus |= ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* h, DWORD) {
    if (!stream) return MMSYSERR_INVALHANDLE;
    if (!h) return MMSYSERR_INVALPARAM;
    if (!(h->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
    h->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* h, DWORD flags) {
    if (!stream) return MMSYSERR_INVALHANDLE;
    if (!h) return MMSYSERR_INVALPARAM;
    if (!(h->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
    AcmStream& s = *stream;
    const bool final = !(flags & ACM_STREAMCONVERTF_BLOCKALIGN);
    h->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
    h->cbSrcLengthUsed = 0;
    h->cbDstLengthUsed = 0;
    DWORD produced = 0;
    s.TakeQueue(h->pbDst, h->cbDstLength, produced);
    const bool queueEmpty = s.queue.empty();
    const bool work = h->cbSrcLength > 0 || (final && !s.ended);
    if (queueEmpty && work) {
        if (s.ended && h->cbSrcLength > 0) {  // a new stream after the end of the last one
            s.Stop();
            s.ended = false;
        }
        if (!s.started && !s.Start()) return MMSYSERR_ERROR;
        const DWORD take = final || s.in.wholePackets ? h->cbSrcLength : s.WholeBlocks(h->cbSrcLength);
        bool ok;
        if (s.in.raw)
            ok = s.FeedRaw(h->pbSrc, take / s.in.blockAlign);  // a partial last sample frame is void
        else
            ok = s.FeedCompressed(h->pbSrc, take, final);
        if (ok && final) ok = s.Finish();
        if (!ok) return MMSYSERR_ERROR;
        h->cbSrcLengthUsed = take;
        s.TakeQueue(h->pbDst, h->cbDstLength, produced);
    }
    h->cbDstLengthUsed = produced;
    h->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return MMSYSERR_NOERROR;
}
