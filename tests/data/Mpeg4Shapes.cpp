#include "tests/data/Mpeg4Shapes.h"

#include <fstream>
#include <string>

#include "tests/data/SyntheticAvi.h"
#include "tests/data/TestMedia.h"
#include "tests/support/TestSupport.h"

namespace talvern::test {

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr int kFrames = 40;
constexpr int kRate = 25;  // ffmpeg's encoder takes it as the clock's ticks per second
constexpr int kGop = 12;

struct Picture {
    std::string data;
    int type;  // 0 I, 1 P, 2 B
};

// ffmpeg's raw MPEG-4 bitstream of pictures painted with the given indexes.
std::string Encode(const std::filesystem::path& dir, const std::vector<int>& shows, int bFrames) {
    const auto raw = dir / "shaped.bgr";
    const auto m4v = dir / "shaped.m4v";
    std::vector<uint8_t> frame(size_t(kWidth) * 3 * kHeight);
    {
        std::ofstream f(raw, std::ios::binary);
        for (int index : shows) {
            PaintIndexFrame(index, kWidth, kHeight, frame.data(), kWidth * 3);
            f.write(reinterpret_cast<const char*>(frame.data()), std::streamsize(frame.size()));
        }
    }
    const std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y -f rawvideo -pix_fmt bgr24 -s " +
                            std::to_string(kWidth) + "x" + std::to_string(kHeight) + " -r " +
                            std::to_string(kRate) + " -i " + ShellQuote(raw.string()) +
                            " -c:v mpeg4 -q:v 3 -g " + std::to_string(kGop) + " -b_strategy 2 -bf " +
                            std::to_string(bFrames) + " -f m4v " + ShellQuote(m4v.string()) + " 2>&1";
    const bool ok = RunCommand(cmd) == 0;
    std::filesystem::remove(raw);
    return ok ? ReadFileBytes(m4v) : std::string();
}

bool IsStartCode(const std::string& s, size_t i) {
    if (i + 4 > s.size() || s[i] != 0 || s[i + 1] != 0 || s[i + 2] != 1) return false;
    const auto code = uint8_t(s[i + 3]);
    return code <= 0x2F || code == 0xB0 || code == 0xB2 || code == 0xB3 || code == 0xB5 || code == 0xB6;
}

// One piece per picture in stream order. The stream's headers go with the first
// picture only, as those writers put them: ffmpeg repeats them at every key frame.
std::vector<Picture> SplitPictures(const std::string& s) {
    std::vector<Picture> out;
    size_t begin = 0;
    bool inPicture = false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (!IsStartCode(s, i)) continue;
        if (inPicture) {
            out.back().data = s.substr(begin, i - begin);
            begin = i;
            inPicture = false;
        }
        if (uint8_t(s[i + 3]) == 0xB6) {
            out.push_back({{}, uint8_t(s[i + 4]) >> 6});
            inPicture = true;
        }
    }
    if (inPicture) out.back().data = s.substr(begin);
    for (size_t i = 1; i < out.size(); ++i) out[i].data.erase(0, out[i].data.find("\0\0\1\xB6", 0, 4));
    return out;
}

// A P picture header with vop_coded 0 for frame n: the seconds passed since the
// picture before, the tick within the second in as many bits as the clock needs.
std::string NotCodedVop(int n) {
    std::string out("\0\0\1\xB6", 4);
    uint32_t bits = 0;
    int count = 0;
    auto put = [&](uint32_t value, int width) {
        for (int b = width - 1; b >= 0; --b) {
            bits = bits << 1 | ((value >> b) & 1);
            if (++count == 8) {
                out += char(bits);
                bits = 0;
                count = 0;
            }
        }
    };
    put(1, 2);  // P
    for (int s = (n - 1) / kRate; s < n / kRate; ++s) put(1, 1);
    put(0, 1);
    put(1, 1);  // marker
    put(uint32_t(n % kRate), 5);  // 25 ticks take 5 bits
    put(1, 1);  // marker
    put(0, 1);  // vop_coded
    put(0, 1);  // stuffing: a zero, then ones to the byte's end
    while (count != 0) put(1, 1);
    return out;
}

ShapedMovie Write(const std::filesystem::path& dir, const char* name, std::vector<int> shows,
                  const std::vector<SynthChunk>& chunks) {
    SynthAvi avi;
    SynthStream video;
    video.handler = MAKEFOURCC('X', 'V', 'I', 'D');
    video.rate = kRate;
    video.format = BitmapFormat(kWidth, kHeight, 24, MAKEFOURCC('X', 'V', 'I', 'D'));
    avi.streams.push_back(video);
    avi.chunks = chunks;
    ShapedMovie movie{dir / name, kWidth, kHeight, std::move(shows)};
    if (!WriteFileBytes(movie.path, BuildSyntheticAvi(avi))) movie.path.clear();
    return movie;
}

}  // namespace

ShapedMovie MakeNotCodedFramesMovie(const std::filesystem::path& dir) {
    std::vector<bool> repeat(kFrames, false);
    for (int n : {3, 4, 5, kGop + 1, 30, kFrames - 1}) repeat[size_t(n)] = true;
    std::vector<int> shows;
    for (int n = 0; n < kFrames; ++n) shows.push_back(repeat[size_t(n)] ? shows.back() : n);
    // The repeated pictures are coded by ffmpeg as the same picture again, so the
    // pictures after them refer to the same picture either way.
    const std::vector<Picture> pictures = SplitPictures(Encode(dir, shows, 0));
    if (pictures.size() != size_t(kFrames)) return {};
    std::vector<SynthChunk> chunks;
    for (int n = 0; n < kFrames; ++n) {
        const Picture& p = pictures[size_t(n)];
        chunks.push_back({0, repeat[size_t(n)] ? NotCodedVop(n) : p.data, p.type == 0});
    }
    return Write(dir, "not_coded.avi", shows, chunks);
}

ShapedMovie MakePackedBFramesMovie(const std::filesystem::path& dir) {
    std::vector<int> shows;
    for (int n = 0; n < kFrames; ++n) shows.push_back(n);
    std::vector<Picture> pictures = SplitPictures(Encode(dir, shows, 2));
    if (pictures.size() != size_t(kFrames)) return {};
    // Marks the stream as packed, as such writers did, for decoders that look.
    const std::string userData = std::string("\0\0\1\xB2", 4) + "DivX503b1393p";
    pictures[0].data.insert(pictures[0].data.find("\0\0\1\xB6", 0, 4), userData);
    std::vector<SynthChunk> chunks;
    int placeholders = 0;
    for (size_t at = 0; at < pictures.size(); ++at) {
        const Picture& p = pictures[at];
        if (at + 1 == pictures.size() || pictures[at + 1].type != 2) {
            chunks.push_back({0, p.data, p.type == 0});
            continue;
        }
        // The reference picture takes the first B picture along, the others move one
        // chunk on, and a placeholder stands where the last of them was.
        chunks.push_back({0, p.data + pictures[++at].data, p.type == 0});
        for (; at + 1 < pictures.size() && pictures[at + 1].type == 2; ++at)
            chunks.push_back({0, pictures[at + 1].data, false});
        const bool oneByte = ++placeholders % 2 == 0;
        chunks.push_back({0, oneByte ? std::string("\x7F") : NotCodedVop(int(at)), placeholders == 5});
    }
    return Write(dir, "packed_b.avi", shows, chunks);
}

}  // namespace talvern::test
