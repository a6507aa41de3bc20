#include "platform/registry/StoreFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/win32/RegularFile.h"

namespace talvern::settings {

bool ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    const int fd = OpenRegularFile(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 &&
              static_cast<uint64_t>(st.st_size) <= kMaxSettingsFileBytes;
    char buf[65536];
    while (ok) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        out.append(buf, static_cast<size_t>(n));
        ok = out.size() <= kMaxSettingsFileBytes;  // the file may grow while read
    }
    ::close(fd);
    if (!ok) out.clear();
    return ok;
}

FileWriteLock::FileWriteLock(const std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = OpenRegularFile(path.c_str(), O_RDONLY | O_CREAT, 0666);
        if (fd < 0) return;
        while (::flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd);
                return;
            }
        }
        struct stat locked, current;
        if (::fstat(fd, &locked) == 0 && ::stat(path.c_str(), &current) == 0 &&
            locked.st_dev == current.st_dev && locked.st_ino == current.st_ino) {
            m_fd = fd;
            return;
        }
        ::close(fd);  // replaced while we waited: lock the new file instead
    }
}

FileWriteLock::~FileWriteLock() {
    if (m_fd >= 0) ::close(m_fd);
}

bool ReplaceFileAtomically(const std::string& path, const std::string& content) {
    std::vector<char> tmp(path.begin(), path.end());
    const std::string suffix = ".tmpXXXXXX";
    tmp.insert(tmp.end(), suffix.begin(), suffix.end());
    tmp.push_back('\0');
    const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0;
    for (size_t done = 0; ok && done < content.size();) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = ::rename(tmp.data(), path.c_str()) == 0;
    if (!ok) ::unlink(tmp.data());
    return ok;
}

bool EnsureFolder(const std::string& folder) {
    if (folder.empty()) return false;
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const size_t slash = folder.find_last_of('/', folder.size() - 2);
    if (slash != std::string::npos && slash > 0) EnsureFolder(folder.substr(0, slash));
    ::mkdir(folder.c_str(), 0777);
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string GetConfigDir() {
    if (const char* dir = std::getenv("TALVERN_CONFIG_DIR"); dir && *dir) return dir;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return std::string(xdg) + "/talvern";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h) {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return home + "/.config/talvern";
}

}  // namespace talvern::settings
