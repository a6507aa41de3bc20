#pragma once
// CMciMovie: one open movie device. It reads the movie with a reader of its own
// (readers are never shared between threads), plays it in real time on a thread
// of its own, with its pictures timed by the sound the audio device has taken, or
// by a steady clock when there is no sound to follow, and shows the frames on the
// surface it was opened with. Every operation is called from one thread (the
// thread that opened it); the play thread only reads, shows and feeds the sound.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/mci/Mci.h"
#include "platform/mci/MciAudioOut.h"
#include "platform/mci/MciVideoSurface.h"
#include "readers/DecAVIAudio.h"

class CMciMovie {
public:
    CMciMovie() = default;
    ~CMciMovie();
    CMciMovie(const CMciMovie&) = delete;
    CMciMovie& operator=(const CMciMovie&) = delete;

    // The surface may be null: the movie then plays unseen. No sound and no audio
    // device do not fail the open.
    MCIERROR Open(const wchar_t* path, IMciVideoSurface* surface);
    // Plays from `frame` to the end of the movie and stops on its last frame.
    MCIERROR PlayFrom(int frame);
    // Plays on from where a stop left off; after a seek, from the frame sought;
    // after the end, nothing.
    MCIERROR Resume();
    // Stops playing; the picture and the position stay.
    MCIERROR Stop();
    // Stops and shows `frame`, which becomes the position.
    MCIERROR SeekTo(int frame);
    // Stops the play thread, silences and releases the audio device, closes the reader.
    void Close();

    bool IsOpen() const { return m_frameCount > 0; }
    bool IsPlaying() const { return m_running.load(); }
    // The frame shown last (the start frame until a play has shown one).
    int GetPosition() const { return m_position.load(); }
    int GetFrameCount() const { return m_frameCount; }
    // An audio device plays the movie's sound (and times its pictures).
    bool HasSound() const { return m_audio.IsOpen(); }

private:
    void OpenSound();
    void PrepareRun(int frame);
    void StartThread();
    void StopThread();
    // Off the UI thread: the play thread ("tv-player") runs RunPlay, which feeds the
    // sound and shows the frames due; a seek runs the last two on the caller's thread
    // while no play thread runs.
    void RunPlay();
    void FeedSound();
    bool ShowFrame(int frame);
    double Clock() const;
    int DueFrame() const;
    std::chrono::milliseconds NextWait() const;

    CDecAVIAudioComp m_reader;
    CMciAudioOut m_audio;
    IMciVideoSurface* m_surface = nullptr;
    int m_frameCount = 0;
    double m_fps = 0;
    std::vector<uint8_t> m_pcm;  // one read of sound
    size_t m_pcmBlock = 1;

    // Play state. The play thread owns these while it runs; the owning thread
    // touches them only when no play thread runs.
    int m_runStart = 0;       // frame at clock zero
    bool m_runReady = false;  // clock and sound line up with m_runStart
    bool m_finished = false;  // the last play reached the end
    bool m_soundDone = false;
    int m_shown = -1;
    double m_steadyBefore = 0;  // steady seconds of the run before the latest start
    std::chrono::steady_clock::time_point m_steadyStart{};
    bool m_steadyRunning = false;

    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stopRequested = false;
    std::atomic<bool> m_running{false};
    std::atomic<int> m_position{0};
};
