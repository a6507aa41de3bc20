#include "platform/avifile/AviFileSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/win32/RegularFile.h"

std::shared_ptr<AviFileSource> AviFileSource::Open(const std::string& path) {
    const int fd = OpenRegularFile(path.c_str(), O_RDONLY);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::shared_ptr<AviFileSource>(new AviFileSource(fd, uint64_t(st.st_size)));
}

AviFileSource::~AviFileSource() { ::close(m_fd); }

bool AviFileSource::ReadAt(uint64_t offset, void* out, size_t n) const {
    if (!Holds(offset, n)) return false;
    auto* p = static_cast<char*>(out);
    while (n > 0) {
        const ssize_t got = ::pread(m_fd, p, n, off_t(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        n -= size_t(got);
        offset += uint64_t(got);
    }
    return true;
}
