#include "tests/data/SyntheticAvi.h"

#include <algorithm>
#include <cstring>

#include "tests/data/TestMedia.h"

namespace talvern::test {

namespace {

void Put16(std::string& s, uint32_t v) {
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}
void Put64(std::string& s, uint64_t v) {
    Put32(s, uint32_t(v));
    Put32(s, uint32_t(v >> 32));
}
void PutFcc(std::string& s, const char* f) { s.append(f, 4); }
void Patch32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = char((v >> (8 * i)) & 0xFF);
}

std::string Chunk(const char* fcc, const std::string& body) {
    std::string s;
    PutFcc(s, fcc);
    Put32(s, uint32_t(body.size()));
    s += body;
    if (body.size() & 1) s += '\0';
    return s;
}
std::string List(const char* type, const std::string& body) {
    std::string inner(type, 4);
    inner += body;
    return Chunk("LIST", inner);
}

std::string StreamTag(int stream, const SynthStream& st) {
    std::string t;
    t += char('0' + stream / 10);
    t += char('0' + stream % 10);
    t += st.type == streamtypeAUDIO ? "wb" : "dc";
    return t;
}

int64_t SamplesOf(const SynthStream& st, const SynthChunk& c) {
    return st.sampleSize ? int64_t(c.data.size() / st.sampleSize) : 1;
}

bool IsOpenDml(SynthIndex i) {
    return i == SynthIndex::OpenDml || i == SynthIndex::OpenDmlIdx1 || i == SynthIndex::OpenDmlField;
}

// Where each chunk landed: the file offset of its 8-byte header.
struct Placed {
    int chunk;
    uint64_t headerAt;
};

constexpr int kSuperEntries = 16;

std::string SuperIndexPlaceholder(const std::string& tag) {
    std::string b;
    Put16(b, 4);  // longs per entry
    b += char(0);  // sub type
    b += char(0);  // AVI_INDEX_OF_INDEXES
    Put32(b, 0);  // entries in use, patched later
    PutFcc(b, tag.c_str());
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    b.append(size_t(kSuperEntries) * 16, '\0');
    return Chunk("indx", b);
}

std::string Header(const SynthAvi& avi, std::vector<size_t>* indxAt) {
    const bool odml = IsOpenDml(avi.index);
    int64_t videoFrames = 0;
    for (const auto& c : avi.chunks)
        if (avi.streams[c.stream].type == streamtypeVIDEO && c.stream == 0) ++videoFrames;
    std::string avih;
    Put32(avih, 40000);  // microseconds per frame
    Put32(avih, 0);
    Put32(avih, 0);
    Put32(avih, 0x10);  // has index
    Put32(avih, uint32_t(videoFrames));
    Put32(avih, 0);
    Put32(avih, uint32_t(avi.streams.size()));
    Put32(avih, 0);
    int width = 0, height = 0;
    if (!avi.streams.empty() && avi.streams[0].format.size() >= 12) {
        std::memcpy(&width, avi.streams[0].format.data() + 4, 4);
        std::memcpy(&height, avi.streams[0].format.data() + 8, 4);
    }
    Put32(avih, uint32_t(width));
    Put32(avih, uint32_t(height < 0 ? -height : height));
    avih.append(16, '\0');
    std::string hdrl = Chunk("avih", avih);
    std::vector<size_t> rel;
    for (size_t i = 0; i < avi.streams.size(); ++i) {
        const SynthStream& st = avi.streams[i];
        int64_t len = 0;
        for (const auto& c : avi.chunks)
            if (c.stream == int(i)) len += SamplesOf(st, c);
        if (st.length >= 0) len = st.length;
        std::string strh;
        Put32(strh, st.type);
        Put32(strh, st.handler);
        Put32(strh, 0);
        Put16(strh, st.priority);
        Put16(strh, 0);
        Put32(strh, 0);
        Put32(strh, st.scale);
        Put32(strh, st.rate);
        Put32(strh, 0);
        Put32(strh, uint32_t(len));
        Put32(strh, 0);
        Put32(strh, 0xFFFFFFFF);
        Put32(strh, st.sampleSize);
        strh.append(8, '\0');
        std::string strl = Chunk("strh", strh) + Chunk("strf", st.format);
        if (!st.name.empty()) strl += Chunk("strn", st.name + '\0');
        if (odml) {
            rel.push_back(12 + strl.size());
            strl += SuperIndexPlaceholder(StreamTag(int(i), st));
        }
        const size_t strlAt = hdrl.size();
        hdrl += List("strl", strl);
        if (odml) rel.back() += strlAt;
    }
    if (odml) {
        std::string dmlh;
        Put32(dmlh, uint32_t(videoFrames));
        dmlh.append(244, '\0');
        hdrl += List("odml", Chunk("dmlh", dmlh));
    }
    // RIFF header (12) + LIST hdrl header (12) precede hdrl's body.
    for (size_t r : rel) indxAt->push_back(24 + r);
    return List("hdrl", hdrl);
}

std::string StandardIndex(const SynthAvi& avi, int stream, const std::vector<Placed>& placed,
                          uint64_t base) {
    const SynthStream& st = avi.streams[stream];
    const bool field = avi.index == SynthIndex::OpenDmlField && st.type == streamtypeVIDEO;
    std::string b;
    Put16(b, field ? 3 : 2);
    b += char(field ? 1 : 0);  // AVI_INDEX_2FIELD or plain
    b += char(1);              // AVI_INDEX_OF_CHUNKS
    uint32_t n = 0;
    for (const Placed& p : placed) n += avi.chunks[p.chunk].stream == stream;
    Put32(b, n);
    PutFcc(b, StreamTag(stream, st).c_str());
    Put64(b, base);
    Put32(b, 0);
    for (const Placed& p : placed) {
        const SynthChunk& c = avi.chunks[p.chunk];
        if (c.stream != stream) continue;
        const uint32_t size = uint32_t(c.data.size());
        Put32(b, uint32_t(p.headerAt + 8 - base));
        Put32(b, size | (c.key ? 0u : 0x80000000u));
        if (field) Put32(b, uint32_t(p.headerAt + 8 - base + size / 2));
    }
    std::string tag = "ix";
    tag += char('0' + stream / 10);
    tag += char('0' + stream % 10);
    return Chunk(tag.c_str(), b);
}

// idx1 belongs to the first RIFF part and covers only its chunks.
void AppendIdx1(const SynthAvi& avi, const std::vector<Placed>& placed, size_t moviAt,
                std::string& file) {
    if (avi.index != SynthIndex::Idx1 && avi.index != SynthIndex::Idx1Absolute &&
        avi.index != SynthIndex::OpenDmlIdx1)
        return;
    std::string idx;
    const uint64_t base = avi.index == SynthIndex::Idx1Absolute ? 0 : moviAt + 8;
    for (const Placed& p : placed) {
        const SynthChunk& c = avi.chunks[p.chunk];
        PutFcc(idx, StreamTag(c.stream, avi.streams[c.stream]).c_str());
        Put32(idx, c.key ? AVIIF_KEYFRAME : 0);
        Put32(idx, uint32_t(p.headerAt - base));
        Put32(idx, uint32_t(c.data.size()));
    }
    file += Chunk("idx1", idx);
}

}  // namespace

