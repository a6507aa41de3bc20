#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <sstream>
#include <system_error>
#include <thread>

namespace talvern::test {

namespace fs = std::filesystem;

ScopedLanguage::ScopedLanguage(const char* lang) {
    if (const char* old = std::getenv("LC_ALL")) m_old = old;
    setenv("LC_ALL", lang, 1);
}

ScopedLanguage::~ScopedLanguage() { setenv("LC_ALL", m_old.c_str(), 1); }

static fs::path TestTmpRoot() {
    if (const char* t = std::getenv("TALVERN_TEST_TMP"); t && *t) return t;
    return fs::temp_directory_path() / "talvern-tests";
}

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const fs::path root = TestTmpRoot();
    std::error_code ec;
    fs::create_directories(root, ec);
    for (;;) {
        m_path = root / ("t" + std::to_string(getpid()) + "_" + std::to_string(counter++));
        if (fs::create_directory(m_path, ec)) break;
        if (ec) {  // the root itself is unusable: fall back to the system temp folder
            m_path = fs::temp_directory_path() / ("talvern_t" + std::to_string(getpid()) + "_" +
                                                  std::to_string(counter++));
            fs::create_directories(m_path, ec);
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

ScopedConfigDir::ScopedConfigDir() {
    if (const char* old = std::getenv("TALVERN_CONFIG_DIR")) {
        m_old = old;
        m_hadOld = true;
    }
    setenv("TALVERN_CONFIG_DIR", m_dir.path().c_str(), 1);
}

ScopedConfigDir::~ScopedConfigDir() {
    if (m_hadOld)
        setenv("TALVERN_CONFIG_DIR", m_old.c_str(), 1);
    else
        unsetenv("TALVERN_CONFIG_DIR");
}

int RunCommand(const std::string& command, std::string* out) {
    FILE* p = popen(command.c_str(), "r");
    if (!p) return -1;
    std::array<char, 4096> buf{};
    std::string text;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) text.append(buf.data(), n);
    const int status = pclose(p);
    if (out) *out = std::move(text);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool RunLogged(const std::string& command, std::string* log) {
    std::string out;
    const int rc = RunCommand(command + " 2>&1", &out);
    if (log) *log = out;
    return rc == 0;
}

std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

std::string ReadFileBytes(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool WriteFileBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

bool MakeFifo(const fs::path& p) { return ::mkfifo(p.c_str(), 0600) == 0; }

bool FinishesWithin(std::chrono::milliseconds deadline, const fs::path& fifo,
                    const std::function<void()>& work) {
    std::packaged_task<void()> task(work);
    std::future<void> done = task.get_future();
    std::thread runner(std::move(task));
    const bool inTime = done.wait_for(deadline) == std::future_status::ready;
    // Each writer that comes and goes lets one blocked open or read return.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fifo.empty() && done.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready &&
           std::chrono::steady_clock::now() < giveUp) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) ::close(fd);
    }
    if (done.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        runner.detach();
        return false;
    }
    runner.join();
    done.get();  // what the work threw, the test sees
    return inTime;
}

}  // namespace talvern::test
