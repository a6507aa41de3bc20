#include "app/Info.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "foundation/PathUtil.h"
#include "foundation/ResultCodes.h"
#include "foundation/RegUtil.h"
#include "platform/registry/ProfileBatch.h"
#include "platform/win32/WideChar.h"

using talvern::settings::RegValue;

namespace {

constexpr wchar_t kSection[] = L"DATA";

std::wstring WithTrailingSlash(std::wstring folder) {
    if (folder.empty() || folder.back() != L'/') folder += L'/';
    return folder;
}

std::wstring HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return Utf8ToWide(home);
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
        return Utf8ToWide(pw->pw_dir);
    return L"/";
}

int ReadInt(LPCWSTR key, int def) {
    return static_cast<int>(ProfileGetInt(kSection, key, def));
}

bool InRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

}  // namespace

CInfo::CInfo(int deinterlace) : m_nDeinterlace(deinterlace ? 3 : 0) {
    Load();
}

CInfo::~CInfo() {
    SaveChecked();
}

int CInfo::Load() {
    ReadProfile();
    m_strKeptFolder.clear();
    // The default folder that replaces an unusable one is made when missing, and then
    // stored as every later save stores it.
    if (!CheckFolder(true)) CreateDirectoryTree(m_strOutputFolder.c_str());
    return SaveChecked();
}

int CInfo::SaveChecked() {
    return Save(true);
}

int CInfo::SavePicked() {
    m_strKeptFolder.clear();
    return Save(false);
}

int CInfo::Save(bool keepMissing) {
    const int result = CheckFolder(keepMissing) ? 1 : 0;
    WriteProfile();
    return result;
}

bool CInfo::CheckFolder(bool keepMissing) {
    // Trailing separators go, but "/" itself is a folder, not an empty name.
    while (m_strOutputFolder.size() > 1 && m_strOutputFolder.back() == L'/')
        m_strOutputFolder.pop_back();
    if (IsValidOutputFolder(m_strOutputFolder)) return true;
    // Replacing it in the profile would lose the user's choice for when the disk is
    // back; an empty or relative name, or a file, is no choice worth keeping.
    const bool missing = !m_strOutputFolder.empty() && m_strOutputFolder.front() == L'/' &&
                         !FileExists(m_strOutputFolder.c_str());
    if (keepMissing && missing && m_strKeptFolder.empty()) m_strKeptFolder = m_strOutputFolder;
    m_strOutputFolder = GetDefaultOutputFolder();
    return false;
}

void CInfo::OnEncodeError(int code) {
    if (code == ResultCode::kWmvAudioNeedsTwoPass) m_nTwoPass = 1;
    if (code == ResultCode::kWmvAudioPassBegin || code == ResultCode::kWmvVideoPassBegin) m_nTwoPass = 0;
}

void CInfo::ReadProfile() {
    m_nFrameRate = ReadInt(L"fps", m_nFrameRate);
    m_nDeinterlace = ReadInt(L"InterLaced", m_nDeinterlace);
    m_nJpegQuality = ReadInt(L"quality", m_nJpegQuality);
    m_nImageInterval = ReadInt(L"perfile", m_nImageInterval);
    m_strOutputFolder = ProfileGetString(kSection, L"hozon", m_strOutputFolder.c_str());
    m_nWmvKind = ReadInt(L"WMV", m_nWmvKind);
    m_nWmv4Profile = ReadInt(L"WMV4", m_nWmv4Profile);
    m_nWmv7Profile = ReadInt(L"WMV7", m_nWmv7Profile);
    m_nWmv8Profile = ReadInt(L"WMV8", m_nWmv8Profile);
    m_nTwoPass = ReadInt(L"WMV2PASS", m_nTwoPass);
    m_strProfileFile = ProfileGetString(kSection, L"PRX", m_strProfileFile.c_str());
    m_nVolume = ReadInt(L"VOL", 100);
    m_nOverwrite = ReadInt(L"uwagaki", 0);
    // An interval of 0 would divide by zero at every played frame; a kind or mode
    // outside its table would index past it.
    if (m_nImageInterval == 0) m_nImageInterval = 1;
    if (!InRange(m_nWmvKind, 0, 3)) m_nWmvKind = 1;
    if (!InRange(m_nDeinterlace, 0, 3)) m_nDeinterlace = 0;
}

bool CInfo::WriteProfile() const {
    auto num = [](int v) { return RegValue::Dword(static_cast<DWORD>(v)); };
    const ProfileValues values = {
        {L"fps", num(m_nFrameRate)},
        {L"InterLaced", num(m_nDeinterlace)},
        {L"quality", num(m_nJpegQuality)},
        {L"perfile", num(m_nImageInterval)},
        {L"hozon", RegValue::String(m_strKeptFolder.empty() ? m_strOutputFolder : m_strKeptFolder)},
        {L"WMV", num(m_nWmvKind)},
        {L"WMV4", num(m_nWmv4Profile)},
        {L"WMV7", num(m_nWmv7Profile)},
        {L"WMV8", num(m_nWmv8Profile)},
        {L"WMV2PASS", num(m_nTwoPass)},
        {L"PRX", RegValue::String(m_strProfileFile)},
        {L"VOL", num(m_nVolume)},
        {L"uwagaki", num(m_nOverwrite)},
    };
    return WriteProfileValues(kSection, values) != FALSE;
}

bool CInfo::IsValidOutputFolder(const std::wstring& folder) {
    return !folder.empty() && folder.front() == L'/' && DirectoryExists(folder.c_str());
}

std::wstring CInfo::ChooseDefaultOutputFolder(const std::wstring& moduleDir, bool writable,
                                              const std::wstring& home) {
    if (writable && !moduleDir.empty()) return WithTrailingSlash(moduleDir);
    return WithTrailingSlash(home);
}

std::wstring CInfo::GetDefaultOutputFolder() {
    const std::wstring moduleDir = GetModuleDir();
    const bool writable =
        !moduleDir.empty() && ::access(NativePath(moduleDir).c_str(), W_OK | X_OK) == 0;
    return ChooseDefaultOutputFolder(moduleDir, writable, HomeFolder());
}
