// The work of a conversion run without a window: every frame of an AVI read in order
// through the combined AVI reader, optionally deinterlaced and clipped/resized, every
// Nth frame written as a still image or fed to the AVI writer; or frames read at random
// positions as the position slider asks for them. Prints one line of figures per run.
//
//   bench_pipeline --in movie.avi --op decode|bmp|jpeg|png|tiff|avi|random
//                  [--every N] [--quality Q] [--threads N] [--out DIR] [--deint MODE]
//                  [--clip L,T,R,B] [--size WxH] [--codec FOURCC] [--count K] [--seed S]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/pipeline/AllocCounter.h"
#include "bench/pipeline/KeyDecode.h"
#include "bench/pipeline/ReaderFrameSource.h"
#include "image/IOdataE.h"
#include "image/ImageFileWorker.h"
#include "platform/avifile/AviFrameDecoder.h"
#include "platform/win32/KernelChoice.h"
#include "readers/DecAVIAudio.h"
#include "writers/EncAVI2.h"

namespace {

namespace fs = std::filesystem;

struct Options {
    std::string in;
    std::string op = "decode";
    std::string out = "/dev/shm/talvern_pipeline";
    std::string codec = "MJPG";
    int every = 1;
    int quality = 75;
    int threads = 1;
    int deint = 0;
    bool clip = false;
    RECT clipRect{};
    int outWidth = 0;
    int outHeight = 0;
    int count = 200;
    unsigned seed = 1;
};

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "bench_pipeline: %s\n", why.c_str());
    std::exit(2);
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char* v = argv[i + 1];
        if (key == "--in") o.in = v;
        else if (key == "--op") o.op = v;
        else if (key == "--out") o.out = v;
        else if (key == "--codec") o.codec = v;
        else if (key == "--every") o.every = std::max(1, std::atoi(v));
        else if (key == "--quality") o.quality = std::atoi(v);
        else if (key == "--threads") o.threads = std::atoi(v);
        else if (key == "--deint") o.deint = std::atoi(v);
        else if (key == "--count") o.count = std::max(1, std::atoi(v));
        else if (key == "--seed") o.seed = unsigned(std::atoi(v));
        else if (key == "--clip") {
            o.clip = std::sscanf(v, "%d,%d,%d,%d", &o.clipRect.left, &o.clipRect.top,
                                 &o.clipRect.right, &o.clipRect.bottom) == 4;
            if (!o.clip) Fail("--clip wants L,T,R,B");
        } else if (key == "--size") {
            if (std::sscanf(v, "%dx%d", &o.outWidth, &o.outHeight) != 2) Fail("--size wants WxH");
        } else {
            Fail("unknown option " + key);
        }
    }
    if (o.in.empty()) Fail("--in is required");
    return o;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long PeakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

long ResidentKb() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Deinterlace, clip and resize as a conversion run does, on buffers sized once.
class FrameStage {
public:
    FrameStage(const Options& o, const BITMAPINFOHEADER& in) : m_o(o), m_in(in), m_out(in) {
        m_active = o.deint != 0 || o.clip || o.outWidth > 0;
        if (!m_active) return;
        m_deint.resize(in.biSizeImage);
        if (o.clip) m_pipe.SetClipRect(o.clipRect.left, o.clipRect.top, o.clipRect.right, o.clipRect.bottom);
        else m_pipe.SetClipRect(0, 0, in.biWidth, in.biHeight);
        if (o.outWidth > 0) {
            m_out.biWidth = o.outWidth;
            m_out.biHeight = o.outHeight;
        } else if (o.clip) {
            m_out.biWidth = o.clipRect.right - o.clipRect.left;
            m_out.biHeight = o.clipRect.bottom - o.clipRect.top;
        }
        m_out.biSizeImage = DWORD(DibRowBytes(m_out.biWidth, 24) * m_out.biHeight);
        m_resized.resize(m_out.biSizeImage);
        m_resize = o.clip || o.outWidth > 0;
    }

