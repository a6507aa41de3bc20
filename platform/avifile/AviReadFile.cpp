// Reads the structure of an AVI file: the RIFF 'AVI ' part and its 'AVIX'
// continuations, the stream headers, and an index per stream from the first
// source that yields one: OpenDML indexes, then idx1, then a scan of 'movi'.
// A damaged file gives the streams and samples that can be read, or an error.
#include "platform/avifile/AviReadFile.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/avifile/AviFileSource.h"
#include "platform/avifile/AviReadStream.h"
#include "platform/avifile/RiffCursor.h"
#include "platform/win32/WideChar.h"

namespace {

constexpr uint32_t Fcc(const char (&s)[5]) { return MAKEFOURCC(s[0], s[1], s[2], s[3]); }

constexpr size_t kMaxStreams = 100;               // stream numbers have two digits
constexpr uint64_t kMaxHeaderBytes = 16u << 20;   // hdrl
constexpr uint64_t kMaxFormatBytes = 1u << 20;    // strf
constexpr uint64_t kMaxIndexBytes = 512u << 20;   // one idx1 or ix## chunk
constexpr size_t kMaxEntries = size_t(1) << 24;   // per stream
constexpr int kMaxRiffParts = 4096;
constexpr int kMaxListDepth = 4;
// How far either way of where a wrong size leads a header is looked for.
constexpr uint64_t kResyncReach = 4096;

// What each level of the file holds, for finding a header again after a wrong size.
constexpr uint32_t kTopIds[] = {Fcc("JUNK"), Fcc("idx1")};
constexpr uint32_t kTopLists[] = {Fcc("hdrl"), Fcc("movi"), Fcc("INFO")};
constexpr uint32_t kHdrlIds[] = {Fcc("avih"), Fcc("JUNK")};
constexpr uint32_t kHdrlLists[] = {Fcc("strl"), Fcc("odml"), Fcc("INFO")};
constexpr uint32_t kStrlIds[] = {Fcc("strh"), Fcc("strf"), Fcc("strd"), Fcc("strn"), Fcc("indx"), Fcc("vprp"),
                                 Fcc("JUNK")};

struct MoviRange {
    uint64_t listData;  // offset of the 'movi' type code
    uint64_t end;
};

struct ParsedFile {
    AVIFILEINFOW info{};
    std::vector<AviStreamHeader> streams;
    std::vector<std::vector<uint8_t>> superIndex;  // indx body per stream, may be empty
    std::vector<MoviRange> movi;
    uint64_t idx1At = 0;  // body offset, 0 when absent
    uint64_t idx1Size = 0;
};

// Reads 8-byte chunk headers straight from the file while walking a span of it.
bool ReadChunkHeader(const AviFileSource& src, uint64_t at, uint64_t end, uint32_t& fcc,
                     uint64_t& size) {
    if (at > end || end - at < 8) return false;
    uint8_t h[8];
    if (!src.ReadAt(at, h, 8)) return false;
    RiffCursor c(h, 8);
    uint32_t s = 0;
    c.U32(fcc);
    c.U32(s);
    size = s;
    return true;
}

uint32_t ReadListType(const AviFileSource& src, uint64_t at) {
    uint8_t t[4] = {};
    src.ReadAt(at, t, 4);
    RiffCursor c(t, 4);
    uint32_t v = 0;
    c.U32(v);
    return v;
}

int StreamNumber(uint32_t ckid) {
    const int a = int(ckid & 0xFF) - '0';
    const int b = int((ckid >> 8) & 0xFF) - '0';
    if (a < 0 || a > 9 || b < 0 || b > 9) return -1;
    return a * 10 + b;
}

bool IsIndexChunk(uint32_t ckid) {
    return (ckid & 0xFFFF) == ('i' | ('x' << 8)) || ((ckid >> 16) & 0xFFFF) == ('i' | ('x' << 8));
}

void ParseAvih(RiffCursor c, AVIFILEINFOW& info) {
    uint32_t usPerFrame = 0, maxBytes = 0, pad = 0, flags = 0, frames = 0, initial = 0, streams = 0,
             buffer = 0, width = 0, height = 0;
    c.U32(usPerFrame);
    c.U32(maxBytes);
    c.U32(pad);
    c.U32(flags);
    c.U32(frames);
    c.U32(initial);
    c.U32(streams);
    c.U32(buffer);
    c.U32(width);
    c.U32(height);
    info.dwMaxBytesPerSec = maxBytes;
    info.dwFlags = flags;
    info.dwSuggestedBufferSize = buffer;
    info.dwWidth = width;
    info.dwHeight = height;
    info.dwRate = 1000000;
    info.dwScale = usPerFrame;
    info.dwLength = frames;
}

void ParseStrh(RiffCursor c, AVISTREAMINFOW& s) {
    uint16_t left = 0, top = 0, right = 0, bottom = 0;
    c.U32(s.fccType);
    c.U32(s.fccHandler);
    c.U32(s.dwFlags);
    c.U16(s.wPriority);
    c.U16(s.wLanguage);
    c.U32(s.dwInitialFrames);
    c.U32(s.dwScale);
    c.U32(s.dwRate);
    c.U32(s.dwStart);
    c.U32(s.dwLength);
    c.U32(s.dwSuggestedBufferSize);
    c.U32(s.dwQuality);
    c.U32(s.dwSampleSize);
    if (c.U16(left) && c.U16(top) && c.U16(right) && c.U16(bottom))
        s.rcFrame = RECT{int16_t(left), int16_t(top), int16_t(right), int16_t(bottom)};
}

void ParseStrn(RiffCursor c, AVISTREAMINFOW& s) {
    // Stored as 8-bit text; taken byte for byte (ASCII in practice).
    size_t n = 0;
    uint8_t ch = 0;
    while (n + 1 < std::size(s.szName) && c.U8(ch) && ch != 0) s.szName[n++] = char16_t(ch);
    s.szName[n] = 0;
}

void ParseStrl(RiffCursor c, ParsedFile& f) {
    if (f.streams.size() >= kMaxStreams) return;
    AviStreamHeader st;
    std::vector<uint8_t> indx;
    bool haveStrh = false;
    uint32_t fcc = 0;
    RiffCursor body;
    while (c.KnownChunk(fcc, body, kStrlIds, {})) {
        if (fcc == Fcc("strh")) {
            ParseStrh(body, st.info);
            haveStrh = true;
        } else if (fcc == Fcc("strf") && body.Remaining() <= kMaxFormatBytes) {
            st.format.assign(body.Here(), body.Here() + body.Remaining());
        } else if (fcc == Fcc("strn")) {
            ParseStrn(body, st.info);
        } else if (fcc == Fcc("indx")) {
            indx.assign(body.Here(), body.Here() + body.Remaining());
        }
    }
    if (!haveStrh) return;
    f.streams.push_back(std::move(st));
    f.superIndex.push_back(std::move(indx));
}

void ParseHdrl(RiffCursor c, ParsedFile& f) {
    uint32_t fcc = 0;
    RiffCursor body;
    while (c.KnownChunk(fcc, body, kHdrlIds, kHdrlLists)) {
        uint32_t type = 0;
        if (fcc == Fcc("avih")) {
            ParseAvih(body, f.info);
        } else if (fcc == Fcc("LIST") && body.U32(type) && type == Fcc("strl")) {
            ParseStrl(body, f);
        }
    }
}

bool LoadHdrl(const AviFileSource& src, uint64_t at, uint64_t size, ParsedFile& f) {
    if (size > kMaxHeaderBytes) return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (!src.ReadAt(at, bytes.data(), bytes.size())) return false;
    ParseHdrl(RiffCursor(bytes.data(), bytes.size()), f);
    return true;
}

// Where the walk goes on when the header at `at` is no chunk id at all: the nearest
// known header after `floor`, or `end` when there is none within reach.
uint64_t ResyncFileChunk(const AviFileSource& src, uint64_t at, uint64_t floor, uint64_t end) {
    const uint64_t lo = std::max(floor, at > kResyncReach ? at - kResyncReach : 0);
    const uint64_t hi = std::min(end, at + kResyncReach);
    if (lo >= hi || at < lo) return end;
    std::vector<uint8_t> window(size_t(hi - lo));
    if (!src.ReadAt(lo, window.data(), window.size())) return end;
    const size_t found = NearestKnownChunk(window.data(), window.size(), 0, size_t(at - lo), kTopIds, kTopLists);
    return found == SIZE_MAX ? end : lo + found;
}

// The children of one RIFF part. Sizes that overrun the part are clipped to it,
// so the readable part of a truncated file is still found; a size that leads into
// the middle of a chunk is mended by finding the next header nearby.
void WalkRiff(const AviFileSource& src, uint64_t at, uint64_t end, bool first, ParsedFile& f) {
    uint32_t fcc = 0;
    uint64_t size = 0;
    uint64_t floor = at;
    int resyncs = 0;
    while (ReadChunkHeader(src, at, end, fcc, size)) {
        if (!LooksLikeChunkId(fcc)) {
            if (++resyncs > RiffCursor::kMaxResyncs) return;
            at = ResyncFileChunk(src, at, floor, end);
            if (!ReadChunkHeader(src, at, end, fcc, size)) return;
        }
        floor = at + 1;
        const uint64_t body = at + 8;
        const uint64_t bodyEnd = body + std::min(size, end - body);
        if (fcc == Fcc("LIST") && size == 0 && end - body >= 4 &&
            ReadListType(src, body) == Fcc("movi")) {
            // An unfinished capture: 'movi' runs to the end of its part.
            f.movi.push_back({body, end});
            return;
        }
        if (fcc == Fcc("LIST") && bodyEnd - body >= 4) {
            const uint32_t type = ReadListType(src, body);
            if (type == Fcc("hdrl") && first && f.streams.empty())
                LoadHdrl(src, body + 4, bodyEnd - body - 4, f);
            else if (type == Fcc("movi"))
                f.movi.push_back({body, bodyEnd});
        } else if (fcc == Fcc("idx1") && first && f.idx1At == 0) {
            f.idx1At = body;
            f.idx1Size = bodyEnd - body;
        }
        at = body + size + (size & 1);
    }
}

void WalkFile(const AviFileSource& src, ParsedFile& f) {
    uint64_t at = 0;
    for (int part = 0; part < kMaxRiffParts; ++part) {
        uint32_t fcc = 0;
        uint64_t size = 0;
        if (!ReadChunkHeader(src, at, src.Size(), fcc, size) || fcc != Fcc("RIFF")) return;
        if (size == 0) size = src.Size() - at - 8;  // a capture that never finished its header
        if (size < 4) return;
        const uint32_t type = ReadListType(src, at + 8);
        const bool first = part == 0;
        if ((first && type != Fcc("AVI ")) || (!first && type != Fcc("AVIX"))) return;
        const uint64_t end = at + 8 + std::min(size, src.Size() - (at + 8));
        WalkRiff(src, at + 12, end, first, f);
        at = at + 8 + size + (size & 1);
    }
}

// ---- indexes --------------------------------------------------------------

bool LoadChunkBody(const AviFileSource& src, uint64_t at, uint64_t size, std::vector<uint8_t>& out) {
    if (size > kMaxIndexBytes || !src.Holds(at, size)) return false;
    out.resize(size_t(size));
    return src.ReadAt(at, out.data(), out.size());
}

void AddEntry(const AviFileSource& src, std::vector<AviIndexEntry>& index, uint64_t offset,
              uint32_t size, bool key) {
    if (index.size() >= kMaxEntries || !src.Holds(offset, size)) return;
    index.push_back({offset, size, key});
}

// A standard index (ix##, or indx holding chunks directly), plain or field form.
void ParseStandardIndex(const AviFileSource& src, RiffCursor c, std::vector<AviIndexEntry>& index) {
    uint16_t longs = 0;
    uint8_t subType = 0, type = 0;
    uint32_t count = 0, chunkId = 0, reserved = 0;
    uint64_t base = 0;
    if (!c.U16(longs) || !c.U8(subType) || !c.U8(type) || !c.U32(count) || !c.U32(chunkId) ||
        !c.U64(base) || !c.U32(reserved))
        return;
    if (type != 1 || (longs != 2 && longs != 3)) return;
    const size_t entryBytes = size_t(longs) * 4;
    count = uint32_t(std::min<uint64_t>(count, c.Remaining() / entryBytes));
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t offset = 0, size = 0;
        c.U32(offset);
        c.U32(size);
        if (longs == 3) c.Skip(4);  // offset of the second field
        AddEntry(src, index, base + offset, size & 0x7FFFFFFF, (size & 0x80000000u) == 0);
    }
}

