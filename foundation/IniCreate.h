#pragma once
// CIniCreate: one INI file addressed by full path, for one read or write at a time.
// ReadRegPos/WriteRegPos keep the registry key name in "Setting.ini".
#include <string>

#include "platform/win32/Win32Types.h"

class CIniCreate {
public:
    CIniCreate() = default;
    virtual ~CIniCreate() = default;

    // Points at path and deletes the file there, so writing starts from nothing.
    virtual void CreateNew(LPCWSTR path);
    virtual void WriteInt(LPCWSTR section, LPCWSTR key, int value);
    virtual BOOL WriteString(LPCWSTR section, LPCWSTR key, LPCWSTR value);
    virtual void SetFile(LPCWSTR path);
    virtual UINT GetInt(LPCWSTR section, LPCWSTR key, int def);
    // Values longer than 519 characters come back cut to 519.
    virtual std::wstring GetString(LPCWSTR section, LPCWSTR key, LPCWSTR def);

    const std::wstring& GetPath() const { return m_path; }

private:
    std::wstring m_path;
};

// Where "Setting.ini" lives: in $TALVERN_CONFIG_DIR when that is set, else beside the
// program when its folder is writable, otherwise in the per-user settings folder.
std::wstring ChooseSettingIniPath(const std::wstring& moduleDir, bool moduleDirWritable,
                                  const std::wstring& configDir);
std::wstring GetSettingIniPath();

// The registry key name from "Setting.ini" section "SAVE", key "RegPos"; "ZELT" when
// the file, the section or the key is missing or the name is empty.
std::wstring ReadRegPos();
// Replaces "Setting.ini" by a file holding only that one entry. The new file is
// complete before it takes the old one's place, so a failed write keeps the old name.
BOOL WriteRegPos(const std::wstring& value);