std::string BitmapFormat(int width, int height, int bitCount, DWORD compression,
                         const std::vector<RGBQUAD>& palette) {
    std::string s;
    Put32(s, 40);
    Put32(s, uint32_t(width));
    Put32(s, uint32_t(height));
    Put16(s, 1);
    Put16(s, uint32_t(bitCount));
    Put32(s, compression);
    const int64_t rowBytes = ((int64_t(width) * bitCount + 31) / 32) * 4;
    Put32(s, uint32_t(rowBytes * (height < 0 ? -height : height)));
    Put32(s, 0);
    Put32(s, 0);
    Put32(s, uint32_t(palette.size()));
    Put32(s, 0);
    for (const RGBQUAD& q : palette) s.append(reinterpret_cast<const char*>(&q), 4);
    return s;
}

std::string PcmFormat(int sampleRate, int channels, int bits) {
    std::string s;
    const int align = channels * bits / 8;
    Put16(s, WAVE_FORMAT_PCM);
    Put16(s, uint32_t(channels));
    Put32(s, uint32_t(sampleRate));
    Put32(s, uint32_t(sampleRate * align));
    Put16(s, uint32_t(align));
    Put16(s, uint32_t(bits));
    Put16(s, 0);
    return s;
}

std::string IndexFrameDib24(int index, int width, int height, bool topDown) {
    const int64_t rowBytes = ((int64_t(width) * 24 + 31) / 32) * 4;
    std::string s(size_t(rowBytes * height), '\0');
    auto* rows = reinterpret_cast<uint8_t*>(s.data());
    if (topDown)
        PaintIndexFrame(index, width, height, rows, rowBytes);
    else
        PaintIndexFrame(index, width, height, rows + (height - 1) * rowBytes, -rowBytes);
    return s;
}