void ParseSuperIndex(const AviFileSource& src, const std::vector<uint8_t>& indx,
                     std::vector<AviIndexEntry>& index, uint64_t& budget) {
    RiffCursor c(indx.data(), indx.size());
    uint16_t longs = 0;
    uint8_t subType = 0, type = 0;
    uint32_t count = 0, chunkId = 0;
    if (!c.U16(longs) || !c.U8(subType) || !c.U8(type)) return;
    if (type == 1) {  // some writers put the chunks right into indx
        ParseStandardIndex(src, RiffCursor(indx.data(), indx.size()), index);
        return;
    }
    if (type != 0 || longs != 4 || !c.U32(count) || !c.U32(chunkId) || !c.Skip(12)) return;
    count = uint32_t(std::min<uint64_t>(count, c.Remaining() / 16));
    std::vector<uint8_t> body;
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t offset = 0;
        uint32_t size = 0, duration = 0;
        c.U64(offset);
        c.U32(size);
        c.U32(duration);
        uint32_t fcc = 0;
        uint64_t chunkSize = 0;
        if (!ReadChunkHeader(src, offset, src.Size(), fcc, chunkSize)) continue;
        chunkSize = std::min(chunkSize, src.Size() - offset - 8);
        // A well-formed file reads each of its index chunks once; entries that
        // point at the same huge chunk over and over must not take forever.
        if (chunkSize > budget || index.size() >= kMaxEntries) break;
        budget -= chunkSize;
        if (!LoadChunkBody(src, offset + 8, chunkSize, body)) continue;
        ParseStandardIndex(src, RiffCursor(body.data(), body.size()), index);
    }
}

