#pragma once
// ffmpeg-made AVI files rewritten at the byte level into shapes other programs
// write: several audio frames joined into one chunk, a header list whose size is
// off by a few bytes, Motion JPEG frames that leave out their tables.
#include <filesystem>
#include <string>

#include "tests/data/SyntheticAvi.h"

namespace talvern::test {

// The streams (strh and strf) and the chunks, in idx1 order, of a file with an idx1.
bool ReadAviChunks(const std::filesystem::path& in, SynthAvi* out);

// An AVI of `seconds` of a sine tone in AAC at 48 kHz stereo beside 64x48 Motion JPEG
// at 25 frames per second, made by ffmpeg (-c:a aac).
bool MakeAacMovie(const std::filesystem::path& out, double seconds, std::string* log = nullptr);

// `in` written again with every `perChunk` consecutive chunks of its first audio stream
// joined into one, an OpenDML index and an idx1, and each video chunk followed by an
// empty one (a stream at twice the rate that shows each picture twice).
bool JoinAudioChunks(const std::filesystem::path& in, int perChunk, const std::filesystem::path& out);

// `in` written again with the size of its first LIST of this type raised by `delta`
// bytes (negative: lowered); the content stays where it was.
bool ShiftListSize(const std::filesystem::path& in, const char* listType, int delta,
                   const std::filesystem::path& out);

// 60 frames of 320x240 Motion JPEG (ffmpeg's testsrc2, -q:v 25) with frame 29 (from 0)
// made at -q:v 2 and frame 30 stripped of its quantisation tables (its DQT marker turned
// into a comment): decoded in order it takes frame 29's tables, as a decoder keeps them.
bool MakeAbbreviatedMjpeg(const std::filesystem::path& out, std::string* log = nullptr);

}  // namespace talvern::test
