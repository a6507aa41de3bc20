#pragma once
// Whole-file reads and atomic replacement for the settings files (the registry store
// and INI files). Readers never lock: a file is only ever replaced by rename, so a
// reader sees the old or the new content, never a mixture. Writers serialise on an
// flock of the file itself and re-check after locking that the name still refers to
// the file they locked (another writer may have renamed a new one into place).
#include <string>

namespace talvern::settings {

// Files larger than this are treated as unreadable: settings are small, and an
// unbounded read of a corrupt or hostile file must not exhaust memory.
constexpr size_t kMaxSettingsFileBytes = 16 * 1024 * 1024;

// Reads the whole file; false when it is missing, unreadable, too large or not a
// regular file (a FIFO or a device is never waited on).
bool ReadWholeFile(const std::string& path, std::string& out);

// Holds an exclusive lock on path for the object's lifetime (creating the file empty
// when it does not exist yet). ok() is false when the lock could not be taken or the
// name is not a regular file.
class FileWriteLock {
public:
    explicit FileWriteLock(const std::string& path);
    ~FileWriteLock();
    FileWriteLock(const FileWriteLock&) = delete;
    FileWriteLock& operator=(const FileWriteLock&) = delete;
    bool ok() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Writes content to a temporary file beside path and renames it over path.
// On failure the old file is untouched and the temporary file is removed.
bool ReplaceFileAtomically(const std::string& path, const std::string& content);

// Creates the folder and its parents; true when it exists afterwards.
bool EnsureFolder(const std::string& folder);

// The per-user settings folder: $TALVERN_CONFIG_DIR, else $XDG_CONFIG_HOME/talvern,
// else ~/.config/talvern. Not created here.
std::string GetConfigDir();

}  // namespace talvern::settings