// idx1 offsets point at chunk headers, from the 'movi' type code or from the file
// start depending on the writer. The base whose first entries land on chunk
// headers with the expected codes wins.
bool Idx1BaseFits(const AviFileSource& src, RiffCursor c, uint64_t base) {
    int checked = 0;
    uint32_t ckid = 0, flags = 0, offset = 0, size = 0;
    while (checked < 4 && c.U32(ckid) && c.U32(flags) && c.U32(offset) && c.U32(size)) {
        if (flags & AVIIF_LIST) continue;
        uint32_t fcc = 0;
        uint64_t actual = 0;
        if (!ReadChunkHeader(src, base + offset, src.Size(), fcc, actual) || fcc != ckid) return false;
        ++checked;
    }
    return checked > 0;
}

void ParseIdx1(const AviFileSource& src, const ParsedFile& f,
               std::vector<std::vector<AviIndexEntry>>& out, const std::vector<bool>& wanted) {
    std::vector<uint8_t> body;
    if (f.movi.empty() || !LoadChunkBody(src, f.idx1At, f.idx1Size, body)) return;
    const RiffCursor all(body.data(), body.size());
    uint64_t base = f.movi.front().listData;
    if (!Idx1BaseFits(src, all, base)) {
        if (!Idx1BaseFits(src, all, 0)) return;
        base = 0;
    }
    RiffCursor c = all;
    uint32_t ckid = 0, flags = 0, offset = 0, size = 0;
    while (c.U32(ckid) && c.U32(flags) && c.U32(offset) && c.U32(size)) {
        const int n = StreamNumber(ckid);
        if ((flags & AVIIF_LIST) || n < 0 || size_t(n) >= out.size() || !wanted[size_t(n)]) continue;
        AddEntry(src, out[size_t(n)], base + offset + 8, size & 0x7FFFFFFF,
                 (flags & AVIIF_KEYFRAME) != 0);
    }
}

