#include "platform/avifile/AviWriteFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/win32/WideChar.h"

namespace talvern::avifile {
namespace {

// Each RIFF of the file stays below this size, indexes included.
constexpr uint64_t kRiffLimit = uint64_t{1} << 30;
// Entries reserved in each stream's super index: 256 parts of 1 GiB.
constexpr uint32_t kSuperEntries = 256;
// Room kept in the header for streams added after the first chunk (a copied
// audio stream comes after the frames).
constexpr uint64_t kHeaderSlack = 16384;
constexpr LONG kMaxFormatBytes = 1 << 20;
constexpr size_t kMaxStreams = 100;  // chunk ids carry two digits

constexpr DWORD AVIF_HASINDEX = 0x00000010;
constexpr DWORD AVIF_ISINTERLEAVED = 0x00000100;

constexpr uint64_t Even(uint64_t n) { return n + (n & 1); }

void Append(std::vector<uint8_t>& out, const void* data, size_t bytes) {
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + bytes);
}
void Append32(std::vector<uint8_t>& out, uint32_t v) { Append(out, &v, 4); }
void Append16(std::vector<uint8_t>& out, uint16_t v) { Append(out, &v, 2); }
void Append64(std::vector<uint8_t>& out, uint64_t v) { Append(out, &v, 8); }
void Patch32(std::vector<uint8_t>& out, size_t at, uint32_t v) { std::memcpy(&out[at], &v, 4); }

// Opens a LIST or chunk in `out`; CloseChunk fills in its size.
size_t OpenChunk(std::vector<uint8_t>& out, FOURCC id, FOURCC listType = 0) {
    const size_t at = out.size();
    Append32(out, id);
    Append32(out, 0);
    if (listType) Append32(out, listType);
    return at;
}
void CloseChunk(std::vector<uint8_t>& out, size_t at) {
    Patch32(out, at + 4, static_cast<uint32_t>(out.size() - at - 8));
    if (out.size() & 1) out.push_back(0);
}

FOURCC TwoDigitId(size_t stream, char a, char b) {
    return MAKEFOURCC(static_cast<char>('0' + stream / 10), static_cast<char>('0' + stream % 10), a, b);
}

std::string NameUtf8(const AVISTREAMINFOW& info) {
    size_t n = 0;
    while (n < 64 && info.szName[n]) ++n;
    return WideToUtf8(Utf16ToWide(std::u16string_view(info.szName, n)));
}

uint32_t Clamp32(int64_t v) { return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, UINT32_MAX)); }
uint16_t Short16(LONG v) { return static_cast<uint16_t>(static_cast<int16_t>(std::clamp<LONG>(v, -32768, 32767))); }

}  // namespace

HRESULT AviWriteFile::Create(const std::string& path, AviWriteFile** file) {
    *file = nullptr;
    FILE* fp = std::fopen(path.c_str(), "wb");
    if (!fp) return AVIERR_FILEOPEN;
    auto* f = new AviWriteFile;
    f->m_fp = fp;
    f->m_buffer.resize(1 << 20);
    std::setvbuf(fp, f->m_buffer.data(), _IOFBF, f->m_buffer.size());
    *file = f;
    return AVIERR_OK;
}

AviWriteFile::~AviWriteFile() { Finish(); }

bool AviWriteFile::Put(const void* data, size_t bytes) {
    if (m_failed) return false;
    if (bytes && std::fwrite(data, 1, bytes, m_fp) != bytes) m_failed = true;
    m_pos += bytes;
    return !m_failed;
}

bool AviWriteFile::PutChunkHeader(FOURCC id, uint32_t size) { return PutU32(id) && PutU32(size); }

bool AviWriteFile::Seek(uint64_t offset) {
    if (m_failed) return false;
    if (fseeko(m_fp, static_cast<off_t>(offset), SEEK_SET) != 0) m_failed = true;
    m_pos = offset;
    return !m_failed;
}

uint64_t AviWriteFile::StreamListBytes(const Stream& s) const {
    uint64_t n = 12 + 8 + 56 + 8 + Even(s.format.size()) + 8 + 24 + 16 * kSuperEntries;
    if (!s.nameUtf8.empty()) n += 8 + Even(s.nameUtf8.size() + 1);
    return n;
}

