#include "platform/mmio/Mmio.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/TestSupport.h"

namespace {

using talvern::test::ReadFileBytes;
using talvern::test::TempDir;
using talvern::test::WriteFileBytes;

std::string Le32(DWORD v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

TEST(Mmio, CreatesPadsAndFixesUpChunkSizes) {
    TempDir dir;
    const std::wstring path = (dir / "a.riff").wstring();
    HMMIO h = mmioOpenW(path.c_str(), nullptr, MMIO_CREATE | MMIO_READWRITE);
    ASSERT_NE(h, nullptr);
    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('T', 'E', 'S', 'T');
    ASSERT_EQ(mmioCreateChunk(h, &riff, MMIO_CREATERIFF), MMIOERR_NOERROR);
    MMCKINFO odd{mmioFOURCC('o', 'd', 'd', ' '), 0, 0, 0, 0};
    ASSERT_EQ(mmioCreateChunk(h, &odd, 0), MMIOERR_NOERROR);
    ASSERT_EQ(mmioWrite(h, "abc", 3), 3);
    ASSERT_EQ(mmioAscend(h, &odd, 0), MMIOERR_NOERROR);
    EXPECT_EQ(odd.cksize, 3u);
    MMCKINFO list{};
    list.fccType = mmioFOURCC('i', 'n', 'f', 'o');
    ASSERT_EQ(mmioCreateChunk(h, &list, MMIO_CREATELIST), MMIOERR_NOERROR);
    MMCKINFO even{mmioFOURCC('e', 'v', 'e', 'n'), 4, 0, 0, 0};  // size given up front and kept
    ASSERT_EQ(mmioCreateChunk(h, &even, 0), MMIOERR_NOERROR);
    ASSERT_EQ(mmioWrite(h, "wxyz", 4), 4);
    ASSERT_EQ(mmioAscend(h, &even, 0), MMIOERR_NOERROR);
    ASSERT_EQ(mmioAscend(h, &list, 0), MMIOERR_NOERROR);
    ASSERT_EQ(mmioAscend(h, &riff, 0), MMIOERR_NOERROR);
    ASSERT_EQ(mmioClose(h, 0), MMIOERR_NOERROR);

    const std::string expected = "RIFF" + Le32(4 + 12 + 12 + 12) + "TEST" + "odd " + Le32(3) + "abc" +
                                 std::string(1, '\0') + "LIST" + Le32(16) + "info" + "even" + Le32(4) + "wxyz";
    EXPECT_EQ(ReadFileBytes(dir / "a.riff"), expected);

    // Descending finds the form, then chunks inside it, skipping padded ones.
    h = mmioOpenW(path.c_str(), nullptr, MMIO_READ);
    ASSERT_NE(h, nullptr);
    MMCKINFO form{};
    form.fccType = mmioFOURCC('T', 'E', 'S', 'T');
    ASSERT_EQ(mmioDescend(h, &form, nullptr, MMIO_FINDRIFF), MMIOERR_NOERROR);
    EXPECT_EQ(form.dwDataOffset, 8);
    MMCKINFO found{};
    found.fccType = mmioFOURCC('i', 'n', 'f', 'o');
    ASSERT_EQ(mmioDescend(h, &found, &form, MMIO_FINDLIST), MMIOERR_NOERROR);
    MMCKINFO inner{};
    inner.ckid = mmioFOURCC('e', 'v', 'e', 'n');
    ASSERT_EQ(mmioDescend(h, &inner, &found, MMIO_FINDCHUNK), MMIOERR_NOERROR);
    char data[4];
    ASSERT_EQ(mmioRead(h, data, 4), 4);
    EXPECT_EQ(std::string(data, 4), "wxyz");
    EXPECT_EQ(mmioSeek(h, 0, MMIO_SEEK_SET), 0);
    ASSERT_EQ(mmioDescend(h, &form, nullptr, MMIO_FINDRIFF), MMIOERR_NOERROR);
    MMCKINFO missing{};
    missing.ckid = mmioFOURCC('n', 'o', 'n', 'e');
    EXPECT_EQ(mmioDescend(h, &missing, &form, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
    mmioClose(h, 0);
}

TEST(Mmio, DamagedSizesEndTheSearch) {
    TempDir dir;
    // A chunk claiming 4 GiB inside a 30-byte file, and a form cut short.
    const std::string bytes = "RIFF" + Le32(22) + "WAVE" + "junk" + Le32(0xFFFFFFF0u) + "xxxxxx";
    ASSERT_TRUE(WriteFileBytes(dir / "bad.wav", bytes));
    HMMIO h = mmioOpenW((dir / "bad.wav").wstring().c_str(), nullptr, MMIO_READ);
    ASSERT_NE(h, nullptr);
    MMCKINFO form{};
    form.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    ASSERT_EQ(mmioDescend(h, &form, nullptr, MMIO_FINDRIFF), MMIOERR_NOERROR);
    MMCKINFO data{};
    data.ckid = mmioFOURCC('d', 'a', 't', 'a');
    EXPECT_EQ(mmioDescend(h, &data, &form, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
    mmioClose(h, 0);
    ASSERT_TRUE(WriteFileBytes(dir / "short.wav", "RIF"));
    h = mmioOpenW((dir / "short.wav").wstring().c_str(), nullptr, MMIO_READ);
    EXPECT_EQ(mmioDescend(h, &form, nullptr, MMIO_FINDRIFF), MMIOERR_CHUNKNOTFOUND);
    mmioClose(h, 0);
    EXPECT_EQ(mmioOpenW((dir / "absent").wstring().c_str(), nullptr, MMIO_READ), nullptr);
}

TEST(Mmio, OffsetsPastFourGigabytes) {
    TempDir dir;
    const std::wstring path = (dir / "big.bin").wstring();
    HMMIO h = mmioOpenW(path.c_str(), nullptr, MMIO_CREATE | MMIO_READWRITE);
    ASSERT_NE(h, nullptr);
    const int64_t far = (int64_t{5} << 30) + 3;
    ASSERT_EQ(mmioSeek(h, far, MMIO_SEEK_SET), far);
    ASSERT_EQ(mmioWrite(h, "end", 3), 3);
    EXPECT_EQ(mmioSeek(h, 0, MMIO_SEEK_END), far + 3);
    EXPECT_EQ(mmioSeek(h, -3, MMIO_SEEK_CUR), far);
    char back[3];
    ASSERT_EQ(mmioRead(h, back, 3), 3);
    EXPECT_EQ(std::string(back, 3), "end");
    EXPECT_EQ(mmioRead(h, back, 3), 0);
    EXPECT_EQ(mmioClose(h, 0), MMIOERR_NOERROR);
}

}  // namespace
