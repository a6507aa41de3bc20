#pragma once
// File, folder and path helpers over wide-character paths. Paths use '/'; a folder
// as returned by GetPathDir, GetPathFolder and GetModuleDir ends with '/'. An
// extension starts with its dot and is lower-cased. Nothing here keeps state.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/Win32Types.h"

// One entry of the list ScanFolder fills.
struct CFileData {
    std::wstring path;  // folder + '/' + file name
    uint64_t length = 0;
};

// The path as the file system takes it (UTF-8); empty when it cannot be converted.
std::string NativePath(const std::wstring& path);

// Whether two paths name one file: the same file on disk (hard links included), or,
// when either does not exist yet, the same name once "." and ".." are resolved.
bool IsSameFile(const std::wstring& a, const std::wstring& b);

BOOL FileExists(const wchar_t* path);  // files and folders alike
BOOL DirectoryExists(const wchar_t* path);
// 0 when the path is gone afterwards (a read-only file loses its flag first), 1 on failure.
int DeleteFileIfExists(const wchar_t* path);
// Creates the folder and every missing parent; TRUE when the folder exists afterwards.
BOOL CreateDirectoryTree(const wchar_t* path);

std::wstring GetModuleFilePath();
std::wstring GetModuleDir();

// Replaces path by the first of path, title(2).ext, title(3).ext, ... that does not exist.
void MakeUniqueFileName(std::wstring& path);

// Lists one folder: files matching pattern (which starts with its own '/', e.g. "/*.VOB",
// matched without regard to case) and every subfolder but "." and "..", unsorted.
void ScanFolder(std::vector<CFileData>& files, std::vector<std::wstring>& subfolders,
                std::wstring folder, const std::wstring& pattern);

// Path splitting. There are no drive letters here, so GetPathDrive is always empty.
// A leading dot of a file name (a hidden file such as ".profile") starts no extension.
std::wstring GetPathDrive(const std::wstring& path);
std::wstring GetPathDir(const std::wstring& path);
std::wstring GetPathFileTitle(const std::wstring& path);
std::wstring GetPathExt(const std::wstring& path);
std::wstring GetPathFolder(const std::wstring& path);
std::wstring TrimTrailingBackslash(const std::wstring& path);
// folder + "/" + name, without doubling a separator the folder already ends with.
std::wstring JoinOutputPath(const std::wstring& folder, const std::wstring& name);
