#pragma once
// AVI files built byte by byte, for structures ffmpeg does not write: several
// video streams, OpenDML files in several RIFF parts, dropped frames, files
// without an index, absolute idx1 offsets, and a place to break sizes on purpose.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/Win32Types.h"

namespace talvern::test {

struct SynthStream {
    FOURCC type = streamtypeVIDEO;
    FOURCC handler = 0;
    WORD priority = 0;
    DWORD scale = 1;
    DWORD rate = 25;
    DWORD sampleSize = 0;   // bytes per sample of fixed-size (audio) streams
    int64_t length = -1;    // dwLength written; -1 = the real count
    std::string format;     // strf body
    std::string name;       // strn text; empty = no strn
};

struct SynthChunk {
    int stream = 0;
    std::string data;  // empty = dropped frame
    bool key = true;
};

enum class SynthIndex {
    Idx1,          // idx1 with offsets relative to 'movi'
    Idx1Absolute,  // idx1 with offsets from the start of the file
    None,          // no index at all
    OpenDml,       // indx + ix## per part, no idx1
    OpenDmlIdx1,   // indx + ix## per part and an idx1 over the first part
    OpenDmlField,  // as OpenDml with the field-index form of ix## for video
};

struct SynthAvi {
    std::vector<SynthStream> streams;
    std::vector<SynthChunk> chunks;
    SynthIndex index = SynthIndex::Idx1;
    int parts = 1;  // OpenDml*: chunks split evenly over this many RIFF parts
};

std::string BuildSyntheticAvi(const SynthAvi& avi);

// strf bodies.
std::string BitmapFormat(int width, int height, int bitCount, DWORD compression,
                         const std::vector<RGBQUAD>& palette = {});
std::string PcmFormat(int sampleRate, int channels, int bits);

// A frame of the index pattern (see TestMedia.h) as DIB rows: 24-bit, padded
// to 4 bytes, bottom-up unless topDown.
std::string IndexFrameDib24(int index, int width, int height, bool topDown = false);

// A small video-only file: `frames` uncompressed 24-bit frames of the index pattern.
SynthAvi SimpleVideo(int frames, int width = 32, int height = 16, SynthIndex index = SynthIndex::Idx1);

}  // namespace talvern::test
