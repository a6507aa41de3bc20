#pragma once
// JpegTables: the quantisation and Huffman tables a Motion JPEG frame decodes with.
// A frame may leave out tables (DQT, DHT) and use those of the frames before it in the
// file, as a decoder going through the file in order keeps them. Which frame a decoder
// happened to decode last must not matter (read ahead runs one decoder per thread, and a
// jump lands anywhere), so such a frame is made whole here: the tables in force before it
// are put in front of its own, and any decoder gives it the same picture.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class JpegTables {
public:
    // Fills bytes with frame `index`'s compressed bytes; false when it cannot be read.
    using Reader = std::function<bool(int index, std::vector<uint8_t>& bytes)>;

    // After a jump, the tables a frame lacks are looked for in the first frame (writers
    // that store tables once put them there) and in this many frames before it.
    static constexpr int kMaxLookBack = 32;

    JpegTables();

    // The bytes frame `index` decodes from: `data` itself, or a whole copy held here until
    // the next call. Frames are best prepared in file order; any other order reads the
    // frames before the one asked for through `read`.
    const uint8_t* Prepare(int index, const uint8_t* data, size_t size, const Reader& read, size_t* outSize);

private:
    // The tables in force after a frame: quantisation tables 0-3 (precision byte, then 64
    // or 128 values) and Huffman tables DC 0-3, AC 0-3 (class byte, 16 counts, values).
    struct State {
        int after = -1;      // the frame they were in force after; -1 for none
        bool whole = false;  // every table of every frame before counted, not only the last's
        std::array<std::array<uint8_t, 129>, 4> dqt{};
        std::array<uint8_t, 4> dqtBytes{};
        std::array<std::array<uint8_t, 273>, 8> dht{};
        std::array<uint16_t, 8> dhtBytes{};
    };
    // What a frame defines and uses, from its markers before the first scan.
    struct Frame {
        unsigned definedQ = 0, definedH = 0;  // bit n: table slot n
        unsigned usedQ = 0, usedH = 0;
    };

    static bool Parse(const uint8_t* data, size_t size, Frame& frame, State* fold);
    static bool Holds(const State& s, unsigned q, unsigned h);
    const State* Recent(int after) const;
    void LookBack(int index, const Reader& read);
    void Complete(const State& before, const Frame& frame, const uint8_t* data, size_t size);

    std::array<State, 8> m_recent;  // the last states made, by `after`
    size_t m_next = 0;              // the slot the next state goes to
    State m_before;
    State m_walk;
    std::vector<uint8_t> m_read;    // frames read while looking back
    std::vector<uint8_t> m_whole;   // the frame made whole
    std::vector<uint8_t> m_q, m_h;  // the tables put in front of it
};
