#include "writers/WavACM.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kTargetBlockBytes = 256;
constexpr DWORD kNoLimit = 0xFFFFFFFFu;

bool IsPcm(const WAVEFORMATEX* f) { return f && f->wFormatTag == WAVE_FORMAT_PCM; }

void ResetHeader(ACMSTREAMHEADER& h) {
    h = ACMSTREAMHEADER{};
    h.cbStruct = sizeof(ACMSTREAMHEADER);
}

}  // namespace

bool CWavACM::Block::Allocate(DWORD n) {
    Free();
    handle = GlobalAlloc(GMEM_FIXED, n);
    bytes = static_cast<BYTE*>(GlobalLock(handle));
    size = handle ? n : 0;
    return handle != nullptr;
}

void CWavACM::Block::Free() {
    if (handle) GlobalFree(handle);
    handle = nullptr;
    bytes = nullptr;
    size = 0;
}

CWavACM::CWavACM() { Clear(); }

CWavACM::~CWavACM() { Clear(); }

void CWavACM::Clear() {
    m_staging.Free();
    m_output.Free();
    m_compressed.Free();
    m_pcm.Free();
    if (m_intermediate) m_intermediate = GlobalFree(m_intermediate);
    ResetHeader(m_mainHeader);
    ResetHeader(m_firstHeader);
    if (m_first) acmStreamClose(m_first, 0);
    if (m_main) acmStreamClose(m_main, 0);
    m_first = m_main = nullptr;
    if (m_target) m_target = GlobalFree(m_target);
    m_inputBytes = 0;
    m_bytesDone = 0;
    m_codecInputBytes = 0;
    m_readLimit = kNoLimit;
    m_stagingFill = 0;
    m_partialFrame.clear();
    m_compressedHeld = m_compressedUsed = 0;
    m_pcmHeld = m_pcmOffset = 0;
    m_readFinished = false;
}

void CWavACM::SetSourceFormat(const WAVEFORMATEX* f) {
    if (f)
        std::memcpy(&m_source, f, sizeof m_source);
    else
        m_source = WAVEFORMATEX{};
}

void CWavACM::SetPCMFormat(int rate, int bits, int channels) {
    m_source.wFormatTag = WAVE_FORMAT_PCM;
    m_source.nChannels = static_cast<WORD>(channels);
    m_source.nSamplesPerSec = static_cast<DWORD>(rate);
    m_source.wBitsPerSample = static_cast<WORD>(bits);
    m_source.nBlockAlign = static_cast<WORD>(channels * (bits / 8));
    m_source.nAvgBytesPerSec = static_cast<DWORD>(m_source.nBlockAlign) * static_cast<DWORD>(rate);
    m_source.cbSize = 0;
}

WAVEFORMATEX* CWavACM::Target() const { return static_cast<WAVEFORMATEX*>(GlobalLock(m_target)); }

void CWavACM::SetTargetFormat(const WAVEFORMATEX* f) {
    if (m_target) m_target = GlobalFree(m_target);
    if (!f) return;
    // The whole format is kept, however many extra bytes it has.
    const size_t whole = sizeof(WAVEFORMATEX) + f->cbSize;
    m_target = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, std::max(whole, kTargetBlockBytes));
    if (m_target) std::memcpy(Target(), f, whole);
}

WAVEFORMATEX* CWavACM::GetTargetFormat() { return m_target ? Target() : &m_source; }

int CWavACM::GetTargetFormatSize() {
    const WAVEFORMATEX* t = m_target ? Target() : nullptr;
    if (!t || IsPcm(t)) return static_cast<int>(sizeof(PCMWAVEFORMAT));
    return static_cast<int>(sizeof(WAVEFORMATEX)) + t->cbSize;
}

int CWavACM::GetMaxFormatSize() {
    DWORD size = 0;
    if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &size) != MMSYSERR_NOERROR || size == 0) return 256;
    return static_cast<int>(size);
}