SynthAvi SimpleVideo(int frames, int width, int height, SynthIndex index) {
    SynthAvi avi;
    avi.index = index;
    SynthStream v;
    v.format = BitmapFormat(width, height, 24, BI_RGB);
    avi.streams.push_back(v);
    for (int i = 0; i < frames; ++i) avi.chunks.push_back({0, IndexFrameDib24(i, width, height), true});
    return avi;
}

std::string BuildSyntheticAvi(const SynthAvi& avi) {
    const bool odml = IsOpenDml(avi.index);
    const int parts = odml ? std::max(1, avi.parts) : 1;
    std::vector<size_t> indxAt;
    std::string file = "RIFF....AVI ";
    file += Header(avi, &indxAt);
    // Super index entries per stream: (offset of ix##, size, duration).
    std::vector<std::vector<std::string>> superEntries(avi.streams.size());
    std::vector<size_t> riffStarts{0};
    size_t firstMovi = 0;
    const size_t perPart = (avi.chunks.size() + parts - 1) / size_t(parts);
    for (int part = 0; part < parts; ++part) {
        if (part > 0) {
            riffStarts.push_back(file.size());
            file += "RIFF....AVIX";
        }
        const size_t moviAt = file.size();
        if (part == 0) firstMovi = moviAt;
        file += "LIST....movi";
        std::vector<Placed> placed;
        const size_t begin = size_t(part) * perPart;
        const size_t end = std::min(avi.chunks.size(), begin + perPart);
        for (size_t i = begin; i < end; ++i) {
            const SynthChunk& c = avi.chunks[i];
            placed.push_back({int(i), file.size()});
            file += Chunk(StreamTag(c.stream, avi.streams[c.stream]).c_str(), c.data);
        }
        if (odml) {
            for (size_t s = 0; s < avi.streams.size(); ++s) {
                const size_t at = file.size();
                const std::string ix = StandardIndex(avi, int(s), placed, moviAt);
                file += ix;
                int64_t dur = 0;
                for (const Placed& p : placed)
                    if (avi.chunks[p.chunk].stream == int(s))
                        dur += SamplesOf(avi.streams[s], avi.chunks[p.chunk]);
                std::string e;
                Put64(e, at);
                Put32(e, uint32_t(ix.size()));
                Put32(e, uint32_t(dur));
                superEntries[s].push_back(e);
            }
        }
        Patch32(file, moviAt + 4, uint32_t(file.size() - moviAt - 8));
        if (part == 0) AppendIdx1(avi, placed, firstMovi, file);
    }
    for (size_t i = 0; i < riffStarts.size(); ++i) {
        const size_t end = i + 1 < riffStarts.size() ? riffStarts[i + 1] : file.size();
        Patch32(file, riffStarts[i] + 4, uint32_t(end - riffStarts[i] - 8));
    }
    for (size_t s = 0; s < indxAt.size(); ++s) {
        const size_t at = indxAt[s];
        const size_t n = std::min<size_t>(superEntries[s].size(), kSuperEntries);
        Patch32(file, at + 8 + 4, uint32_t(n));
        for (size_t e = 0; e < n; ++e) file.replace(at + 8 + 24 + e * 16, 16, superEntries[s][e]);
    }
    return file;
}

}  // namespace talvern::test