// Everything between the RIFF header and LIST movi, as large as it can become.
uint64_t AviWriteFile::HeaderBytes() const {
    uint64_t n = 12 + 8 + 56 + 12 + 8 + 248;
    for (const Stream& s : m_streams) n += StreamListBytes(s);
    return n;
}

bool AviWriteFile::ReserveHeader() {
    m_headerEnd = 12 + HeaderBytes() + kHeaderSlack;
    PutChunkHeader(MAKEFOURCC('R', 'I', 'F', 'F'), 0);
    PutU32(MAKEFOURCC('A', 'V', 'I', ' '));
    const std::vector<uint8_t> zeros(m_headerEnd - 12, 0);
    return Put(zeros.data(), zeros.size());
}

bool AviWriteFile::StartSegment() {
    if (m_segments > 0) {
        m_riffStart = m_pos;
        PutChunkHeader(MAKEFOURCC('R', 'I', 'F', 'F'), 0);
        PutU32(MAKEFOURCC('A', 'V', 'I', 'X'));
    }
    m_moviStart = m_pos;
    m_segmentFirst = m_entries.size();
    ++m_segments;
    PutChunkHeader(MAKEFOURCC('L', 'I', 'S', 'T'), 0);
    return PutU32(MAKEFOURCC('m', 'o', 'v', 'i'));
}

bool AviWriteFile::WriteStandardIndexes() {
    std::vector<uint8_t> ix;
    for (size_t s = 0; s < m_streams.size(); ++s) {
        ix.clear();
        uint32_t count = 0;
        uint64_t duration = 0;
        const size_t at = OpenChunk(
            ix, MAKEFOURCC('i', 'x', static_cast<char>('0' + s / 10), static_cast<char>('0' + s % 10)));
        Append16(ix, 2);  // longs per entry
        ix.push_back(0);  // sub type
        ix.push_back(1);  // index of chunks
        const size_t countAt = ix.size();
        Append32(ix, 0);
        Append32(ix, m_streams[s].chunkId);
        Append64(ix, m_moviStart);
        Append32(ix, 0);
        for (size_t i = m_segmentFirst; i < m_entries.size(); ++i) {
            const Entry& e = m_entries[i];
            if (e.stream != s) continue;
            Append32(ix, static_cast<uint32_t>(e.offset + 8 - m_moviStart));
            Append32(ix, e.size | ((e.flags & AVIIF_KEYFRAME) ? 0u : 0x80000000u));
            duration += e.samples;
            ++count;
        }
        if (count == 0) continue;
        Patch32(ix, countAt, count);
        CloseChunk(ix, at);
        if (m_streams[s].superIndex.size() >= kSuperEntries) return m_failed = true, false;
        m_streams[s].superIndex.push_back({m_pos, static_cast<uint32_t>(ix.size()), Clamp32(duration)});
        if (!Put(ix.data(), ix.size())) return false;
    }
    return true;
}

bool AviWriteFile::WriteIdx1() {
    std::vector<uint8_t> idx;
    idx.reserve(16 * (m_entries.size() - m_segmentFirst) + 8);
    Append32(idx, MAKEFOURCC('i', 'd', 'x', '1'));
    Append32(idx, static_cast<uint32_t>(16 * (m_entries.size() - m_segmentFirst)));
    for (size_t i = m_segmentFirst; i < m_entries.size(); ++i) {
        const Entry& e = m_entries[i];
        Append32(idx, m_streams[e.stream].chunkId);
        Append32(idx, e.flags & AVIIF_KEYFRAME);
        // Offsets count from the 'movi' type code, as readers expect.
        Append32(idx, static_cast<uint32_t>(e.offset - (m_moviStart + 8)));
        Append32(idx, e.size);
    }
    return Put(idx.data(), idx.size());
}

bool AviWriteFile::EndSegment() {
    if (m_openDml && !WriteStandardIndexes()) return false;
    const uint64_t moviEnd = m_pos;
    if (m_segments == 1) {
        m_firstSegmentEntries = m_entries.size();
        m_firstSegmentFrames = 0;
        for (const Stream& s : m_streams) {
            if (s.info.fccType == streamtypeVIDEO) {
                m_firstSegmentFrames = s.samples;
                break;
            }
        }
        if (!WriteIdx1()) return false;
    }
    const uint64_t riffEnd = m_pos;
    if (!Seek(m_moviStart + 4) || !PutU32(static_cast<uint32_t>(moviEnd - m_moviStart - 8))) return false;
    if (!Seek(m_riffStart + 4) || !PutU32(static_cast<uint32_t>(riffEnd - m_riffStart - 8))) return false;
    return Seek(riffEnd);
}

