// Writes the small seed corpus of every fuzz target, one folder per entry below the
// folder named on the command line: files of each kind that the readers take whole,
// made by our own writers, the synthetic AVI builder and ffmpeg.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/SysUtil.h"
#include "image/ResImgFile.h"
#include "platform/registry/RegistryStore.h"
#include "platform/win32/WideChar.h"
#include "tests/data/SyntheticAvi.h"
#include "tests/data/TestMedia.h"
#include "tests/platform/acm/AudioTestSignals.h"
#include "tests/support/TestSupport.h"
#include "writers/WaveFileACM.h"

namespace {

namespace fs = std::filesystem;
using namespace talvern::test;

void Put(const fs::path& folder, const std::string& name, const std::string& bytes) {
    fs::create_directories(folder);
    WriteFileBytes(folder / name, bytes);
}

// ffmpeg's movie as a seed; nothing when ffmpeg cannot make it.
void PutMovie(const fs::path& folder, const std::string& name, const MovieDesc& desc, const fs::path& scratch) {
    const fs::path made = scratch / name;
    if (MakeTestMovie(desc, made)) Put(folder, name, ReadFileBytes(made));
}

MovieDesc Small(VideoCodec video, AudioCodec audio = AudioCodec::None) {
    MovieDesc d;
    d.video = video;
    d.width = 32;
    d.height = 16;
    d.frames = 4;
    d.gop = 2;
    d.audio = audio;
    d.sampleRate = 8000;
    return d;
}

void Movies(const fs::path& out, const fs::path& scratch) {
    for (const char* entry : {"avi_video", "media_detector"}) {
        const fs::path folder = out / entry;
        Put(folder, "synthetic.avi", BuildSyntheticAvi(SimpleVideo(3, 16, 8)));
        Put(folder, "no-index.avi", BuildSyntheticAvi(SimpleVideo(3, 16, 8, SynthIndex::None)));
        SynthAvi parts = SimpleVideo(4, 16, 8, SynthIndex::OpenDmlIdx1);
        parts.parts = 2;
        Put(folder, "opendml.avi", BuildSyntheticAvi(parts));
        for (VideoCodec codec : {VideoCodec::Mjpeg, VideoCodec::Mpeg4BFrames, VideoCodec::Huffyuv,
                                 VideoCodec::MsVideo1, VideoCodec::Pal8})
            PutMovie(folder, std::string(VideoCodecName(codec)) + ".avi", Small(codec), scratch);
    }
    const fs::path audio = out / "avi_audio";
    SynthAvi vbr = SimpleVideo(2, 16, 8);
    SynthStream pcm;
    pcm.type = streamtypeAUDIO;
    pcm.rate = 8000;
    pcm.format = PcmFormat(8000, 1, 16);
    vbr.streams.push_back(pcm);
    for (const char* chunk : {"abcd", "", "efgh"}) vbr.chunks.push_back({1, chunk, true});
    Put(audio, "variable-pcm.avi", BuildSyntheticAvi(vbr));
    for (AudioCodec codec : {AudioCodec::Pcm16, AudioCodec::MsAdpcm, AudioCodec::Mp3})
        PutMovie(audio, "audio" + std::to_string(int(codec)) + ".avi", Small(VideoCodec::RawBgr24, codec), scratch);
}

void Pictures(const fs::path& out, const fs::path& scratch) {
    const int w = 6, h = 4;
    std::vector<BYTE> bits(size_t(DibRowBytes(w, 24)) * h);
    for (size_t i = 0; i < bits.size(); ++i) bits[i] = BYTE(i * 37);
    for (const char* name : {"p.bmp", "p.png", "p.tif", "p.jpg"}) {
        BITMAPINFOHEADER header = MakeBitmapInfoHeader24(w, h);
        const fs::path made = scratch / name;
        if (CResImgFile().Save(bits.data(), &header, Utf8ToWide(made.string()).c_str(), 90))
            Put(out / "pictures", name, ReadFileBytes(made));
    }
    // The bitmap-resource form: info header and rows without the file header.
    const std::string bmp = ReadFileBytes(out / "pictures" / "p.bmp");
    if (bmp.size() > 14) Put(out / "pictures", "info-only.dib", bmp.substr(14));
}

std::string Utf16(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) out += {c, '\0'};
    return out;
}