BOOL CWavACM::ChooseFormat(HWND owner) {
    const DWORD max = static_cast<DWORD>(GetMaxFormatSize());
    if (!m_target || Target()->wFormatTag == WAVE_FORMAT_UNKNOWN) {
        if (m_target) m_target = GlobalFree(m_target);
        m_target = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, max);
        if (!m_target) return FALSE;
        std::memcpy(Target(), &m_source, sizeof m_source);
    } else if (GlobalSize(m_target) < max) {
        // The chooser may write max bytes: give it a block that large.
        HGLOBAL larger = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, max);
        if (!larger) return FALSE;
        std::memcpy(GlobalLock(larger), Target(), GlobalSize(m_target));
        GlobalFree(m_target);
        m_target = larger;
    }
    ACMFORMATCHOOSEW choose{};
    choose.cbStruct = sizeof choose;
    if (Target()->wFormatTag != WAVE_FORMAT_UNKNOWN) choose.fdwStyle = ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT;
    choose.hwndOwner = owner;
    choose.pwfx = Target();
    choose.cbwfx = max;
    // Offer only what the source can become.
    choose.fdwEnum = ACM_FORMATENUMF_CONVERT;
    choose.pwfxEnum = &m_source;
    if (acmFormatChooseW(&choose) != MMSYSERR_NOERROR) return FALSE;
    WAVEFORMATEX* t = Target();
    // A choice announcing more extra bytes than its block holds would be read past its end.
    if (t->wFormatTag == WAVE_FORMAT_UNKNOWN ||
        (!IsPcm(t) && sizeof(WAVEFORMATEX) + t->cbSize > GlobalSize(m_target))) {
        m_target = GlobalFree(m_target);
        return FALSE;
    }
    if (IsPcm(t)) t->cbSize = 0;
    return TRUE;
}

// ---------------------------------------------------------------------------
// Writing

BOOL CWavACM::PrepareWriteFormats() {
    m_bytesDone = 0;
    m_codecInputBytes = 0;
    if (!m_target) return IsPcm(&m_source) ? TRUE : FALSE;
    WAVEFORMATEX* t = Target();
    if (IsPcm(&m_source) && !IsPcm(t)) {
        if (!m_intermediate) m_intermediate = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(WAVEFORMATEX));
        if (!m_intermediate) return FALSE;
        auto* mid = static_cast<WAVEFORMATEX*>(GlobalLock(m_intermediate));
        mid->wFormatTag = WAVE_FORMAT_PCM;
        mid->cbSize = 0;
        if (acmFormatSuggest(nullptr, t, mid, sizeof(WAVEFORMATEX), ACM_FORMATSUGGESTF_WFORMATTAG) !=
            MMSYSERR_NOERROR)
            return FALSE;
        if (std::memcmp(mid, &m_source, sizeof m_source) == 0) m_intermediate = GlobalFree(m_intermediate);
        return TRUE;
    }
    if (IsPcm(&m_source) && IsPcm(t)) {
        t->cbSize = 0;
        WAVEFORMATEX source = m_source;
        source.cbSize = 0;
        if (std::memcmp(t, &source, sizeof source) == 0) m_target = GlobalFree(m_target);
        return TRUE;
    }
    if (IsPcm(t)) {
        std::memcpy(&m_source, t, sizeof m_source);
        m_source.cbSize = 0;
        m_target = GlobalFree(m_target);
        return TRUE;
    }
    WAVEFORMATEX suggestion{};
    suggestion.wFormatTag = WAVE_FORMAT_PCM;
    if (acmFormatSuggest(nullptr, t, &suggestion, sizeof suggestion, ACM_FORMATSUGGESTF_WFORMATTAG) !=
        MMSYSERR_NOERROR)
        return FALSE;
    m_source = suggestion;
    m_source.cbSize = 0;
    return TRUE;
}