    const BYTE* Run(const BYTE* bits) {
        if (!m_active) return bits;
        BITMAPINFOHEADER h = m_in;
        const BYTE* p = m_pipe.Deinterlace(bits, m_deint.data(), &h, m_o.deint);
        if (!p) Fail("deinterlace failed");
        if (!m_resize) return p;
        if (!m_pipe.Resize(p, m_resized.data(), &h, &m_out)) Fail("resize failed");
        return m_resized.data();
    }

    const BITMAPINFOHEADER& Out() const { return m_out; }

private:
    const Options& m_o;
    BITMAPINFOHEADER m_in;
    BITMAPINFOHEADER m_out;
    bool m_active = false;
    bool m_resize = false;
    CIOdataE m_pipe;
    std::vector<BYTE> m_deint;
    std::vector<BYTE> m_resized;
};

// Where every Nth frame goes.
class Sink {
public:
    Sink(const Options& o, const BITMAPINFOHEADER& frame, double rate, CDecMovie& reader)
        : m_o(o), m_header(frame), m_source(reader) {
        fs::create_directories(o.out);
        if (o.op == "avi") {
            m_encoder = std::make_unique<CEncAVI2>();
            CEncAVISetting& s = m_encoder->GetSetting();
            const std::string& c = o.codec;
            if (c.size() != 4) Fail("--codec wants a FOURCC");
            s.SetHandler(MAKEFOURCC(c[0], c[1], c[2], c[3]));
            // The setting is a percentage (the writer scales it to the compressor's 0..10000).
            s.SetQuality(o.quality);
            s.SetKeyFrameRate(12);
            const std::wstring path = (fs::path(o.out) / "out.avi").wstring();
            if (m_encoder->Create(path.c_str(), &m_header, int(rate * 10000 + 0.5), 0) != 0)
                Fail("the AVI writer did not open");
        } else if (o.op != "decode") {
            m_ext = L"." + std::wstring(o.op.begin(), o.op.end());
            if (o.op == "jpeg") m_ext = L".jpg";
            if (o.op == "tiff") m_ext = L".tif";
        }
        m_dir = fs::path(o.out).wstring() + L"/";
        m_path.reserve(m_dir.size() + 16);
    }

    ~Sink() {
        if (m_encoder && m_encoder->Close() != 0) Fail("the AVI file was not finished");
    }

    void Put(int n, const BYTE* bits) {
        if (n % m_o.every != 0) return;
        if (!m_encoder && m_ext.empty()) return;
        wchar_t name[16];
        std::swprintf(name, 16, L"%07d", n);
        // As in the program's run: files and movie frames are written beside the reading
        // of the next frames.
        m_path.assign(m_dir).append(name).append(m_ext);
        while (!m_files.WaitForSlot(1000)) continue;
        CImageFileWorker::FrameWriter* writer = m_encoder ? &m_frames : nullptr;
        // The reader gives up the storage of a frame it delivered unchanged, as in the program's run.
        if (m_files.Failed() ||
            !m_files.Post(n, bits, m_header, m_o.quality, &m_path, writer ? 0 : 1, false, writer, nullptr, 0, &m_source))
            Fail("an image or a frame was not written");
    }

    // Waits for the last image files.
    void Finish() {
        while (!m_files.WaitForAll(1000)) continue;
        if (m_files.Failed()) Fail("an image was not written");
    }

private:
    const Options& m_o;
    BITMAPINFOHEADER m_header;
    std::unique_ptr<CEncAVI2> m_encoder;
    struct Frames : CImageFileWorker::FrameWriter {
        explicit Frames(std::unique_ptr<CEncAVI2>& e) : encoder(e) {}
        void PrepareFrame(const BYTE* bits, int place) override { encoder->PrepareFrame(bits, place); }
        int WriteFrame(const BYTE* bits, int place) override { return encoder->WriteFrameAt(bits, place); }
        std::unique_ptr<CEncAVI2>& encoder;
    } m_frames{m_encoder};
    CReaderFrameSource m_source;
    // One encoder beside the reading when the decoder has one thread, as many as the
    // program takes otherwise.
    CImageFileWorker m_files{m_o.threads == 1 ? 1 : CImageFileWorker::DefaultEncoders()};
    std::wstring m_ext;
    std::wstring m_dir;
    std::wstring m_path;
};

