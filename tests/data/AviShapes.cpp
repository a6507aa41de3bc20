#include "tests/data/AviShapes.h"

#include <algorithm>
#include <cstring>

#include "tests/data/Mpeg4Shapes.h"
#include "tests/data/RewrittenAvi.h"
#include "tests/data/SyntheticAvi.h"
#include "tests/data/TestMedia.h"
#include "tests/support/TestSupport.h"

namespace talvern::test {

namespace {

constexpr int kWidth = 62;  // rows of 8 and 16 bits need padding
constexpr int kHeight = 46;
constexpr int kFrames = 24;
constexpr int kKeyEvery = 8;

using Path = std::filesystem::path;

bool Ffmpeg(VideoCodec video, AudioCodec audio, int channels, const Path& out) {
    MovieDesc d;
    d.video = video;
    d.width = kWidth;
    d.height = kHeight;
    d.frames = kFrames;
    d.audio = audio;
    d.channels = channels;
    d.sampleRate = audio == AudioCodec::Ac3 || audio == AudioCodec::Mp2 ? 48000 : 22050;
    return MakeTestMovie(d, out);
}

std::function<bool(const Path&)> WithAudio(AudioCodec audio, int channels = 1) {
    return [=](const Path& p) { return Ffmpeg(VideoCodec::RawBgr24, audio, channels, p); };
}

bool Write(const Path& p, const SynthAvi& avi) { return WriteFileBytes(p, BuildSyntheticAvi(avi)); }

// The index pattern as palette indices, first row on top: the pattern's two colours
// sit at entries 5 and 2 of a table whose other entries are a ramp.
constexpr uint8_t kLightEntry = 5, kDarkEntry = 2;

std::vector<RGBQUAD> Palette(int entries) {
    std::vector<RGBQUAD> p(static_cast<size_t>(entries));
    for (int i = 0; i < entries; ++i) p[size_t(i)] = {uint8_t(i * 7), uint8_t(255 - i), uint8_t(i / 2), 0};
    p[kLightEntry] = {240, 240, 16, 0};
    p[kDarkEntry] = {16, 16, 16, 0};
    return p;
}

std::vector<uint8_t> IndexPixels(int index) {
    std::string bgr(size_t(kWidth) * kHeight * 3, '\0');
    PaintIndexFrame(index, kWidth, kHeight, reinterpret_cast<uint8_t*>(bgr.data()), kWidth * 3);
    std::vector<uint8_t> px(size_t(kWidth) * kHeight);
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(bgr[i * 3]) > 128 ? kLightEntry : kDarkEntry;
    return px;
}

// One RLE frame, bottom row first. A row starts with four pixels in absolute mode, the
// rest in runs; a frame that is not a key frame leaves the rows equal to the previous
// frame's out with an end of line, so that they keep the previous picture.
std::string RleFrame(const std::vector<uint8_t>& px, const std::vector<uint8_t>* prev, int bits) {
    std::string s;
    auto pixel = [bits](uint8_t v) { return char(bits == 4 ? (v << 4) | v : v); };
    for (int y = kHeight - 1; y >= 0; --y) {
        const uint8_t* row = &px[size_t(y) * kWidth];
        if (!prev || !std::equal(row, row + kWidth, &(*prev)[size_t(y) * kWidth])) {
            s += {0, 4};
            if (bits == 4) s += {char(row[0] << 4 | row[1]), char(row[2] << 4 | row[3])};
            else s.append(reinterpret_cast<const char*>(row), 4);
            for (int x = 4; x < kWidth;) {
                int n = 1;
                while (x + n < kWidth && row[x + n] == row[x] && n < 255) ++n;
                s += {char(n), pixel(row[x])};
                x += n;
            }
        }
        s += {0, char(y == 0 ? 1 : 0)};  // end of line, after the top row end of picture
    }
    return s;
}

// Some writers flag every frame as a key frame, those that keep rows of the previous
// frame as well.
bool Rle(int bits, bool everyFrameKey, const Path& out) {
    SynthAvi avi;
    SynthStream v;
    v.format = BitmapFormat(kWidth, kHeight, bits, bits == 4 ? BI_RLE4 : BI_RLE8, Palette(1 << bits));
    avi.streams.push_back(v);
    std::vector<uint8_t> prev;
    for (int i = 0; i < kFrames; ++i) {
        const std::vector<uint8_t> px = IndexPixels(i);
        const bool whole = i % kKeyEvery == 0;
        avi.chunks.push_back({0, RleFrame(px, whole ? nullptr : &prev, bits), whole || everyFrameKey});
        prev = px;
    }
    return Write(out, avi);
}

// 8-bit frames, bottom-up, as old editors write them: a colour count of 0 meaning all 256.
bool Pal8BottomUp(const Path& out) {
    SynthAvi avi;
    SynthStream v;
    v.format = BitmapFormat(kWidth, kHeight, 8, BI_RGB, Palette(256));
    std::memset(v.format.data() + 32, 0, 4);  // biClrUsed
    avi.streams.push_back(v);
    const int64_t rowBytes = DibRowBytes(kWidth, 8);
    for (int i = 0; i < kFrames; ++i) {
        const std::vector<uint8_t> px = IndexPixels(i);
        std::string f(size_t(rowBytes * kHeight), '\0');
        for (int y = 0; y < kHeight; ++y)
            std::copy_n(&px[size_t(y) * kWidth], kWidth, f.begin() + (kHeight - 1 - y) * rowBytes);
        avi.chunks.push_back({0, f, true});
    }
    return Write(out, avi);
}

// 16-bit 5-6-5 frames, bottom-up, with the masks after the header.
bool Rgb565(const Path& out) {
    SynthAvi avi;
    SynthStream v;
    v.format = BitmapFormat(kWidth, kHeight, 16, BI_BITFIELDS);
    for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) v.format.append(reinterpret_cast<const char*>(&mask), 4);
    avi.streams.push_back(v);
    const int64_t rowBytes = DibRowBytes(kWidth, 16);
    for (int i = 0; i < kFrames; ++i) {
        const std::string bgr = IndexFrameDib24(i, kWidth, kHeight);
        const int64_t bgrRow = DibRowBytes(kWidth, 24);
        std::string f(size_t(rowBytes * kHeight), '\0');
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const auto* p = reinterpret_cast<const uint8_t*>(&bgr[size_t(y * bgrRow + x * 3)]);
                const uint16_t w = uint16_t((p[2] >> 3) << 11 | (p[1] >> 2) << 5 | p[0] >> 3);
                std::memcpy(&f[size_t(y * rowBytes + x * 2)], &w, 2);
            }
        avi.chunks.push_back({0, f, true});
    }
    return Write(out, avi);
}

