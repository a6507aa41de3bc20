#pragma once
// What a WAVEFORMATEX means to the conversion streams: raw sample bytes (PCM of
// any width, IEEE float) or a codec's packets, with the numbers the size
// queries need. Internal to platform/acm.
#include <cstdint>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/samplefmt.h>
}

#include "platform/win32/Win32Types.h"

struct AcmShape {
    bool raw = false;                             // sample bytes, no codec
    AVSampleFormat sampleFormat = AV_SAMPLE_FMT_NONE;  // raw: packed format (24-bit held as S32)
    int bytesPerSample = 0;                       // raw: bytes of one sample of one channel
    AVCodecID codec = AV_CODEC_ID_NONE;           // codec formats
    WORD tag = 0;                                 // wFormatTag after resolving WAVE_FORMAT_EXTENSIBLE
    int channels = 0;
    int rate = 0;
    int blockAlign = 0;
    int bitsPerSample = 0;
    int samplesPerBlock = 0;  // codec blocks of a fixed number of samples; 0 = frames of varying size
    int64_t bytesPerSecond = 0;
    std::vector<uint8_t> extra;  // the bytes after the 18-byte header
    // Frames without a sync word to find them by (raw AAC, described by its extra
    // bytes): each conversion's source is whole packets, handed to the decoder as they are.
    bool wholePackets = false;
};

// Largest channel count and rate a stream accepts; larger values in a file are refused.
constexpr int kAcmMaxChannels = 8;
constexpr int kAcmMaxRate = 384000;

// Fills shape from f; false when the format is malformed or not audio we can handle.
bool AcmDescribe(const WAVEFORMATEX* f, AcmShape& shape);
// Samples in one frame of a codec whose blocks vary in size (MPEG audio, AC-3, ...).
int AcmFrameSamples(const AcmShape& s);
// Most samples a codec of varying frame sizes can pack into one byte.
int AcmMaxSamplesPerByte(const AcmShape& s);
