#pragma once
// Helpers every test suite shares: a private temporary folder per test and a
// way to run a command (ffmpeg, ffprobe) and read what it printed.
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace talvern::test {

// A fresh folder below TALVERN_TEST_TMP (or the system temp folder), removed when
// the object goes away. Its path is unique per process and per instance.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Points TALVERN_CONFIG_DIR at a fresh temporary folder for the lifetime of the object,
// restoring the previous value afterwards.
class ScopedConfigDir {
public:
    ScopedConfigDir();
    ~ScopedConfigDir();
    const std::filesystem::path& path() const { return m_dir.path(); }

private:
    TempDir m_dir;
    std::string m_old;
    bool m_hadOld = false;
};

// LC_ALL for the length of a scope: the program's texts follow it (IsJapaneseSystem
// reads LC_ALL first).
class ScopedLanguage {
public:
    explicit ScopedLanguage(const char* lang);
    explicit ScopedLanguage(bool japanese) : ScopedLanguage(japanese ? "ja_JP.UTF-8" : "C.UTF-8") {}
    ~ScopedLanguage();
    ScopedLanguage(const ScopedLanguage&) = delete;
    ScopedLanguage& operator=(const ScopedLanguage&) = delete;

private:
    std::string m_old = "C.UTF-8";
};

// Runs a shell command; returns its exit status and stores what it wrote to stdout.
int RunCommand(const std::string& command, std::string* out = nullptr);
// Runs a shell command with its stderr joined to stdout, kept in *log; true on exit status 0.
bool RunLogged(const std::string& command, std::string* log);

// Quotes a path for the shell.
std::string ShellQuote(const std::string& s);

// Whole file as bytes (empty when it cannot be read).
std::string ReadFileBytes(const std::filesystem::path& p);
bool WriteFileBytes(const std::filesystem::path& p, const std::string& bytes);

// Makes a FIFO at p; false when it cannot be made.
bool MakeFifo(const std::filesystem::path& p);

// Runs work on its own thread and reports whether it returned within the deadline. Work
// that is stuck opening or reading the FIFO at `fifo` (when one is named) is then
// released (a writer opens and closes it), so that a failing case ends instead of
// hanging the suite; work that still runs is left running, and must own what it uses.
bool FinishesWithin(std::chrono::milliseconds deadline, const std::filesystem::path& fifo,
                    const std::function<void()>& work);

}  // namespace talvern::test
