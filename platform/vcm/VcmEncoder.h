#pragma once
// One open libavcodec encoder fed with 24-bit bottom-up BGR frames. Every frame
// gives exactly one packet: no B-frames, no look-ahead and no frame threading.
#include <array>
#include <cstdint>
#include <vector>

#include "platform/vcm/BgrToYuv.h"
#include "platform/vcm/CompressorTable.h"
#include "platform/vcm/Vcm.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace talvern::vcm {

struct EncoderSettings {
    int width = 0;
    int height = 0;        // rows of the input, bottom-up
    LONG quality = ICQUALITY_DEFAULT;
    LONG keyEvery = 0;     // 0 = only the first frame is a key frame
    LONG bytesPerSecond = 0;
    DWORD rate = 25;
    DWORD scale = 1;
    VcmCodecOptions options;
};

class VcmEncoder {
public:
    VcmEncoder() = default;
    ~VcmEncoder();
    VcmEncoder(const VcmEncoder&) = delete;
    VcmEncoder& operator=(const VcmEncoder&) = delete;

    bool Open(const CompressorEntry& entry, const EncoderSettings& settings);
    void Close();
    bool IsOpen() const { return m_ctx != nullptr; }

    // Compresses one frame of padded 24-bit rows; the packet stays valid until the
    // next call. Null when the encoder failed or gave no packet for the frame. A frame
    // prepared in place from the same rows is taken as it is.
    const uint8_t* Encode(const void* bits, int* size, bool* key, int place = -1);
    // Converts a frame into the encoder's input ahead of its Encode, on another thread
    // than the one encoding, into one of kPlaces places (one frame each). False when
    // it cannot: Encode then converts the frame itself, into the same bytes.
    static constexpr int kPlaces = kSeqCompressPlaces;
    bool Prepare(const void* bits, int place);

    // The format the packets are in: BITMAPINFOHEADER followed by the codec's private bytes.
    const std::vector<uint8_t>& OutputFormat() const { return m_format; }

private:
    AVFrame* WritableFrame();
    AVFrame* NewInputFrame() const;
    void ConvertInput(const uint8_t* bits, AVFrame* frame);
    void BuildOutputFormat(const CompressorEntry& entry, const EncoderSettings& s);

    AVCodecContext* m_ctx = nullptr;
    SwsContext* m_sws = nullptr;  // null when our own 4:2:0 conversion serves the format
    BgrToYuvFactors m_yuvFactors;
    std::array<AVFrame*, 3> m_frames{};  // the encoder may still hold the previous one
    struct Prepared {
        AVFrame* frame = nullptr;  // made with the first frame prepared here, then kept
        const void* bits = nullptr;
        bool ready = false;
    };
    std::array<Prepared, kPlaces> m_prepared{};
    AVPacket* m_packet = nullptr;
    std::vector<uint8_t> m_format;
    int64_t m_pts = 0;
    int m_inStride = 0;
};

}  // namespace talvern::vcm
