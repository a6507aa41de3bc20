#pragma once
// JpegReadAhead: the Motion JPEG frames after the one a reader going forward asked for,
// decoded on threads of their own while the caller works on that one. Each thread has
// its own JpegFrameDecoder and rows, so a frame comes out in the bytes the caller's own
// decoder gives it; a frame that does not decode cleanly is left to the caller.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class JpegReadAhead {
public:
    // frames: how many are decoded ahead at most, each on its own thread.
    explicit JpegReadAhead(int frames);
    ~JpegReadAhead();
    JpegReadAhead(const JpegReadAhead&) = delete;
    JpegReadAhead& operator=(const JpegReadAhead&) = delete;

    // How many frames the threads would take to decode ahead of a reader of this many
    // threads (0: the default); 0 when one thread is asked for.
    static int FramesFor(int threads);

    bool IsStarted(int index);
    // Whether a frame can be started.
    bool HasRoom();
    // Starts decoding frame index from its compressed bytes (copied) into rows like those
    // of out: a 40-byte header, then the picture's rows, the last first, rowBytes apart.
    void Start(int index, const uint8_t* data, size_t size, int width, int height, int64_t rowBytes,
               const std::vector<uint8_t>& out);
    enum class Taken { NotStarted, Decoded, Failed };
    // Waits for frame index; when it decoded, swaps its rows into *out.
    Taken Take(int index, std::vector<uint8_t>* out);
    // Forgets every frame started, after waiting for those being decoded.
    void Clear();

private:
    struct Job;
    // Off the caller's thread: each job's own thread ("tv-readahead") decodes what is
    // queued for it, until the read-ahead ends.
    void Run(Job& job);
    Job* Find(int index);

    std::vector<std::unique_ptr<Job>> m_jobs;
    std::mutex m_lock;
    std::condition_variable m_wake;  // a job was started, or the threads end
    std::condition_variable m_done;  // a job finished
    bool m_quit = false;
};
