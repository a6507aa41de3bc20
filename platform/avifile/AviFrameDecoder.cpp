// Frame n of a video stream as a packed 24-bit DIB. Frame n is always the n-th
// picture a decoder shows when it is fed the stream from the start, whatever the
// order of the requests: a request decodes forward from a key frame, or keeps
// going forward from where the decoder is when that is nearer.
//
// A decoder working on several pictures at once hands each out only after it has
// been given as many more. A request that catches up inside a group therefore
// stops feeding once the target's picture is in and drains the decoder; a request
// for the frame after that one starts the decoder again without draining, so
// stepping and playing on run at full speed.
#include "platform/avifile/AviFrameDecoder.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

#include "platform/avifile/BgrConverter.h"
#include "platform/avifile/DibConvert.h"
#include "platform/avifile/JpegFrameDecoder.h"
#include "platform/avifile/JpegReadAhead.h"
#include "platform/avifile/JpegTables.h"
#include "platform/avifile/Mpeg4Units.h"
#include "platform/avifile/RiffCursor.h"

namespace {

constexpr LONG kMaxFormatBytes = 1 << 20;
constexpr LONG kMaxSampleBytes = 256 << 20;
constexpr int kMaxDimension = 32768;
// Bounds what a hostile header can make us allocate: 64 M pixels is well above 8K.
constexpr int64_t kMaxPixels = int64_t(1) << 26;
// The largest picture decoded ahead: a 4096 x 4096 frame.
constexpr size_t kReadAheadBytes = size_t(4096) * 4096 * 3 + 4096;
// Below this size, threads cost more than they save.
constexpr int64_t kThreadedPixels = 320 * 240;
std::atomic<int> g_threads{0};

// Raw FOURCCs the rawvideo decoder needs told its pixel layout.
AVPixelFormat RawPixelFormat(uint32_t tag) {
    switch (tag) {
    case MAKEFOURCC('Y', 'U', 'Y', '2'):
    case MAKEFOURCC('Y', 'U', 'Y', 'V'): return AV_PIX_FMT_YUYV422;
    case MAKEFOURCC('U', 'Y', 'V', 'Y'): return AV_PIX_FMT_UYVY422;
    case MAKEFOURCC('I', '4', '2', '0'):
    case MAKEFOURCC('I', 'Y', 'U', 'V'):
    case MAKEFOURCC('Y', 'V', '1', '2'): return AV_PIX_FMT_YUV420P;
    case MAKEFOURCC('Y', '8', '0', '0'):
    case MAKEFOURCC('G', 'R', 'E', 'Y'): return AV_PIX_FMT_GRAY8;
    default: return AV_PIX_FMT_NONE;
    }
}

uint32_t UpperTag(uint32_t tag) {
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t ch = (tag >> (8 * i)) & 0xFF;
        if (ch >= 'a' && ch <= 'z') ch -= 'a' - 'A';
        out |= ch << (8 * i);
    }
    return out;
}

AVCodecID CodecForTag(uint32_t tag) {
    const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
    AVCodecID id = av_codec_get_id(tables, tag);
    if (id == AV_CODEC_ID_NONE) id = av_codec_get_id(tables, UpperTag(tag));
    return id;
}

// Whether an RLE frame paints every pixel. A frame that jumps over pixels (a delta
// escape, or an end of line or of picture early) keeps the previous picture's there,
// so decoding cannot start from it, whatever the index says.
bool RleFrameIsWhole(const uint8_t* p, int size, int width, int height, int bits) {
    int64_t x = 0, y = 0;
    for (int i = 0; i + 1 < size;) {
        const int count = p[i], code = p[i + 1];
        i += 2;
        if (count > 0) {
            x += count;  // a run of one value
        } else if (code == 0) {
            if (x < width) return false;
            x = 0;
            ++y;
        } else if (code == 1) {
            return y >= height || (y == height - 1 && x >= width);
        } else if (code == 2) {
            return false;
        } else {
            const int bytes = bits == 4 ? (code + 1) / 2 : code;  // literal pixels, padded to 16 bits
            i += bytes + (bytes & 1);
            x += code;
        }
    }
    return y >= height;
}

class FrameDecoder : public AviGetFrame {
public:
    explicit FrameDecoder(PAVISTREAM stream) : m_stream(stream) { m_stream->AddRef(); }
    ~FrameDecoder() override;

