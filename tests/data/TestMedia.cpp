#include "tests/data/TestMedia.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "tests/support/TestSupport.h"

namespace talvern::test {

namespace {

constexpr int kCols = 4;
constexpr int kRows = 2;
constexpr uint8_t kLight[3] = {240, 240, 16};  // B, G, R
constexpr uint8_t kDark[3] = {16, 16, 16};

struct BlockRect {
    int x0, y0, x1, y1;
};

BlockRect Block(int bit, int width, int height) {
    const int c = bit % kCols;
    const int r = bit / kCols;
    return {c * width / kCols, r * height / kRows, (c + 1) * width / kCols,
            (r + 1) * height / kRows};
}

std::string VideoArgs(const MovieDesc& s) {
    const std::string gop = " -g " + std::to_string(s.gop);
    switch (s.video) {
    case VideoCodec::RawBgr24: return "-c:v rawvideo -pix_fmt bgr24";
    case VideoCodec::Pal8: return "-c:v rawvideo -pix_fmt pal8";
    case VideoCodec::Mjpeg: return "-c:v mjpeg -pix_fmt yuvj420p -q:v 3";
    case VideoCodec::Mpeg4: return "-c:v mpeg4 -q:v 3 -bf 0" + gop;
    case VideoCodec::Mpeg4BFrames: return "-c:v mpeg4 -q:v 3 -bf 2" + gop;
    case VideoCodec::H264:
        return "-c:v libx264 -preset fast -crf 18 -bf 3 -pix_fmt yuv420p -threads 1" + gop +
               " -keyint_min " + std::to_string(s.gop);
    case VideoCodec::Huffyuv: return "-c:v huffyuv -pix_fmt rgb24";
    case VideoCodec::Ffv1: return "-c:v ffv1 -pix_fmt yuv444p";
    case VideoCodec::MsVideo1: return "-c:v msvideo1";
    case VideoCodec::Dv: return "-vf scale=720:576,setsar=16/15 -c:v dvvideo -pix_fmt yuv420p";
    case VideoCodec::Yuy2: return "-c:v rawvideo -pix_fmt yuyv422";
    case VideoCodec::Rgb555: return "-c:v rawvideo -pix_fmt rgb555le";
    case VideoCodec::Bgra: return "-c:v rawvideo -pix_fmt bgra";
    }
    return {};
}

std::string AudioArgs(AudioCodec a) {
    switch (a) {
    case AudioCodec::None: return {};
    case AudioCodec::Pcm16: return "-c:a pcm_s16le";
    case AudioCodec::Pcm8: return "-c:a pcm_u8";
    case AudioCodec::MsAdpcm: return "-c:a adpcm_ms";
    case AudioCodec::ImaAdpcm: return "-c:a adpcm_ima_wav";
    case AudioCodec::Mp3: return "-c:a libmp3lame -b:a 64k";
    case AudioCodec::Mp2: return "-c:a mp2 -b:a 64k";
    case AudioCodec::Alaw: return "-c:a pcm_alaw";
    case AudioCodec::Mulaw: return "-c:a pcm_mulaw";
    case AudioCodec::Ac3: return "-c:a ac3 -b:a 96k";
    case AudioCodec::Wma: return "-c:a wmav2 -b:a 64k";
    case AudioCodec::Pcm24: return "-c:a pcm_s24le";
    case AudioCodec::Pcm32: return "-c:a pcm_s32le";
    case AudioCodec::Aac: return "-c:a aac -b:a 96k";
    }
    return {};
}

std::string SineInput(int sampleRate, double seconds) {
    return "-f lavfi -i sine=frequency=440:sample_rate=" + std::to_string(sampleRate) +
           ":duration=" + std::to_string(seconds);
}

}  // namespace

const char* VideoCodecName(VideoCodec c) {
    switch (c) {
    case VideoCodec::RawBgr24: return "RawBgr24";
    case VideoCodec::Pal8: return "Pal8";
    case VideoCodec::Mjpeg: return "Mjpeg";
    case VideoCodec::Mpeg4: return "Mpeg4";
    case VideoCodec::Mpeg4BFrames: return "Mpeg4BFrames";
    case VideoCodec::H264: return "H264";
    case VideoCodec::Huffyuv: return "Huffyuv";
    case VideoCodec::Ffv1: return "Ffv1";
    case VideoCodec::MsVideo1: return "MsVideo1";
    case VideoCodec::Dv: return "Dv";
    case VideoCodec::Yuy2: return "Yuy2";
    case VideoCodec::Rgb555: return "Rgb555";
    case VideoCodec::Bgra: return "Bgra";
    }
    return "?";
}

void PaintIndexFrame(int index, int width, int height, uint8_t* rows, int64_t rowBytes) {
    for (int bit = 0; bit < kCols * kRows; ++bit) {
        const uint8_t* colour = ((index >> bit) & 1) ? kLight : kDark;
        const BlockRect b = Block(bit, width, height);
        for (int y = b.y0; y < b.y1; ++y) {
            uint8_t* p = rows + y * rowBytes + b.x0 * 3;
            for (int x = b.x0; x < b.x1; ++x, p += 3) {
                p[0] = colour[0];
                p[1] = colour[1];
                p[2] = colour[2];
            }
        }
    }
}

int ReadIndexFrame(const uint8_t* rows, int width, int height, int64_t rowBytes) {
    int index = 0;
    for (int bit = 0; bit < kCols * kRows; ++bit) {
        const BlockRect b = Block(bit, width, height);
        const int cx = (b.x0 + b.x1) / 2;
        const int cy = (b.y0 + b.y1) / 2;
        const int rx = std::max(1, (b.x1 - b.x0) / 6);
        const int ry = std::max(1, (b.y1 - b.y0) / 6);
        long sum[3] = {0, 0, 0};
        long n = 0;
        for (int y = cy - ry; y < cy + ry; ++y)
            for (int x = cx - rx; x < cx + rx; ++x, ++n)
                for (int c = 0; c < 3; ++c) sum[c] += rows[y * rowBytes + x * 3 + c];
        const bool blue = sum[0] / n > 128;
        const bool green = sum[1] / n > 128;
        const bool red = sum[2] / n > 128;
        if (red || blue != green) return -1;  // neither pattern colour: wrong frame or channels
        if (blue) index |= 1 << bit;
    }
    return index;
}

int ReadIndexFromDib(const void* bits, int width, int height) {
    const int64_t rowBytes = ((int64_t(width) * 24 + 31) / 32) * 4;
    const auto* last = static_cast<const uint8_t*>(bits) + (height - 1) * rowBytes;
    return ReadIndexFrame(last, width, height, -rowBytes);
}

bool MakeTestMovie(const MovieDesc& desc, const std::filesystem::path& out, std::string* log) {
    const int64_t rowBytes = int64_t(desc.width) * 3;
    std::vector<uint8_t> frame(size_t(rowBytes * desc.height));
    const std::filesystem::path raw = out.string() + ".bgr";
    {
        std::ofstream f(raw, std::ios::binary);
        for (int i = 0; i < desc.frames; ++i) {
            PaintIndexFrame(i, desc.width, desc.height, frame.data(), rowBytes);
            f.write(reinterpret_cast<const char*>(frame.data()), std::streamsize(frame.size()));
        }
        if (!f) return false;
    }
    const int rate = desc.video == VideoCodec::Dv ? 25 : desc.rate;
    const int den = desc.video == VideoCodec::Dv ? 1 : desc.rateDen;
    std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y -f rawvideo -pix_fmt bgr24 -s " +
                      std::to_string(desc.width) + "x" + std::to_string(desc.height) + " -r " +
                      std::to_string(rate) + "/" + std::to_string(den) + " -i " + ShellQuote(raw.string());
    if (desc.audio != AudioCodec::None)
        cmd += " " + SineInput(desc.sampleRate, double(desc.frames) * den / rate) + " -map 0:v -map 1:a " +
               AudioArgs(desc.audio) + " -ac " + std::to_string(desc.channels);
    // The raw input holds exactly the frames; a frame limit would also end the file
    // before the audio of a slow movie is all in.
    cmd += " " + VideoArgs(desc) + " -f avi " +
           ShellQuote(out.string());
    const bool ok = RunLogged(cmd, log);
    std::filesystem::remove(raw);
    return ok;
}

bool MakeAudioOnlyMovie(AudioCodec audio, int sampleRate, int channels,
                        const std::filesystem::path& out, std::string* log) {
    const std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y " +
                            SineInput(sampleRate, 1.0) + " " + AudioArgs(audio) + " -ac " +
                            std::to_string(channels) + " -f avi " + ShellQuote(out.string());
    return RunLogged(cmd, log);
}

}  // namespace talvern::test