BOOL CWavACM::OpenWriteStreams() {
    const WAVEFORMATEX* t = m_target ? Target() : nullptr;
    if (!t || t->nBlockAlign == 0 || m_source.nBlockAlign == 0) return FALSE;
    // Whole target blocks; a block larger than the usual buffer gets a buffer of one block.
    DWORD outputBytes = kWriteOutputBytes - kWriteOutputBytes % t->nBlockAlign;
    if (outputBytes == 0) outputBytes = t->nBlockAlign;
    if (!m_output.Allocate(outputBytes)) return FALSE;
    const WAVEFORMATEX* mid = static_cast<const WAVEFORMATEX*>(GlobalLock(m_intermediate));
    if (mid) {
        if (acmStreamOpen(&m_first, nullptr, &m_source, mid, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) !=
            MMSYSERR_NOERROR)
            return FALSE;
        if (acmStreamOpen(&m_main, nullptr, mid, t, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) !=
            MMSYSERR_NOERROR)
            return FALSE;
    } else if (acmStreamOpen(&m_main, nullptr, &m_source, t, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) !=
               MMSYSERR_NOERROR) {
        return FALSE;
    }
    DWORD stagingBytes = 0;
    if (acmStreamSize(m_main, outputBytes, &stagingBytes, ACM_STREAMSIZEF_DESTINATION) != MMSYSERR_NOERROR)
        return FALSE;
    const DWORD stagingBlock = mid ? mid->nBlockAlign : m_source.nBlockAlign;
    stagingBytes = std::max(stagingBytes - stagingBytes % stagingBlock, stagingBlock);
    if (!m_staging.Allocate(stagingBytes)) return FALSE;
    m_stagingFill = 0;
    return TRUE;
}

bool CWavACM::Convert(HACMSTREAM stream, ACMSTREAMHEADER& h, const BYTE* src, DWORD srcLength, BYTE* dst,
                      DWORD dstLength, DWORD flags) {
    ResetHeader(h);
    h.pbSrc = const_cast<BYTE*>(src);
    h.cbSrcLength = srcLength;
    h.pbDst = dst;
    h.cbDstLength = dstLength;
    if (acmStreamPrepareHeader(stream, &h, 0) != MMSYSERR_NOERROR) return false;
    const bool converted = acmStreamConvert(stream, &h, flags) == MMSYSERR_NOERROR;
    const bool unprepared = acmStreamUnprepareHeader(stream, &h, 0) == MMSYSERR_NOERROR;
    return converted && unprepared;
}

bool CWavACM::HandOn(const BYTE* data, DWORD bytes, WriteCallback callback, void* user) {
    if (bytes == 0) return true;
    const int taken = callback(data, static_cast<int>(bytes), user);
    if (taken == -1) return false;
    m_bytesDone += static_cast<DWORD>(taken);
    return true;
}

// Converts the staging buffer through the main stream; what it did not take moves to the front.
bool CWavACM::ConvertStaging(DWORD flags, WriteCallback callback, void* user) {
    if (!Convert(m_main, m_mainHeader, m_staging.bytes, m_stagingFill, m_output.bytes, m_output.size, flags))
        return false;
    const DWORD used = std::min(m_mainHeader.cbSrcLengthUsed, m_stagingFill);
    m_codecInputBytes += used;
    std::memmove(m_staging.bytes, m_staging.bytes + used, m_stagingFill - used);
    m_stagingFill -= used;
    return HandOn(m_output.bytes, m_mainHeader.cbDstLengthUsed, callback, user);
}

int CWavACM::Write(const void* data, int bytes, WriteCallback callback, void* user) {
    m_inputBytes += bytes;
    if (bytes <= 0) return 0;
    const auto* in = static_cast<const BYTE*>(data);
    if (!m_main) {
        const int taken = callback(in, bytes, user);
        if (taken == -1) return -1;
        m_bytesDone += static_cast<DWORD>(taken);
        return taken;
    }
    if (m_staging.size == 0 || m_output.size == 0) return -1;  // streams opened without their buffers
    return m_first ? WriteTwoStages(in, bytes, callback, user) : WriteOneStage(in, bytes, callback, user);
}