    bool Open();
    void* GetFrame(LONG pos) override;
    bool TradeFrame(const void* rows, int64_t bytes, std::vector<uint8_t>* other) override;

private:
    bool ReadFormat();
    bool BuildSampleMap();
    bool OpenCodec();
    bool SetSetupData(AVCodecID id);
    void DropPartialRleKeys();
    bool SizeOutput(int width, int height);
    int ShownAt(LONG pos);
    void ZeroRowEnds(std::vector<uint8_t>& block) const;
    bool ReadSample(LONG sample, uint8_t** data, int* size);
    bool ReadUnit(int at, uint8_t** data, int* size);
    int SampleBytes(int compact);
    int NextShown(int compact);
    void* RawFrame(int compact);
    void* JpegFrame(int compact);
    bool TakeReadAhead(int compact);
    void ReadAhead(int compact);
    const uint8_t* ReadWhole(LONG sample, int* size);
    void* DecodedFrame(int compact);
    int KeyAtOrBefore(int compact);
    int StartFor(int anchor);
    int LeadingPictures(int key);
    int StartForTarget(int target);
    bool Reorders() const;
    void Seek(int target, bool mayDrain = true);
    bool DrainsEarly(int target);
    int DrainPoint(int target);
    int VopTypeAt(int at);
    bool FalseStart(const AVFrame* f);
    bool DropFalseKey(int sample);
    bool SendNext();
    bool Deliver(const AVFrame* frame);

    PAVISTREAM m_stream;
    std::vector<uint8_t> m_format;
    BITMAPINFOHEADER m_bih{};
    bool m_raw = false;
    DibConverter m_dib;

    // Samples that hold data, in stream order: a dropped (empty) frame shows the
    // picture before it, so decoding works on these alone.
    LONG m_length = 0;
    std::vector<LONG> m_samples;
    std::vector<int> m_keys;  // positions in m_samples, ascending

    std::vector<uint8_t> m_read;  // raw frames
    std::vector<uint8_t> m_out;   // 40-byte header, then 24-bit bottom-up rows
    int m_outWidth = 0;
    int m_outHeight = 0;
    int m_shown = -1;  // position in m_samples whose picture m_out holds
    // m_out's picture came from its own sample alone (libjpeg, a raw frame): made
    // again, it needs no decoding of the frames before it.
    bool m_shownAlone = false;
    LONG m_lastPos = -1;  // the frame last asked for

    AVCodecContext* m_ctx = nullptr;
    AVPacket* m_pkt = nullptr;
    AVFrame* m_frame = nullptr;
    AVBufferPool* m_pool = nullptr;
    size_t m_poolSize = 0;
    BgrConverter m_bgr;
    // Every Motion JPEG frame stands alone: libjpeg decodes it straight into rows.
    std::unique_ptr<JpegFrameDecoder> m_jpeg;
    std::unique_ptr<JpegTables> m_jpegTables;
    const uint8_t* WholeJpeg(int compact, const uint8_t* data, int* size);
    // Made once frames are asked for in order: the next ones are decoded meanwhile.
    std::unique_ptr<JpegReadAhead> m_ahead;
    int m_lastAsked = -1;  // reading from the first frame on is reading forward
    bool m_codecReorders = false;
    // Pictures nothing refers to can be left undecoded while catching up to the anchor.
    bool m_canSkipNonRef = false;
    // MPEG-4 part 2: pictures after a key frame that show before it can be told from
    // their headers, so a target past them needs nothing of the group before.
    bool m_vopTypes = false;
    std::vector<int8_t> m_leading;  // per sample: leading B pictures, -1 unknown, -2 not read
    // MPEG-4 part 2: what each sample gives the decoder, when not-coded pictures and
    // packed B pictures are in the stream.
    std::unique_ptr<Mpeg4Units> m_units;
    int m_skipTo = 0;  // samples in (anchor, m_skipTo) are not sent
    bool m_decodedAny = false;
    bool m_sendPalette = false;
    // Decoder position: the next sample to send, the sample whose picture is
    // counted as the anchor's, and where the next picture out shows.
    int m_next = 0;
    int m_anchor = 0;
    int m_nextShown = 0;
    bool m_started = false;
    bool m_drained = false;
    bool m_frameThreads = false;  // the decoder holds pictures back to work on several at once
    int m_drainAfter = INT_MAX;   // after sending this sample the decoder is drained
    int m_drainFor = -1;          // the request that set m_drainAfter
    int m_start = 0;  // the sample decoding started from
    bool m_awaitStart = false;  // its picture has not come out yet
};

