#include "platform/ui/Document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/LangString.h"
#include "platform/win32/WideChar.h"
#include "platform/ui/UiServices.h"
#include "resources/CommandIds.h"

bool CanOpenRegularFileForReading(const std::wstring& path) {
    if (path.empty()) return false;
    const std::string bytes = WideToUtf8(path);
    // O_NONBLOCK: opening a FIFO without a writer must not wait for one.
    const int fd = ::open(bytes.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular;
}

BOOL CDocument::OnOpenDocument(const std::wstring& path) {
    if (CanOpenRegularFileForReading(path)) return TRUE;
    ShowMessageBox(nullptr, LoadLangString(50001, 50002) + path, LoadStringTableEntry(AFX_IDS_APP_TITLE),
                   MB_OK | MB_ICONEXCLAMATION);
    return FALSE;
}
