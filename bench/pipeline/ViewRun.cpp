// The conversion run of the view without a screen, next to the media core doing the
// same job: every Nth frame of an AVI written as a JPEG file. The core side reads the
// frames in order with the AVI reader and hands them to an image file worker as the run
// does; the
// view side opens the movie in the real document and view (offscreen) and runs Play
// with the JPEG output on and the given display interval. Both keep the movie open
// between runs and are timed from the first frame to the last file; the runs
// alternate, and the ratio core time / view time (1 = the loop costs nothing) is
// printed for the medians, for the fastest run of each side and for the CPU time.
//
//   bench_view_run --in movie.avi [--display no|thins|all] [--runs R] [--every N]
//                  [--quality Q] [--threads N] [--out DIR]
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/TALVERNDoc.h"
#include "app/TALVERNView.h"
#include "bench/pipeline/AllocCounter.h"
#include "bench/pipeline/ReaderFrameSource.h"
#include "foundation/PathUtil.h"
#include "image/ImageFileWorker.h"
#include "platform/avifile/AviFrameDecoder.h"
#include "platform/ui/Command.h"
#include "platform/ui/QtUiHooks.h"
#include "platform/ui/UiServices.h"
#include "platform/win32/KernelChoice.h"
#include "readers/DecAVIAudio.h"
#include "resources/CommandIds.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
    std::string in;
    std::string out = "/dev/shm/talvern_view_run";
    std::string display = "no";
    int runs = 5;
    int every = 1;
    int quality = 75;
    int threads = 1;
};

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "bench_view_run: %s\n", why.c_str());
    std::exit(2);
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char* v = argv[i + 1];
        if (key == "--in") o.in = v;
        else if (key == "--out") o.out = v;
        else if (key == "--display") o.display = v;
        else if (key == "--runs") o.runs = std::max(1, std::atoi(v));
        else if (key == "--every") o.every = std::max(1, std::atoi(v));
        else if (key == "--quality") o.quality = std::atoi(v);
        else if (key == "--threads") o.threads = std::atoi(v);
        else Fail("unknown option " + key);
    }
    if (o.in.empty()) Fail("--in is required");
    if (o.display != "no" && o.display != "thins" && o.display != "all") Fail("--display wants no, thins or all");
    return o;
}

double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

void EmptyFolder(const fs::path& dir) {
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file()) fs::remove(e.path());
}

struct Timing {
    double seconds = 0;     // wall clock
    double cpuSeconds = 0;  // of the calling thread, which does all of the work
    double mallocsPerFrame = 0;
};

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The media core alone: the frames read in order and saved under the run's names.
class CoreJob {
public:
    explicit CoreJob(const Options& o) : m_o(o) {
        if (m_reader.Open(fs::path(o.in).wstring().c_str()) != 0) Fail("cannot open " + o.in);
        m_prefix = JoinOutputPath(fs::path(o.out).wstring(), GetPathFileTitle(fs::path(o.in).wstring()));
        m_path.reserve(m_prefix.size() + 16);
    }

    Timing Run() {
        EmptyFolder(m_o.out);
        const int frames = m_reader.GetFrameCount();
        const AllocCounts before = CurrentAllocCounts();
        const double cpu = ThreadCpuSeconds();
        const auto start = Clock::now();
        for (int f = 0; f < frames; ++f) {
            void* bits = nullptr;
            if (m_reader.GetFrame(f, &bits) != f || !bits) Fail("frame " + std::to_string(f) + " does not decode");
            if ((f + 1) % m_o.every != 0) continue;
            // The reader describes its frames once it has delivered one.
            BITMAPINFOHEADER header{};
            m_reader.GetOutputFormat(&header);
            wchar_t suffix[32];
            std::swprintf(suffix, 32, L" %07d.jpg", f + 1);
            m_path.assign(m_prefix).append(suffix);
            while (!m_files.WaitForSlot(1000)) continue;
            // The reader gives up the frame's storage, as in the run.
            if (m_files.Failed() || !m_files.Post(f, static_cast<const BYTE*>(bits), header, m_o.quality, &m_path, 1,
                                                  false, nullptr, nullptr, 0, &m_source))
                Fail("an image was not written");
        }
        while (!m_files.WaitForAll(1000)) continue;
        if (m_files.Failed()) Fail("an image was not written");
        const double seconds = Since(start);
        return {seconds, ThreadCpuSeconds() - cpu, double(CurrentAllocCounts().mallocs - before.mallocs) / frames};
    }

private:
    const Options& m_o;
    CDecAVIAudioComp m_reader;
    CReaderFrameSource m_source{m_reader};
    CImageFileWorker m_files;
    std::wstring m_prefix, m_path;
};