FrameDecoder::~FrameDecoder() {
    av_frame_free(&m_frame);
    av_packet_free(&m_pkt);
    avcodec_free_context(&m_ctx);
    av_buffer_pool_uninit(&m_pool);
    m_stream->Release();
}

bool FrameDecoder::ReadFormat() {
    AVISTREAMINFOW info{};
    if (m_stream->Info(&info, sizeof(info)) != AVIERR_OK || info.fccType != streamtypeVIDEO)
        return false;
    LONG size = 0;
    if (m_stream->ReadFormat(0, nullptr, &size) != AVIERR_OK || size < LONG(sizeof(m_bih)) ||
        size > kMaxFormatBytes)
        return false;
    m_format.resize(size_t(size));
    if (m_stream->ReadFormat(0, m_format.data(), &size) != AVIERR_OK ||
        size_t(size) != m_format.size())
        return false;
    std::memcpy(&m_bih, m_format.data(), sizeof(m_bih));
    return m_bih.biWidth > 0 && m_bih.biWidth <= kMaxDimension && m_bih.biHeight != 0 &&
           m_bih.biHeight >= -kMaxDimension && m_bih.biHeight <= kMaxDimension;
}

bool FrameDecoder::BuildSampleMap() {
    m_length = m_stream->Length();
    for (LONG s = 0; s < m_length; ++s) {
        LONG bytes = 0, samples = 0;
        if (m_stream->Read(s, 1, nullptr, 0, &bytes, &samples) != AVIERR_OK || bytes <= 0) continue;
        if (m_stream->FindSample(s, FIND_KEY | FIND_PREV) == s) m_keys.push_back(int(m_samples.size()));
        m_samples.push_back(s);
    }
    return !m_samples.empty();
}

bool FrameDecoder::SizeOutput(int width, int height) {
    if (width == m_outWidth && height == m_outHeight) return true;
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension ||
        int64_t(width) * height > kMaxPixels)
        return false;
    // The header and the picture together are sized in an int.
    const std::optional<int64_t> image = FrameBytes24(width, height, INT_MAX - 40);
    if (!image) return false;
    // Slack: the converter's vector code may store a few bytes past a row's end.
    m_out.assign(size_t(40 + *image) + BgrConverter::kSlack, 0);
    BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD(*image);
    std::memcpy(m_out.data(), &h, sizeof(h));
    m_outWidth = width;
    m_outHeight = height;
    m_shown = -1;
    return true;
}

bool FrameDecoder::OpenCodec() {
    const AVCodecID id = CodecForTag(m_bih.biCompression);
    const AVCodec* codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
    if (!codec) return false;
    m_ctx = avcodec_alloc_context3(codec);
    m_pkt = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (!m_ctx || !m_pkt || !m_frame) return false;
    m_ctx->codec_tag = m_bih.biCompression;
    m_ctx->width = m_bih.biWidth;
    m_ctx->height = m_bih.biHeight < 0 ? -m_bih.biHeight : m_bih.biHeight;
    m_ctx->bits_per_coded_sample = m_bih.biBitCount;
    if (id == AV_CODEC_ID_RAWVIDEO) m_ctx->pix_fmt = RawPixelFormat(m_bih.biCompression);
    if (!SetSetupData(id)) return false;
    const size_t extra = m_format.size() - sizeof(m_bih);
    m_ctx->max_pixels = kMaxPixels;
    const int threads = g_threads.load(std::memory_order_relaxed);
    if (threads > 0)
        m_ctx->thread_count = threads;
    else
        m_ctx->thread_count = int64_t(m_ctx->width) * m_ctx->height >= kThreadedPixels ? 0 : 1;
    if (avcodec_open2(m_ctx, codec, nullptr) < 0) return false;
    m_frameThreads = (m_ctx->active_thread_type & FF_THREAD_FRAME) && m_ctx->thread_count > 1;
    const AVCodecDescriptor* d = avcodec_descriptor_get(id);
    m_codecReorders = d && (d->props & AV_CODEC_PROP_REORDER);
    // In these codecs a B picture is never a reference, so leaving one out changes no
    // other picture.
    m_canSkipNonRef = id == AV_CODEC_ID_MPEG4 || id == AV_CODEC_ID_MPEG1VIDEO || id == AV_CODEC_ID_MPEG2VIDEO;
    m_vopTypes = id == AV_CODEC_ID_MPEG4;
    if (id == AV_CODEC_ID_MJPEG) {
        m_jpeg = std::make_unique<JpegFrameDecoder>();
        m_jpegTables = std::make_unique<JpegTables>();
    }
    if (id == AV_CODEC_ID_MSRLE) DropPartialRleKeys();
    if (m_vopTypes) {
        m_leading.assign(m_samples.size(), -2);
        m_units = std::make_unique<Mpeg4Units>(
            int(m_samples.size()), m_ctx->extradata, size_t(m_ctx->extradata_size),
            [this](int at, int* size) { return ReadWhole(m_samples[size_t(at)], size); },
            [this](int at) { return SampleBytes(at); });
    }
    m_sendPalette = m_bih.biBitCount <= 8 && extra > 0;
    return true;
}