void AviWriteFile::WriteMainHeader(std::vector<uint8_t>& out) const {
    const Stream* video = nullptr;
    for (const Stream& s : m_streams) {
        if (s.info.fccType == streamtypeVIDEO) {
            video = &s;
            break;
        }
    }
    uint32_t usPerFrame = 0, width = 0, height = 0, frames = 0, largest = 0, bytesPerSec = 0;
    for (const Stream& s : m_streams) largest = std::max(largest, s.largest);
    if (video) {
        if (video->info.dwRate > 0) {
            const double seconds = static_cast<double>(video->info.dwScale) / video->info.dwRate;
            usPerFrame = static_cast<uint32_t>(std::llround(seconds * 1e6));
            if (video->samples > 0)
                bytesPerSec = Clamp32(static_cast<int64_t>(m_chunkBytes / (seconds * video->samples)));
        }
        frames = Clamp32(m_openDml ? m_firstSegmentFrames : video->samples);
        if (video->format.size() >= sizeof(BITMAPINFOHEADER)) {
            BITMAPINFOHEADER bi;
            std::memcpy(&bi, video->format.data(), sizeof bi);
            width = static_cast<uint32_t>(std::abs(bi.biWidth));
            height = static_cast<uint32_t>(std::abs(bi.biHeight));
        } else {
            width = Clamp32(video->info.rcFrame.right - video->info.rcFrame.left);
            height = Clamp32(video->info.rcFrame.bottom - video->info.rcFrame.top);
        }
    }
    const size_t at = OpenChunk(out, MAKEFOURCC('a', 'v', 'i', 'h'));
    for (uint32_t v : {usPerFrame, bytesPerSec, 0u, AVIF_HASINDEX | AVIF_ISINTERLEAVED, frames, 0u,
                       static_cast<uint32_t>(m_streams.size()), largest, width, height, 0u, 0u, 0u, 0u}) {
        Append32(out, v);
    }
    CloseChunk(out, at);
}

void AviWriteFile::WriteStreamList(std::vector<uint8_t>& out, const Stream& s) const {
    const size_t list = OpenChunk(out, MAKEFOURCC('L', 'I', 'S', 'T'), MAKEFOURCC('s', 't', 'r', 'l'));
    const AVISTREAMINFOW& i = s.info;
    const size_t strh = OpenChunk(out, MAKEFOURCC('s', 't', 'r', 'h'));
    for (uint32_t v : {i.fccType, i.fccHandler, i.dwFlags}) Append32(out, v);
    Append16(out, i.wPriority);
    Append16(out, i.wLanguage);
    for (uint32_t v : {i.dwInitialFrames, i.dwScale, i.dwRate, i.dwStart, Clamp32(s.samples), s.largest,
                       i.dwQuality, i.dwSampleSize}) {
        Append32(out, v);
    }
    for (LONG v : {i.rcFrame.left, i.rcFrame.top, i.rcFrame.right, i.rcFrame.bottom}) Append16(out, Short16(v));
    CloseChunk(out, strh);

    const size_t strf = OpenChunk(out, MAKEFOURCC('s', 't', 'r', 'f'));
    Append(out, s.format.data(), s.format.size());
    CloseChunk(out, strf);

    if (m_openDml) {
        const size_t indx = OpenChunk(out, MAKEFOURCC('i', 'n', 'd', 'x'));
        Append16(out, 4);
        out.push_back(0);
        out.push_back(0);  // index of indexes
        Append32(out, static_cast<uint32_t>(s.superIndex.size()));
        Append32(out, s.chunkId);
        for (int k = 0; k < 3; ++k) Append32(out, 0);
        for (uint32_t k = 0; k < kSuperEntries; ++k) {
            const SuperEntry e = k < s.superIndex.size() ? s.superIndex[k] : SuperEntry{0, 0, 0};
            Append64(out, e.offset);
            Append32(out, e.size);
            Append32(out, e.duration);
        }
        CloseChunk(out, indx);
    }
    if (!s.nameUtf8.empty()) {
        const size_t strn = OpenChunk(out, MAKEFOURCC('s', 't', 'r', 'n'));
        Append(out, s.nameUtf8.c_str(), s.nameUtf8.size() + 1);
        CloseChunk(out, strn);
    }
    CloseChunk(out, list);
}