// No usable index: walk the data chunks. Without index flags only the first
// video frame is known to be a key frame; every audio chunk is one.
void ScanMovi(const AviFileSource& src, uint64_t at, uint64_t end, int depth, const ParsedFile& f,
              std::vector<std::vector<AviIndexEntry>>& out, const std::vector<bool>& wanted) {
    uint32_t fcc = 0;
    uint64_t size = 0;
    while (ReadChunkHeader(src, at, end, fcc, size)) {
        const uint64_t body = at + 8;
        const uint64_t avail = end - body;
        if (fcc == Fcc("LIST")) {
            if (depth < kMaxListDepth && avail >= 4)
                ScanMovi(src, body + 4, body + std::min(size, avail), depth + 1, f, out, wanted);
        } else if (!IsIndexChunk(fcc)) {
            const int n = StreamNumber(fcc);
            if (n >= 0 && size_t(n) < out.size() && wanted[size_t(n)] && size <= avail) {
                auto& index = out[size_t(n)];
                const bool video = f.streams[size_t(n)].info.fccType == streamtypeVIDEO;
                AddEntry(src, index, body, uint32_t(size), !video || index.empty());
            }
        }
        at = body + size + (size & 1);
    }
}

// An OpenDML recording cut short loses the index of its last part, whole or in
// part: each part's ix## chunks follow its data. A stream its super index covers
// takes the chunks of each part where it has no entry from a walk of that part.
void ScanPartsWithoutIndex(const AviFileSource& src, const ParsedFile& f,
                           std::vector<std::vector<AviIndexEntry>>& indexes, const std::vector<bool>& odml) {
    const size_t parts = f.movi.size();
    std::vector<std::vector<bool>> covered(indexes.size(), std::vector<bool>(parts, false));
    for (size_t i = 0; i < indexes.size(); ++i)
        for (const AviIndexEntry& e : indexes[i]) {
            const auto m = std::upper_bound(f.movi.begin(), f.movi.end(), e.offset,
                                            [](uint64_t at, const MoviRange& r) { return at < r.listData; });
            if (m != f.movi.begin()) covered[i][size_t(m - f.movi.begin()) - 1] = true;
        }
    for (size_t p = 0; p < parts; ++p) {
        std::vector<bool> wanted(indexes.size(), false);
        for (size_t i = 0; i < indexes.size(); ++i) wanted[i] = odml[i] && !covered[i][p];
        if (std::find(wanted.begin(), wanted.end(), true) == wanted.end()) continue;
        std::vector<std::vector<AviIndexEntry>> found(indexes.size());
        ScanMovi(src, f.movi[p].listData + 4, f.movi[p].end, 0, f, found, wanted);
        for (size_t i = 0; i < indexes.size(); ++i) {
            if (found[i].empty()) continue;
            auto& index = indexes[i];
            const auto at = std::upper_bound(index.begin(), index.end(), found[i].front().offset,
                                             [](uint64_t o, const AviIndexEntry& e) { return o < e.offset; });
            // Only the stream's first chunk is known to be a key frame without an index.
            if (at != index.begin()) found[i].front().key = found[i].front().key && f.streams[i].info.fccType != streamtypeVIDEO;
            index.insert(at, found[i].begin(), found[i].end());
        }
    }
}

