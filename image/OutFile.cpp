#include "image/OutFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/BoundedPath.h"

namespace {

int OpenRetrying(const char* path, int flags) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Copies a NUL-terminated name into a PATH_MAX block; false when it does not fit.
bool CopyName(char (&to)[PATH_MAX], const char* from, const char* suffix = "") {
    return std::snprintf(to, sizeof to, "%s%s", from, suffix) < static_cast<int>(sizeof to);
}

}  // namespace

bool COutFile::Open(const wchar_t* path) {
    Abandon();
    const CBoundedPath native(path);
    if (!native.Get()) return false;
    m_failed = false;
    m_used = 0;
    // Made as new, so that a file that fails can be taken away without touching another.
    m_fd = OpenRetrying(native.Get(), O_RDWR | O_CREAT | O_EXCL);
    if (m_fd >= 0) {
        m_made = CopyName(m_madeName, native.Get()) ? Made::NewFile : Made::Nothing;
        return true;
    }
    if (errno != EEXIST) return false;
    if (OpenReplacement(native.Get())) return true;
    // Not a regular file this process may write (a device, a link): written in place.
    m_fd = OpenRetrying(native.Get(), O_RDWR | O_CREAT | O_TRUNC);
    return m_fd >= 0;
}

// The earlier file keeps its bytes until the new one is whole; the new one takes its
// permissions. False when the name holds no writable regular file or nothing can be
// made beside it.
bool COutFile::OpenReplacement(const char* target) {
    struct stat st {};
    if (::lstat(target, &st) != 0 || !S_ISREG(st.st_mode) || ::access(target, W_OK) != 0)
        return false;
    if (!CopyName(m_target, target) || !CopyName(m_madeName, target, ".tmpXXXXXX")) return false;
    m_fd = ::mkostemp(m_madeName, O_CLOEXEC);
    if (m_fd < 0) return false;
    m_made = Made::Replacement;
    if (::fchmod(m_fd, st.st_mode & 07777) != 0) {
        Abandon();
        return false;
    }
    return true;
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
    bool whole = flushed && closed;
    if (whole && m_made == Made::Replacement) whole = ::rename(m_madeName, m_target) == 0;
    if (!whole) RemoveMade();
    m_made = Made::Nothing;
    return whole ? TRUE : FALSE;
}

void COutFile::Abandon() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_used = 0;
    RemoveMade();
}

void COutFile::RemoveMade() {
    if (m_made != Made::Nothing) ::unlink(m_madeName);
    m_made = Made::Nothing;
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
