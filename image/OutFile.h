#pragma once
// An output file written through a plain descriptor. The still-image writers keep one
// per writer object, and with it an optional buffer, so that a file per frame costs
// system calls but no allocation: no stdio FILE, no path copy on the heap.
#include <cstddef>
#include <vector>

#include "foundation/MemBuffBase.h"

// Where an encoder's bytes go: a file, or a block of memory. False once a write failed.
class COutput {
public:
    virtual ~COutput() = default;
    virtual bool Write(const void* data, size_t bytes) = 0;
};

// Appends to a block the caller keeps, so that its room stays from one file to the next.
class CMemoryOutput : public COutput {
public:
    explicit CMemoryOutput(std::vector<BYTE>& block) : m_block(block) {}
    bool Write(const void* data, size_t bytes) override {
        const auto* p = static_cast<const BYTE*>(data);
        m_block.insert(m_block.end(), p, p + bytes);
        return true;
    }

private:
    std::vector<BYTE>& m_block;
};

class COutFile : public COutput {
public:
    // bufferBytes 0 writes every piece straight through; otherwise small pieces gather in
    // a buffer of that size, allocated at the first write and kept for later files.
    explicit COutFile(size_t bufferBytes = 0) : m_capacity(bufferBytes) {}
    ~COutFile() { Abandon(); }
    COutFile(const COutFile&) = delete;
    COutFile& operator=(const COutFile&) = delete;

    // Creates or truncates path for writing; false when it cannot be opened (or the
    // name cannot be converted or is too long). A file still open is abandoned first.
    bool Open(const wchar_t* path);
    // False once any write has failed; the failure sticks until the file is closed.
    bool Write(const void* data, size_t bytes) override;
    // Writes what is buffered and closes: TRUE only when every byte reached the file.
    BOOL Close();
    // Closes without writing what is buffered; a failed file stays as it was left.
    void Abandon();

private:
    bool WriteOut(const void* head, size_t headBytes, const void* body, size_t bodyBytes);

    size_t m_capacity;
    CMemBuffBase<BYTE> m_buffer;
    size_t m_used = 0;
    int m_fd = -1;
    bool m_failed = false;
};