void BuildIndexes(const AviFileSource& src, ParsedFile& f) {
    const size_t n = f.streams.size();
    std::vector<std::vector<AviIndexEntry>> indexes(n);
    std::vector<bool> wanted(n, false);
    uint64_t budget = src.Size();
    for (size_t i = 0; i < n; ++i) {
        ParseSuperIndex(src, f.superIndex[i], indexes[i], budget);
        wanted[i] = indexes[i].empty();
    }
    std::vector<bool> odml(wanted.size());
    std::transform(wanted.begin(), wanted.end(), odml.begin(), [](bool w) { return !w; });
    if (std::find(wanted.begin(), wanted.end(), true) != wanted.end() && f.idx1At != 0)
        ParseIdx1(src, f, indexes, wanted);
    bool anyFound = false;
    for (size_t i = 0; i < n; ++i) anyFound = anyFound || !indexes[i].empty();
    // A scan only when no index gave anything: a stream that is simply empty in a
    // well-indexed file stays empty.
    if (!anyFound)
        for (const MoviRange& m : f.movi) ScanMovi(src, m.listData + 4, m.end, 0, f, indexes, wanted);
    else
        ScanPartsWithoutIndex(src, f, indexes, odml);
    for (size_t i = 0; i < n; ++i) f.streams[i].index = std::move(indexes[i]);
}

