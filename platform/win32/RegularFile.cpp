#include "platform/win32/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

int OpenRegularFile(const char* path, int flags, mode_t mode) {
    if (!path) return -1;
    const int fd = ::open(path, flags | O_NONBLOCK | O_CLOEXEC, mode);
    if (fd < 0) return -1;
    struct stat st {};
    const int status = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || status < 0 ||
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

bool IsRegularFile(const char* path) {
    struct stat st {};
    return path && ::stat(path, &st) == 0 && S_ISREG(st.st_mode);
}
