#pragma once
// A read position inside a block of bytes that never reads past the block's end.
// Every value read from a file goes through here, so bounds are checked once.
#include <cstddef>
#include <cstdint>
#include <cstring>

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
        if (!U32(fcc) || !U32(size)) return false;
        const uint64_t take = size < Remaining() ? size : Remaining();
        Sub(take, body);
        if (size & 1) Skip(1);
        return true;
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
};