bool AviWriteFile::WriteHeader() {
    std::vector<uint8_t>& out = m_header;
    out.clear();
    const size_t hdrl = OpenChunk(out, MAKEFOURCC('L', 'I', 'S', 'T'), MAKEFOURCC('h', 'd', 'r', 'l'));
    WriteMainHeader(out);
    for (const Stream& s : m_streams) WriteStreamList(out, s);
    if (m_openDml) {
        const size_t odml = OpenChunk(out, MAKEFOURCC('L', 'I', 'S', 'T'), MAKEFOURCC('o', 'd', 'm', 'l'));
        const size_t dmlh = OpenChunk(out, MAKEFOURCC('d', 'm', 'l', 'h'));
        uint32_t frames = 0;
        for (const Stream& s : m_streams) {
            if (s.info.fccType == streamtypeVIDEO) {
                frames = Clamp32(s.samples);
                break;
            }
        }
        Append32(out, frames);
        out.resize(out.size() + 244, 0);
        CloseChunk(out, dmlh);
        CloseChunk(out, odml);
    }
    CloseChunk(out, hdrl);
    const uint64_t room = m_headerEnd - 12;
    if (out.size() > room || (room - out.size() > 0 && room - out.size() < 8)) {
        m_failed = true;  // streams added late did not fit into the reserved header
        return false;
    }
    if (room > out.size()) {
        const size_t junk = OpenChunk(out, MAKEFOURCC('J', 'U', 'N', 'K'));
        out.resize(junk + static_cast<size_t>(room - junk), 0);
        Patch32(out, junk + 4, static_cast<uint32_t>(room - junk - 8));
    }
    return Seek(12) && Put(out.data(), out.size());
}

// Data first, then the header with the counts of that moment. The sizes of RIFF and
// movi stay zero ("to the end of the file") until the finish: data past the checkpoint
// may reach the disk whenever the buffer fills, and readers without an index scan to
// the last whole chunk there is, ffmpeg and ours alike.
bool AviWriteFile::Checkpoint() {
    const uint64_t end = m_pos;
    if (m_failed || std::fflush(m_fp) != 0) return m_failed = true, false;
    if (!WriteHeader() || !Seek(end) || std::fflush(m_fp) != 0) m_failed = true;
    return !m_failed;
}

// Once a second of the video (or of the first stream written, in a file without video),
// counted from its first chunk.
void AviWriteFile::CheckpointWhenDue(int stream) {
    if (m_clock < 0) {
        m_clock = stream;
        for (size_t i = 0; i < m_streams.size(); ++i) {
            if (m_streams[i].info.fccType == streamtypeVIDEO) {
                m_clock = static_cast<int>(i);
                break;
            }
        }
    }
    if (stream != m_clock) return;
    const AVISTREAMINFOW& info = m_streams[stream].info;
    // A stream without a rate is taken as 25 per second.
    const double perSecond = info.dwRate && info.dwScale ? static_cast<double>(info.dwRate) / info.dwScale : 25.0;
    const double seconds = static_cast<double>(m_streams[stream].samples) / perSecond;
    if (seconds < m_nextCheckpoint) return;
    Checkpoint();
    m_nextCheckpoint = std::floor(seconds) + 1;
}

HRESULT AviWriteFile::Finish() {
    if (!m_finished) {
        m_finished = true;
        if (m_headerEnd == 0 && ReserveHeader()) StartSegment();
        EndSegment();
        WriteHeader();
        if (std::fflush(m_fp) != 0 || std::ferror(m_fp)) m_failed = true;
        if (std::fclose(m_fp) != 0) m_failed = true;
        m_fp = nullptr;
        m_entries.clear();
        m_entries.shrink_to_fit();
    }
    return m_failed ? AVIERR_FILEWRITE : AVIERR_OK;
}

