#include "image/ImageFileWorker.h"

#include <chrono>
#include <cstring>

CImageFileWorker::~CImageFileWorker() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_quit = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable()) m_thread.join();
}

bool CImageFileWorker::Post(const BYTE* bits, const BITMAPINFOHEADER& header, int quality,
                            const std::wstring* paths, int count, bool refusedAfter) {
    const std::optional<int64_t> bytes = FrameBytes24(header.biWidth, header.biHeight < 0 ? -int64_t{header.biHeight}
                                                                                           : header.biHeight);
    if (!bits || !bytes || count < 0 || count > kMaxFiles) return false;
    std::unique_lock<std::mutex> hold(m_lock);
    if (m_pending) return false;
    // The block grows to the largest frame and stays: later frames copy into it.
    const int size = static_cast<int>(*bytes);
    if (!m_frame.GetBuffer(size) || m_frame.GetCount() < size) return false;
    std::memcpy(m_frame.GetData(), bits, static_cast<size_t>(size));
    m_header = header;
    m_quality = quality;
    for (int i = 0; i < count; ++i) m_paths[i].assign(paths[i]);  // keeps each string's block
    m_count = count;
    m_refusedAfter = refusedAfter;
    m_pending = true;
    if (!m_thread.joinable()) m_thread = std::thread(&CImageFileWorker::Run, this);
    hold.unlock();
    m_wake.notify_one();
    return true;
}

bool CImageFileWorker::WaitFor(int milliseconds) {
    std::unique_lock<std::mutex> hold(m_lock);
    return m_done.wait_for(hold, std::chrono::milliseconds(milliseconds), [this] { return !m_pending; });
}

void CImageFileWorker::Run() {
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_wake.wait(hold, [this] { return m_pending || m_quit; });
        if (m_quit) return;
        // The frame and names are the worker's until it is done; Post waits for that.
        hold.unlock();
        const bool written = WriteFiles();
        hold.lock();
        m_succeeded = written;
        m_pending = false;
        m_done.notify_all();
    }
}

bool CImageFileWorker::WriteFiles() {
    for (int i = 0; i < m_count; ++i) {
        BITMAPINFOHEADER header = m_header;
        if (!m_files.Save(m_frame.GetData(), &header, m_paths[i].c_str(), m_quality)) return false;
    }
    return !m_refusedAfter;
}
