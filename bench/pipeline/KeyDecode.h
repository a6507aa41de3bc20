#pragma once
// What random access may cost at best: libavcodec decoding from the key frame at or
// before a frame up to that frame, from packets already in memory, and the picture
// converted to 24-bit rows.
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

class KeyDecoder {
public:
    KeyDecoder(const std::string& path, int threads);
    ~KeyDecoder();
    KeyDecoder(const KeyDecoder&) = delete;
    KeyDecoder& operator=(const KeyDecoder&) = delete;

    bool DecodeFromKey(int frame);

private:
    bool ReceiveAll();
    bool Convert();

    std::vector<AVPacket*> m_packets;
    std::vector<int> m_keys;
    AVCodecContext* m_ctx = nullptr;
    AVFrame* m_frame = nullptr;
    AVFrame* m_next = nullptr;
    SwsContext* m_sws = nullptr;
    std::vector<unsigned char> m_rows;
};
