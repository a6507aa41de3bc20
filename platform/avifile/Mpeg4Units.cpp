#include "platform/avifile/Mpeg4Units.h"

#include <utility>

namespace {

// A not-coded picture is a header of a few bytes; chunks above this always hold a
// picture and are never read to find out.
constexpr int kMaxNotCodedBytes = 256;
// More B pictures in a row than any encoder writes: a longer run is no packed run.
constexpr int kMaxRun = 16;
constexpr uint8_t kVop = 0xB6;

class BitReader {
public:
    BitReader(const uint8_t* p, size_t size) : m_p(p), m_bits(size * 8) {}
    bool Ok() const { return m_at <= m_bits; }
    uint32_t Get(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++m_at)
            v = v << 1 | (m_at < m_bits ? (m_p[m_at / 8] >> (7 - m_at % 8)) & 1 : 0);
        return v;
    }

private:
    const uint8_t* m_p;
    size_t m_bits;
    size_t m_at = 0;
};

bool IsStartCode(const uint8_t* p, int i, int size) {
    return i + 3 < size && p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1;
}

// vop_coded of a picture header (past its start code), given the bits of its time field.
bool IsNotCoded(const uint8_t* p, size_t size, int timeBits) {
    BitReader r(p, size);
    r.Get(2);  // coding type
    for (int seconds = 0; r.Get(1) == 1; ++seconds)
        if (seconds > 64) return false;
    if (r.Get(1) != 1) return false;  // marker
    r.Get(timeBits);
    if (r.Get(1) != 1) return false;  // marker
    const bool coded = r.Get(1) != 0;
    return r.Ok() && !coded;
}

}  // namespace

size_t Mpeg4Units::HeaderBytes(const uint8_t* p, int size) {
    bool layer = false;
    for (int i = 0; i + 3 < size; ++i) {
        if (!IsStartCode(p, i, size)) continue;
        if (p[i + 3] == kVop) return layer ? size_t(i) : 0;
        layer = layer || (p[i + 3] >= 0x20 && p[i + 3] <= 0x2F);
        i += 3;
    }
    return layer ? size_t(size) : 0;
}

Mpeg4Units::Mpeg4Units(int chunks, const uint8_t* setup, size_t setupSize, ReadChunk read, ChunkSize size)
    : m_read(std::move(read)), m_size(std::move(size)), m_layout(size_t(chunks)), m_pending(size_t(chunks), -1) {
    if (setup && setupSize > 0) Scan(setup, int(setupSize));
}

// The video object layer header: its clock's ticks per second decide how many bits
// every picture's time field takes.
void Mpeg4Units::ReadTimeBits(const uint8_t* p, size_t size) {
    BitReader r(p, size);
    r.Get(1 + 8);  // random_accessible_vol, video_object_type_indication
    int verid = 1;
    if (r.Get(1)) {
        verid = int(r.Get(4));
        r.Get(3);  // priority
    }
    if (r.Get(4) == 15) r.Get(16);  // extended pixel aspect ratio
    if (r.Get(1)) {                  // vol_control_parameters
        r.Get(3);                    // chroma_format, low_delay
        if (r.Get(1)) r.Get(79);     // vbv_parameters
    }
    const uint32_t shape = r.Get(2);
    if (shape == 3 && verid != 1) r.Get(4);
    if (r.Get(1) != 1) return;  // marker
    const uint32_t resolution = r.Get(16);
    if (!r.Ok() || resolution == 0) return;
    int bits = 1;
    while ((uint32_t(1) << bits) < resolution) ++bits;
    m_timeBits = bits;
}

