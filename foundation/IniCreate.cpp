#include "foundation/IniCreate.h"

#include <unistd.h>

#include <cstdlib>

#include "foundation/PathUtil.h"
#include "platform/registry/PrivateProfile.h"
#include "platform/registry/StoreFile.h"
#include "platform/win32/WideChar.h"

namespace {
constexpr wchar_t kSettingIni[] = L"Setting.ini";
constexpr wchar_t kDefaultRegPos[] = L"ZELT";
constexpr DWORD kValueChars = 520;
}  // namespace

void CIniCreate::CreateNew(LPCWSTR path) {
    m_path = path ? path : L"";
    if (FileExists(m_path.c_str())) DeleteFileIfExists(m_path.c_str());
}

void CIniCreate::WriteInt(LPCWSTR section, LPCWSTR key, int value) {
    WriteString(section, key, std::to_wstring(value).c_str());
}

BOOL CIniCreate::WriteString(LPCWSTR section, LPCWSTR key, LPCWSTR value) {
    return WritePrivateProfileStringW(section, key, value, m_path.c_str());
}

void CIniCreate::SetFile(LPCWSTR path) {
    m_path = path ? path : L"";
}

UINT CIniCreate::GetInt(LPCWSTR section, LPCWSTR key, int def) {
    return GetPrivateProfileIntW(section, key, def, m_path.c_str());
}

std::wstring CIniCreate::GetString(LPCWSTR section, LPCWSTR key, LPCWSTR def) {
    wchar_t buf[kValueChars];
    const DWORD n = GetPrivateProfileStringW(section, key, def, buf, kValueChars, m_path.c_str());
    return std::wstring(buf, n);
}

std::wstring ChooseSettingIniPath(const std::wstring& moduleDir, bool moduleDirWritable,
                                  const std::wstring& configDir) {
    if (moduleDirWritable) return moduleDir + kSettingIni;
    return TrimTrailingBackslash(configDir) + L"/" + kSettingIni;
}

std::wstring GetSettingIniPath() {
    // A settings folder named explicitly holds this file as well, so that runs with
    // folders of their own (tests among them) never share the one beside the program.
    if (const char* dir = std::getenv("TALVERN_CONFIG_DIR"); dir && *dir)
        return ChooseSettingIniPath(std::wstring(), false, Utf8ToWide(dir));
    const std::wstring moduleDir = GetModuleDir();
    const bool writable = !moduleDir.empty() && ::access(NativePath(moduleDir).c_str(), W_OK) == 0;
    return ChooseSettingIniPath(moduleDir, writable, Utf8ToWide(talvern::settings::GetConfigDir()));
}

std::wstring ReadRegPos() {
    CIniCreate ini;
    ini.SetFile(GetSettingIniPath().c_str());
    std::wstring value = ini.GetString(L"SAVE", L"RegPos", kDefaultRegPos);
    return value.empty() ? kDefaultRegPos : value;
}

BOOL WriteRegPos(const std::wstring& value) {
    const std::wstring path = GetSettingIniPath();
    const std::wstring folder = GetPathFolder(path);
    if (!folder.empty() && !CreateDirectoryTree(TrimTrailingBackslash(folder).c_str()))
        return FALSE;
    // Build the new file under a temporary name, then move it over the old one.
    const std::wstring temp = path + L".new";
    CIniCreate ini;
    ini.CreateNew(temp.c_str());
    const bool ok = ini.WriteString(L"SAVE", L"RegPos", value.c_str()) &&
                    ::rename(NativePath(temp).c_str(), NativePath(path).c_str()) == 0;
    if (!ok) DeleteFileIfExists(temp.c_str());
    return ok ? TRUE : FALSE;
}
