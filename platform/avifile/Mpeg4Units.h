#pragma once
// What a decoder is given for each chunk of an MPEG-4 part 2 stream, in the shapes
// other writers leave in AVI files:
// - a not-coded picture (vop_coded 0), written when nothing changed: the decoder
//   gives no picture for it, and its frame shows the picture before it;
// - packed B pictures: a chunk holds a reference picture and then the B picture that
//   shows before it; each B picture moves one chunk on, and the last one takes the
//   place of the placeholder after them (a not-coded picture or a single byte).
// Every chunk is answered from itself and the few chunks before it, so that decoding
// can start at any key frame and each frame still gets the same picture.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class Mpeg4Units {
public:
    // The bytes of a chunk, valid until the next call; null when unreadable.
    using ReadChunk = std::function<const uint8_t*(int chunk, int* size)>;
    using ChunkSize = std::function<int(int chunk)>;

    // The bytes to decode for a chunk: [offset, offset + size) of chunk `source`.
    struct Unit {
        int source = -1;
        int offset = 0;
        int size = 0;  // 0: nothing to decode
    };

    Mpeg4Units(int chunks, const uint8_t* setup, size_t setupSize, ReadChunk read, ChunkSize size);

    // The stream headers at the start of a chunk, up to its first picture: their
    // length when they hold a video object layer header, else 0.
    static size_t HeaderBytes(const uint8_t* p, int size);

    // The chunk whose bytes carry this chunk's unit: itself or the one before.
    int SourceOf(int chunk);
    // Records what a chunk holds from its bytes, read for decoding anyway.
    void Learn(int chunk, const uint8_t* data, int size);
    Unit UnitAt(int chunk);
    // The frame shows the picture before it: a chunk without a picture of its own
    // and no B picture moved into it.
    bool Repeats(int chunk);
    // Coding type of the chunk's unit: 0 I, 1 P, 2 B, 3 S; -1 unknown. A repeat
    // counts as P: nothing shows before it.
    int Type(int chunk);
    // Whether a chunk flagged as a key frame can start decoding: not a placeholder,
    // not a B picture.
    bool CanStart(int chunk);

private:
    struct Layout {
        int32_t size = -1;   // -1: not read yet
        int32_t split = -1;  // offset of the second picture header; -1 with fewer than two
        int8_t first = -1;   // coding type of the first picture, -1 none
        int8_t second = -1;
        bool startCode = false;
        bool notCoded = false;  // a single picture with vop_coded 0
    };

    const Layout& LayoutOf(int chunk);
    Layout Scan(const uint8_t* p, int size);
    void ReadTimeBits(const uint8_t* p, size_t size);
    bool NoPicture(int chunk);
    int Settled(int chunk);
    int Pending(int chunk);

    ReadChunk m_read;
    ChunkSize m_size;
    std::vector<Layout> m_layout;
    // Per chunk, after it: 0 no B picture waits for the next chunk; n > 0 one does,
    // the n-th of its run (1: the packed chunk's own); -1 not worked out.
    std::vector<int8_t> m_pending;
    int m_timeBits = 0;  // of vop_time_increment; 0 until a layer header is read
};
