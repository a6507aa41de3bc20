#pragma once
// Writes the image files of one frame on a thread of its own, so that whoever runs the
// frames reads and shows the next one meanwhile. One frame at a time and its files in
// the order given, each with the same writer a caller would use itself: the files, their
// bytes and the first failure are those of writing them in line.
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "foundation/MemBuffBase.h"
#include "image/ResImgFile.h"

class CImageFileWorker {
public:
    static constexpr int kMaxFiles = 4;

    CImageFileWorker() = default;
    ~CImageFileWorker();
    CImageFileWorker(const CImageFileWorker&) = delete;
    CImageFileWorker& operator=(const CImageFileWorker&) = delete;

    // Takes a copy of the 24-bit frame described by header and starts writing it to
    // paths[0..count), stopping at the first file that fails. refusedAfter: the frame
    // fails once those files are written (a further name the caller would not write).
    // The previous frame must be finished (Wait). False when the frame cannot be copied;
    // nothing is started then.
    bool Post(const BYTE* bits, const BITMAPINFOHEADER& header, int quality, const std::wstring* paths, int count,
              bool refusedAfter);
    // Waits up to the given milliseconds for the frame posted last; true once it is done
    // (or when none is pending).
    bool WaitFor(int milliseconds);
    // After WaitFor returned true: whether every file of the last frame was written.
    bool Succeeded() const { return m_succeeded; }

private:
    void Run();
    bool WriteFiles();

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    bool m_pending = false;
    bool m_quit = false;
    bool m_succeeded = true;
    std::thread m_thread;

    // The frame in flight: owned by the worker from Post until it is done.
    CMemBuffBase<BYTE> m_frame;
    BITMAPINFOHEADER m_header{};
    int m_quality = 0;
    std::wstring m_paths[kMaxFiles];
    int m_count = 0;
    bool m_refusedAfter = false;
    CResImgFile m_files;
};
