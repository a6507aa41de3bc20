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

bool JpegTables::Holds(const State& s, unsigned q, unsigned h) {
    for (size_t n = 0; n < 4; ++n)
        if ((q >> n & 1) && !s.dqtBytes[n]) return false;
    for (size_t n = 0; n < 8; ++n)
        if ((h >> n & 1) && !s.dhtBytes[n]) return false;
    return true;
}

const JpegTables::State* JpegTables::Recent(int after) const {
    if (after < 0) return nullptr;
    for (const State& s : m_recent)
        if (s.after == after) return &s;
    return nullptr;
}

// The tables in force before frame `index` as far as a jump can tell: those of the first
// frame, then of up to kMaxLookBack frames before `index`, in file order.
void JpegTables::LookBack(int index, const Reader& read) {
    m_walk = State{};
    m_walk.after = index - 1;
    m_walk.whole = true;
    const int from = std::max(1, index - kMaxLookBack);
    for (int i = 0; i < index; i = i == 0 ? from : i + 1) {
        Frame ignored;
        if (read(i, m_read)) Parse(m_read.data(), m_read.size(), ignored, &m_walk);
    }
}

// The frame as it decodes alone. The tables kept after it serve the frame after it; a
// frame that has all it uses needs nothing from before and costs no reading.
const uint8_t* JpegTables::Prepare(int index, const uint8_t* data, size_t size, const Reader& read,
                                   size_t* outSize) {
    *outSize = size;
    Frame own;
    const bool parsed = Parse(data, size, own, nullptr);
    const unsigned missingQ = own.usedQ & ~own.definedQ, missingH = own.usedH & ~own.definedH;
    const State* prev = Recent(index - 1);
    if (index == 0) {
        m_before = State{};
        m_before.whole = true;
    } else if (prev && (prev->whole || Holds(*prev, missingQ, missingH))) {
        m_before = *prev;
    } else if (parsed && (missingQ | missingH)) {
        LookBack(index, read);
        m_before = m_walk;
    } else {
        m_before = State{};  // only this frame's own tables are known
    }
    State& after = m_recent[m_next];
    m_next = (m_next + 1) % m_recent.size();
    after = m_before;
    after.after = index;
    if (!parsed) return data;
    Parse(data, size, own, &after);
    bool inherited = false;
    for (size_t n = 0; n < 4; ++n) inherited = inherited || ((missingQ >> n & 1) && m_before.dqtBytes[n]);
    for (size_t n = 0; n < 8; ++n) inherited = inherited || ((missingH >> n & 1) && m_before.dhtBytes[n]);
    if (!inherited) return data;
    Complete(m_before, own, data, size);
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
