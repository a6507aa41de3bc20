#pragma once
// An output file written through a plain descriptor. The still-image writers keep one
// per writer object, and with it an optional buffer, so that a file per frame costs
// system calls but no allocation: no stdio FILE, no path copy on the heap.
//
// A file that cannot be written whole does not stay under the user's name: one this
// object made is removed again, and a regular file already under the name is replaced
// only once its successor is whole (written beside it, then renamed over it), so a
// full disk leaves the earlier file as it was.
#include <climits>
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

    // Opens path for writing, empty; false when it cannot be opened (or the name cannot
    // be converted or is too long). A file still open is abandoned first. What is not a
    // writable regular file (a device, a link) is written in place and never removed.
    bool Open(const wchar_t* path);
    // False once any write has failed; the failure sticks until the file is closed.
    bool Write(const void* data, size_t bytes) override;
    // Writes what is buffered and closes: TRUE only when every byte reached the file.
    // Otherwise the file is taken away as Abandon does.
    BOOL Close();
    // Closes without writing what is buffered and takes the unfinished file away: a file
    // made by Open is removed, a file it was to replace stays as it was.
    void Abandon();
    // The open descriptor, for a library that writes through it itself; Close or Abandon
    // end the file as usual.
    int Descriptor() const { return m_fd; }

private:
    enum class Made { Nothing, NewFile, Replacement };

    bool OpenReplacement(const char* target);
    bool WriteOut(const void* head, size_t headBytes, const void* body, size_t bodyBytes);
    void RemoveMade();

    size_t m_capacity;
    CMemBuffBase<BYTE> m_buffer;
    size_t m_used = 0;
    int m_fd = -1;
    bool m_failed = false;
    // The file Open made (the new file, or the replacement under its temporary name)
    // and, for a replacement, the name it takes once whole. Fixed blocks: no heap.
    Made m_made = Made::Nothing;
    char m_madeName[PATH_MAX] = {};
    char m_target[PATH_MAX] = {};
};
