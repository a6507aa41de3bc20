#pragma once
// What the command line asks of the program at start: nothing but an empty window,
// or one movie to open. Options (arguments starting with '-') are passed over; "--"
// ends them, so a file whose name starts with '-' can still be named.
#include <string>
#include <vector>

class CCommandLineInfo {
public:
    enum ShellCommand { FileNew, FileOpen };

    // Takes the arguments after the program's name. The first file named wins; it is
    // made absolute at once against the current folder.
    void ParseArguments(const std::vector<std::wstring>& args, const std::wstring& currentDir);

    ShellCommand m_nShellCommand = FileNew;
    std::wstring m_strFileName;
};

// path when it is absolute, else dir + "/" + path; "." and ".." steps are resolved
// by name (symbolic links are left alone) and repeated separators collapsed.
std::wstring MakeAbsolutePath(const std::wstring& path, const std::wstring& dir);