Mpeg4Units::Layout Mpeg4Units::Scan(const uint8_t* p, int size) {
    Layout l;
    l.size = size;
    int pictures = 0;
    int firstAt = -1;
    for (int i = 0; i + 3 < size; ++i) {
        if (!IsStartCode(p, i, size)) continue;
        l.startCode = true;
        const uint8_t code = p[i + 3];
        const int8_t type = i + 4 < size ? int8_t(p[i + 4] >> 6) : int8_t(-1);
        if (code == kVop && pictures == 0) {
            l.first = type;
            firstAt = i;
        } else if (code == kVop && pictures == 1) {
            l.second = type;
            l.split = i;
        }
        if (code == kVop) ++pictures;
        if (code >= 0x20 && code <= 0x2F && m_timeBits == 0) ReadTimeBits(p + i + 4, size_t(size - i - 4));
        i += 3;
    }
    if (pictures == 1 && m_timeBits > 0)
        l.notCoded = IsNotCoded(p + firstAt + 4, size_t(size - firstAt - 4), m_timeBits);
    return l;
}

void Mpeg4Units::Learn(int chunk, const uint8_t* data, int size) {
    if (chunk < 0 || size_t(chunk) >= m_layout.size() || m_layout[size_t(chunk)].size >= 0) return;
    m_layout[size_t(chunk)] = Scan(data, size);
}

const Mpeg4Units::Layout& Mpeg4Units::LayoutOf(int chunk) {
    Layout& l = m_layout[size_t(chunk)];
    if (l.size < 0) {
        int size = 0;
        const uint8_t* data = m_read(chunk, &size);
        l = data ? Scan(data, size) : Layout{0};
    }
    return l;
}

bool Mpeg4Units::NoPicture(int chunk) {
    if (m_size(chunk) > kMaxNotCodedBytes) return false;
    const Layout& l = LayoutOf(chunk);
    return l.first < 0 || l.notCoded;
}

// Pending(chunk) where the chunk alone decides it; -1 where it depends on the chunk before.
int Mpeg4Units::Settled(int chunk) {
    if (NoPicture(chunk)) return 0;
    const Layout& l = LayoutOf(chunk);
    if (l.split >= 0) return 1;
    // A run of moved B pictures ends at an I picture.
    return chunk == 0 || l.first == 0 ? 0 : -1;
}

int Mpeg4Units::Pending(int chunk) {
    if (m_pending[size_t(chunk)] >= 0) return m_pending[size_t(chunk)];
    // Back to a chunk that settles it, at most a run's length, then forward again.
    int from = chunk;
    int value = -1;
    for (; from >= 0 && chunk - from < kMaxRun; --from) {
        value = m_pending[size_t(from)] >= 0 ? m_pending[size_t(from)] : Settled(from);
        if (value >= 0) break;
    }
    const bool exact = value >= 0;
    if (!exact) {
        value = 0;  // no packed chunk within a run's length
        from = chunk;
    }
    if (exact) m_pending[size_t(from)] = int8_t(value);
    for (int at = from + 1; at <= chunk; ++at) {
        value = value > 0 && value < kMaxRun ? value + 1 : 0;
        m_pending[size_t(at)] = int8_t(value);
    }
    m_pending[size_t(chunk)] = int8_t(value);
    return value;
}

int Mpeg4Units::SourceOf(int chunk) { return chunk > 0 && Pending(chunk - 1) > 0 ? chunk - 1 : chunk; }

Mpeg4Units::Unit Mpeg4Units::UnitAt(int chunk) {
    const int source = SourceOf(chunk);
    const Layout& l = LayoutOf(source);
    if (source != chunk) {
        // A moved B picture: the packed chunk's second picture, or the whole chunk of
        // a B picture further along the run.
        if (Pending(source) == 1) return {source, l.split, l.size - l.split};
        return {source, 0, l.size};
    }
    if (NoPicture(chunk)) return {chunk, 0, l.startCode ? l.size : 0};
    return {chunk, 0, l.split >= 0 ? l.split : l.size};
}

bool Mpeg4Units::Repeats(int chunk) { return NoPicture(chunk) && SourceOf(chunk) == chunk; }

int Mpeg4Units::Type(int chunk) {
    const int source = SourceOf(chunk);
    if (source != chunk) return Pending(source) == 1 ? LayoutOf(source).second : LayoutOf(source).first;
    if (NoPicture(chunk)) return 1;
    return LayoutOf(chunk).first;
}

bool Mpeg4Units::CanStart(int chunk) { return !NoPicture(chunk) && LayoutOf(chunk).first != 2; }
