#pragma once
// AVI files as other programs write them: screen recorders, camera and lab software,
// old editors and players. One row per shape: its name, the function that makes the
// file and what a reader should make of it. A new shape is one more row.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace talvern::test {

enum class ShapeAudio {
    None,
    Pcm,    // decodes to ffmpeg's samples, byte for byte
    Lossy,  // decodes to as many samples as ffmpeg's decode
};

struct AviShape {
    std::string name;
    std::function<bool(const std::filesystem::path&)> make;
    bool reads = true;   // false: refused when opened
    double psnr = 0;     // least PSNR (dB) of a frame against ffmpeg's; 0: equal bytes
    ShapeAudio audio = ShapeAudio::None;
};

const std::vector<AviShape>& AviShapes();

}  // namespace talvern::test