bool TopDown24(const Path& out) {
    SynthAvi avi = SimpleVideo(kFrames, kWidth, kHeight);
    avi.streams[0].format = BitmapFormat(kWidth, -kHeight, 24, BI_RGB);
    for (int i = 0; i < kFrames; ++i) avi.chunks[size_t(i)].data = IndexFrameDib24(i, kWidth, kHeight, true);
    return Write(out, avi);
}

// An OpenDML file in three RIFF parts, 16-bit PCM beside every frame.
bool OpenDmlParts(const Path& out) {
    SynthAvi avi = SimpleVideo(kFrames, kWidth, kHeight, SynthIndex::OpenDml);
    avi.parts = 3;
    SynthStream a;
    a.type = streamtypeAUDIO;
    a.rate = 8000;
    a.sampleSize = 2;
    a.format = PcmFormat(8000, 1, 16);
    avi.streams.push_back(a);
    std::vector<SynthChunk> chunks;
    for (int i = 0; i < kFrames; ++i) {
        chunks.push_back(avi.chunks[size_t(i)]);
        std::string pcm(640, '\0');
        for (size_t s = 0; s < pcm.size(); s += 2) pcm[s + 1] = char(i * 8 + int(s % 64));
        chunks.push_back({1, pcm, true});
    }
    avi.chunks = chunks;
    return Write(out, avi);
}

void Put32At(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + size_t(i)] = char((v >> (8 * i)) & 0xFF);
}

// A recording the recorder never finished: the sizes of RIFF and movi, the frame
// count and the stream lengths are still 0, and there is no index.
bool Unfinished(const Path& out) {
    if (!Ffmpeg(VideoCodec::RawBgr24, AudioCodec::Pcm16, 1, out)) return false;
    std::string b = ReadFileBytes(out);
    const size_t idx1 = b.rfind("idx1");
    const size_t movi = b.find("movi");
    const size_t avih = b.find("avih");
    if (idx1 == std::string::npos || movi == std::string::npos || avih == std::string::npos) return false;
    b.resize(idx1);
    Put32At(b, 4, 0);
    Put32At(b, movi - 4, 0);
    Put32At(b, avih + 8 + 16, 0);
    for (size_t at = b.find("strh"); at < movi; at = b.find("strh", at + 4)) Put32At(b, at + 8 + 32, 0);
    return WriteFileBytes(out, b);
}

// Cut off half way through the 15th frame's chunk: the index at the end is gone.
bool Cut(const Path& out) {
    if (!Ffmpeg(VideoCodec::RawBgr24, AudioCodec::Pcm16, 1, out)) return false;
    std::string b = ReadFileBytes(out);
    size_t at = b.find("movi");
    for (int i = 0; i < 15 && at != std::string::npos; ++i) at = b.find("00dc", at + 4);
    if (at == std::string::npos) return false;
    b.resize(at + 8 + size_t(kWidth) * kHeight * 3 / 2);
    return WriteFileBytes(out, b);
}

