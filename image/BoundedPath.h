#pragma once
// A wide file name in the UTF-8 form the system calls take, held in a fixed block so that
// opening a file per frame never touches the heap. A name longer than the system accepts
// (PATH_MAX bytes with its NUL) is refused here, which callers report as a file that
// cannot be written or read.
#include <climits>

class CBoundedPath {
public:
    explicit CBoundedPath(const wchar_t* path);
    CBoundedPath(const CBoundedPath&) = delete;
    CBoundedPath& operator=(const CBoundedPath&) = delete;

    // The converted name, or null for a null, unconvertible or over-long one.
    const char* Get() const { return m_ok ? m_text : nullptr; }

private:
    char m_text[PATH_MAX];
    bool m_ok;
};
