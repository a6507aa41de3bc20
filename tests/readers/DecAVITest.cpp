// The AVI video reader on files built byte by byte: stream choice, failures,
// texts, uncompressed layouts, dropped frames and OpenDML parts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "readers/DecAVI.h"
#include "tests/data/RewrittenAvi.h"
#include "tests/data/SyntheticAvi.h"
#include "tests/data/TestMedia.h"
#include "tests/support/TestSupport.h"

namespace talvern::test {
namespace {

class DecAVIFile : public testing::Test {
protected:
    int Open(const SynthAvi& avi) { return OpenBytes(BuildSyntheticAvi(avi)); }
    int OpenBytes(const std::string& bytes) {
        const auto path = m_dir / ("m" + std::to_string(m_count++) + ".avi");
        WriteFileBytes(path, bytes);
        return m_reader.Open(path.wstring().c_str());
    }
    // Index shown by frame n, -1 when unreadable, -2 when GetFrame failed.
    int IndexOf(int n) {
        void* bits = nullptr;
        if (m_reader.GetFrame(n, &bits) != n) return -2;
        BITMAPINFOHEADER h{};
        m_reader.GetOutputFormat(&h);
        if (h.biBitCount != 24 || h.biCompression != BI_RGB || h.biHeight <= 0) return -1;
        return ReadIndexFromDib(bits, h.biWidth, h.biHeight);
    }

