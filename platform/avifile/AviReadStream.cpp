#include "platform/avifile/AviReadStream.h"

#include <algorithm>
#include <climits>
#include <cstring>

AviReadStream::AviReadStream(std::shared_ptr<AviFileSource> source, AviStreamHeader header)
    : m_source(std::move(source)), m_header(std::move(header)) {
    // Video is one chunk per frame even when a writer filled in a sample size.
    if (m_header.info.fccType != streamtypeVIDEO) m_sampleSize = m_header.info.dwSampleSize;
    int64_t length = 0;
    if (FixedSize()) {
        m_chunkStart.reserve(m_header.index.size());
        for (const AviIndexEntry& e : m_header.index) {
            m_chunkStart.push_back(length);
            length += e.size / m_sampleSize;
        }
    } else {
        for (size_t i = 0; i < m_header.index.size() && i < size_t(LONG_MAX); ++i)
            if (m_header.index[i].key) m_keys.push_back(LONG(i));
        length = int64_t(m_header.index.size());
    }
    // The index is what can be read; a header that undercounts (or a file cut
    // short) does not decide the length.
    m_length = LONG(std::min<int64_t>(length, LONG_MAX));
    m_header.info.dwLength = DWORD(m_length);
}

HRESULT AviReadStream::Info(AVISTREAMINFOW* info, LONG size) {
    std::memset(info, 0, size_t(size));
    std::memcpy(info, &m_header.info, std::min<size_t>(size_t(size), sizeof(AVISTREAMINFOW)));
    return AVIERR_OK;
}

HRESULT AviReadStream::ReadFormat(LONG, void* format, LONG* size) {
    const LONG have = LONG(m_header.format.size());
    if (format) {
        if (*size < 0) return AVIERR_BADPARAM;
        const LONG n = std::min(*size, have);
        if (n > 0) std::memcpy(format, m_header.format.data(), size_t(n));
    }
    *size = have;
    return AVIERR_OK;
}

size_t AviReadStream::ChunkOfSample(int64_t sample) const {
    const auto it = std::upper_bound(m_chunkStart.begin(), m_chunkStart.end(), sample);
    return size_t(it - m_chunkStart.begin()) - 1;
}

LONG AviReadStream::FindKey(LONG pos, bool forward) const {
    if (forward) {
        const auto it = std::lower_bound(m_keys.begin(), m_keys.end(), pos);
        return it == m_keys.end() ? -1 : *it;
    }
    const auto it = std::upper_bound(m_keys.begin(), m_keys.end(), pos);
    return it == m_keys.begin() ? -1 : *(it - 1);
}

LONG AviReadStream::FindSample(LONG pos, LONG flags) {
    if (m_length == 0) return -1;
    const bool forward = (flags & FIND_NEXT) != 0;
    if (pos < 0) {
        if (!forward) return -1;
        pos = 0;
    }
    if (pos >= m_length) {
        if (forward) return -1;
        pos = m_length - 1;
    }
    // Every sample of a fixed-size stream can start a read; so can any sample
    // when FIND_ANY or FIND_FORMAT (one format for the whole stream) is asked for.
    if (!(flags & FIND_KEY) || FixedSize()) {
        if (flags & FIND_FORMAT) return forward ? (pos == 0 ? 0 : -1) : 0;
        return pos;
    }
    return FindKey(pos, forward);
}

HRESULT AviReadStream::Read(LONG start, LONG samples, void* buffer, LONG bufferBytes,
                            LONG* bytesRead, LONG* samplesRead) {
    *bytesRead = 0;
    *samplesRead = 0;
    if (start < 0) return AVIERR_BADPARAM;
    if (start >= m_length) return AVIERR_OK;  // past the end: nothing more to read
    if (FixedSize()) return ReadFixed(start, samples, buffer, bufferBytes, bytesRead, samplesRead);
    return ReadVariable(start, buffer, bufferBytes, bytesRead, samplesRead);
}

HRESULT AviReadStream::ReadVariable(LONG start, void* buffer, LONG bufferBytes, LONG* bytesRead,
                                    LONG* samplesRead) {
    const AviIndexEntry& e = m_header.index[size_t(start)];
    *bytesRead = LONG(e.size);
    *samplesRead = 1;
    if (!buffer) return AVIERR_OK;
    if (LONG(e.size) > bufferBytes) return AVIERR_BUFFERTOOSMALL;
    if (e.size > 0 && !m_source->ReadAt(e.offset, buffer, e.size)) {
        *bytesRead = 0;
        *samplesRead = 0;
        return AVIERR_FILEREAD;
    }
    return AVIERR_OK;
}

HRESULT AviReadStream::ReadFixed(LONG start, LONG samples, void* buffer, LONG bufferBytes,
                                 LONG* bytesRead, LONG* samplesRead) {
    size_t chunk = ChunkOfSample(start);
    int64_t want;
    if (samples > 0) {
        want = std::min<int64_t>(samples, m_length - start);
    } else if (!buffer) {
        // A size query of a convenient read: the rest of the chunk holding `start`.
        want = m_header.index[chunk].size / m_sampleSize - (start - m_chunkStart[chunk]);
    } else {
        want = m_length - start;
    }
    if (buffer) want = std::min<int64_t>(want, bufferBytes / m_sampleSize);
    want = std::min<int64_t>(want, LONG_MAX / m_sampleSize);
    if (buffer && want == 0) return AVIERR_BUFFERTOOSMALL;
    if (!buffer) {
        *samplesRead = LONG(want);
        *bytesRead = LONG(want * m_sampleSize);
        return AVIERR_OK;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t sample = start;
    int64_t left = want;
    while (left > 0 && chunk < m_header.index.size()) {
        const AviIndexEntry& e = m_header.index[chunk];
        const int64_t inChunk = e.size / m_sampleSize;
        const int64_t skip = sample - m_chunkStart[chunk];
        const int64_t take = std::min(left, inChunk - skip);
        if (take > 0) {
            const size_t bytes = size_t(take * m_sampleSize);
            if (!m_source->ReadAt(e.offset + uint64_t(skip * m_sampleSize), out, bytes))
                return *samplesRead > 0 ? AVIERR_OK : AVIERR_FILEREAD;
            out += bytes;
            sample += take;
            left -= take;
            *samplesRead += LONG(take);
            *bytesRead += LONG(bytes);
        }
        ++chunk;
    }
    return AVIERR_OK;
}