void Texts(const fs::path& out) {
    const std::string prx =
        "<profile version=\"589824\" storageformat=\"1\" name=\"Seed\" description=\"\">\n"
        "<streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" "
        "streamname=\"Audio Stream\" inputname=\"Audio409\" bitrate=\"32000\" bufferwindow=\"3000\">\n"
        "<wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\" bfixedsizesamples=\"1\">\n"
        "<waveformatex wFormatTag=\"353\" nChannels=\"2\" nSamplesPerSec=\"44100\" wBitsPerSample=\"16\"/>\n"
        "</wmmediatype>\n</streamconfig>\n"
        "<streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\" streamnumber=\"2\" "
        "streamname=\"Video Stream\" inputname=\"Video409\" bitrate=\"250000\" bufferwindow=\"5000\">\n"
        "<videomediaprops maxkeyframespacing=\"30000000\" quality=\"75\"/>\n"
        "<wmmediatype subtype=\"{32564D57-0000-0010-8000-00AA00389B71}\" btemporalcompression=\"1\">\n"
        "<videoinfoheader dwbitrate=\"250000\" avgtimeperframe=\"333667\">\n"
        "<rcsource left=\"0\" top=\"0\" right=\"320\" bottom=\"240\"/>\n"
        "<bitmapinfoheader biwidth=\"320\" biheight=\"240\" biplanes=\"1\" bibitcount=\"24\" "
        "bicompression=\"WMV2\"/>\n</videoinfoheader>\n</wmmediatype>\n</streamconfig>\n</profile>\n";
    Put(out / "prx_profiles", "utf8.prx", prx);
    Put(out / "prx_profiles", "utf16.prx", Utf16(prx));

    const std::string ini = "; settings\r\n[SAVE]\r\nRegPos=ZELT\r\nQuality=80\r\n\r\n[Other]\r\nx=\"a b\"\r\n";
    Put(out / "ini_files", "crlf-bom.ini", "\xEF\xBB\xBF" + ini);
    Put(out / "ini_files", "utf16.ini", Utf16(ini));
    Put(out / "ini_files", "plain.ini", "[SAVE]\nRegPos=K\n");

    talvern::settings::RegistryData data;
    const std::wstring key = L"HKEY_CURRENT_USER\\Software\\ZELT\\TALVERN\\DATA";
    data.Set(key, L"Quality", talvern::settings::RegValue::Dword(80));
    data.Set(key, L"Folder", talvern::settings::RegValue::String(L"/home/a b/日本語 = 100%"));
    data.Set(key + L"\\Sub", L"Blob", talvern::settings::RegValue::Binary({0, 1, 0xFF}));
    Put(out / "registry_store", "store.txt", data.Serialize().value_or(""));
}

void Wavs(const fs::path& out, const fs::path& scratch) {
    const WAVEFORMATEX pcm = PcmWaveFormat(22050, 1, 16);
    const std::vector<BYTE> tone = Sine16(22050, 1, 1200);
    const std::vector<BYTE> ima = OfferedFormat(WAVE_FORMAT_IMA_ADPCM, 22050, 1);
    for (const bool compressed : {false, true}) {
        if (compressed && ima.empty()) continue;
        const fs::path made = scratch / (compressed ? "ima.wav" : "pcm.wav");
        {
            CWaveFileACM wav;
            wav.SetSourceFormat(&pcm);
            if (compressed) wav.SetTargetFormat(reinterpret_cast<const WAVEFORMATEX*>(ima.data()));
            if (!wav.OpenWrite(Utf8ToWide(made.string()).c_str())) continue;
            wav.Write(tone.data(), int(tone.size()));
        }
        Put(out / "wav_files", made.filename().string(), ReadFileBytes(made));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seed folder>\n", argv[0]);
        return 2;
    }
    const fs::path out = argv[1];
    TempDir scratch;
    Movies(out, scratch.path());
    Pictures(out, scratch.path());
    Texts(out);
    Wavs(out, scratch.path());
    return 0;
}
