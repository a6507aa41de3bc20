// Motion JPEG frames decoded ahead: each frame taken has the rows a decoder going
// through the frames in order gives it; a jump forgets the frames skipped; a damaged
// frame is left to the caller; a frame that carries no tables of its own is decoded
// with those of the frame before it, or left to the caller.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include "platform/avifile/JpegFrameDecoder.h"
#include "platform/avifile/JpegReadAhead.h"
#include "platform/avifile/JpegTables.h"

namespace {

constexpr int kWidth = 48, kHeight = 32;
constexpr int64_t kRowBytes = (kWidth * 3 + 3) & ~3;
constexpr size_t kHeader = 40;

// A frame whose pixels carry its index; tables: whether it carries its own quantisation
// and Huffman tables (a frame without them uses those of the frame before).
std::vector<uint8_t> EncodeFrame(int index, int quality, bool tables = true) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = kWidth;
    c.image_height = kHeight;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    if (!tables) jpeg_suppress_tables(&c, TRUE);
    jpeg_start_compress(&c, FALSE);
    std::vector<uint8_t> row(kWidth * 3);
    while (c.next_scanline < c.image_height) {
        for (int x = 0; x < kWidth; ++x) {
            row[x * 3] = static_cast<uint8_t>(index * 40);
            row[x * 3 + 1] = static_cast<uint8_t>(x * 5);
            row[x * 3 + 2] = static_cast<uint8_t>(c.next_scanline * 7);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> bytes(out, out + size);
    std::free(out);
    jpeg_destroy_compress(&c);
    return bytes;
}

std::vector<uint8_t> Rows() {
    std::vector<uint8_t> rows(kHeader + static_cast<size_t>(kRowBytes) * kHeight, 0);
    rows[0] = 40;  // stands for the reader's header, which travels with the rows
    return rows;
}

// What a decoder going through the frames in order gives the last of them; empty when
// it does not decode.
std::vector<uint8_t> InOrder(const std::vector<std::vector<uint8_t>>& frames) {
    JpegFrameDecoder decoder;
    std::vector<uint8_t> rows = Rows();
    bool ok = false;
    for (const auto& f : frames) ok = decoder.Decode(f.data(), f.size(), kWidth, kHeight, rows.data() + kHeader, kRowBytes);
    return ok ? rows : std::vector<uint8_t>{};
}

void Start(JpegReadAhead& ahead, int index, const std::vector<uint8_t>& frame) {
    ahead.Start(index, frame.data(), frame.size(), kWidth, kHeight, kRowBytes, Rows());
}

TEST(JpegReadAhead, FramesTakenInOrderHaveTheRowsOfDecodingInOrder) {
    JpegReadAhead ahead(3);
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 6; ++i) frames.push_back(EncodeFrame(i, 60 + i * 5));
    int started = 0;
    for (int i = 0; i < 6; ++i) {
        while (started < 6 && ahead.HasRoom()) Start(ahead, started, frames[static_cast<size_t>(started)]), ++started;
        std::vector<uint8_t> rows = Rows();
        ASSERT_EQ(ahead.Take(i, &rows), JpegReadAhead::Taken::Decoded) << i;
        EXPECT_EQ(rows, InOrder({frames[static_cast<size_t>(i)]})) << i;
        EXPECT_EQ(rows[0], 40);
    }
    EXPECT_TRUE(ahead.HasRoom());
}

TEST(JpegReadAhead, AJumpForgetsTheFramesSkippedAndADamagedFrameIsLeftToTheCaller) {
    JpegReadAhead ahead(3);
    const auto f0 = EncodeFrame(0, 75), f1 = EncodeFrame(1, 75), f2 = EncodeFrame(2, 75);
    Start(ahead, 0, f0);
    Start(ahead, 1, f1);
    Start(ahead, 2, f2);
    EXPECT_FALSE(ahead.HasRoom());
    std::vector<uint8_t> rows = Rows();
    ASSERT_EQ(ahead.Take(2, &rows), JpegReadAhead::Taken::Decoded);
    EXPECT_EQ(rows, InOrder({f2}));
    // A frame skipped is forgotten once decoded; one still being decoded may yet come,
    // but never with another frame's rows.
    const JpegReadAhead::Taken skipped = ahead.Take(0, &rows);
    if (skipped == JpegReadAhead::Taken::Decoded) EXPECT_EQ(rows, InOrder({f0}));
    else EXPECT_EQ(skipped, JpegReadAhead::Taken::NotStarted);
    ahead.Clear();
    EXPECT_FALSE(ahead.IsStarted(1));
    EXPECT_TRUE(ahead.HasRoom());

    // Cut short, the frame fails and the caller's rows stay as they were.
    const std::vector<uint8_t> cut(f0.begin(), f0.begin() + static_cast<std::ptrdiff_t>(f0.size() / 2));
    Start(ahead, 3, cut);
    Start(ahead, 4, f1);
    const std::vector<uint8_t> before = rows;
    EXPECT_EQ(ahead.Take(3, &rows), JpegReadAhead::Taken::Failed);
    EXPECT_EQ(rows, before);
    ASSERT_EQ(ahead.Take(4, &rows), JpegReadAhead::Taken::Decoded);
    EXPECT_EQ(rows, InOrder({f1}));

    // A frame started, then cleared, is gone.
    Start(ahead, 5, f2);
    ahead.Clear();
    EXPECT_EQ(ahead.Take(5, &rows), JpegReadAhead::Taken::NotStarted);
}

// A frame without tables of its own reaches the read-ahead made whole by JpegTables, so
// that the thread that decodes it, whose decoder last saw other tables, gives the picture
// of decoding in order.
TEST(JpegReadAhead, AFrameWithoutTablesTakesThoseOfTheFrameBefore) {
    JpegReadAhead ahead(2);
    // Frame 1 leaves its tables for frame 2; frame 0's tables, on the other thread, differ.
    const auto f0 = EncodeFrame(0, 95), f1 = EncodeFrame(1, 30), f2 = EncodeFrame(2, 30, false);
    const std::vector<std::vector<uint8_t>> file{f0, f1, f2};
    JpegTables tables;
    const JpegTables::Reader read = [&](int index, std::vector<uint8_t>& bytes) {
        bytes = file[size_t(index)];
        return true;
    };
    std::vector<std::vector<uint8_t>> whole;
    for (int i = 0; i < 3; ++i) {
        size_t size = 0;
        const uint8_t* data = tables.Prepare(i, file[size_t(i)].data(), file[size_t(i)].size(), read, &size);
        whole.emplace_back(data, data + size);
    }
    std::vector<uint8_t> rows = Rows();
    Start(ahead, 0, whole[0]);
    Start(ahead, 1, whole[1]);
    ASSERT_EQ(ahead.Take(0, &rows), JpegReadAhead::Taken::Decoded);
    ASSERT_EQ(ahead.Take(1, &rows), JpegReadAhead::Taken::Decoded);
    Start(ahead, 2, whole[2]);
    const std::vector<uint8_t> expected = InOrder(file);
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(ahead.Take(2, &rows), JpegReadAhead::Taken::Decoded);
    EXPECT_EQ(rows, expected);
}

}  // namespace