// The bytes after the bitmap header are the codec's own setup data. MPEG-4 part 2
// writers without any put the stream's headers in the first chunk alone: they are
// taken from there, so that decoding can start at any key frame.
bool FrameDecoder::SetSetupData(AVCodecID id) {
    const uint8_t* setup = m_format.data() + sizeof(m_bih);
    size_t bytes = m_format.size() - sizeof(m_bih);
    if (bytes == 0 && id == AV_CODEC_ID_MPEG4) {
        int size = 0;
        setup = ReadWhole(m_samples[0], &size);
        bytes = setup ? Mpeg4Units::HeaderBytes(setup, size) : 0;
    }
    if (bytes == 0) return true;
    m_ctx->extradata = static_cast<uint8_t*>(av_mallocz(bytes + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!m_ctx->extradata) return false;
    std::memcpy(m_ctx->extradata, setup, bytes);
    m_ctx->extradata_size = int(bytes);
    return true;
}

bool FrameDecoder::Open() {
    if (!ReadFormat() || !BuildSampleMap()) return false;
    if (m_dib.Init(m_format.data(), m_format.size())) {
        m_raw = true;
        return true;  // the output is sized by the first frame that proves its size
    }
    return OpenCodec();
}

// Some writers flag every RLE frame as a key frame, the ones that only paint what
// changed as well.
void FrameDecoder::DropPartialRleKeys() {
    const int height = m_bih.biHeight < 0 ? -m_bih.biHeight : m_bih.biHeight;
    std::erase_if(m_keys, [&](int key) {
        int size = 0;
        const uint8_t* data = key > 0 ? ReadWhole(m_samples[size_t(key)], &size) : nullptr;
        return data && !RleFrameIsWhole(data, size, m_bih.biWidth, height, m_bih.biBitCount);
    });
}

// The sample's bytes in m_read, kept for the next read.
const uint8_t* FrameDecoder::ReadWhole(LONG sample, int* size) {
    LONG bytes = 0, samples = 0, got = 0;
    if (m_stream->Read(sample, 1, nullptr, 0, &bytes, &samples) != AVIERR_OK || bytes <= 0 ||
        bytes > kMaxSampleBytes)
        return nullptr;
    if (m_read.size() < size_t(bytes)) m_read.resize(size_t(bytes));
    if (m_stream->Read(sample, 1, m_read.data(), bytes, &got, &samples) != AVIERR_OK || got != bytes)
        return nullptr;
    *size = int(bytes);
    return m_read.data();
}

// The sample's bytes in a packet buffer handed to the decoder with m_pkt.
bool FrameDecoder::ReadSample(LONG sample, uint8_t** data, int* size) {
    LONG bytes = 0, samples = 0;
    if (m_stream->Read(sample, 1, nullptr, 0, &bytes, &samples) != AVIERR_OK || bytes <= 0 ||
        bytes > kMaxSampleBytes)
        return false;
    const size_t need = size_t(bytes) + AV_INPUT_BUFFER_PADDING_SIZE;
    if (need > m_poolSize) {
        av_buffer_pool_uninit(&m_pool);
        m_pool = av_buffer_pool_init(need, av_buffer_allocz);
        m_poolSize = m_pool ? need : 0;
    }
    AVBufferRef* buf = m_pool ? av_buffer_pool_get(m_pool) : nullptr;
    if (!buf) return false;
    m_pkt->buf = buf;
    *data = buf->data;
    std::memset(buf->data + bytes, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    LONG got = 0;
    if (m_stream->Read(sample, 1, *data, bytes, &got, &samples) != AVIERR_OK || got != bytes)
        return false;
    *size = bytes;
    return true;
}

int FrameDecoder::SampleBytes(int compact) {
    LONG bytes = 0, samples = 0;
    m_stream->Read(m_samples[size_t(compact)], 1, nullptr, 0, &bytes, &samples);
    return int(bytes);
}

// The bytes the decoder is given for sample `at`: the sample itself, or for MPEG-4
// part 2 the part of it or of the sample before that is this sample's picture.
bool FrameDecoder::ReadUnit(int at, uint8_t** data, int* size) {
    if (!m_units) return ReadSample(m_samples[size_t(at)], data, size);
    const int source = m_units->SourceOf(at);
    if (!ReadSample(m_samples[size_t(source)], data, size)) return false;
    m_units->Learn(source, *data, *size);
    const Mpeg4Units::Unit unit = m_units->UnitAt(at);
    if (unit.size <= 0) return false;
    *data += unit.offset;
    *size = unit.size;
    // A packed chunk's first picture ends where the second begins: the decoder reads
    // zeros past it, as past any packet.
    std::memset(*data + unit.size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    return true;
}

// The first sample at or after `compact` whose frame shows a picture of its own.
int FrameDecoder::NextShown(int compact) {
    while (m_units && compact < int(m_samples.size()) && m_units->Repeats(compact)) ++compact;
    return compact;
}

void* FrameDecoder::RawFrame(int compact) {
    if (compact == m_shown) return m_out.data();
    int size = 0;
    const uint8_t* data = ReadWhole(m_samples[size_t(compact)], &size);
    if (!data || size < m_dib.FrameBytes() || !SizeOutput(m_dib.Width(), m_dib.Height()))
        return nullptr;
    m_dib.Convert(data, m_out.data() + 40);
    m_shown = compact;
    m_shownAlone = true;
    return m_out.data();
}

void* FrameDecoder::JpegFrame(int compact) {
    const bool forward = compact == m_lastAsked + 1;
    m_lastAsked = compact;
    if (compact == m_shown) return m_out.data();
    const int width = m_ctx->width, height = m_ctx->height;
    if (TakeReadAhead(compact)) return m_out.data();
    int size = 0;
    const uint8_t* data = WholeJpeg(compact, ReadWhole(m_samples[size_t(compact)], &size), &size);
    if (data && SizeOutput(width, height) &&
        m_jpeg->Decode(data, size_t(size), width, height, m_out.data() + 40, DibRowBytes(width, 24))) {
        m_shown = compact;
        m_shownAlone = true;
        if (forward) ReadAhead(compact);
        return m_out.data();
    }
    m_shown = -1;  // the rows may be half written
    return DecodedFrame(compact);
}

// The frame's bytes with the tables it takes from the frames before it, so that every
// decoder, on any thread and after any jump, gives it the same picture.
const uint8_t* FrameDecoder::WholeJpeg(int compact, const uint8_t* data, int* size) {
    if (!data) return nullptr;
    const auto read = [this](int index, std::vector<uint8_t>& bytes) {
        LONG n = 0, samples = 0, got = 0;
        const LONG sample = m_samples[size_t(index)];
        if (m_stream->Read(sample, 1, nullptr, 0, &n, &samples) != AVIERR_OK || n <= 0 || n > kMaxSampleBytes)
            return false;
        bytes.resize(size_t(n));
        return m_stream->Read(sample, 1, bytes.data(), n, &got, &samples) == AVIERR_OK && got == n;
    };
    size_t whole = 0;
    const uint8_t* out = m_jpegTables->Prepare(compact, data, size_t(*size), read, &whole);
    if (whole > size_t(INT_MAX)) return nullptr;
    *size = int(whole);
    return out;
}

bool FrameDecoder::TakeReadAhead(int compact) {
    if (!m_ahead) return false;
    switch (m_ahead->Take(compact, &m_out)) {
    case JpegReadAhead::Taken::Decoded:
        m_shown = compact;
        m_shownAlone = true;
        ReadAhead(compact);
        return true;
    case JpegReadAhead::Taken::NotStarted:
        m_ahead->Clear();  // a jump: the frames read ahead are not the ones wanted
        return false;
    case JpegReadAhead::Taken::Failed: return false;  // decoded here, by whichever decoder can
    }
    return false;
}

void FrameDecoder::ReadAhead(int compact) {
    // Each frame read ahead has rows of its own: beyond 4K pictures they cost too much.
    if (m_out.size() > kReadAheadBytes) return;
    if (!m_ahead) {
        const int frames = JpegReadAhead::FramesFor(g_threads.load(std::memory_order_relaxed));
        if (frames == 0) return;
        m_ahead = std::make_unique<JpegReadAhead>(frames);
    }
    const int width = m_ctx->width, height = m_ctx->height;
    for (int next = compact + 1; next < int(m_samples.size()) && m_ahead->HasRoom(); ++next) {
        if (m_ahead->IsStarted(next)) continue;
        int size = 0;
        const uint8_t* data = WholeJpeg(next, ReadWhole(m_samples[size_t(next)], &size), &size);
        if (!data) return;  // the frame's own request reports it
        m_ahead->Start(next, data, size_t(size), width, height, DibRowBytes(width, 24), m_out);
    }
}

int FrameDecoder::KeyAtOrBefore(int compact) {
    for (;;) {
        const auto it = std::upper_bound(m_keys.begin(), m_keys.end(), compact);
        if (it == m_keys.begin()) return 0;
        // A placeholder or a B picture flagged as a key frame cannot start decoding.
        if (*(it - 1) == 0 || !m_units || m_units->CanStart(*(it - 1))) return *(it - 1);
        m_keys.erase(it - 1);
    }
}

bool FrameDecoder::Reorders() const {
    // Once the decoder has seen the stream it knows whether pictures come out of order.
    return m_codecReorders && !(m_decodedAny && m_ctx->has_b_frames == 0);
}

// Where to start decoding so that the anchor's picture and all after it come out
// whole. A reordering codec may place pictures that show before a key frame
// after it in the stream, depending on the previous group: start one key earlier.
int FrameDecoder::StartFor(int anchor) {
    if (!Reorders() || anchor == 0) return anchor;
    return KeyAtOrBefore(anchor - 1);
}

// An index that calls a frame a key frame is not always right. Decoding that
// started at such a frame shows it as a predicted picture, or never shows it and
// goes on with the pictures after it; counting from one is just as wrong. The
// false key frame is forgotten and the request starts again further back.
bool FrameDecoder::FalseStart(const AVFrame* f) {
    if (f->pts == AV_NOPTS_VALUE) return false;
    const int pts = int(f->pts);
    if (m_awaitStart) {
        if (pts == m_start) {
            m_awaitStart = false;
            if (!f->key_frame) return DropFalseKey(m_start);
        } else if (pts > m_start && f->pict_type != AV_PICTURE_TYPE_B) {
            // Pictures shown before a key frame are B pictures; anything else
            // means the start was never a picture of its own.
            m_awaitStart = false;
            return DropFalseKey(m_start);
        }
    }
    return pts == m_anchor && pts != m_start && !f->key_frame && DropFalseKey(m_anchor);
}

bool FrameDecoder::DropFalseKey(int sample) {
    if (sample <= 0) return false;  // decoding can always start at the first frame
    const auto it = std::lower_bound(m_keys.begin(), m_keys.end(), sample);
    if (it == m_keys.end() || *it != sample) return false;
    m_keys.erase(it);
    return true;
}

// How many B pictures follow the key in the stream: they show before it and need the
// group before it. -1 when that cannot be told.
int FrameDecoder::LeadingPictures(int key) {
    if (key < 0 || size_t(key) >= m_leading.size()) return -1;
    int8_t& known = m_leading[size_t(key)];
    if (known != -2) return known;
    known = -1;
    int count = 0;
    for (int at = key + 1; at < int(m_samples.size()) && count < 16; ++at, ++count) {
        const int type = VopTypeAt(at);
        if (type < 0) return -1;
        if (type != 2) break;
    }
    if (count >= 16) return -1;
    known = int8_t(count);
    return count;
}

int FrameDecoder::VopTypeAt(int at) {
    if (!m_units || at < 0 || size_t(at) >= m_samples.size()) return -1;
    return m_units->Type(at);
}

// The first sample to send for target when the decoder has to start over.
int FrameDecoder::StartForTarget(int target) {
    const int anchor = KeyAtOrBefore(target);
    if (m_vopTypes && anchor > 0 && Reorders()) {
        const int leading = LeadingPictures(anchor);
        if (leading >= 0 && target >= anchor + leading) return anchor;
    }
    return StartFor(anchor);
}

// Whether a request for target drains the decoder once target's sample is in. Not
// when decoding starts with target's picture (nothing is wasted waiting for it) nor
// when target follows the frame shown last: that is stepping or playing on.
bool FrameDecoder::DrainsEarly(int target) {
    if (!m_frameThreads || (m_shown >= 0 && target == NextShown(m_shown + 1))) return false;
    const int anchor = KeyAtOrBefore(target);
    if (StartForTarget(target) != anchor) return true;
    if (target == anchor) return false;
    return !(m_vopTypes && Reorders() && target == anchor + LeadingPictures(anchor));
}

// The last sample to send before draining so that target's picture comes out, and
// every picture that comes out shows in its own place: the samples sent must be
// all the pictures up to some point in showing order. INT_MAX when that cannot be
// told.
int FrameDecoder::DrainPoint(int target) {
    if (!Reorders()) return target;
    if (!m_vopTypes) return INT_MAX;
    // A B picture shows before the reference sent ahead of it, so the cut goes
    // before the next picture that is not a B picture.
    for (int last = target; last < target + 16 && last + 1 < int(m_samples.size()); ++last) {
        const int next = VopTypeAt(last + 1);
        if (next < 0) return INT_MAX;
        if (next != 2) return last;
    }
    return INT_MAX;
}

void FrameDecoder::Seek(int target, bool mayDrain) {
    m_drainAfter = INT_MAX;
    if (mayDrain && DrainsEarly(target)) {
        m_drainAfter = DrainPoint(target);
        m_drainFor = target;
    }
    avcodec_flush_buffers(m_ctx);
    m_anchor = KeyAtOrBefore(target);
    m_next = StartForTarget(target);
    m_nextShown = m_anchor;
    m_skipTo = 0;
    if (m_next == m_anchor && m_anchor > 0 && m_vopTypes && Reorders()) {
        // The leading pictures are left out; they would have shown first.
        const int leading = LeadingPictures(m_anchor);
        m_nextShown = m_anchor + leading;
        m_skipTo = m_anchor + 1 + leading;
    }
    m_start = m_next;
    m_awaitStart = m_start != 0;
    m_started = true;
    m_drained = false;
    m_sendPalette = m_sendPalette || (m_bih.biBitCount <= 8 && m_format.size() > sizeof(m_bih));
}

bool FrameDecoder::SendNext() {
    if (m_drained) return false;
    if (m_next >= int(m_samples.size()) || m_next > m_drainAfter) {
        avcodec_send_packet(m_ctx, nullptr);  // drain the pictures still held back
        m_drained = true;
        return true;
    }
    uint8_t* data = nullptr;
    int size = 0;
    if (m_next > m_anchor && m_next < m_skipTo) m_next = m_skipTo;
    if (m_next >= int(m_samples.size())) return true;  // drained on the next turn
    const int at = m_next++;
    // Before the anchor only references matter: their own pictures are thrown away.
    if (m_canSkipNonRef) m_ctx->skip_frame = at < m_anchor ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
    if (!ReadUnit(at, &data, &size)) {
        av_packet_unref(m_pkt);
        return true;  // an unreadable sample is skipped, as a decoder skips a broken one
    }
    m_pkt->data = data;
    m_pkt->size = size;
    m_pkt->pts = at;
    m_pkt->dts = at;
    if (m_sendPalette) {
        // 8-bit formats carry their colour table after the header; decoders take
        // it with a packet.
        const size_t bytes = std::min<size_t>(m_format.size() - sizeof(m_bih), AVPALETTE_SIZE);
        if (uint8_t* pal = av_packet_new_side_data(m_pkt, AV_PKT_DATA_PALETTE, AVPALETTE_SIZE)) {
            std::memset(pal, 0, AVPALETTE_SIZE);
            std::memcpy(pal, m_format.data() + sizeof(m_bih), bytes);
            for (size_t i = 0; i < AVPALETTE_SIZE / 4; ++i) pal[i * 4 + 3] = 0xFF;
        }
        m_sendPalette = false;
    }
    avcodec_send_packet(m_ctx, m_pkt);
    av_packet_unref(m_pkt);
    return true;
}

bool FrameDecoder::Deliver(const AVFrame* f) {
    if (!SizeOutput(f->width, f->height)) return false;
    const int64_t rowBytes = DibRowBytes(f->width, 24);
    return m_bgr.Convert(f, f->width, f->height, m_out.data() + 40, rowBytes);
}

void* FrameDecoder::DecodedFrame(int target) {
    if (target == m_shown) return m_out.data();
    if (!m_started || target < m_nextShown || StartForTarget(target) > m_next) Seek(target);
    // Every turn takes a picture or sends a sample, so this ends.
    for (size_t turns = 0; turns < 4 * m_samples.size() + 64; ++turns) {
        const int rc = avcodec_receive_frame(m_ctx, m_frame);
        if (rc == 0) {
            // A key picture proves the decoder has seen the stream's own headers:
            // pictures decoded from a false start before it say nothing of reordering.
            if (m_frame->key_frame) m_decodedAny = true;
            const int64_t pts = m_frame->pts;
            if (FalseStart(m_frame)) {
                av_frame_unref(m_frame);
                Seek(target);  // again, from a key frame further back
                turns = 0;
                continue;
            }
            if (pts != AV_NOPTS_VALUE && pts < m_anchor) {
                av_frame_unref(m_frame);
                continue;  // shows before the anchor: only decoded as a reference
            }
            const int shown = m_nextShown;
            m_nextShown = NextShown(shown + 1);
            bool ok = true;
            if (shown == target) ok = Deliver(m_frame);
            av_frame_unref(m_frame);
            if (shown == target) {
                m_shown = ok ? target : -1;
                m_shownAlone = false;
                return ok ? m_out.data() : nullptr;
            }
            if (shown > target) return nullptr;
        } else if (rc == AVERROR(EAGAIN)) {
            if (!SendNext()) return nullptr;
        } else if (rc == AVERROR_EOF) {
            const bool drainedEarly = m_next < int(m_samples.size());
            // The whole rest of the stream passed without the start's picture.
            const bool falseStart = !drainedEarly && m_awaitStart && DropFalseKey(m_start);
            if (!drainedEarly && !falseStart) return nullptr;
            // Draining again is no use when it was this request's own drain that
            // came too soon.
            Seek(target, drainedEarly && m_drainFor != target);
            turns = 0;
        } else if (!SendNext()) {
            return nullptr;
        }
    }
    return nullptr;
}

// The position in m_samples whose picture frame `pos` shows, or -1.
int FrameDecoder::ShownAt(LONG pos) {
    if (pos < 0 || pos >= m_length) return -1;
    // The picture shown at `pos` is that of the last sample with data at or before it.
    const auto it = std::upper_bound(m_samples.begin(), m_samples.end(), pos);
    if (it == m_samples.begin()) return -1;
    int compact = int(it - m_samples.begin()) - 1;
    // A not-coded picture repeats the one before it.
    while (m_units && compact >= 0 && m_units->Repeats(compact)) --compact;
    return compact;
}

void* FrameDecoder::GetFrame(LONG pos) {
    const int compact = ShownAt(pos);
    if (compact < 0) return nullptr;
    m_lastPos = pos;
    if (m_raw) return RawFrame(compact);
    return m_jpeg ? JpegFrame(compact) : DecodedFrame(compact);
}

// Only a frame that is made again from its own sample is given away: a repeat of a
// picture from a codec's kept pictures would mean decoding again from a key frame.
// Nor is one the next frame repeats (a dropped or not-coded frame follows): keeping it
// costs less than making it again.
bool FrameDecoder::TradeFrame(const void* rows, int64_t bytes, std::vector<uint8_t>* other) {
    if (m_shown < 0 || !m_shownAlone || m_out.size() < 40 || rows != m_out.data() + 40 || bytes < 0 ||
        uint64_t(bytes) > m_out.size() - 40 || ShownAt(m_lastPos + 1) == m_shown)
        return false;
    // The decoders write a row's pixels only: its padding stays the zeros m_out was made with.
    if (other->size() == m_out.size()) {
        ZeroRowEnds(*other);
    } else {
        try {
            other->assign(m_out.size(), 0);  // with the first frames only: then the shapes agree
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    std::memcpy(other->data(), m_out.data(), 40);  // the header
    other->swap(m_out);
    m_shown = -1;  // its picture is no longer here
    return true;
}

void FrameDecoder::ZeroRowEnds(std::vector<uint8_t>& block) const {
    const int64_t rowBytes = DibRowBytes(m_outWidth, 24), pixels = int64_t(m_outWidth) * 3;
    if (rowBytes == pixels) return;
    for (int64_t y = 0; y < m_outHeight; ++y)
        std::memset(block.data() + 40 + y * rowBytes + pixels, 0, size_t(rowBytes - pixels));
}

}  // namespace

void SetFrameDecoderThreads(int count) { g_threads.store(count > 0 ? count : 0, std::memory_order_relaxed); }

PGETFRAME OpenFrameDecoder(PAVISTREAM stream) {
    auto* d = new FrameDecoder(stream);
    if (!d->Open()) {
        d->Release();
        return nullptr;
    }
    return d;
}