int CWavACM::WriteOneStage(const BYTE* data, int bytes, WriteCallback callback, void* user) {
    DWORD taken = 0;
    const DWORD total = static_cast<DWORD>(bytes);
    while (taken < total) {
        const DWORD room = m_staging.size - m_stagingFill;
        const DWORD remain = total - taken;
        if (remain < room) {
            std::memcpy(m_staging.bytes + m_stagingFill, data + taken, remain);
            m_stagingFill += remain;
            return bytes;
        }
        if (m_stagingFill > 0) {
            std::memcpy(m_staging.bytes + m_stagingFill, data + taken, room);
            m_stagingFill += room;
            taken += room;
            if (!ConvertStaging(ACM_STREAMCONVERTF_BLOCKALIGN, callback, user)) return -1;
            continue;
        }
        // Nothing staged: a whole buffer's worth converts straight from the caller's data.
        if (!Convert(m_main, m_mainHeader, data + taken, m_staging.size, m_output.bytes, m_output.size,
                     ACM_STREAMCONVERTF_BLOCKALIGN))
            return -1;
        const DWORD used = std::min(m_mainHeader.cbSrcLengthUsed, m_staging.size);
        taken += used;
        m_codecInputBytes += used;
        if (!HandOn(m_output.bytes, m_mainHeader.cbDstLengthUsed, callback, user)) return -1;
    }
    return bytes;
}

// The first stage converts source PCM into the staging buffer's free room.
bool CWavACM::FeedFirstStage(const BYTE* src, DWORD length, DWORD flags, DWORD* consumed) {
    if (!Convert(m_first, m_firstHeader, src, length, m_staging.bytes + m_stagingFill,
                 m_staging.size - m_stagingFill, flags))
        return false;
    m_stagingFill += m_firstHeader.cbDstLengthUsed;
    *consumed = std::min(m_firstHeader.cbSrcLengthUsed, length);
    return true;
}

int CWavACM::WriteTwoStages(const BYTE* data, int bytes, WriteCallback callback, void* user) {
    const DWORD frame = m_source.nBlockAlign;
    const DWORD midBlock = static_cast<const WAVEFORMATEX*>(GlobalLock(m_intermediate))->nBlockAlign;
    const DWORD total = static_cast<DWORD>(bytes);
    DWORD taken = 0;
    for (;;) {
        const BYTE* src;
        DWORD length;
        const bool fromPartial = !m_partialFrame.empty();
        if (fromPartial) {
            // Bytes of a sample frame split between calls are joined before they convert.
            const DWORD n = std::min<DWORD>(frame - static_cast<DWORD>(m_partialFrame.size()), total - taken);
            m_partialFrame.insert(m_partialFrame.end(), data + taken, data + taken + n);
            taken += n;
            if (m_partialFrame.size() < frame) return bytes;
            src = m_partialFrame.data();
            length = frame;
        } else {
            const DWORD remain = total - taken;
            if (remain == 0) return bytes;
            DWORD need = SourceBytesFor(m_first, m_staging.size - m_stagingFill);
            length = std::min(remain, std::max(need, frame));
            length -= length % frame;
            if (length == 0) {
                m_partialFrame.assign(data + taken, data + total);
                return bytes;
            }
            src = data + taken;
        }
        DWORD consumed = 0;
        const DWORD before = m_stagingFill;
        if (!FeedFirstStage(src, length, ACM_STREAMCONVERTF_BLOCKALIGN, &consumed)) return -1;
        if (fromPartial) {
            if (consumed == length) m_partialFrame.clear();
        } else {
            taken += consumed;
        }
        const bool stuck = consumed == 0 && m_stagingFill == before;
        if (stuck || m_staging.size - m_stagingFill < midBlock) {
            if (!ConvertStaging(ACM_STREAMCONVERTF_BLOCKALIGN, callback, user)) return -1;
            if (stuck && m_mainHeader.cbSrcLengthUsed == 0 && m_mainHeader.cbDstLengthUsed == 0) return -1;
        }
    }
}

DWORD CWavACM::SourceBytesFor(HACMSTREAM stream, DWORD outputBytes) const {
    DWORD n = 0;
    if (acmStreamSize(stream, outputBytes, &n, ACM_STREAMSIZEF_DESTINATION) != MMSYSERR_NOERROR) return 0;
    return n;
}

int CWavACM::WriteUnconverted(const void* data, int bytes, WriteCallback callback, void* user) {
    if (bytes <= 0) return 0;
    const int taken = callback(data, bytes, user);
    if (taken != -1) m_bytesDone += static_cast<DWORD>(taken);
    return taken;
}

