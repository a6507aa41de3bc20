#include "platform/dshow/FrameSource.h"

#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/time.h>
}

#include "platform/win32/RegularFile.h"

namespace {

// Frames from untrusted files are bounded before any buffer is sized for them.
constexpr int kMaxSide = 16384;
constexpr int64_t kMaxPixels = int64_t{1} << 26;
constexpr int kSkipFrames = 4;
constexpr AVRational kUnits = {1, static_cast<int>(UNITS)};

bool SizeIsSane(int w, int h) {
    return w > 0 && h > 0 && w <= kMaxSide && h <= kMaxSide && int64_t{w} * h <= kMaxPixels;
}

// What the stream probe may read: libavformat's usual amounts, fixed here.
constexpr int64_t kProbeBytes = 5'000'000;
constexpr int64_t kProbeMicroseconds = 5'000'000;

// libavformat's interrupt callback: true once the armed deadline (0 = none) has passed.
int PastDeadline(void* deadline) {
    const int64_t end = *static_cast<const int64_t*>(deadline);
    return end != 0 && av_gettime_relative() > end;
}

template <typename T>
T* NewFormatBlock(AM_MEDIA_TYPE* mt) {
    mt->pbFormat = static_cast<BYTE*>(std::calloc(1, sizeof(T)));
    mt->cbFormat = mt->pbFormat ? sizeof(T) : 0;
    return reinterpret_cast<T*>(mt->pbFormat);
}

}  // namespace

std::unique_ptr<FrameSource> FrameSource::Open(const std::string& utf8Path) {
    // libavformat opens the name the blocking way: a FIFO would hold it until a writer came.
    if (!IsRegularFile(utf8Path.c_str())) return nullptr;
    std::unique_ptr<FrameSource> src(new FrameSource);
    src->m_fmt = avformat_alloc_context();
    if (!src->m_fmt) return nullptr;
    // A hostile header (a 2 GiB format block, say) can keep libavformat walking the file
    // for minutes: the open and the stream probe together get a deadline, and the probe
    // reads a bounded amount.
    src->m_fmt->interrupt_callback = {PastDeadline, &src->m_openDeadline};
    src->m_openDeadline = av_gettime_relative() + int64_t{kOpenDeadlineMs} * 1000;
    // The "file:" prefix and the whitelist keep a name such as "http://..." a file
    // name, and keep any file the container refers to on the local disk too.
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "protocol_whitelist", "file", 0);
    av_dict_set_int(&opts, "probesize", kProbeBytes, 0);
    av_dict_set_int(&opts, "analyzeduration", kProbeMicroseconds, 0);
    const std::string url = "file:" + utf8Path;
    const int r = avformat_open_input(&src->m_fmt, url.c_str(), nullptr, &opts);
    av_dict_free(&opts);
    if (r < 0) return nullptr;
    if (avformat_find_stream_info(src->m_fmt, nullptr) < 0) return nullptr;
    src->m_openDeadline = 0;  // decoding frames later is bounded by its caller
    for (unsigned i = 0; i < src->m_fmt->nb_streams; ++i) {
        const AVStream* st = src->m_fmt->streams[i];
        const AVMediaType type = st->codecpar->codec_type;
        if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO) continue;
        if (st->disposition & AV_DISPOSITION_ATTACHED_PIC) continue;  // cover art, not a movie
        if (type == AVMEDIA_TYPE_VIDEO && src->m_video < 0) src->m_video = static_cast<int>(i);
        src->m_streams.push_back(static_cast<int>(i));
    }
    src->m_pkt = av_packet_alloc();
    src->m_prev = av_frame_alloc();
    src->m_cur = av_frame_alloc();
    src->m_next = av_frame_alloc();
    if (!src->m_pkt || !src->m_prev || !src->m_cur || !src->m_next) return nullptr;
    return src;
}

FrameSource::~FrameSource() {
    av_frame_free(&m_prev);
    av_frame_free(&m_cur);
    av_frame_free(&m_next);
    av_packet_free(&m_pkt);
    avcodec_free_context(&m_dec);
    avformat_close_input(&m_fmt);
}

AVStream* FrameSource::VideoStream() const {
    return m_video >= 0 ? m_fmt->streams[m_video] : nullptr;
}

bool FrameSource::GetMediaType(int i, AM_MEDIA_TYPE* mt) const {
    if (!mt || i < 0 || i >= StreamCount()) return false;
    *mt = AM_MEDIA_TYPE{};
    AVStream* st = m_fmt->streams[m_streams[static_cast<size_t>(i)]];
    if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) return GetVideoType(st, mt);
    return GetAudioType(st, mt);
}