// The program's own run: document, view and Play, the window shown offscreen.
class ViewJob {
public:
    explicit ViewJob(const Options& o) : m_o(o) {
        m_doc.SetView(&m_view);
        m_view.SetDocument(&m_doc);
        m_view.GetRunHooks().beep = [] {};
        m_view.resize(760, 675);
        m_view.show();
        if (!m_doc.OnOpenDocument(fs::path(o.in).wstring())) Fail("the view cannot open " + o.in);
        m_doc.m_Info.m_strOutputFolder = fs::path(o.out).wstring();
        m_doc.m_Info.m_nJpegQuality = o.quality;
        m_doc.m_Info.m_nImageInterval = o.every;
        m_doc.m_nDisplayInterval = o.display == "no" ? 10000 : o.display == "thins" ? 30 : 1;
        m_doc.m_bOutputJpg = TRUE;
        QApplication::processEvents();
    }

    Timing Run() {
        EmptyFolder(m_o.out);
        m_view.SetCurrentFrame(m_view.GetFrameCount() - 1);  // Play starts again at the first frame
        const AllocCounts before = CurrentAllocCounts();
        const double cpu = ThreadCpuSeconds();
        const auto start = Clock::now();
        if (!DispatchCommand(m_view, ID_PLAY)) Fail("Play is not available");
        const double seconds = Since(start);
        if (!m_script.ui.messageBoxes.empty()) Fail("the run reported an error");
        const int frames = m_view.GetFrameCount();
        return {seconds, ThreadCpuSeconds() - cpu, double(CurrentAllocCounts().mallocs - before.mallocs) / frames};
    }

private:
    const Options& m_o;
    ScopedScriptedUi m_script;
    CTALVERNDoc m_doc;
    CTALVERNView m_view;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    ChooseJpegLibraryKernels();  // as the program does
    const Options o = Parse(argc, argv);
    fs::create_directories(o.out);
    const fs::path config = fs::path(o.out) / "config";
    fs::create_directories(config);
    setenv("TALVERN_CONFIG_DIR", config.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    SetFrameDecoderThreads(o.threads);
    QApplication app(argc, argv);
    InstallQtUiHooks();

    CoreJob core(o);
    ViewJob view(o);
    int frames = 0;
    {
        CDecAVIAudioComp probe;
        if (probe.Open(fs::path(o.in).wstring().c_str()) == 0) frames = probe.GetFrameCount();
    }
    std::vector<double> coreWall, viewWall, coreCpu, viewCpu;
    Timing c{}, v{};
    for (int r = 0; r < o.runs; ++r) {
        c = core.Run();
        v = view.Run();
        coreWall.push_back(c.seconds);
        viewWall.push_back(v.seconds);
        coreCpu.push_back(c.cpuSeconds);
        viewCpu.push_back(v.cpuSeconds);
        std::printf("run %d: core %.3f s (cpu %.3f), view %.3f s (cpu %.3f)\n", r + 1, c.seconds, c.cpuSeconds,
                    v.seconds, v.cpuSeconds);
    }
    // On a shared machine other work only ever adds time: the fastest run of each side
    // is the steadiest figure, the medians are printed beside it.
    const double cw = Median(coreWall), vw = Median(viewWall);
    const double cb = *std::min_element(coreWall.begin(), coreWall.end());
    const double vb = *std::min_element(viewWall.begin(), viewWall.end());
    std::printf("display=%s frames=%d core_fps=%.1f view_fps=%.1f ratio=%.3f best_ratio=%.3f cpu_ratio=%.3f "
                "core_mallocs_per_frame=%.2f view_mallocs_per_frame=%.2f\n",
                o.display.c_str(), frames, frames / cw, frames / vw, cw / vw, cb / vb,
                Median(coreCpu) / Median(viewCpu), c.mallocsPerFrame, v.mallocsPerFrame);
    return 0;
}