    TempDir m_dir;
    int m_count = 0;
    CDecAVI m_reader;
};

SynthStream Video(int width, WORD priority) {
    SynthStream v;
    v.priority = priority;
    v.format = BitmapFormat(width, 16, 24, BI_RGB);
    return v;
}

TEST_F(DecAVIFile, ChoosesTheVideoStreamOfLowestPriorityValue) {
    const struct {
        std::vector<WORD> priorities;
        int chosenWidth;
    } cases[] = {{{0, 0}, 16}, {{3, 1}, 20}, {{0xFFFF}, 16}, {{2, 5, 2}, 16}, {{9, 4, 4}, 20}};
    for (const auto& c : cases) {
        SynthAvi avi;
        for (size_t i = 0; i < c.priorities.size(); ++i) {
            avi.streams.push_back(Video(16 + 4 * int(i), c.priorities[i]));
            avi.chunks.push_back({int(i), IndexFrameDib24(int(i), 16 + 4 * int(i), 16), true});
        }
        ASSERT_EQ(0, Open(avi));
        EXPECT_EQ(c.chosenWidth, m_reader.GetWidth()) << c.priorities.size();
    }
}

TEST_F(DecAVIFile, TheLowestHeightIsReportedAsTheLargestRowCount) {
    std::string bytes = BuildSyntheticAvi(SimpleVideo(2));
    const size_t strf = bytes.find("strf");
    ASSERT_NE(std::string::npos, strf);
    const int32_t lowest = INT32_MIN;
    std::memcpy(&bytes[strf + 8 + 8], &lowest, 4);  // biHeight
    ASSERT_EQ(0, OpenBytes(bytes));
    EXPECT_EQ(INT32_MAX, m_reader.GetHeight());
    void* bits = nullptr;
    EXPECT_EQ(-1, m_reader.GetFrame(0, &bits));  // no decoder takes such a size
}

// The PSNR of bottom-up DIB rows against ffmpeg's top-down bgr24 picture.
double Psnr(const void* dib, const std::string& theirs, size_t at, int w, int h) {
    double sum = 0;
    for (int y = 0; y < h; ++y) {
        const auto* ours = static_cast<const uint8_t*>(dib) + size_t(DibRowBytes(w, 24)) * size_t(h - 1 - y);
        for (int x = 0; x < w * 3; ++x) {
            const double d = double(ours[x]) - uint8_t(theirs[at + size_t(y) * size_t(w) * 3 + size_t(x)]);
            sum += d * d;
        }
    }
    return sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * w * h * 3 / sum);
}

// Some writers get the header list's size a few bytes wrong, or store the coded height
// (rounded up to whole macroblocks) in the bitmap header. The file still opens with every
// frame, and the frame's size is that of the decoded pictures, as ffmpeg reports it.
TEST_F(DecAVIFile, HeaderSizesOffByAFewBytesAndACodedHeightAreMended) {
    MovieDesc desc;
    desc.video = VideoCodec::H264;
    desc.frames = 30;
    const auto made = m_dir / "made.avi";
    std::string log;
    ASSERT_TRUE(MakeTestMovie(desc, made, &log)) << log;
    std::string theirs;
    RunCommand("ffmpeg -v error -i " + ShellQuote(made.string()) + " -f rawvideo -pix_fmt bgr24 -", &theirs);
    const size_t frameBytes = size_t(desc.width) * desc.height * 3;
    ASSERT_EQ(frameBytes * desc.frames, theirs.size());
    for (int delta : {-4, 4, -2}) {
        SCOPED_TRACE(delta);
        const auto shifted = m_dir / "shifted.avi";
        ASSERT_TRUE(ShiftListSize(made, "hdrl", delta, shifted));
        std::string bytes = ReadFileBytes(shifted);
        const size_t strf = bytes.find("strf");
        ASSERT_NE(std::string::npos, strf);
        const int32_t coded = desc.height + 2;
        if (delta == -4) std::memcpy(&bytes[strf + 8 + 8], &coded, 4);  // biHeight
        ASSERT_EQ(0, OpenBytes(bytes));
        ASSERT_EQ(desc.frames, m_reader.GetFrameCount());
        EXPECT_EQ(desc.width, m_reader.GetWidth());
        EXPECT_EQ(desc.height, m_reader.GetHeight());
        for (int i = 0; i < desc.frames; ++i) {
            void* bits = nullptr;
            ASSERT_EQ(i, m_reader.GetFrame(i, &bits));
            BITMAPINFOHEADER bih{};
            m_reader.GetOutputFormat(&bih);
            ASSERT_EQ(desc.height, bih.biHeight);
            EXPECT_GE(Psnr(bits, theirs, frameBytes * size_t(i), desc.width, desc.height), 40.0) << i;
        }
    }
}

TEST_F(DecAVIFile, FailedOpensReportTheirCodeAndLeaveNothingSet) {
    EXPECT_EQ(0, m_reader.GetWidth());
    EXPECT_EQ(0, m_reader.GetFrameCount());
    EXPECT_EQ(nullptr, m_reader.GetAudioFormat());
    EXPECT_FALSE(m_reader.HasAudio());

    EXPECT_EQ(1002, m_reader.Open((m_dir / "missing.avi").wstring().c_str()));
    EXPECT_EQ(1002, OpenBytes("RIFF\4\0\0\0WAVE"));

    SynthAvi audioOnly;
    SynthStream a;
    a.type = streamtypeAUDIO;
    a.sampleSize = 2;
    a.format = PcmFormat(8000, 1, 16);
    audioOnly.streams.push_back(a);
    audioOnly.chunks.push_back({0, std::string(200, '\0'), true});
    EXPECT_EQ(1006, Open(audioOnly));

    SynthAvi zeroRate = SimpleVideo(3);
    zeroRate.streams[0].rate = 0;
    EXPECT_EQ(1005, Open(zeroRate));
    SynthAvi zeroScale = SimpleVideo(3);
    zeroScale.streams[0].scale = 0;
    EXPECT_EQ(1005, Open(zeroScale));
    // Past the reader's signed 32-bit rate and scale the frame rate would turn negative.
    SynthAvi hugeRate = SimpleVideo(3);
    hugeRate.streams[0].rate = 0x80000000u;
    EXPECT_EQ(1005, Open(hugeRate));
    SynthAvi hugeScale = SimpleVideo(3);
    hugeScale.streams[0].scale = 0xFFFFFFFFu;
    EXPECT_EQ(1005, Open(hugeScale));

    SynthAvi shortFormat = SimpleVideo(3);
    shortFormat.streams[0].format.resize(24);
    EXPECT_NE(0, Open(shortFormat));

    BITMAPINFOHEADER h{};
    m_reader.GetOutputFormat(&h);
    EXPECT_EQ(0u, h.biSize);
    void* bits = nullptr;
    EXPECT_EQ(-1, m_reader.GetFrame(0, &bits));
    EXPECT_EQ(0, m_reader.GetWidth());
}

TEST_F(DecAVIFile, AFifoIsRefusedWithoutWaitingForAWriter) {
    const auto fifo = m_dir / "pipe.avi";
    ASSERT_TRUE(MakeFifo(fifo));
    int rc = 0;
    EXPECT_TRUE(FinishesWithin(std::chrono::seconds(2), fifo,
                               [&] { rc = m_reader.Open(fifo.wstring().c_str()); }));
    EXPECT_EQ(1002, rc);
}

TEST_F(DecAVIFile, DescribesTheStreamInShortTexts) {
    const struct {
        FOURCC handler;
        DWORD compression;
        const wchar_t* handlerText;
        const wchar_t* codecText;
    } cases[] = {{0, BI_RGB, L"None", L"None"},
                 {MAKEFOURCC('D', 'I', 'B', ' '), BI_RLE8, L"DIB ", L"Rle8"},
                 {1, MAKEFOURCC('a', 'b', 0, 'c'), L"Rle8", L"ab"},
                 {MAKEFOURCC('x', 'v', 'i', 'd'), MAKEFOURCC('X', 'V', 'I', 'D'), L"xvid", L"XVID"}};
    for (const auto& c : cases) {
        SynthAvi avi = SimpleVideo(2);
        avi.streams[0].handler = c.handler;
        avi.streams[0].format = BitmapFormat(32, 16, 24, c.compression);
        ASSERT_EQ(0, Open(avi));
        EXPECT_EQ(L"vids", m_reader.GetTypeText());
        EXPECT_EQ(c.handlerText, m_reader.GetHandlerText());
        EXPECT_EQ(c.codecText, m_reader.GetCodecText());
        if (c.handler == 0) {
            EXPECT_EQ(MAKEFOURCC('N', 'o', 'n', 'e'), m_reader.GetStreamInfo()->fccHandler);
        }
    }
}

// Pattern frames in the uncompressed layouts a DIB can take.
std::string Pack(int index, int width, int height, int bits, bool topDown, DWORD compression) {
    const std::string rgb = IndexFrameDib24(index, width, height, topDown);
    const int64_t inRow = DibRowBytes(width, 24);
    const int64_t outRow = DibRowBytes(width, bits);
    std::string out(size_t(outRow * height), '\0');
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto* p = reinterpret_cast<const uint8_t*>(rgb.data() + y * inRow + x * 3);
            auto* q = reinterpret_cast<uint8_t*>(out.data() + y * outRow);
            if (bits == 8) {
                q[x] = p[0] > 128;  // palette: 0 dark, 1 light
            } else if (bits == 16) {
                const uint32_t v = compression == BI_BITFIELDS
                                       ? (p[2] >> 3) << 11 | (p[1] >> 2) << 5 | (p[0] >> 3)
                                       : (p[2] >> 3) << 10 | (p[1] >> 3) << 5 | (p[0] >> 3);
                q[2 * x] = uint8_t(v);
                q[2 * x + 1] = uint8_t(v >> 8);
            } else {
                std::memcpy(q + x * bits / 8, p, 3);
            }
        }
    return out;
}

