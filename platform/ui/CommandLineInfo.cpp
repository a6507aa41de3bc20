#include "platform/ui/CommandLineInfo.h"

void CCommandLineInfo::ParseArguments(const std::vector<std::wstring>& args,
                                      const std::wstring& currentDir) {
    bool options = true;
    for (const std::wstring& arg : args) {
        if (options && arg == L"--") {
            options = false;
            continue;
        }
        if (arg.empty() || (options && arg[0] == L'-')) continue;
        m_nShellCommand = FileOpen;
        m_strFileName = MakeAbsolutePath(arg, currentDir);
        return;
    }
}

std::wstring MakeAbsolutePath(const std::wstring& path, const std::wstring& dir) {
    const std::wstring full = !path.empty() && path[0] == L'/' ? path : dir + L"/" + path;
    std::vector<std::wstring> parts;
    size_t pos = 0;
    while (pos <= full.size()) {
        size_t end = full.find(L'/', pos);
        if (end == std::wstring::npos) end = full.size();
        const std::wstring part = full.substr(pos, end - pos);
        if (part == L"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        pos = end + 1;
    }
    std::wstring out;
    for (const std::wstring& part : parts) out += L"/" + part;
    return out.empty() ? L"/" : out;
}
