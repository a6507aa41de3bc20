#pragma once
// A read position inside a block of bytes that never reads past the block's end.
// Every value read from a file goes through here, so bounds are checked once.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

// Whether four bytes can be a chunk id: every id is printable ASCII (spaces included).
inline bool LooksLikeChunkId(uint32_t fcc) {
    for (int i = 0; i < 4; ++i) {
        const uint32_t c = (fcc >> (8 * i)) & 0xFF;
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

inline uint32_t LoadLe32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

// Writers that get a size wrong by a few bytes leave the next chunk header before or
// after where the size puts it. The nearest header in data[floor, size) to `from`, at
// most `reach` bytes away, whose id is one of `ids` (a LIST only when its type is one of
// `lists`), or SIZE_MAX.
inline size_t NearestKnownChunk(const uint8_t* data, size_t size, size_t floor, size_t from,
                                std::span<const uint32_t> ids, std::span<const uint32_t> lists,
                                size_t reach = 4096) {
    constexpr uint32_t kList = 'L' | ('I' << 8) | ('S' << 16) | (uint32_t('T') << 24);
    const auto known = [&](size_t at) {
        if (at + 8 > size) return false;
        const uint32_t fcc = LoadLe32(data + at);
        if (fcc == kList) {
            if (at + 12 > size) return false;
            const uint32_t type = LoadLe32(data + at + 8);
            for (uint32_t t : lists)
                if (t == type) return true;
            return false;
        }
        for (uint32_t id : ids)
            if (id == fcc) return true;
        return false;
    };
    // Outward from `from`, one byte further each way per step: the nearest wins.
    for (size_t d = 0; d <= reach; ++d) {
        const bool back = from >= d && from - d >= floor, ahead = from + d < size;
        if (!back && !ahead) break;
        if (back && known(from - d)) return from - d;
        if (d > 0 && ahead && from + d >= floor && known(from + d)) return from + d;
    }
    return SIZE_MAX;
}

class RiffCursor {
public:
    RiffCursor() = default;
    RiffCursor(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    size_t Remaining() const { return m_size - m_pos; }
    size_t Position() const { return m_pos; }
    bool AtEnd() const { return m_pos >= m_size; }
    const uint8_t* Here() const { return m_data + m_pos; }

    bool Skip(uint64_t n) {
        if (n > Remaining()) {
            m_pos = m_size;
            return false;
        }
        m_pos += size_t(n);
        return true;
    }
    bool Read(void* out, size_t n) {
        if (n > Remaining()) return false;
        std::memcpy(out, m_data + m_pos, n);
        m_pos += n;
        return true;
    }
    bool U8(uint8_t& v) { return Read(&v, 1); }
    bool U16(uint16_t& v) { return ReadLe(v); }
    bool U32(uint32_t& v) { return ReadLe(v); }
    bool U64(uint64_t& v) { return ReadLe(v); }

    // The next `n` bytes as a cursor of their own; false (and nothing taken) when
    // fewer remain. Used for a chunk's body.
    bool Sub(uint64_t n, RiffCursor& out) {
        if (n > Remaining()) return false;
        out = RiffCursor(m_data + m_pos, size_t(n));
        m_pos += size_t(n);
        return true;
    }

    // A RIFF chunk header: four-character code and body size. The body is handed
    // out as a cursor clipped to what this cursor holds (a truncated last chunk
    // still yields its readable part); the pad byte of an odd size is skipped.
    bool Chunk(uint32_t& fcc, RiffCursor& body) {
        uint32_t size = 0;
        m_chunkAt = m_pos;
        if (!U32(fcc) || !U32(size)) return false;
        const uint64_t take = size < Remaining() ? size : Remaining();
        Sub(take, body);
        if (size & 1) Skip(1);
        return true;
    }

    // How many times one walk finds its way again: a file needs a few, hostile bytes
    // must not make every step a search.
    static constexpr int kMaxResyncs = 64;

    // As Chunk; where the bytes read are no chunk id at all, the walk goes on at the
    // nearest header with a known id after the start of the chunk before, if any.
    bool KnownChunk(uint32_t& fcc, RiffCursor& body, std::span<const uint32_t> ids,
                    std::span<const uint32_t> lists) {
        const size_t floor = m_pos == 0 ? 0 : m_chunkAt + 1;
        const size_t at = m_pos;
        if (Remaining() >= 4 && !LooksLikeChunkId(LoadLe32(Here()))) {
            if (++m_resyncs > kMaxResyncs) return false;
            const size_t found = NearestKnownChunk(m_data, m_size, floor, at, ids, lists);
            if (found == SIZE_MAX) return false;
            m_pos = found;
        }
        return Chunk(fcc, body);
    }

private:
    template <typename T>
    bool ReadLe(T& v) {
        uint8_t b[sizeof(T)];
        if (!Read(b, sizeof(T))) return false;
        v = 0;
        for (size_t i = sizeof(T); i-- > 0;) v = T((v << 8) | b[i]);
        return true;
    }

    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_pos = 0;
    size_t m_chunkAt = 0;  // where the last chunk header began
    int m_resyncs = 0;
};