// RLE8: each row as runs of one colour, then end of line; end of picture at the end.
std::string Rle8(const std::string& rows8, int width, int height) {
    const int64_t row = DibRowBytes(width, 8);
    std::string out;
    for (int y = 0; y < height; ++y) {
        const char* r = rows8.data() + y * row;
        for (int x = 0; x < width;) {
            int n = 1;
            while (x + n < width && n < 255 && r[x + n] == r[x]) ++n;
            out += char(n);
            out += r[x];
            x += n;
        }
        out += std::string("\0\0", 2);
    }
    out += std::string("\0\1", 2);
    return out;
}

TEST_F(DecAVIFile, UncompressedAndRleLayoutsShowTheirFrames) {
    const std::vector<RGBQUAD> palette = {{16, 16, 16, 0}, {240, 240, 16, 0}};
    const struct {
        int bits;
        DWORD compression;
        bool topDown;
        int width;
    } cases[] = {{24, BI_RGB, false, 33}, {24, BI_RGB, true, 33},  {32, BI_RGB, false, 32},
                 {16, BI_RGB, false, 34}, {16, BI_BITFIELDS, true, 34}, {8, BI_RGB, false, 37},
                 {8, BI_RLE8, false, 37}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits * 100 + int(c.compression) * 10 + c.topDown);
        const int height = 16;
        SynthAvi avi;
        SynthStream v;
        v.format = BitmapFormat(c.width, c.topDown ? -height : height, c.bits, c.compression,
                                c.bits == 8 ? palette : std::vector<RGBQUAD>{});
        if (c.compression == BI_BITFIELDS)
            for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) v.format.append(reinterpret_cast<char*>(&m), 4);
        avi.streams.push_back(v);
        for (int i = 0; i < 9; ++i) {
            std::string data = Pack(i, c.width, height, c.bits, c.topDown, c.compression);
            if (c.compression == BI_RLE8) data = Rle8(data, c.width, height);
            avi.chunks.push_back({0, data, true});
        }
        ASSERT_EQ(0, Open(avi));
        EXPECT_EQ(height, m_reader.GetHeight());
        for (int i : {0, 8, 3, 3, 5, 1}) EXPECT_EQ(i, IndexOf(i)) << i;
    }
}

TEST_F(DecAVIFile, DroppedFramesShowThePreviousPicture) {
    SynthAvi avi = SimpleVideo(8);
    avi.chunks[3].data.clear();
    avi.chunks[4].data.clear();
    ASSERT_EQ(0, Open(avi));
    ASSERT_EQ(8, m_reader.GetFrameCount());
    for (int n : {4, 3, 5, 2, 4, 7}) EXPECT_EQ(n == 3 || n == 4 ? 2 : n, IndexOf(n)) << n;

    CMemBuffBase<unsigned char> buffer;
    int samples = 0, bytes = -1;
    EXPECT_EQ(0, m_reader.ReadSample(3, &samples, &buffer, &bytes));
    EXPECT_EQ(0, bytes);
    EXPECT_EQ(0, m_reader.ReadSample(5, &samples, &buffer, &bytes));
    EXPECT_EQ(1, samples);
    ASSERT_EQ(int(avi.chunks[5].data.size()), bytes);
    EXPECT_EQ(0, std::memcmp(buffer.GetData(), avi.chunks[5].data.data(), size_t(bytes)));
    EXPECT_EQ(1007, m_reader.ReadSample(8, &samples, &buffer, &bytes));
}

