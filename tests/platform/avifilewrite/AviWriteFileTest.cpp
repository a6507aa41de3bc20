#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "platform/avifile/AviFile.h"
#include "platform/avifile/AviWriteFile.h"
#include "platform/vcm/Vcm.h"
#include "tests/support/TestSupport.h"

using talvern::test::RunCommand;
using talvern::test::ShellQuote;
using talvern::test::TempDir;

namespace {

std::wstring Wide(const std::filesystem::path& p) {
    const std::string s = p.string();
    return std::wstring(s.begin(), s.end());
}

BITMAPINFOHEADER Rgb24(int w, int h) {
    BITMAPINFOHEADER bi{};
    bi.biSize = 40;
    bi.biWidth = w;
    bi.biHeight = h;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    bi.biSizeImage = static_cast<DWORD>(DibRowBytes(w, 24) * h);
    return bi;
}

AVISTREAMINFOW VideoInfo(int w, int h, DWORD rate, DWORD scale) {
    AVISTREAMINFOW info{};
    info.fccType = streamtypeVIDEO;
    info.fccHandler = MAKEFOURCC('D', 'I', 'B', ' ');
    info.dwRate = rate;
    info.dwScale = scale;
    info.dwQuality = 0xFFFFFFFF;
    info.rcFrame = {0, 0, w, h};
    return info;
}

std::vector<uint8_t> Frame(int index, const BITMAPINFOHEADER& bi) {
    std::vector<uint8_t> bits(bi.biSizeImage, static_cast<uint8_t>(index));
    std::memcpy(bits.data(), &index, sizeof index);
    return bits;
}

// Lines of "flags" (K_ or __) of every packet of one stream.
std::vector<std::string> PacketFlags(const std::filesystem::path& file, const char* stream) {
    std::string out;
    RunCommand("ffprobe -v error -select_streams " + std::string(stream) +
                   " -show_entries packet=flags -of csv=p=0 " + ShellQuote(file.string()),
               &out);
    std::vector<std::string> flags;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) flags.push_back(line.substr(0, 1));
    return flags;
}

std::string Probe(const std::filesystem::path& file, const std::string& entries, const char* stream = "v:0") {
    std::string out;
    RunCommand("ffprobe -v error -select_streams " + std::string(stream) + " -show_entries " + entries +
                   " -of default=nw=1 " + ShellQuote(file.string()),
               &out);
    return out;
}

}  // namespace

TEST(AviWriteFile, PlainFramesAndOddAudioChunksMakeAFileThatDecodesCompletely) {
    TempDir dir;
    const auto path = dir / "plain.avi";
    AVIFileInit();
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpenW(&file, Wide(path).c_str(), OF_CREATE | OF_WRITE | OF_SHARE_EXCLUSIVE, nullptr), AVIERR_OK);
    const BITMAPINFOHEADER bi = Rgb24(30, 20);
    AVISTREAMINFOW vinfo = VideoInfo(30, 20, 299700, 10000);
    PAVISTREAM video = nullptr, audio = nullptr;
    ASSERT_EQ(AVIFileCreateStreamW(file, &video, &vinfo), AVIERR_OK);
    ASSERT_EQ(AVIStreamSetFormat(video, 0, &bi, sizeof bi), AVIERR_OK);

    WAVEFORMATEX wf{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
    AVISTREAMINFOW ainfo{};
    ainfo.fccType = streamtypeAUDIO;
    ainfo.dwScale = 1;
    ainfo.dwRate = 8000;
    ainfo.dwSampleSize = 1;
    const char16_t name[] = u"Sound \u97f3";
    std::memcpy(ainfo.szName, name, sizeof name);
    ASSERT_EQ(AVIFileCreateStreamW(file, &audio, &ainfo), AVIERR_OK);
    ASSERT_EQ(AVIStreamSetFormat(audio, 0, &wf, sizeof wf), AVIERR_OK);

    std::vector<uint8_t> pcm(267, 128);  // odd: the chunk gets a pad byte
    for (int i = 0; i < 12; ++i) {
        const auto bits = Frame(i, bi);
        LONG s = 0, b = 0;
        ASSERT_EQ(AVIStreamWrite(video, i, 1, bits.data(), bi.biSizeImage, AVIIF_KEYFRAME, &s, &b), AVIERR_OK);
        EXPECT_EQ(s, 1);
        ASSERT_EQ(AVIStreamWrite(audio, i * 267, 267, pcm.data(), 267, AVIIF_KEYFRAME, &s, &b), AVIERR_OK);
        EXPECT_EQ(b, 267);
    }
    EXPECT_EQ(AVIStreamLength(video), 12);
    LONG fmtSize = 0;
    ASSERT_EQ(AVIStreamReadFormat(audio, 0, nullptr, &fmtSize), AVIERR_OK);
    EXPECT_EQ(fmtSize, 18);
    EXPECT_EQ(AviFileFinishWriting(file), AVIERR_OK);
    LONG s = 0, b = 0;
    EXPECT_NE(AVIStreamWrite(video, 12, 1, pcm.data(), 1, 0, &s, &b), AVIERR_OK) << "finished files take no more";
    AVIStreamRelease(audio);
    AVIStreamRelease(video);
    AVIFileRelease(file);
    AVIFileExit();

    EXPECT_EQ(Probe(path, "stream=codec_name,r_frame_rate,nb_frames,width,height"),
              "codec_name=rawvideo\nwidth=30\nheight=20\nr_frame_rate=2997/100\nnb_frames=12\n");
    EXPECT_EQ(Probe(path, "stream=codec_name,sample_rate:stream_tags=title", "a:0"),
              "codec_name=pcm_u8\nsample_rate=8000\nTAG:title=Sound \u97f3\n");
    std::string md5;
    ASSERT_EQ(RunCommand("ffmpeg -v error -i " + ShellQuote(path.string()) + " -map 0:a -f md5 -", &md5), 0);
    EXPECT_EQ(PacketFlags(path, "v:0"), std::vector<std::string>(12, "K"));
    std::string err;
    RunCommand("ffmpeg -v error -i " + ShellQuote(path.string()) + " -f null - 2>&1", &err);
    EXPECT_EQ(err, "");
}

