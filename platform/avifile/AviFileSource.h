#pragma once
// Positioned reads from an open file, shared by the file and its streams.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class AviFileSource {
public:
    // The file at a UTF-8 (or raw byte) path; null when it cannot be opened.
    static std::shared_ptr<AviFileSource> Open(const std::string& path);
    ~AviFileSource();
    AviFileSource(const AviFileSource&) = delete;
    AviFileSource& operator=(const AviFileSource&) = delete;

    uint64_t Size() const { return m_size; }
    // True only when all n bytes at `offset` were read.
    bool ReadAt(uint64_t offset, void* out, size_t n) const;
    // True when [offset, offset + n) lies inside the file.
    bool Holds(uint64_t offset, uint64_t n) const {
        return offset <= m_size && n <= m_size - offset;
    }

private:
    AviFileSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    int m_fd;
    uint64_t m_size;
};