// ---- the file object -------------------------------------------------------

class AviReadFile : public AviFile {
public:
    AviReadFile(const AVIFILEINFOW& info, std::vector<AviReadStream*> streams)
        : m_info(info), m_streams(std::move(streams)) {}
    ~AviReadFile() override {
        for (AviReadStream* s : m_streams) s->Release();
    }

    HRESULT Info(AVIFILEINFOW* info, LONG size) override {
        std::memset(info, 0, size_t(size));
        std::memcpy(info, &m_info, std::min<size_t>(size_t(size), sizeof(m_info)));
        return AVIERR_OK;
    }

    HRESULT GetStream(AviStream** stream, DWORD fccType, LONG param) override {
        LONG seen = 0;
        for (AviReadStream* s : m_streams) {
            if (fccType != 0 && s->Header().fccType != fccType) continue;
            if (seen++ == param) {
                s->AddRef();
                *stream = s;
                return AVIERR_OK;
            }
        }
        return AVIERR_NODATA;
    }

private:
    AVIFILEINFOW m_info;
    std::vector<AviReadStream*> m_streams;
};

void FillFileInfo(AVIFILEINFOW& info, const std::vector<AviReadStream*>& streams) {
    info.dwStreams = DWORD(streams.size());
    info.dwCaps = AVIFILECAPS_CANREAD;
    for (AviReadStream* s : streams) {
        if (s->Header().fccType != streamtypeVIDEO) continue;
        info.dwLength = DWORD(s->Length());
        if (s->Header().dwRate != 0 && s->Header().dwScale != 0) {
            info.dwRate = s->Header().dwRate;
            info.dwScale = s->Header().dwScale;
        }
        break;
    }
    const char16_t type[] = u"AVI File";
    std::copy(std::begin(type), std::end(type), info.szFileType);
}

HRESULT ParseOpenFile(PAVIFILE* file, const std::shared_ptr<AviFileSource>& src) {
    ParsedFile parsed;
    WalkFile(*src, parsed);
    if (parsed.streams.empty()) return AVIERR_BADFORMAT;
    BuildIndexes(*src, parsed);
    std::vector<AviReadStream*> streams;
    streams.reserve(parsed.streams.size());
    for (AviStreamHeader& h : parsed.streams) streams.push_back(new AviReadStream(src, std::move(h)));
    FillFileInfo(parsed.info, streams);
    *file = new AviReadFile(parsed.info, std::move(streams));
    return AVIERR_OK;
}

}  // namespace

// The name goes to the file system byte for byte, as every other reader passes it: a
// name that is not UTF-8 opens the file it names. A file whose tables cannot be held
// is refused like any other unusable file; no exception leaves the library.
HRESULT AviOpenFileForReading(PAVIFILE* file, const wchar_t* path) {
    *file = nullptr;
    std::string native;
    if (!WideToUtf8(path, native)) return AVIERR_FILEOPEN;
    const std::shared_ptr<AviFileSource> src = AviFileSource::Open(native);
    if (!src) return AVIERR_FILEOPEN;
    try {
        return ParseOpenFile(file, src);
    } catch (const std::bad_alloc&) {
        return AVIERR_MEMORY;
    }
}