void Open(CDecAVIAudioComp& reader, const Options& o) {
    SetFrameDecoderThreads(o.threads);
    if (reader.Open(fs::path(o.in).wstring().c_str()) != 0) Fail("cannot open " + o.in);
}

int Sequential(const Options& o) {
    const auto start = Clock::now();
    const double cpu0 = CpuSeconds();
    CDecAVIAudioComp reader;
    Open(reader, o);
    const int frames = reader.GetFrameCount();
    void* bits = nullptr;
    if (reader.GetFrame(0, &bits) < 0) Fail("frame 0 does not decode");
    BITMAPINFOHEADER header{};
    reader.GetOutputFormat(&header);
    FrameStage stage(o, header);
    Sink sink(o, stage.Out(), reader.GetFrameRate(), reader);

    // Steady state starts once every buffer has met a frame: after the first tenth.
    const int warm = std::max(2, frames / 10);
    AllocCounts steady{};
    long rss[4] = {};
    for (int n = 0; n < frames; ++n) {
        if (n == warm) steady = CurrentAllocCounts();
        if (reader.GetFrame(n, &bits) != n) Fail("frame " + std::to_string(n) + " does not decode");
        sink.Put(n, stage.Run(static_cast<const BYTE*>(bits)));
        for (int q = 0; q < 4; ++q)
            if (n == (frames - 1) * (q + 1) / 4) rss[q] = ResidentKb();
    }
    sink.Finish();
    const AllocCounts end = CurrentAllocCounts();
    const int steadyFrames = std::max(1, frames - warm);
    reader.Close();
    const double wall = Since(start);
    std::printf("op=%s frames=%d wall=%.3f cpu=%.3f fps=%.1f peak_kb=%ld rss_kb=%ld/%ld/%ld/%ld "
                "mallocs_per_frame=%.2f news_per_frame=%.2f\n",
                o.op.c_str(), frames, wall, CpuSeconds() - cpu0, frames / wall, PeakKb(), rss[0], rss[1],
                rss[2], rss[3], double(end.mallocs - steady.mallocs) / steadyFrames,
                double(end.news - steady.news) / steadyFrames);
    return 0;
}

// Frames at random positions, each compared with what decoding from its key frame costs.
int Random(const Options& o) {
    CDecAVIAudioComp reader;
    Open(reader, o);
    const int frames = reader.GetFrameCount();
    std::mt19937 rng(o.seed);
    std::uniform_int_distribution<int> pick(0, frames - 1);
    std::vector<int> targets(size_t(o.count));
    for (int& t : targets) t = pick(rng);

    void* bits = nullptr;
    reader.GetFrame(0, &bits);
    const auto start = Clock::now();
    for (int t : targets)
        if (reader.GetFrame(t, &bits) != t) Fail("frame " + std::to_string(t) + " does not decode");
    const double ours = Since(start);

    KeyDecoder key(o.in, o.threads);
    const auto keyStart = Clock::now();
    for (int t : targets)
        if (!key.DecodeFromKey(t)) Fail("the key-frame decode of " + std::to_string(t) + " failed");
    const double fromKey = Since(keyStart);
    std::printf("op=random frames=%d count=%d ours_ms=%.3f from_key_ms=%.3f ratio=%.3f\n", frames, o.count,
                1000 * ours / o.count, 1000 * fromKey / o.count, ours / fromKey);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ChooseJpegLibraryKernels();  // as the program does
    const Options o = Parse(argc, argv);
    // The AVI writer keeps its compressor choice in the settings folder: keep it out of the user's.
    const fs::path config = fs::path(o.out) / "config";
    fs::create_directories(config);
    setenv("TALVERN_CONFIG_DIR", config.c_str(), 1);
    return o.op == "random" ? Random(o) : Sequential(o);
}