// Ends the first stage: what its resampler still holds goes into the staging buffer,
// the main stage making room whenever the buffer is full.
bool CWavACM::DrainFirstStage(WriteCallback callback, void* user) {
    const DWORD midBlock = static_cast<const WAVEFORMATEX*>(GlobalLock(m_intermediate))->nBlockAlign;
    for (;;) {
        if (m_staging.size - m_stagingFill < midBlock) {
            if (!ConvertStaging(ACM_STREAMCONVERTF_BLOCKALIGN, callback, user)) return false;
            continue;
        }
        DWORD consumed = 0;
        const DWORD before = m_stagingFill;
        if (!FeedFirstStage(nullptr, 0, 0, &consumed)) return false;
        if (m_stagingFill == before) return true;  // there was room and nothing came
    }
}

BOOL CWavACM::Flush(WriteCallback callback, void* user) {
    if (!m_main) return TRUE;
    // A stream never fed (the copy path keeps one only for its sizes) has nothing to end.
    if (m_inputBytes == 0 && m_stagingFill == 0) return TRUE;
    if (m_first && !DrainFirstStage(callback, user)) return FALSE;
    // The final conversion repeats until the codec has given up all it delayed.
    for (;;) {
        const DWORD before = m_stagingFill;
        if (!ConvertStaging(0, callback, user)) return FALSE;
        if (m_mainHeader.cbDstLengthUsed == 0 && m_stagingFill == 0) return TRUE;
        if (m_mainHeader.cbDstLengthUsed == 0 && m_stagingFill == before) return FALSE;
    }
}

// Sample frames of the output, at its own rate: what a reader divides by the rate for
// the length. An encoder pads its last block or frame; the padding is no part of it.
int CWavACM::GetSampleCount() {
    if (m_source.nBlockAlign == 0) return 0;
    if (!m_main) return static_cast<int>(m_bytesDone / m_source.nBlockAlign);
    const WAVEFORMATEX* t = Target();
    if (IsPcm(t)) return t->nBlockAlign ? static_cast<int>(m_bytesDone / t->nBlockAlign) : 0;
    if (m_inputBytes > 0) {
        // The encoder takes PCM at the output's rate: the first stage's, or the source itself.
        const auto* mid = static_cast<const WAVEFORMATEX*>(GlobalLock(m_intermediate));
        const DWORD frame = m_first && mid ? mid->nBlockAlign : m_source.nBlockAlign;
        return frame ? static_cast<int>(m_codecInputBytes / frame) : 0;
    }
    // Copied without conversion: the stream's own sizes tell how much PCM the bytes hold.
    return static_cast<int>(SourceBytesFor(m_main, m_bytesDone) / m_source.nBlockAlign);
}

// ---------------------------------------------------------------------------
// Reading

BOOL CWavACM::OpenReadStream() {
    if (IsPcm(&m_source)) {
        m_source.cbSize = 0;
        return TRUE;
    }
    const WAVEFORMATEX* compressed = m_target ? Target() : nullptr;
    if (!compressed || compressed->nBlockAlign == 0) return FALSE;
    // The source becomes the PCM only once the stream is open: until then Read must not
    // take the compressed bytes for PCM.
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    if (acmFormatSuggest(nullptr, compressed, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG) != MMSYSERR_NOERROR)
        return FALSE;
    pcm.cbSize = 0;
    if (acmStreamOpen(&m_main, nullptr, compressed, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) !=
        MMSYSERR_NOERROR)
        return FALSE;
    DWORD capacity = kReadInputBytes - kReadInputBytes % compressed->nBlockAlign;
    if (capacity == 0) capacity = compressed->nBlockAlign;
    DWORD pcmBytes = 0;
    const bool sized = acmStreamSize(m_main, capacity, &pcmBytes, ACM_STREAMSIZEF_SOURCE) == MMSYSERR_NOERROR &&
                       pcmBytes > 0 && pcmBytes <= 0xFFFFFFFFu - 4096;
    pcmBytes = (pcmBytes + 4095) / 4096 * 4096;
    if (!sized || !m_compressed.Allocate(capacity) || !m_pcm.Allocate(pcmBytes)) {
        // Without its buffers the stream must not stay: Read would convert into nothing.
        acmStreamClose(m_main, 0);
        m_main = nullptr;
        return FALSE;
    }
    m_compressedHeld = m_compressedUsed = 0;
    m_pcmHeld = m_pcmOffset = 0;
    m_readFinished = false;
    m_source = pcm;
    return TRUE;
}