bool FrameSource::GetVideoType(AVStream* st, AM_MEDIA_TYPE* mt) const {
    const int w = st->codecpar->width;
    const int h = st->codecpar->height;
    if (!SizeIsSane(w, h)) return false;
    auto* vih = NewFormatBlock<VIDEOINFOHEADER>(mt);
    if (!vih) return false;
    mt->majortype = MEDIATYPE_Video;
    mt->subtype = MEDIASUBTYPE_RGB24;
    mt->formattype = FORMAT_VideoInfo;
    mt->bFixedSizeSamples = TRUE;
    mt->lSampleSize = static_cast<ULONG>(DibRowBytes(w, 24) * h);
    vih->AvgTimePerFrame = FrameDuration();
    BITMAPINFOHEADER& bih = vih->bmiHeader;
    bih.biSize = sizeof(BITMAPINFOHEADER);
    bih.biWidth = w;
    bih.biHeight = h;
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    bih.biCompression = BI_RGB;
    bih.biSizeImage = mt->lSampleSize;
    return true;
}

bool FrameSource::GetAudioType(AVStream* st, AM_MEDIA_TYPE* mt) const {
    auto* wf = NewFormatBlock<WAVEFORMATEX>(mt);
    if (!wf) return false;
    const AVCodecParameters* par = st->codecpar;
    mt->majortype = MEDIATYPE_Audio;
    mt->formattype = FORMAT_WaveFormatEx;
    wf->wFormatTag = static_cast<WORD>(par->codec_tag);
    wf->nChannels = static_cast<WORD>(par->ch_layout.nb_channels);
    wf->nSamplesPerSec = static_cast<DWORD>(par->sample_rate);
    wf->nAvgBytesPerSec = static_cast<DWORD>(par->bit_rate / 8);
    wf->nBlockAlign = static_cast<WORD>(par->block_align);
    wf->wBitsPerSample = static_cast<WORD>(par->bits_per_coded_sample);
    return true;
}

REFERENCE_TIME FrameSource::FrameDuration() const {
    const AVStream* st = VideoStream();
    if (!st) return 0;
    AVRational rate = st->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = st->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) return 0;
    return av_rescale(UNITS, rate.den, rate.num);
}

REFERENCE_TIME FrameSource::Duration() const {
    const AVStream* st = VideoStream();
    if (st && st->duration > 0) return av_rescale_q(st->duration, st->time_base, kUnits);
    if (m_fmt->duration > 0) return av_rescale(m_fmt->duration, UNITS, AV_TIME_BASE);
    return 0;
}

bool FrameSource::StartVideo() {
    AVStream* st = VideoStream();
    if (!st || m_dec) return m_dec != nullptr;
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec || !SizeIsSane(st->codecpar->width, st->codecpar->height)) return false;
    m_dec = avcodec_alloc_context3(codec);
    if (!m_dec || avcodec_parameters_to_context(m_dec, st->codecpar) < 0) return false;
    m_dec->thread_count = 0;
    m_dec->pkt_timebase = st->time_base;
    if (avcodec_open2(m_dec, codec, nullptr) < 0) return false;
    const AVCodecDescriptor* desc = avcodec_descriptor_get(st->codecpar->codec_id);
    m_reorders = desc && (desc->props & AV_CODEC_PROP_REORDER);
    m_width = st->codecpar->width;
    m_height = st->codecpar->height;
    m_frameBytes = DibRowBytes(m_width, 24) * m_height;
    // The converter's vector code may store a few bytes past the end of a row.
    m_bits.assign(static_cast<size_t>(m_frameBytes) + BgrConverter::kSlack, 0);
    return true;
}

// Containers without presentation times (AVI) stamp reordered pictures with the
// times of the packets that pushed them out; there the pictures are counted from
// the anchor key frame, as a player of such files counts them.
REFERENCE_TIME FrameSource::FrameTime(const AVFrame* f) {
    const REFERENCE_TIME d = FrameDuration();
    if (Counting()) return StreamTime(m_anchorTs) + (m_pictures++) * d;
    if (f->best_effort_timestamp == AV_NOPTS_VALUE) return m_curValid ? m_curTime + d : 0;
    return StreamTime(f->best_effort_timestamp);
}

int64_t FrameSource::StreamStart() const {
    const AVStream* st = VideoStream();
    return st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
}

int64_t FrameSource::StreamTs(REFERENCE_TIME t) const {
    return av_rescale_q_rnd(t, kUnits, VideoStream()->time_base, AV_ROUND_DOWN) + StreamStart();
}

REFERENCE_TIME FrameSource::StreamTime(int64_t ts) const {
    return av_rescale_q(ts - StreamStart(), VideoStream()->time_base, kUnits);
}

// The time stamp of the last key frame at or before ts, from the container's
// index; AV_NOPTS_VALUE when the index does not tell.
int64_t FrameSource::KeyAtOrBefore(int64_t ts) const {
    const AVIndexEntry* e =
        avformat_index_get_entry_from_timestamp(VideoStream(), ts, AVSEEK_FLAG_BACKWARD);
    return e && (e->flags & AVINDEX_KEYFRAME) ? e->timestamp : AV_NOPTS_VALUE;
}

bool FrameSource::Counting() const { return m_reorders && m_ptsMissing; }

