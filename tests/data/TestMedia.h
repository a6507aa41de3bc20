#pragma once
// Small test movies made at test time. Every frame carries its index in its
// pixels: a 4 x 2 grid of blocks, one bit each (top row bits 0-3, bottom row
// bits 4-7, left to right), light cyan for 1 and near black for 0, big enough
// to survive lossy codecs and chroma subsampling.
#include <cstdint>
#include <filesystem>
#include <string>

namespace talvern::test {

enum class VideoCodec {
    RawBgr24,      // BI_RGB 24-bit, top-down (negative height) as ffmpeg writes it
    Pal8,          // BI_RGB 8-bit with palette
    Mjpeg,
    Mpeg4,         // MPEG-4 part 2, P frames only
    Mpeg4BFrames,  // MPEG-4 part 2 with two B frames between references
    H264,          // libx264 with B frames
    Huffyuv,
    Ffv1,
    MsVideo1,
    Dv,            // always 720x576 at 25 frames per second
    Yuy2,          // packed 4:2:2 under its FOURCC
    Rgb555,        // BI_RGB 16-bit, 5 bits a channel, top-down
    Bgra,          // BI_RGB 32-bit, top-down
};

enum class AudioCodec { None, Pcm16, Pcm8, MsAdpcm, ImaAdpcm, Mp3, Mp2, Alaw, Mulaw, Ac3, Wma, Pcm24, Pcm32, Aac };

struct MovieDesc {
    VideoCodec video = VideoCodec::RawBgr24;
    int width = 64;
    int height = 48;
    int frames = 30;
    int rate = 25;  // frames per second: rate / rateDen
    int rateDen = 1;
    int gop = 12;   // key frame distance of inter codecs
    AudioCodec audio = AudioCodec::None;
    int sampleRate = 22050;
    int channels = 1;
};

const char* VideoCodecName(VideoCodec c);

// Runs ffmpeg; false (with its messages in *log) when it fails.
bool MakeTestMovie(const MovieDesc& desc, const std::filesystem::path& out,
                   std::string* log = nullptr);
// An AVI holding only an audio stream (a second of a sine tone).
bool MakeAudioOnlyMovie(AudioCodec audio, int sampleRate, int channels,
                        const std::filesystem::path& out, std::string* log = nullptr);

// Paints the index pattern into 24-bit rows (BGR), `rowBytes` apart, first row on top.
void PaintIndexFrame(int index, int width, int height, uint8_t* rows, int64_t rowBytes);
// The index read back from 24-bit rows (first row on top when rowBytes > 0; pass the
// last row and a negative rowBytes for bottom-up DIB rows); -1 when the pattern is not there.
int ReadIndexFrame(const uint8_t* rows, int width, int height, int64_t rowBytes);
// The same for the rows of a bottom-up 24-bit DIB whose rows are padded to 4 bytes.
int ReadIndexFromDib(const void* bits, int width, int height);

}  // namespace talvern::test