TEST_F(DecAVIFile, AFrameThatCannotBeMadeLeavesTheLastHeader) {
    ASSERT_EQ(0, Open(SimpleVideo(4)));
    EXPECT_EQ(2, IndexOf(2));
    BITMAPINFOHEADER before{}, after{};
    m_reader.GetOutputFormat(&before);
    EXPECT_EQ(DWORD(DibRowBytes(32, 24) * 16), before.biSizeImage);
    EXPECT_EQ(0u, before.biClrUsed);
    EXPECT_EQ(0, m_reader.Reserved(1, 2, 3));
    void* bits = nullptr;
    EXPECT_EQ(-1, m_reader.GetFrame(4, &bits));
    EXPECT_EQ(-1, m_reader.GetFrame(-1, &bits));
    m_reader.GetOutputFormat(&after);
    EXPECT_EQ(0, std::memcmp(&before, &after, sizeof(before)));
}

TEST_F(DecAVIFile, OpenDmlPartsAndKeyFramesReachEveryFrame) {
    for (SynthIndex index : {SynthIndex::OpenDml, SynthIndex::OpenDmlIdx1, SynthIndex::OpenDmlField}) {
        SynthAvi avi = SimpleVideo(30, 32, 16, index);
        avi.parts = 3;
        for (int i = 0; i < 30; ++i) avi.chunks[size_t(i)].key = i % 4 == 0;
        ASSERT_EQ(0, Open(avi));
        ASSERT_EQ(30, m_reader.GetFrameCount());
        for (int n : {29, 0, 15, 10, 11}) EXPECT_EQ(n, IndexOf(n));
        EXPECT_TRUE(m_reader.IsKeyFrame(12));
        EXPECT_FALSE(m_reader.IsKeyFrame(13));
    }
}

TEST_F(DecAVIFile, FormatBlockIsHandedToTheCaller) {
    ASSERT_EQ(0, Open(SimpleVideo(2, 32, 16)));
    void* block = nullptr;
    int size = 0;
    ASSERT_EQ(0, m_reader.ReadFormat(&block, &size));
    ASSERT_EQ(40, size);
    BITMAPINFOHEADER h;
    std::memcpy(&h, block, sizeof(h));
    std::free(block);
    EXPECT_EQ(32, h.biWidth);
    EXPECT_EQ(25.0, m_reader.GetFrameRate());
}

// Frames pulled from a compressed movie and saved as BMP files with plain file
// I/O; ffmpeg reads them back, so the row order is checked from outside.
TEST(DecAVIFrames, PulledFramesSaveAsBitmapFiles) {
    TempDir dir;
    MovieDesc desc;
    desc.video = VideoCodec::Mpeg4BFrames;
    desc.width = 65;
    ASSERT_TRUE(MakeTestMovie(desc, dir / "in.avi"));
    CDecAVI reader;
    ASSERT_EQ(0, reader.Open((dir / "in.avi").wstring().c_str()));
    for (int n : {17, 3, 29}) {
        void* bits = nullptr;
        ASSERT_EQ(n, reader.GetFrame(n, &bits));
        BITMAPINFOHEADER h{};
        reader.GetOutputFormat(&h);
        BITMAPFILEHEADER fh{};
        fh.bfType = 0x4D42;
        fh.bfOffBits = sizeof(fh) + sizeof(h);
        fh.bfSize = fh.bfOffBits + h.biSizeImage;
        const auto path = dir / ("f" + std::to_string(n) + ".bmp");
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(nullptr, f);
        std::fwrite(&fh, sizeof(fh), 1, f);
        std::fwrite(&h, sizeof(h), 1, f);
        std::fwrite(bits, 1, h.biSizeImage, f);
        std::fclose(f);
        std::string rows;
        ASSERT_EQ(0, RunCommand("ffmpeg -v error -i " + ShellQuote(path.string()) +
                                    " -f rawvideo -pix_fmt bgr24 -",
                                &rows));
        ASSERT_EQ(size_t(65 * 48 * 3), rows.size());
        EXPECT_EQ(n, ReadIndexFrame(reinterpret_cast<const uint8_t*>(rows.data()), 65, 48, 65 * 3));
    }
}

}  // namespace
}  // namespace talvern::test