// Seeking is needed when t lies before the frames in hand, or when a key frame
// lies well between the last decoded frame and t: decoding from it skips the
// frames up to it, which pays for the decoder's restart once there are a few.
bool FrameSource::NeedsSeek(REFERENCE_TIME t) const {
    if (!m_curValid) return true;
    if (t < (m_prevValid ? m_prevTime : m_curTime)) return true;
    if (t <= m_curTime) return false;
    const int64_t key = KeyAtOrBefore(StreamTs(t));
    if (key == AV_NOPTS_VALUE) return false;
    return StreamTime(key) > m_curTime + kSkipFrames * FrameDuration();
}

// Goes to the key frame at or before one frame ahead of t, so that the frame
// nearest t is among those decoded from there. When pictures are counted, the
// pictures from that key frame on are counted from its time, and decoding starts
// one key frame earlier: pictures shown before a key frame may follow it in the
// stream and need the group before.
bool FrameSource::SeekBefore(REFERENCE_TIME t) {
    REFERENCE_TIME target = t - FrameDuration();
    if (target < 0) target = 0;
    int64_t ts = StreamTs(target);
    const int64_t start = StreamStart();
    const int64_t key = Counting() ? KeyAtOrBefore(ts) : AV_NOPTS_VALUE;
    if (key != AV_NOPTS_VALUE) ts = key > start ? key - 1 : key;
    if (av_seek_frame(m_fmt, m_video, ts, AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(m_fmt, m_video, start, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(m_dec);
    av_frame_unref(m_prev);
    av_frame_unref(m_cur);
    m_prevValid = m_curValid = false;
    m_inputDone = false;
    m_anchored = key != AV_NOPTS_VALUE;
    m_anchorTs = key;
    m_pictures = 0;
    m_seeked = true;
    return true;
}

// Counted pictures carry the decoding time of their packet as their own, so that
// those from before the anchor can be told apart.
void FrameSource::Send(AVPacket* pkt) {
    if (pkt->pts == AV_NOPTS_VALUE) m_ptsMissing = true;
    if (Counting()) pkt->pts = pkt->dts;
    if (!m_anchored) {
        m_anchorTs = pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts;
        if (m_anchorTs == AV_NOPTS_VALUE) m_anchorTs = StreamStart();
        m_pictures = 0;
        m_anchored = true;
    }
    avcodec_send_packet(m_dec, pkt);
}

// Decodes one more frame: the last one becomes the previous one. False at the end
// of the stream or when the decoder fails.
bool FrameSource::DecodeNext() {
    for (;;) {
        int r = avcodec_receive_frame(m_dec, m_next);
        if (r == 0) {
            if (Counting() && m_next->pts != AV_NOPTS_VALUE && m_next->pts < m_anchorTs) {
                av_frame_unref(m_next);  // shows before the anchor: decoded as a reference only
                continue;
            }
            const REFERENCE_TIME time = FrameTime(m_next);
            av_frame_unref(m_prev);
            av_frame_move_ref(m_prev, m_cur);
            av_frame_move_ref(m_cur, m_next);
            m_prevTime = m_curTime;
            m_prevValid = m_curValid;
            m_curTime = time;
            m_curValid = true;
            return true;
        }
        if (r != AVERROR(EAGAIN) || m_inputDone) return false;
        if (av_read_frame(m_fmt, m_pkt) < 0) {
            avcodec_send_packet(m_dec, nullptr);  // drain what the decoder holds
            m_inputDone = true;
            continue;
        }
        // An empty packet (a dropped frame) would read as the end of the input.
        if (m_pkt->stream_index == m_video && m_pkt->size > 0) Send(m_pkt);
        av_packet_unref(m_pkt);
    }
}

bool FrameSource::Grab(REFERENCE_TIME t, double* sampleTime) {
    if (!m_dec) return false;
    // The first packets can carry what the decoder keeps for the whole stream (a
    // palette, for one): the first picture is decoded from the start, unseeked.
    if (!m_curValid && !m_seeked && !DecodeNext()) return false;
    if (NeedsSeek(t) && !SeekBefore(t)) return false;
    while (!m_curValid || m_curTime < t) {
        if (!DecodeNext()) break;
    }
    if (!m_curValid) return false;
    bool usePrev = false;
    if (m_curTime > t && m_prevValid) usePrev = (t - m_prevTime) <= (m_curTime - t);
    const AVFrame* f = usePrev ? m_prev : m_cur;
    if (!Convert(f)) return false;
    if (sampleTime) *sampleTime = static_cast<double>(usePrev ? m_prevTime : m_curTime) / UNITS;
    return true;
}


// Scales and converts into the fixed output size, writing the rows bottom-up. The
// converter is rebuilt only when the decoded pictures change.
bool FrameSource::Convert(const AVFrame* f) {
    if (!SizeIsSane(f->width, f->height) || f->format < 0) return false;
    return m_bgr.Convert(f, m_width, m_height, m_bits.data(), DibRowBytes(m_width, 24));
}
