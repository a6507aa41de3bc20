#pragma once
// A RIFF WAVE file: 'fmt ', 'fact' and 'data' chunks written or read through the
// chunk I/O layer. A file may not grow past what a 32-bit RIFF size can describe.
#include <cstdint>
#include <string>

#include "platform/mmio/Mmio.h"
#include "platform/win32/Win32Types.h"

class CMMio {
public:
    // A RIFF file holds at most 4 GiB - 1 after its first 8 bytes.
    static constexpr int64_t kMaxFileBytes = 0xFFFFFFFFll + 8;

    CMMio();
    virtual ~CMMio();
    CMMio(const CMMio&) = delete;
    CMMio& operator=(const CMMio&) = delete;

    BOOL OpenWrite(const std::wstring& path, int fmtSize);
    BOOL BeginData(DWORD sampleCount);
    // count when all bytes were written, else 0 (also when the file would pass its size limit).
    int Write(const char* data, int count);
    // The bytes read: fewer than count at the end of the file (a file cut short
    // still gives what it holds), 0 there or when the file cannot be read.
    int Read(char* data, int count);
    BOOL PatchFact(DWORD sampleCount);
    BOOL AscendAll();
    BOOL OpenRead(const std::wstring& path);
    BOOL FindData();
    void Close();

    BOOL IsOpen() const { return m_file != nullptr; }
    int GetFmtSize() const { return static_cast<int>(m_fmt.cksize); }
    int GetDataSize() const { return static_cast<int>(m_data.cksize); }
    // A write was refused because the file would have passed its size limit.
    BOOL IsSizeLimitReached() const { return m_sizeLimitReached; }
    void SetMaxFileBytes(int64_t bytes) { m_maxFileBytes = bytes; }

private:
    BOOL Fail();

    std::wstring m_path;
    HMMIO m_file = nullptr;
    MMCKINFO m_riff{};
    MMCKINFO m_fmt{};
    MMCKINFO m_data{};
    MMCKINFO m_fact{};
    int64_t m_maxFileBytes = kMaxFileBytes;
    BOOL m_sizeLimitReached = FALSE;
};