TEST(AviWriteFile, CompressedStreamTakesTheCompressorsFormatAndKeyFlags) {
    TempDir dir;
    const auto path = dir / "xvid.avi";
    AVIFileInit();
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpenW(&file, Wide(path).c_str(), OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
    const BITMAPINFOHEADER bi = Rgb24(64, 48);
    AVISTREAMINFOW vinfo = VideoInfo(64, 48, 25, 1);
    vinfo.fccHandler = MAKEFOURCC('F', 'M', 'P', '4');
    PAVISTREAM plain = nullptr, compressed = nullptr;
    ASSERT_EQ(AVIFileCreateStreamW(file, &plain, &vinfo), AVIERR_OK);
    AVICOMPRESSOPTIONS opts{};
    opts.fccType = streamtypeVIDEO;
    opts.fccHandler = vinfo.fccHandler;
    opts.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_DATARATE | AVICOMPRESSF_VALID;
    opts.dwQuality = 8000;
    opts.dwKeyFrameEvery = 4;
    ASSERT_EQ(AVIMakeCompressedStream(&compressed, plain, &opts, nullptr), AVIERR_OK);
    BITMAPINFOHEADER not24 = bi;
    not24.biBitCount = 32;
    EXPECT_NE(AVIStreamSetFormat(compressed, 0, &not24, sizeof not24), AVIERR_OK);
    ASSERT_EQ(AVIStreamSetFormat(compressed, 0, &bi, sizeof bi), AVIERR_OK);
    BITMAPINFOHEADER out{};
    LONG size = sizeof out;
    ASSERT_EQ(AVIStreamReadFormat(plain, 0, &out, &size), AVIERR_OK);
    EXPECT_EQ(out.biCompression, MAKEFOURCC('F', 'M', 'P', '4'));
    for (int i = 0; i < 10; ++i) {
        const auto bits = Frame(i, bi);
        LONG s = 0, b = 0;
        ASSERT_EQ(AVIStreamWrite(compressed, i, 1, bits.data(), bi.biSizeImage, 0, &s, &b), AVIERR_OK);
    }
    AVIStreamRelease(compressed);
    AVIStreamRelease(plain);
    EXPECT_EQ(AviFileFinishWriting(file), AVIERR_OK);
    AVIFileRelease(file);
    AVIFileExit();

    EXPECT_EQ(PacketFlags(path, "v:0"),
              (std::vector<std::string>{"K", "_", "_", "_", "K", "_", "_", "_", "K", "_"}));
    EXPECT_EQ(Probe(path, "stream=codec_name,nb_frames"), "codec_name=mpeg4\nnb_frames=10\n");

    PAVISTREAM none = nullptr;
    opts.fccHandler = MAKEFOURCC('n', 'o', 'n', 'e');
    EXPECT_EQ(AVIMakeCompressedStream(&none, plain, &opts, nullptr), AVIERR_NOCOMPRESSOR);
}

// What a killed run leaves is the file as it is on disk before the finish: every frame
// up to its last whole second, under a header that counts them.
TEST(AviWriteFile, BeforeTheFinishTheFileOnDiskHoldsEverySecondWritten) {
    TempDir dir;
    const auto path = dir / "growing.avi";
    AVIFileInit();
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpenW(&file, Wide(path).c_str(), OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
    const BITMAPINFOHEADER bi = Rgb24(33, 24);
    AVISTREAMINFOW vinfo = VideoInfo(33, 24, 10, 1);
    PAVISTREAM video = nullptr;
    ASSERT_EQ(AVIFileCreateStreamW(file, &video, &vinfo), AVIERR_OK);
    ASSERT_EQ(AVIStreamSetFormat(video, 0, &bi, sizeof bi), AVIERR_OK);
    const auto snapshot = dir / "killed.avi";
    for (int i = 0; i < 36; ++i) {
        const auto bits = Frame(i, bi);
        LONG s = 0, b = 0;
        ASSERT_EQ(AVIStreamWrite(video, i, 1, bits.data(), bi.biSizeImage, AVIIF_KEYFRAME, &s, &b), AVIERR_OK);
        if (i != 0 && i != 34) continue;
        std::filesystem::copy_file(path, snapshot, std::filesystem::copy_options::overwrite_existing);
        // The first frame goes out at once, then each whole second: 3.5 s hold 3.
        const std::string count = i == 0 ? "1" : "30";
        EXPECT_EQ(Probe(snapshot, "stream=nb_frames"), "nb_frames=" + count + "\n") << i;
        std::string read;
        RunCommand("ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 " +
                       ShellQuote(snapshot.string()),
                   &read);
        EXPECT_EQ(read, count + "\n") << i;
    }
    AVIStreamRelease(video);
    EXPECT_EQ(AviFileFinishWriting(file), AVIERR_OK);
    AVIFileRelease(file);
    AVIFileExit();
    EXPECT_EQ(Probe(path, "stream=nb_frames"), "nb_frames=36\n");
}

TEST(AviWriteFile, AFullDiskIsReportedWhenTheFileIsFinished) {
    AVIFileInit();
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpenW(&file, L"/dev/full", OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
    const BITMAPINFOHEADER bi = Rgb24(16, 16);
    AVISTREAMINFOW vinfo = VideoInfo(16, 16, 25, 1);
    PAVISTREAM video = nullptr;
    ASSERT_EQ(AVIFileCreateStreamW(file, &video, &vinfo), AVIERR_OK);
    ASSERT_EQ(AVIStreamSetFormat(video, 0, &bi, sizeof bi), AVIERR_OK);
    const auto bits = Frame(0, bi);
    LONG s = 0, b = 0;
    AVIStreamWrite(video, 0, 1, bits.data(), bi.biSizeImage, AVIIF_KEYFRAME, &s, &b);
    AVIStreamRelease(video);
    EXPECT_EQ(AviFileFinishWriting(file), AVIERR_FILEWRITE);
    AVIFileRelease(file);
    AVIFileExit();
}

// Past 1 GiB the file continues in OpenDML parts; every frame must still be found.
TEST(AviWriteFile, LongRecordingsContinueInOpenDmlParts) {
    TempDir dir;
    const auto path = dir / "long.avi";
    AVIFileInit();
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpenW(&file, Wide(path).c_str(), OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
    const BITMAPINFOHEADER bi = Rgb24(160, 120);
    AVISTREAMINFOW vinfo = VideoInfo(160, 120, 30, 1);
    PAVISTREAM video = nullptr;
    ASSERT_EQ(AVIFileCreateStreamW(file, &video, &vinfo), AVIERR_OK);
    ASSERT_EQ(AVIStreamSetFormat(video, 0, &bi, sizeof bi), AVIERR_OK);
    const int frames = static_cast<int>((uint64_t{1} << 30) / bi.biSizeImage) + 2000;
    std::vector<uint8_t> bits(bi.biSizeImage, 77);
    for (int i = 0; i < frames; ++i) {
        std::memcpy(bits.data(), &i, sizeof i);
        LONG s = 0, b = 0;
        ASSERT_EQ(AVIStreamWrite(video, i, 1, bits.data(), bi.biSizeImage, AVIIF_KEYFRAME, &s, &b), AVIERR_OK);
    }
    AVIStreamRelease(video);
    ASSERT_EQ(AviFileFinishWriting(file), AVIERR_OK);
    AVIFileRelease(file);
    AVIFileExit();

    EXPECT_GT(std::filesystem::file_size(path), uint64_t{1} << 30);
    std::string out;
    RunCommand("ffprobe -v error -count_packets -show_entries stream=nb_read_packets,nb_frames -of default=nw=1 " +
                   ShellQuote(path.string()),
               &out);
    EXPECT_EQ(out, "nb_frames=" + std::to_string(frames) + "\nnb_read_packets=" + std::to_string(frames) + "\n");
    // The last frame's bytes come back from the end of the second part.
    RunCommand("ffmpeg -v error -i " + ShellQuote(path.string()) + " -c copy -f rawvideo - | tail -c " +
                   std::to_string(bi.biSizeImage) + " | head -c 4 | od -An -tu4",
               &out);
    EXPECT_EQ(std::stoi(out), frames - 1);
}