int CWavACM::Read(void* buffer, int bytes, ReadCallback callback, void* user) {
    if (bytes <= 0) return 0;
    if (m_main) return ReadDecoded(static_cast<BYTE*>(buffer), bytes, callback, user);
    // Without a decoding stream only PCM passes; anything else has nothing to deliver.
    if (!IsPcm(&m_source)) return 0;
    DWORD want = static_cast<DWORD>(bytes);
    if (m_readLimit != kNoLimit) want = std::min(want, m_readLimit > m_bytesDone ? m_readLimit - m_bytesDone : 0);
    if (want == 0) return 0;
    const int got = callback(buffer, static_cast<int>(want), user);
    if (got == -1) return -1;
    m_bytesDone += static_cast<DWORD>(got);
    return got;
}

// Moves the unconverted tail to the front and asks the source for the free room.
// *last is set when the source has nothing more (or the read limit is reached).
bool CWavACM::Refill(ReadCallback callback, void* user, bool* last) {
    const DWORD tail = m_compressedHeld - std::min(m_compressedUsed, m_compressedHeld);
    std::memmove(m_compressed.bytes, m_compressed.bytes + (m_compressedHeld - tail), tail);
    m_compressedHeld = tail;
    m_compressedUsed = 0;
    DWORD want = m_compressed.size - tail;
    bool limited = false;
    if (m_readLimit != kNoLimit) {
        const DWORD left = m_readLimit > m_bytesDone ? m_readLimit - m_bytesDone : 0;
        if (left <= want) {
            want = left;
            limited = true;
        }
    }
    int got = 0;
    if (want > 0) {
        got = callback(m_compressed.bytes + tail, static_cast<int>(want), user);
        if (got == -1) return false;
        got = std::clamp(got, 0, static_cast<int>(want));
    }
    m_bytesDone += static_cast<DWORD>(got);
    m_compressedHeld += static_cast<DWORD>(got);
    *last = (got == 0 && want > 0) || (limited && static_cast<DWORD>(got) == want);
    return true;
}

int CWavACM::ReadDecoded(BYTE* buffer, int bytes, ReadCallback callback, void* user) {
    const DWORD total = static_cast<DWORD>(bytes);
    DWORD delivered = 0;
    for (;;) {
        if (m_pcmHeld > 0) {
            const DWORD n = std::min(m_pcmHeld, total - delivered);
            std::memcpy(buffer + delivered, m_pcm.bytes + m_pcmOffset, n);
            delivered += n;
            m_pcmOffset += n;
            m_pcmHeld -= n;
            if (delivered == total) return static_cast<int>(delivered);
        }
        const bool direct = total - delivered >= m_pcm.size;
        BYTE* dst = direct ? buffer + delivered : m_pcm.bytes;
        const DWORD room = direct ? total - delivered : m_pcm.size;
        DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN;
        if (m_readFinished) {
            // The stream has ended; only output the codec still holds comes out.
            if (!Convert(m_main, m_mainHeader, nullptr, 0, dst, room, 0)) return -1;
            if (m_mainHeader.cbDstLengthUsed == 0) return static_cast<int>(delivered);
        } else {
            bool last = false;
            if (!Refill(callback, user, &last)) return -1;
            if (last) flags = 0;
            if (!Convert(m_main, m_mainHeader, m_compressed.bytes, m_compressedHeld, dst, room, flags)) return -1;
            m_compressedUsed = m_mainHeader.cbSrcLengthUsed;
            m_readFinished = last;
        }
        if (direct) {
            delivered += m_mainHeader.cbDstLengthUsed;
            if (delivered == total) return static_cast<int>(delivered);
        } else {
            m_pcmHeld = m_mainHeader.cbDstLengthUsed;
            m_pcmOffset = 0;
        }
    }
}
