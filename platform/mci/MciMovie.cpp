#include "platform/mci/MciMovie.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include "foundation/PathUtil.h"
#include "platform/win32/ThreadRole.h"

namespace {

constexpr size_t kPcmRead = 16384;
constexpr auto kLongestWait = std::chrono::milliseconds(10);

}  // namespace

CMciMovie::~CMciMovie() { Close(); }

MCIERROR CMciMovie::Open(const wchar_t* path, IMciVideoSurface* surface) {
    Close();
    struct stat st;
    const std::string native = NativePath(path ? path : L"");
    if (native.empty() || ::stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return MCIERR_FILE_NOT_FOUND;
    if (m_reader.Open(path) != 0) return MCIERR_INVALID_FILE;
    const double fps = m_reader.GetFrameRate();
    if (m_reader.GetFrameCount() <= 0 || !(fps > 0) || !std::isfinite(fps)) {
        m_reader.Close();
        return MCIERR_INVALID_FILE;
    }
    m_frameCount = m_reader.GetFrameCount();
    m_fps = fps;
    m_surface = surface;
    m_position = 0;
    m_finished = false;
    m_runReady = false;
    OpenSound();
    return 0;
}

// Sound the audio device cannot take, or no audio device at all, leaves the movie
// without sound: its pictures then follow the steady clock.
void CMciMovie::OpenSound() {
    if (!m_reader.HasAudioStream() || !m_reader.GetAudioFormat()) return;
    m_reader.StartAudio(0);
    const WAVEFORMATEX* pcm = m_reader.GetPCMFormat();
    if (!pcm || !m_audio.Open(*pcm)) return;
    m_pcmBlock = std::max<size_t>(pcm->nBlockAlign, 1);
    m_pcm.assign(kPcmRead / m_pcmBlock * m_pcmBlock + m_pcmBlock, 0);
}

void CMciMovie::Close() {
    StopThread();
    m_audio.Close();
    m_reader.Close();
    m_surface = nullptr;
    m_frameCount = 0;
    m_fps = 0;
    m_pcm.clear();
    m_position = 0;
}

MCIERROR CMciMovie::PlayFrom(int frame) {
    if (!IsOpen()) return MCIERR_INVALID_DEVICE_ID;
    if (frame < 0 || frame >= m_frameCount) return MCIERR_OUTOFRANGE;
    StopThread();
    PrepareRun(frame);
    StartThread();
    return 0;
}

MCIERROR CMciMovie::Resume() {
    if (!IsOpen()) return MCIERR_INVALID_DEVICE_ID;
    if (m_running) return 0;
    StopThread();  // a play that ended by itself leaves its thread to join
    if (m_finished) return 0;
    if (!m_runReady) PrepareRun(m_position);
    StartThread();
    return 0;
}

MCIERROR CMciMovie::Stop() {
    if (!IsOpen()) return MCIERR_INVALID_DEVICE_ID;
    StopThread();
    return 0;
}

MCIERROR CMciMovie::SeekTo(int frame) {
    if (!IsOpen()) return MCIERR_INVALID_DEVICE_ID;
    if (frame < 0 || frame >= m_frameCount) return MCIERR_OUTOFRANGE;
    StopThread();
    m_audio.Reset();
    m_runReady = false;
    m_finished = false;
    m_position = frame;
    return ShowFrame(frame) ? 0 : MCIERR_INVALID_FILE;
}

// Clock zero at `frame`: the sound restarts at the sample of that frame and the
// ring is filled before the device starts, so the first sound heard is that frame's.
void CMciMovie::PrepareRun(int frame) {
    m_runStart = frame;
    m_shown = frame - 1;
    m_position = frame;
    m_runReady = true;
    m_finished = false;
    m_steadyBefore = 0;
    m_soundDone = false;
    if (!m_audio.IsOpen()) return;
    m_audio.Reset();
    m_reader.StartAudio(m_reader.FrameToSample(frame));
    FeedSound();
}

void CMciMovie::StartThread() {
    m_stopRequested = false;
    m_running = true;
    m_steadyStart = std::chrono::steady_clock::now();
    m_steadyRunning = true;
    m_audio.Start();
    m_thread = std::thread(&CMciMovie::RunPlay, this);
}

void CMciMovie::StopThread() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
    m_audio.Pause();
    if (m_steadyRunning) {
        const std::chrono::duration<double> ran = std::chrono::steady_clock::now() - m_steadyStart;
        m_steadyBefore += ran.count();
    }
    m_steadyRunning = false;
    m_running = false;
}

void CMciMovie::RunPlay() {
    NameThisThread("tv-player");
    for (;;) {
        FeedSound();
        const int due = DueFrame();
        if (due >= m_frameCount) {
            if (m_shown < m_frameCount - 1) ShowFrame(m_frameCount - 1);
            m_finished = true;
            break;
        }
        if (due > m_shown) ShowFrame(due);
        std::unique_lock<std::mutex> lock(m_lock);
        if (m_wake.wait_for(lock, NextWait(), [this] { return m_stopRequested; })) break;
    }
    m_audio.Pause();
    m_running = false;
}

void CMciMovie::FeedSound() {
    if (!m_audio.IsOpen() || m_soundDone) return;
    for (;;) {
        const size_t room = std::min(m_audio.Space(), m_pcm.size()) / m_pcmBlock * m_pcmBlock;
        if (room == 0) return;
        const int got = m_reader.ReadPCM(m_pcm.data(), int(room));
        if (got <= 0) {
            m_soundDone = true;
            m_audio.MarkEnd();
            return;
        }
        m_audio.Write(m_pcm.data(), std::min(size_t(got), room));
    }
}

// A frame the reader cannot deliver is passed over; the previous picture stays.
bool CMciMovie::ShowFrame(int frame) {
    void* bits = nullptr;
    if (m_reader.GetFrame(frame, &bits) != frame || !bits) return false;
    m_shown = frame;
    m_position = frame;
    if (m_surface) {
        BITMAPINFOHEADER header{};
        m_reader.GetOutputFormat(&header);
        m_surface->ShowFrame(frame, header, bits);
    }
    return true;
}

double CMciMovie::Clock() const {
    if (m_audio.IsOpen()) return m_audio.Seconds();
    double seconds = m_steadyBefore;
    if (m_steadyRunning) {
        const std::chrono::duration<double> ran = std::chrono::steady_clock::now() - m_steadyStart;
        seconds += ran.count();
    }
    return seconds;
}

int CMciMovie::DueFrame() const {
    const double frames = std::floor(Clock() * m_fps + 1e-6);
    return int(std::min(m_runStart + frames, double(m_frameCount)));
}

// Until the next frame is due, but never so long that the sound runs short.
std::chrono::milliseconds CMciMovie::NextWait() const {
    const double next = (m_shown + 1 - m_runStart) / m_fps - Clock();
    const auto ms = std::chrono::milliseconds(long(std::ceil(std::max(next, 0.0) * 1000)));
    return std::clamp(ms, std::chrono::milliseconds(1), kLongestWait);
}