// An OpenDML recording cut off in its last RIFF part, whose index (written after the
// part's data) is then missing in whole or in part: half way through that part's last
// frame, or through the first of its index chunks.
bool OpenDmlCut(bool inFrame, const Path& out) {
    if (!OpenDmlParts(out)) return false;
    std::string b = ReadFileBytes(out);
    std::string frame = "00dc";
    const uint32_t bytes = uint32_t(DibRowBytes(kWidth, 24) * kHeight);
    frame.append(reinterpret_cast<const char*>(&bytes), 4);
    const size_t at = inFrame ? b.rfind(frame) : b.rfind("ix00");
    if (at == std::string::npos) return false;
    b.resize(at + 8 + 100);
    return WriteFileBytes(out, b);
}

bool Mp4(const Path& out) {
    return RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x48:rate=25:duration=1 "
                      "-c:v mpeg4 -f mp4 " + ShellQuote(out.string())) == 0;
}

// The MPEG-4 makers write into a folder of their own, among their working files.
std::function<bool(const Path&)> Shaped(ShapedMovie (*make)(const Path&)) {
    return [make](const Path& out) {
        const Path dir = out.string() + ".d";
        std::filesystem::create_directories(dir);
        const ShapedMovie m = make(dir);
        std::error_code e;
        if (!m.path.empty()) std::filesystem::rename(m.path, out, e);
        std::filesystem::remove_all(dir);
        return !m.path.empty() && !e;
    };
}

// An ffmpeg-made file rewritten at the byte level.
template <typename Make, typename Rewrite>
bool Rewritten(const Path& out, Make make, Rewrite rewrite) {
    const Path made = out.string() + ".made.avi";
    const bool ok = make(made) && rewrite(made, out);
    std::filesystem::remove(made);
    return ok;
}

bool AacJoined(const Path& out) {
    return Rewritten(out, [](const Path& p) { return MakeAacMovie(p, 2.0); },
                     [](const Path& in, const Path& p) { return JoinAudioChunks(in, 3, p); });
}

bool HeaderListShort(const Path& out) {
    return Rewritten(out, [](const Path& p) { return Ffmpeg(VideoCodec::Huffyuv, AudioCodec::None, 1, p); },
                     [](const Path& in, const Path& p) { return ShiftListSize(in, "hdrl", -4, p); });
}

bool NoFrames(const Path& out) { return Write(out, SimpleVideo(0, kWidth, kHeight)); }

}  // namespace

const std::vector<AviShape>& AviShapes() {
    using V = VideoCodec;
    static const std::vector<AviShape> shapes = {
        {"rle8", [](const Path& p) { return Rle(8, false, p); }},
        {"rle4", [](const Path& p) { return Rle(4, false, p); }},
        {"rle4_every_frame_key", [](const Path& p) { return Rle(4, true, p); }},
        {"pal8", [](const Path& p) { return Ffmpeg(V::Pal8, AudioCodec::None, 1, p); }},
        {"pal8_bottom_up", Pal8BottomUp},
        {"rgb555", [](const Path& p) { return Ffmpeg(V::Rgb555, AudioCodec::None, 1, p); }},
        {"rgb565", Rgb565},
        {"bgra32", [](const Path& p) { return Ffmpeg(V::Bgra, AudioCodec::None, 1, p); }},
        {"top_down24", TopDown24},
        {"ms_adpcm", WithAudio(AudioCodec::MsAdpcm), true, 0, ShapeAudio::Lossy},
        {"ima_adpcm", WithAudio(AudioCodec::ImaAdpcm, 2), true, 0, ShapeAudio::Lossy},
        {"ac3", WithAudio(AudioCodec::Ac3, 2), true, 0, ShapeAudio::Lossy},
        {"mp2", WithAudio(AudioCodec::Mp2, 2), true, 0, ShapeAudio::Lossy},
        {"wma", WithAudio(AudioCodec::Wma, 2), true, 0, ShapeAudio::Lossy},
        {"pcm24", WithAudio(AudioCodec::Pcm24, 2), true, 0, ShapeAudio::Pcm},
        {"pcm32", WithAudio(AudioCodec::Pcm32), true, 0, ShapeAudio::Pcm},
        {"opendml_parts", OpenDmlParts, true, 0, ShapeAudio::Pcm},
        {"opendml_cut_frame", [](const Path& p) { return OpenDmlCut(true, p); }, true, 0, ShapeAudio::Pcm},
        {"opendml_cut_index", [](const Path& p) { return OpenDmlCut(false, p); }, true, 0, ShapeAudio::Pcm},
        {"unfinished", Unfinished, true, 0, ShapeAudio::Pcm},
        {"cut", Cut, true, 0, ShapeAudio::Pcm},
        {"mpeg4_not_coded", Shaped(MakeNotCodedFramesMovie), true, 30},
        {"mpeg4_packed_b", Shaped(MakePackedBFramesMovie), true, 30},
        {"aac_joined", AacJoined, true, 30, ShapeAudio::Lossy},
        {"header_list_short", HeaderListShort},
        {"mjpeg_without_tables", [](const Path& p) { return MakeAbbreviatedMjpeg(p); }, true, 30},
        {"mp4_named_avi", Mp4, false},
        {"no_frames", NoFrames, false},
    };
    return shapes;
}

}  // namespace talvern::test
