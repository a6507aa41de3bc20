#include "foundation/PathUtil.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/win32/WideChar.h"

namespace {

constexpr wchar_t kSep = L'/';

// Splits the last path component into title and extension.
struct NameParts {
    std::wstring dir, title, ext;
};

NameParts SplitPath(const std::wstring& path) {
    NameParts parts;
    const size_t slash = path.rfind(kSep);
    const size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    parts.dir = path.substr(0, nameStart);
    const std::wstring name = path.substr(nameStart);
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0) {
        parts.title = name;
    } else {
        parts.title = name.substr(0, dot);
        parts.ext = name.substr(dot);
    }
    return parts;
}

bool StatPath(const wchar_t* path, struct stat& st) {
    if (!path) return false;
    const std::string native = NativePath(path);
    return !native.empty() && ::stat(native.c_str(), &st) == 0;
}

}  // namespace

std::string NativePath(const std::wstring& path) {
    std::string out;
    WideToUtf8(path, out);
    return out;
}

bool IsSameFile(const std::wstring& a, const std::wstring& b) {
    if (a.empty() || b.empty()) return false;
    // The names are compared as the file system takes them: a wide path handed to
    // std::filesystem would convert through the C locale and throw on any letter
    // beyond ASCII.
    const std::string na = NativePath(a), nb = NativePath(b);
    if (na.empty() || nb.empty()) return false;
    struct stat sa, sb;
    if (::stat(na.c_str(), &sa) == 0 && ::stat(nb.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return std::filesystem::path(na).lexically_normal() == std::filesystem::path(nb).lexically_normal();
}

BOOL FileExists(const wchar_t* path) {
    struct stat st;
    return StatPath(path, st) ? TRUE : FALSE;
}

BOOL DirectoryExists(const wchar_t* path) {
    struct stat st;
    return StatPath(path, st) && S_ISDIR(st.st_mode) ? TRUE : FALSE;
}

int DeleteFileIfExists(const wchar_t* path) {
    if (!path) return 0;
    const std::string native = NativePath(path);
    struct stat st;
    if (native.empty() || ::lstat(native.c_str(), &st) != 0) return 0;
    if (S_ISDIR(st.st_mode)) return 1;
    if (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0)
        ::chmod(native.c_str(), st.st_mode | S_IWUSR);
    return ::unlink(native.c_str()) == 0 ? 0 : 1;
}

BOOL CreateDirectoryTree(const wchar_t* path) {
    if (!path || !*path) return FALSE;
    const std::wstring p = path;
    const size_t slash = p.rfind(kSep);
    if (slash != std::wstring::npos && slash > 0) {
        const std::wstring parent = p.substr(0, slash);
        if (!FileExists(parent.c_str())) CreateDirectoryTree(parent.c_str());
    }
    const std::string native = NativePath(p);
    if (!native.empty()) ::mkdir(native.c_str(), 0777);
    return FileExists(path);
}

std::wstring GetModuleFilePath() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::wstring path = Utf8ToWide(std::string_view(buf, static_cast<size_t>(n)));
    while (path.size() > 1 && path.back() == kSep) path.pop_back();
    return path;
}

std::wstring GetModuleDir() {
    return GetPathFolder(GetModuleFilePath());
}

void MakeUniqueFileName(std::wstring& path) {
    const std::wstring stem = GetPathFolder(path) + GetPathFileTitle(path);
    const std::wstring ext = GetPathExt(path);
    std::wstring candidate = path;
    for (int n = 2; FileExists(candidate.c_str()) && n < INT32_MAX; ++n)
        candidate = stem + L"(" + std::to_wstring(n) + L")" + ext;
    path = candidate;
}

void ScanFolder(std::vector<CFileData>& files, std::vector<std::wstring>& subfolders,
                std::wstring folder, const std::wstring& pattern) {
    files.clear();
    subfolders.clear();
    folder = TrimTrailingBackslash(folder);
    std::wstring mask = pattern;
    while (!mask.empty() && mask.front() == kSep) mask.erase(0, 1);
    const std::string nativeMask = NativePath(mask);
    const std::string nativeFolder = NativePath(folder.empty() ? std::wstring(1, kSep) : folder);
    DIR* dir = ::opendir(nativeFolder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::wstring full = folder + kSep + Utf8ToWide(name);
        struct stat st;
        if (::stat(NativePath(full).c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            // Like the pattern search it stands for, folders are listed when they match.
            if (::fnmatch(nativeMask.c_str(), name.c_str(), FNM_CASEFOLD) == 0)
                subfolders.push_back(full);
        } else if (::fnmatch(nativeMask.c_str(), name.c_str(), FNM_CASEFOLD) == 0) {
            files.push_back({full, static_cast<uint64_t>(st.st_size)});
        }
    }
    ::closedir(dir);
}

std::wstring GetPathDrive(const std::wstring&) {
    return {};
}

std::wstring GetPathDir(const std::wstring& path) {
    return SplitPath(path).dir;
}

std::wstring GetPathFileTitle(const std::wstring& path) {
    return SplitPath(path).title;
}

std::wstring GetPathExt(const std::wstring& path) {
    std::wstring ext = SplitPath(path).ext;
    for (wchar_t& c : ext)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return ext;
}

std::wstring GetPathFolder(const std::wstring& path) {
    return GetPathDrive(path) + GetPathDir(path);
}

std::wstring TrimTrailingBackslash(const std::wstring& path) {
    std::wstring out = path;
    while (!out.empty() && out.back() == kSep) out.pop_back();
    return out;
}

std::wstring JoinOutputPath(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && folder.back() == kSep) return folder + name;
    return folder + L"/" + name;
}