HRESULT AviWriteFile::Info(AVIFILEINFOW* info, LONG size) {
    AVIFILEINFOW fi{};
    fi.dwStreams = static_cast<DWORD>(m_streams.size());
    fi.dwCaps = AVIFILECAPS_CANWRITE;
    for (const Stream& s : m_streams) {
        fi.dwSuggestedBufferSize = std::max(fi.dwSuggestedBufferSize, s.largest);
        if (s.info.fccType == streamtypeVIDEO && fi.dwRate == 0) {
            fi.dwScale = s.info.dwScale;
            fi.dwRate = s.info.dwRate;
            fi.dwLength = Clamp32(s.samples);
            fi.dwWidth = Clamp32(s.info.rcFrame.right - s.info.rcFrame.left);
            fi.dwHeight = Clamp32(s.info.rcFrame.bottom - s.info.rcFrame.top);
        }
    }
    std::memcpy(info, &fi, std::min<size_t>(sizeof fi, static_cast<size_t>(size)));
    return AVIERR_OK;
}

HRESULT AviWriteFile::GetStream(AviStream** stream, DWORD fccType, LONG param) {
    LONG seen = 0;
    for (size_t i = 0; i < m_streams.size(); ++i) {
        if (fccType != 0 && m_streams[i].info.fccType != fccType) continue;
        if (seen++ == param) {
            *stream = new AviWriteStream(this, static_cast<int>(i));
            return AVIERR_OK;
        }
    }
    return AVIERR_NODATA;
}

HRESULT AviWriteFile::CreateStream(AviStream** stream, const AVISTREAMINFOW* info) {
    if (m_finished) return AVIERR_READONLY;
    if (m_streams.size() >= kMaxStreams) return AVIERR_UNSUPPORTED;
    Stream s;
    s.info = *info;
    s.info.dwLength = 0;
    s.nameUtf8 = NameUtf8(s.info);
    const size_t n = m_streams.size();
    s.chunkId = info->fccType == streamtypeAUDIO  ? TwoDigitId(n, 'w', 'b')
                : info->fccType == streamtypeTEXT ? TwoDigitId(n, 't', 'x')
                                                  : TwoDigitId(n, 'd', 'c');
    m_streams.push_back(std::move(s));
    *stream = new AviWriteStream(this, static_cast<int>(n));
    return AVIERR_OK;
}

HRESULT AviWriteFile::StreamInfo(int stream, AVISTREAMINFOW* info, LONG size) const {
    AVISTREAMINFOW i = m_streams[stream].info;
    i.dwLength = Clamp32(m_streams[stream].samples);
    i.dwSuggestedBufferSize = std::max(i.dwSuggestedBufferSize, m_streams[stream].largest);
    std::memcpy(info, &i, std::min<size_t>(sizeof i, static_cast<size_t>(size)));
    return AVIERR_OK;
}

HRESULT AviWriteFile::StreamSetFormat(int stream, const void* format, LONG size) {
    Stream& s = m_streams[stream];
    if (m_finished || s.samples > 0) return AVIERR_UNSUPPORTED;
    if (size <= 0 || size > kMaxFormatBytes) return AVIERR_BADSIZE;
    const auto* p = static_cast<const uint8_t*>(format);
    s.format.assign(p, p + size);
    if (s.info.fccType == streamtypeVIDEO && static_cast<size_t>(size) >= sizeof(BITMAPINFOHEADER)) {
        BITMAPINFOHEADER bi;
        std::memcpy(&bi, format, sizeof bi);
        // Uncompressed frames are 'db' chunks, everything else 'dc'.
        s.chunkId = TwoDigitId(stream, 'd', bi.biCompression == BI_RGB ? 'b' : 'c');
    }
    return AVIERR_OK;
}

HRESULT AviWriteFile::StreamReadFormat(int stream, void* format, LONG* size) const {
    const std::vector<uint8_t>& f = m_streams[stream].format;
    if (f.empty()) return AVIERR_NODATA;
    if (format) {
        if (*size < static_cast<LONG>(f.size())) return AVIERR_BUFFERTOOSMALL;
        std::memcpy(format, f.data(), f.size());
    }
    *size = static_cast<LONG>(f.size());
    return AVIERR_OK;
}

