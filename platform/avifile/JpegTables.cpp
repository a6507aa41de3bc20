#include "platform/avifile/JpegTables.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kDqt = 0xDB, kDht = 0xC4;

bool IsStartOfFrame(uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != kDht && m != 0xC8 && m != 0xCC; }

uint16_t Be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }

void PutSegment(std::vector<uint8_t>& out, uint8_t marker, const std::vector<uint8_t>& body) {
    out.push_back(0xFF);
    out.push_back(marker);
    out.push_back(uint8_t((body.size() + 2) >> 8));
    out.push_back(uint8_t(body.size() + 2));
    out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

JpegTables::JpegTables() { m_whole.reserve(1 << 16); }

// Walks the markers up to the first scan, every length checked against the bytes there
// are; with `fold`, the frame's own tables are written into it.
bool JpegTables::Parse(const uint8_t* data, size_t size, Frame& frame, State* fold) {
    if (size < 4 || data[0] != 0xFF || data[1] != kSoi) return false;
    size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF) return false;
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == kEoi) return true;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        const size_t length = Be16(data + at + 2);
        if (length < 2 || at + 2 + length > size) return false;
        const uint8_t* p = data + at + 4;
        const uint8_t* end = data + at + 2 + length;
        if (marker == kDqt) {
            while (p < end) {
                const size_t bytes = 1 + ((p[0] >> 4) ? 128 : 64);
                const int slot = p[0] & 0x0F;
                if (slot > 3 || size_t(end - p) < bytes) return false;
                frame.definedQ |= 1u << slot;
                if (fold) {
                    std::memcpy(fold->dqt[size_t(slot)].data(), p, bytes);
                    fold->dqtBytes[size_t(slot)] = uint8_t(bytes);
                }
                p += bytes;
            }
        } else if (marker == kDht) {
            while (p < end) {
                if (end - p < 17) return false;
                size_t count = 0;
                for (int i = 1; i <= 16; ++i) count += p[i];
                const size_t bytes = 17 + count;
                const int slot = ((p[0] >> 4) ? 4 : 0) + (p[0] & 0x0F);
                if ((p[0] >> 4) > 1 || (p[0] & 0x0F) > 3 || count > 256 || size_t(end - p) < bytes) return false;
                frame.definedH |= 1u << slot;
                if (fold) {
                    std::memcpy(fold->dht[size_t(slot)].data(), p, bytes);
                    fold->dhtBytes[size_t(slot)] = uint16_t(bytes);
                }
                p += bytes;
            }
        } else if (IsStartOfFrame(marker) && end - p >= 6) {
            const int components = p[5];
            for (int i = 0; i < components && p + 6 + 3 * i + 3 <= end; ++i) frame.usedQ |= 1u << (p[6 + 3 * i + 2] & 3);
        } else if (marker == kSos && end - p >= 1) {
            const int components = p[0];
            for (int i = 0; i < components && p + 1 + 2 * i + 2 <= end; ++i) {
                const uint8_t tables = p[1 + 2 * i + 1];
                frame.usedH |= (1u << (tables >> 4 & 3)) | (1u << (4 + (tables & 3)));
            }
            return true;
        }
        at += 2 + length;
    }
    return false;
}

// The tables in force before frame `index`: kept from the frame before when that was the
// last one prepared (or one of the few before it), else gathered from up to kMaxLookBack
// frames before it.
const JpegTables::State& JpegTables::StateBefore(int index, const Reader& read) {
    for (const State& s : m_recent)
        if (s.after == index - 1 && index > 0) return s;
    m_walk = State{};
    m_walk.after = index - 1;
    for (int i = std::max(0, index - kMaxLookBack); i < index; ++i) {
        Frame ignored;
        if (read(i, m_read)) Parse(m_read.data(), m_read.size(), ignored, &m_walk);
    }
    return m_walk;
}

const uint8_t* JpegTables::Prepare(int index, const uint8_t* data, size_t size, const Reader& read,
                                   size_t* outSize) {
    *outSize = size;
    Frame own;
    State& after = m_recent[m_next];
    const State before = StateBefore(index, read);  // a copy: `after` may be where it is kept
    after = before;
    after.after = index;
    m_next = (m_next + 1) % m_recent.size();
    if (!Parse(data, size, own, &after)) return data;
    const unsigned missingQ = own.usedQ & ~own.definedQ, missingH = own.usedH & ~own.definedH;
    bool inherited = false;
    for (int s = 0; s < 4; ++s) inherited = inherited || ((missingQ >> s & 1) && before.dqtBytes[size_t(s)]);
    for (int s = 0; s < 8; ++s) inherited = inherited || ((missingH >> s & 1) && before.dhtBytes[size_t(s)]);
    if (!inherited) return data;
    Complete(before, own, data, size);
    *outSize = m_whole.size();
    return m_whole.data();
}

// The frame with the tables it lacks, as they stood before it, between its start of image
// and its own markers.
void JpegTables::Complete(const State& before, const Frame& frame, const uint8_t* data, size_t size) {
    std::vector<uint8_t>& q = m_q;
    std::vector<uint8_t>& h = m_h;
    q.clear();
    h.clear();
    for (size_t s = 0; s < 4; ++s)
        if (!(frame.definedQ >> s & 1) && before.dqtBytes[s])
            q.insert(q.end(), before.dqt[s].begin(), before.dqt[s].begin() + before.dqtBytes[s]);
    for (size_t s = 0; s < 8; ++s)
        if (!(frame.definedH >> s & 1) && before.dhtBytes[s])
            h.insert(h.end(), before.dht[s].begin(), before.dht[s].begin() + before.dhtBytes[s]);
    m_whole.clear();
    m_whole.push_back(0xFF);
    m_whole.push_back(kSoi);
    if (!q.empty()) PutSegment(m_whole, kDqt, q);
    if (!h.empty()) PutSegment(m_whole, kDht, h);
    m_whole.insert(m_whole.end(), data + 2, data + size);
}
