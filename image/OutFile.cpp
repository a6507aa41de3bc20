#include "image/OutFile.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "image/BoundedPath.h"

bool COutFile::Open(const wchar_t* path) {
    Abandon();
    const CBoundedPath native(path);
    if (!native.Get()) return false;
    do {
        m_fd = ::open(native.Get(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (m_fd < 0 && errno == EINTR);
    m_failed = false;
    m_used = 0;
    return m_fd >= 0;
}

bool COutFile::Write(const void* data, size_t bytes) {
    if (m_fd < 0 || m_failed) return false;
    if (bytes == 0) return true;
    if (m_capacity > 0 && bytes < m_capacity - m_used &&
        m_buffer.GetBuffer(static_cast<int>(m_capacity))) {
        std::memcpy(m_buffer.GetData() + m_used, data, bytes);
        m_used += bytes;
        return true;
    }
    // A piece that does not fit goes out at once, behind whatever is buffered.
    const bool written = WriteOut(m_buffer.GetData(), m_used, data, bytes);
    m_used = 0;
    m_failed = !written;
    return written;
}

BOOL COutFile::Close() {
    if (m_fd < 0) return FALSE;
    const bool flushed = !m_failed && WriteOut(m_buffer.GetData(), m_used, nullptr, 0);
    m_used = 0;
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    return flushed && closed ? TRUE : FALSE;
}

void COutFile::Abandon() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_used = 0;
}

// Both pieces in order, resuming after short writes and interruptions.
bool COutFile::WriteOut(const void* head, size_t headBytes, const void* body, size_t bodyBytes) {
    iovec pieces[2] = {{const_cast<void*>(head), headBytes}, {const_cast<void*>(body), bodyBytes}};
    iovec* next = pieces;
    int count = 2;
    for (;;) {
        while (count > 0 && next->iov_len == 0) ++next, --count;
        if (count == 0) return true;
        const ssize_t n = ::writev(m_fd, next, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        // The bytes taken never exceed what was offered, so the pieces cannot run out.
        for (auto done = static_cast<size_t>(n); done > 0;) {
            const size_t step = std::min(done, next->iov_len);
            next->iov_base = static_cast<BYTE*>(next->iov_base) + step;
            next->iov_len -= step;
            done -= step;
            if (next->iov_len == 0) ++next, --count;
        }
    }
}