HRESULT AviWriteFile::StreamWrite(int stream, LONG samples, const void* data, LONG bytes, DWORD flags) {
    if (m_finished || m_failed) return AVIERR_FILEWRITE;
    if (samples < 0 || bytes < 0) return AVIERR_BADPARAM;
    // The header list goes out with the first chunk, its counts still zero and the
    // sizes of RIFF and movi zero ("to the end of the file"); the close brings them up
    // to date. A run killed before the close so leaves a file that is read up to its
    // last complete chunk, not one with nothing but zeros before the frames.
    if (m_headerEnd == 0 && !(ReserveHeader() && WriteHeader() && StartSegment())) return AVIERR_FILEWRITE;
    const uint64_t chunk = 8 + Even(static_cast<uint64_t>(bytes));
    const uint64_t segmentEntries = m_entries.size() - m_segmentFirst + 1;
    const uint64_t indexes = segmentEntries * 24 + m_streams.size() * 40 + 8;
    if (segmentEntries > 1 && m_pos - m_riffStart + chunk + indexes > kRiffLimit) {
        m_openDml = true;
        if (!EndSegment() || !StartSegment()) return AVIERR_FILEWRITE;
    }
    Stream& s = m_streams[stream];
    m_entries.push_back({m_pos, static_cast<uint32_t>(bytes), flags, static_cast<uint32_t>(stream),
                         static_cast<uint32_t>(samples)});
    const uint8_t pad = 0;
    if (!PutChunkHeader(s.chunkId, static_cast<uint32_t>(bytes)) || !Put(data, static_cast<size_t>(bytes)) ||
        ((bytes & 1) && !Put(&pad, 1))) {
        return AVIERR_FILEWRITE;
    }
    s.samples += samples;
    s.largest = std::max(s.largest, static_cast<uint32_t>(bytes));
    m_chunkBytes += static_cast<uint64_t>(bytes);
    CheckpointWhenDue(stream);
    return m_failed ? AVIERR_FILEWRITE : AVIERR_OK;
}

LONG AviWriteFile::StreamLength(int stream) const {
    return static_cast<LONG>(std::min<int64_t>(m_streams[stream].samples, INT32_MAX));
}

AviWriteStream::AviWriteStream(AviWriteFile* file, int index) : m_file(file), m_index(index) {
    m_file->AddRef();
}

AviWriteStream::~AviWriteStream() { m_file->Release(); }

HRESULT AviWriteStream::Info(AVISTREAMINFOW* info, LONG size) { return m_file->StreamInfo(m_index, info, size); }

LONG AviWriteStream::FindSample(LONG pos, LONG) { return pos >= 0 && pos < Length() ? pos : -1; }

HRESULT AviWriteStream::ReadFormat(LONG, void* format, LONG* size) {
    return m_file->StreamReadFormat(m_index, format, size);
}

HRESULT AviWriteStream::Read(LONG, LONG, void*, LONG, LONG*, LONG*) { return AVIERR_UNSUPPORTED; }

LONG AviWriteStream::Length() { return m_file->StreamLength(m_index); }

HRESULT AviWriteStream::SetFormat(LONG, const void* format, LONG size) {
    return m_file->StreamSetFormat(m_index, format, size);
}

// Samples are appended in order: the start position only documents the caller's intent.
HRESULT AviWriteStream::Write(LONG, LONG samples, const void* buffer, LONG bytes, DWORD flags,
                              LONG* samplesWritten, LONG* bytesWritten) {
    const HRESULT hr = m_file->StreamWrite(m_index, samples, buffer, bytes, flags);
    *samplesWritten = SUCCEEDED(hr) ? samples : 0;
    *bytesWritten = SUCCEEDED(hr) ? bytes : 0;
    return hr;
}

}  // namespace talvern::avifile

HRESULT AviOpenFileForWriting(PAVIFILE* file, const wchar_t* path, UINT) {
    talvern::avifile::AviWriteFile* f = nullptr;
    const HRESULT hr = talvern::avifile::AviWriteFile::Create(WideToUtf8(path), &f);
    *file = f;
    return hr;
}

HRESULT AviFileFinishWriting(PAVIFILE file) {
    auto* writer = dynamic_cast<talvern::avifile::AviWriteFile*>(file);
    return writer ? writer->Finish() : AVIERR_OK;
}
