#pragma once
// Frames, files and probes shared by the AVI writer tests.
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/avifile/AviFile.h"
#include "platform/win32/Win32Types.h"
#include "tests/data/TestMedia.h"
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

// Bottom-up BGR rows carrying the frame's index.
inline std::vector<uint8_t> Frame(int index) {
    const int64_t stride = DibRowBytes(kW, 24);
    std::vector<uint8_t> bits(static_cast<size_t>(stride * kH));
    talvern::test::PaintIndexFrame(index, kW, kH, bits.data() + stride * (kH - 1), -stride);
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

// Frames our own reader decodes whose pixels carry the right index; -1 when the file does not open.
inline int FramesReadBack(const std::filesystem::path& file) {
    PAVIFILE f = nullptr;
    PAVISTREAM v = nullptr;
    if (AVIFileOpenW(&f, Wide(file).c_str(), OF_READ, nullptr) != AVIERR_OK) return -1;
    int good = 0;
    if (AVIFileGetStream(f, &v, streamtypeVIDEO, 0) == AVIERR_OK) {
        if (PGETFRAME g = AVIStreamGetFrameOpen(v, nullptr)) {
            for (LONG i = 0; i < AVIStreamLength(v); ++i) {
                auto* dib = static_cast<const uint8_t*>(AVIStreamGetFrame(g, i));
                if (dib && talvern::test::ReadIndexFromDib(dib + 40, kW, kH) == i) ++good;
            }
            AVIStreamGetFrameClose(g);
        }
        AVIStreamRelease(v);
    }
    AVIFileRelease(f);
    return good;
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
