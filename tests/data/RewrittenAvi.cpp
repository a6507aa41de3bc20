#include "tests/data/RewrittenAvi.h"

#include <cstdint>
#include <cstring>

#include "tests/support/TestSupport.h"

namespace talvern::test {

namespace {

uint32_t Get32(const std::string& b, size_t at) {
    if (at + 4 > b.size()) return 0;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | uint8_t(b[at + size_t(i)]);
    return v;
}

// The offset of the first LIST of this type at or after `from`, or npos.
size_t FindList(const std::string& b, const char* type, size_t from = 0) {
    for (size_t at = b.find("LIST", from); at != std::string::npos; at = b.find("LIST", at + 1))
        if (b.compare(at + 8, 4, type) == 0) return at;
    return std::string::npos;
}

void ReadStrl(const std::string& b, size_t at, size_t end, SynthStream& st) {
    while (at + 8 <= end) {
        const uint32_t size = Get32(b, at + 4);
        if (b.compare(at, 4, "strh") == 0) {
            st.type = Get32(b, at + 8);
            st.handler = Get32(b, at + 12);
            st.scale = Get32(b, at + 28);
            st.rate = Get32(b, at + 32);
            st.sampleSize = Get32(b, at + 52);
        } else if (b.compare(at, 4, "strf") == 0) {
            st.format = b.substr(at + 8, size);
        }
        at += 8 + size + (size & 1);
    }
}

}  // namespace

bool ReadAviChunks(const std::filesystem::path& in, SynthAvi* out) {
    const std::string b = ReadFileBytes(in);
    const size_t hdrl = FindList(b, "hdrl"), movi = FindList(b, "movi"), idx1 = b.find("idx1", movi);
    if (hdrl == std::string::npos || movi == std::string::npos || idx1 == std::string::npos) return false;
    *out = SynthAvi{};
    for (size_t at = FindList(b, "strl", hdrl); at != std::string::npos && at < movi; at = FindList(b, "strl", at + 1)) {
        SynthStream st;
        ReadStrl(b, at + 12, at + 8 + Get32(b, at + 4), st);
        out->streams.push_back(st);
    }
    const size_t end = idx1 + 8 + Get32(b, idx1 + 4);
    for (size_t e = idx1 + 8; e + 16 <= end && e + 16 <= b.size(); e += 16) {
        const int stream = (b[e] - '0') * 10 + (b[e + 1] - '0');
        const size_t at = movi + 8 + Get32(b, e + 8);
        if (stream < 0 || size_t(stream) >= out->streams.size() || at + 8 > b.size()) continue;
        out->chunks.push_back({stream, b.substr(at + 8, Get32(b, at + 4)), (Get32(b, e + 4) & 0x10) != 0});
    }
    return !out->chunks.empty();
}

bool MakeAacMovie(const std::filesystem::path& out, double seconds, std::string* log) {
    const std::string s = std::to_string(seconds);
    return RunLogged("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=64x48:rate=25:duration=" + s +
                   " -f lavfi -i sine=frequency=440:sample_rate=48000:duration=" + s +
                   " -ac 2 -c:v mjpeg -c:a aac -b:a 128k -f avi " + ShellQuote(out.string()),
               log);
}

bool JoinAudioChunks(const std::filesystem::path& in, int perChunk, const std::filesystem::path& out) {
    SynthAvi avi;
    if (!ReadAviChunks(in, &avi) || perChunk < 1) return false;
    int audio = -1;
    for (size_t i = 0; i < avi.streams.size() && audio < 0; ++i)
        if (avi.streams[i].type == streamtypeAUDIO) audio = int(i);
    std::vector<SynthChunk> chunks;
    int joined = 0;
    size_t open = SIZE_MAX;  // the audio chunk taking the frames that follow
    for (SynthChunk& c : avi.chunks) {
        if (c.stream == audio && open != SIZE_MAX && joined < perChunk) {
            chunks[open].data += c.data;
            ++joined;
            continue;
        }
        if (c.stream == audio) {
            open = chunks.size();
            joined = 1;
        }
        chunks.push_back(c);
        if (avi.streams[size_t(c.stream)].type == streamtypeVIDEO)
            chunks.push_back({c.stream, std::string(), false});
    }
    for (SynthStream& st : avi.streams)
        if (st.type == streamtypeVIDEO) st.rate *= 2;
    avi.chunks = std::move(chunks);
    avi.index = SynthIndex::OpenDmlIdx1;
    return WriteFileBytes(out, BuildSyntheticAvi(avi));
}

bool ShiftListSize(const std::filesystem::path& in, const char* listType, int delta,
                   const std::filesystem::path& out) {
    std::string b = ReadFileBytes(in);
    const size_t at = FindList(b, listType);
    if (at == std::string::npos) return false;
    const uint32_t size = Get32(b, at + 4) + uint32_t(delta);
    for (int i = 0; i < 4; ++i) b[at + 4 + size_t(i)] = char((size >> (8 * i)) & 0xFF);
    return WriteFileBytes(out, b);
}

bool MakeAbbreviatedMjpeg(const std::filesystem::path& out, std::string* log) {
    const std::filesystem::path dir = out.string() + ".frames";
    std::filesystem::create_directories(dir);
    const std::string d = ShellQuote(dir.string());
    const std::string src = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=320x240:rate=25 ";
    bool ok = RunLogged(src + "-frames:v 60 -c:v mjpeg -q:v 25 -pix_fmt yuvj420p " + d + "/a%03d.jpg", log) &&
              RunLogged(src + "-vf 'select=eq(n\\,29)' -frames:v 1 -c:v mjpeg -q:v 2 -pix_fmt yuvj420p " + d +
                      "/a030.jpg",
                  log);
    if (ok) {
        std::string frame = ReadFileBytes(dir / "a031.jpg");
        const size_t dqt = frame.find("\xFF\xDB");
        ok = dqt != std::string::npos;
        if (ok) frame[dqt + 1] = char(0xFE);
        ok = ok && WriteFileBytes(dir / "a031.jpg", frame) &&
             RunLogged("ffmpeg -nostdin -v error -y -framerate 25 -i " + d + "/a%03d.jpg -c:v copy -f avi " +
                     ShellQuote(out.string()),
                 log);
    }
    std::filesystem::remove_all(dir);
    return ok;
}

}  // namespace talvern::test
