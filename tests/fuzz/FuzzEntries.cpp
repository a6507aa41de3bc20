#include "tests/fuzz/FuzzEntries.h"

#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

extern "C" {
#include <libavutil/log.h>
}

#include "image/ImgFileBmp.h"
#include "image/ImgFileCom.h"
#include "platform/registry/PrivateProfile.h"
#include "platform/registry/Profile.h"
#include "platform/registry/RegistryStore.h"
#include "platform/win32/GlobalMemory.h"
#include "platform/win32/WideChar.h"
#include "readers/DecAVIAudio.h"
#include "readers/DecDShowMovie.h"
#include "writers/EncWMV.h"
#include "writers/WaveFileACM.h"

namespace talvern::fuzz {
namespace {

namespace fs = std::filesystem;
using talvern::settings::RegistryData;
using talvern::settings::RegValue;

// The entries' own folder; removed when the process ends.
struct Folder {
    fs::path path;
    ~Folder() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
};
Folder g_folder;

// The input as a file of the entries' folder, by its wide name.
std::wstring InputFile(const char* name, const uint8_t* data, size_t size) {
    const fs::path path = g_folder.path / name;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size > 0) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return Utf8ToWide(path.string());
}

volatile uint8_t g_sink;

// Reads every byte of a result so that the address sanitizer sees whether it is there.
void Touch(const void* bytes, size_t size) {
    const auto* p = static_cast<const volatile uint8_t*>(bytes);
    uint8_t sum = 0;
    for (size_t i = 0; i < size; ++i) sum = uint8_t(sum + p[i]);
    g_sink = sum;
}

// The rows a reader says it delivered: bottom-up 24-bit rows padded to 4 bytes.
void TouchFrame(const BITMAPINFOHEADER& h, const void* bits) {
    if (!bits || h.biBitCount != 24 || h.biWidth <= 0) return;
    const size_t stride = (3 * size_t(h.biWidth) + 3) & ~size_t{3};
    Touch(bits, stride * size_t(std::abs(int64_t{h.biHeight})));
}

int AviVideo(const uint8_t* data, size_t size) {
    const std::wstring path = InputFile("video.avi", data, size);
    CDecAVI reader;
    if (reader.Open(path.c_str()) != 0) return 0;
    const int count = reader.GetFrameCount();
    for (int frame : {0, count / 2, count - 1}) {
        void* bits = nullptr;
        if (frame < 0 || reader.GetFrame(frame, &bits) < 0) continue;
        BITMAPINFOHEADER h{};
        reader.GetOutputFormat(&h);
        TouchFrame(h, bits);
    }
    CMemBuffBase<unsigned char> sample;
    for (int i = 0; i < std::min(count, 4); ++i) {
        int samples = 0, bytes = 0;
        if (reader.ReadSample(i, &samples, &sample, &bytes) == 0 && bytes > sample.GetCount()) return 1;
        reader.IsKeyFrame(i);
    }
    void* format = nullptr;
    int formatSize = 0;
    (void)reader.ReadFormat(&format, &formatSize);
    std::free(format);
    return 0;
}

// PCM bytes of up to `calls` reads; 1 when a read gives more than it was asked for.
int DrainPcm(CDecAVIAudioComp& reader, std::vector<BYTE>& buffer, int calls) {
    for (int i = 0; i < calls; ++i) {
        const int got = reader.ReadPCM(buffer.data(), int(buffer.size()));
        if (got > int(buffer.size()) || got < -1) return 1;
        if (got <= 0) break;
    }
    return 0;
}

int AviAudio(const uint8_t* data, size_t size) {
    const std::wstring path = InputFile("audio.avi", data, size);
    CDecAVIAudioComp reader;
    if (reader.Open(path.c_str()) != 0 || !reader.HasAudioStream()) return 0;
    std::vector<BYTE> buffer(1 << 16);
    reader.StartAudio(0);
    if (DrainPcm(reader, buffer, 64)) return 1;
    reader.StartAudio(reader.FrameToSample(reader.GetFrameCount() / 2));
    if (DrainPcm(reader, buffer, 8)) return 1;
    reader.SetAudioPosition(reader.GetAudioStart());
    int samples = 0, bytes = int(buffer.size());
    if (reader.ReadAudio(&samples, buffer.data(), &bytes) == 0 && bytes > int(buffer.size())) return 1;
    return 0;
}

int MediaDetector(const uint8_t* data, size_t size) {
    const std::wstring path = InputFile("movie.avi", data, size);
    CDecDShowMovie reader;
    if (reader.Open(path.c_str()) != 0) return 0;
    // Not the last frame: the count reaches one past the stream's end, where the
    // reader waits its whole frame bound for a sample that never comes.
    for (int frame : {0, reader.GetFrameCount() / 2}) {
        void* bits = nullptr;
        if (frame < 0 || reader.GetFrame(frame, &bits) < 0) continue;
        Touch(bits, size_t(reader.GetFrameBytes()));
    }
    return 0;
}

// A loaded picture is 24-bit rows of an acceptable size, all of them there.
int CheckPicture(PackedDib* dib) {
    if (!dib) return 0;
    const BITMAPINFOHEADER& h = dib->bmiHeader;
    const bool sound = h.biBitCount == 24 && ImageSizeAcceptable(h.biWidth, h.biHeight);
    if (sound) Touch(dib->Bits(), size_t(DibRowBytes(h.biWidth, 24) * h.biHeight));
    std::free(dib);
    return sound ? 0 : 1;
}

int Pictures(const uint8_t* data, size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return 0;
    if (size > 0) std::memcpy(GlobalLock(block), data, size);
    GlobalUnlock(block);
    const int any = CheckPicture(CImgFileCom().LoadFromGlobal(block, nullptr));
    GlobalFree(block);
    return any ? any : CheckPicture(CImgFileBmp::DecodeInfo(data, size, nullptr));
}

int PrxProfiles(const uint8_t* data, size_t size) {
    const std::wstring path = InputFile("profile.prx", data, size);
    CEncWMV writer;
    (void)writer.LoadProfileFile(path.c_str());
    return 0;
}

std::wstring ReadIni(const wchar_t* section, const wchar_t* key, const std::wstring& path) {
    wchar_t value[520];
    GetPrivateProfileStringW(section, key, L"<none>", value, 520, path.c_str());
    return value;
}

// A value written reads back, and the file's other values stay what they were.
int IniFiles(const uint8_t* data, size_t size) {
    const std::wstring path = InputFile("setting.ini", data, size);
    const std::wstring before = ReadIni(L"SAVE", L"RegPos", path);
    GetPrivateProfileIntW(L"SAVE", L"Quality", 7, path.c_str());
    if (!WritePrivateProfileStringW(L"SAVE", L"FuzzKey", L"fz", path.c_str())) return 0;
    if (ReadIni(L"SAVE", L"FuzzKey", path) != L"fz") return 1;
    return ReadIni(L"SAVE", L"RegPos", path) == before ? 0 : 2;
}

// Parsing undoes serialising: what a file parses to is written and read back unchanged,
// also with one more value set (every write through the store is exactly that).
int RegistryFile(const uint8_t* data, size_t size) {
    RegistryData parsed = RegistryData::Parse(std::string(reinterpret_cast<const char*>(data), size));
    const auto once = parsed.Serialize();
    if (!once) return 1;  // parsed text can always be stored again
    if (RegistryData::Parse(*once).Serialize() != once) return 2;
    const std::wstring key = L"HKEY_CURRENT_USER\\" + GetProfileSectionKey(L"DATA");
    parsed.Set(key, L"FuzzValue", RegValue::Dword(7));
    const auto changed = parsed.Serialize();
    if (!changed) return 1;
    const RegistryData back = RegistryData::Parse(*changed);
    if (back.Get(key, L"FuzzValue") != RegValue::Dword(7)) return 3;
    return back.Serialize() == changed ? 0 : 4;
}

int WavFiles(const uint8_t* data, size_t size) {
    const std::wstring path = InputFile("audio.wav", data, size);
    CWaveFileACM wav;
    if (!wav.OpenRead(path.c_str())) return 0;
    std::vector<BYTE> buffer(1 << 16);
    for (int i = 0; i < 256; ++i) {
        const int got = wav.Read(buffer.data(), int(buffer.size()));
        if (got > int(buffer.size()) || got < -1) return 1;
        if (got <= 0) break;
    }
    return 0;
}

}  // namespace

const std::vector<Entry>& Entries() {
    static const std::vector<Entry> entries = {
        {"avi_video", AviVideo},   {"avi_audio", AviAudio},     {"media_detector", MediaDetector},
        {"pictures", Pictures},    {"prx_profiles", PrxProfiles}, {"ini_files", IniFiles},
        {"registry_store", RegistryFile}, {"wav_files", WavFiles},
    };
    return entries;
}

const Entry* FindEntry(const std::string& name) {
    for (const Entry& e : Entries())
        if (name == e.name) return &e;
    return nullptr;
}

void PrepareEntries() {
    if (!g_folder.path.empty()) return;
    const char* tmp = std::getenv("TALVERN_TEST_TMP");
    const fs::path base = tmp && *tmp ? fs::path(tmp) : fs::temp_directory_path();
    g_folder.path = base / ("fuzz-" + std::to_string(::getpid()));
    std::error_code ec;
    fs::create_directories(g_folder.path / "config", ec);
    ::setenv("TALVERN_CONFIG_DIR", (g_folder.path / "config").c_str(), 1);
    av_log_set_level(AV_LOG_QUIET);
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
}

}  // namespace talvern::fuzz
