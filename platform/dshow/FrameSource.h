#pragma once
// FrameSource: one movie file opened through libavformat (local files only),
// its audio and video streams listed, and its first video stream decoded on
// request to the frame nearest a given time, as 24-bit bottom-up rows padded to
// 4 bytes. Consecutive requests decode forward; a request behind the frames in
// hand, or past a key frame ahead of them, seeks to the key frame before it.
#include <memory>
#include <string>
#include <vector>

#include "platform/avifile/BgrConverter.h"
#include "platform/dshow/DShowTypes.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

class FrameSource {
public:
    // Null when the file cannot be opened or read as a movie, or is no regular file.
    // Opening gives up after kOpenDeadlineMs, as long as the media detector's reader
    // waits for a frame.
    static std::unique_ptr<FrameSource> Open(const std::string& utf8Path);
    static constexpr int kOpenDeadlineMs = 3000;
    ~FrameSource();
    FrameSource(const FrameSource&) = delete;
    FrameSource& operator=(const FrameSource&) = delete;

    int StreamCount() const { return static_cast<int>(m_streams.size()); }
    // The media type of audio/video stream i; the caller frees it with FreeMediaType.
    bool GetMediaType(int i, AM_MEDIA_TYPE* mt) const;

    // Opens the decoder of the first video stream and sizes the frame buffer.
    bool StartVideo();
    REFERENCE_TIME Duration() const;
    REFERENCE_TIME FrameDuration() const;

    // Decodes the frame whose time is nearest t into Bits(); false when there is none.
    bool Grab(REFERENCE_TIME t, double* sampleTime);
    BYTE* Bits() { return m_bits.data(); }
    long BitsLength() const { return m_frameBytes; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    FrameSource() = default;
    AVStream* VideoStream() const;
    bool GetVideoType(AVStream* st, AM_MEDIA_TYPE* mt) const;
    bool GetAudioType(AVStream* st, AM_MEDIA_TYPE* mt) const;
    bool NeedsSeek(REFERENCE_TIME t) const;
    bool SeekBefore(REFERENCE_TIME t);
    bool DecodeNext();
    int64_t StreamStart() const;
    int64_t StreamTs(REFERENCE_TIME t) const;
    REFERENCE_TIME StreamTime(int64_t ts) const;
    int64_t KeyAtOrBefore(int64_t ts) const;
    bool Counting() const;
    REFERENCE_TIME FrameTime(const AVFrame* f);
    void Send(AVPacket* pkt);
    bool Convert(const AVFrame* f);

    AVFormatContext* m_fmt = nullptr;
    int64_t m_openDeadline = 0;  // av_gettime_relative() microseconds; 0 once opened
    AVCodecContext* m_dec = nullptr;
    AVPacket* m_pkt = nullptr;
    AVFrame* m_prev = nullptr;  // the frame decoded before m_cur, when m_prevValid
    AVFrame* m_cur = nullptr;   // the last frame decoded, when m_curValid
    AVFrame* m_next = nullptr;  // receives the decoder's output
    BgrConverter m_bgr;
    std::vector<int> m_streams;  // libavformat indexes of the audio and video streams
    int m_video = -1;
    int m_width = 0;
    int m_height = 0;
    std::vector<BYTE> m_bits;
    long m_frameBytes = 0;
    REFERENCE_TIME m_prevTime = 0;
    REFERENCE_TIME m_curTime = 0;
    bool m_prevValid = false;
    bool m_curValid = false;
    bool m_inputDone = false;  // every packet has gone to the decoder
    bool m_seeked = false;
    bool m_reorders = false;     // the codec may show pictures out of decoding order
    bool m_ptsMissing = false;   // the container gives decoding times only
    bool m_anchored = false;     // m_anchorTs is set for the pictures since the last seek
    int64_t m_anchorTs = 0;      // stream time of the picture counted first
    int64_t m_pictures = 0;      // pictures counted since the anchor
};
