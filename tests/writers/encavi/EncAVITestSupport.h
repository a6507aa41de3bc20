#pragma once
// Frames, files and probes shared by the AVI writer tests.
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32/Win32Types.h"
#include "tests/support/TestSupport.h"

namespace encavi_test {

constexpr int kW = 64;
constexpr int kH = 48;

inline BITMAPINFOHEADER Input24() {
    BITMAPINFOHEADER bi{};
    bi.biSize = 40;
    bi.biWidth = kW;
    bi.biHeight = kH;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    bi.biSizeImage = static_cast<DWORD>(DibRowBytes(kW, 24) * kH);
    return bi;
}

// Bottom-up BGR rows: a corner patch carries the index, a bar moves with it.
inline std::vector<uint8_t> Frame(int index) {
    const int stride = static_cast<int>(DibRowBytes(kW, 24));
    std::vector<uint8_t> bits(static_cast<size_t>(stride) * kH);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            uint8_t* p = &bits[static_cast<size_t>(y) * stride + x * 3];
            const bool bar = ((x + index * 3) % kW) < 8;
            p[0] = static_cast<uint8_t>(y < 8 && x < 8 ? index * 9 : 40);
            p[1] = static_cast<uint8_t>(bar ? 230 : y * 4);
            p[2] = static_cast<uint8_t>(x * 4);
        }
    }
    return bits;
}

inline std::wstring Wide(const std::filesystem::path& p) {
    const std::string s = p.string();
    return std::wstring(s.begin(), s.end());
}

inline std::string Shell(const std::string& command) {
    std::string out;
    talvern::test::RunCommand(command, &out);
    return out;
}

inline std::string Q(const std::filesystem::path& p) { return talvern::test::ShellQuote(p.string()); }

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

// Positions of the key frames of the first video stream.
inline std::vector<int> KeyFrames(const std::filesystem::path& file) {
    const auto flags = Lines(Shell("ffprobe -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 " +
                                 Q(file)));
    std::vector<int> keys;
    for (size_t i = 0; i < flags.size(); ++i) {
        if (flags[i][0] == 'K') keys.push_back(static_cast<int>(i));
    }
    return keys;
}

inline std::string Probe(const std::filesystem::path& file, const std::string& stream, const std::string& entries) {
    return Shell("ffprobe -v error -select_streams " + stream + " -show_entries " + entries +
               " -of default=nw=1:nk=1 " + Q(file));
}

// Frames ffmpeg decodes from the whole file, or -1 when decoding reported an error.
inline int DecodedFrames(const std::filesystem::path& file) {
    const std::string out = Shell("ffmpeg -v error -xerror -i " + Q(file) + " -map 0:v:0 -f framecrc - 2>&1");
    int frames = 0;
    for (const std::string& l : Lines(out)) {
        if (l[0] == '#') continue;
        if (l.rfind("0,", 0) != 0) return -1;
        ++frames;
    }
    return frames;
}

// Seconds of audio that ffmpeg decodes from the first audio stream.
inline double DecodedAudioSeconds(const std::filesystem::path& file) {
    const std::string rate = Shell("ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate "
                                   "-of default=nw=1:nk=1 " + Q(file));
    const std::string bytes = Shell("ffmpeg -v error -i " + Q(file) + " -map 0:a:0 -ac 1 -f s16le - | wc -c");
    if (rate.empty() || bytes.empty()) return -1;
    return std::stod(bytes) / 2 / std::stod(rate);
}

// The 56-byte header and the format of the first stream of an AVI file written by us.
inline std::string ChunkBytes(const std::string& file, const char* id) {
    const size_t at = file.find(id);
    if (at == std::string::npos || at + 8 > file.size()) return {};
    uint32_t size = 0;
    std::memcpy(&size, file.data() + at + 4, 4);
    return file.substr(at + 8, size);
}

}  // namespace encavi_test
