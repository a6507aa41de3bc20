#include "platform/mmio/Mmio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/RegularFile.h"
#include "platform/win32/WideChar.h"

namespace {

constexpr size_t kBufferBytes = 64 * 1024;
constexpr int64_t kMaxChunkSize = 0xFFFFFFFFll;

DWORD ReadLe32(const unsigned char* b) {
    return static_cast<DWORD>(b[0]) | (static_cast<DWORD>(b[1]) << 8) | (static_cast<DWORD>(b[2]) << 16) |
           (static_cast<DWORD>(b[3]) << 24);
}

void PutLe32(unsigned char* b, DWORD v) {
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

// Writes are gathered in one buffer of bytes that follow each other; anything else
// (a read, a seek elsewhere, a flush) writes it out first.
struct MmioFile {
    int fd = -1;
    bool writable = false;
    int64_t position = 0;
    std::vector<unsigned char> pending;
    int64_t pendingStart = 0;

    // On failure the position goes back to the end of what reached the file, so that
    // chunk sizes written afterwards describe the bytes really there.
    bool FlushPending() {
        size_t done = 0;
        while (done < pending.size()) {
            const ssize_t n = pwrite(fd, pending.data() + done, pending.size() - done,
                                     static_cast<off_t>(pendingStart + static_cast<int64_t>(done)));
            if (n <= 0) {
                position = pendingStart + static_cast<int64_t>(done);
                pending.clear();
                return false;
            }
            done += static_cast<size_t>(n);
        }
        pending.clear();
        return true;
    }

    int64_t Size() {
        struct stat st {};
        if (fstat(fd, &st) != 0) return -1;
        return std::max<int64_t>(st.st_size, pending.empty() ? 0 : pendingStart + static_cast<int64_t>(pending.size()));
    }

    bool ReadExact(void* data, int64_t count) {
        if (!FlushPending()) return false;
        auto* out = static_cast<unsigned char*>(data);
        int64_t done = 0;
        while (done < count) {
            const ssize_t n = pread(fd, out + done, static_cast<size_t>(count - done), static_cast<off_t>(position + done));
            if (n <= 0) return false;
            done += n;
        }
        position += count;
        return true;
    }

    bool WriteAt(int64_t offset, const void* data, int64_t count) {
        const int64_t saved = position;
        position = offset;
        const bool ok = mmioWrite(this, static_cast<const char*>(data), count) == count;
        position = saved;
        return ok;
    }
};

HMMIO mmioOpenW(const wchar_t* path, void*, DWORD flags) {
    if (!path) return nullptr;
    int mode = O_RDONLY;
    if (flags & MMIO_READWRITE) mode = O_RDWR;
    else if (flags & MMIO_WRITE) mode = O_WRONLY;
    if (flags & MMIO_CREATE) mode |= O_CREAT | O_TRUNC;
    std::string name;
    if (!WideToUtf8(path, name)) return nullptr;
    const int fd = OpenRegularFile(name.c_str(), mode, 0644);
    if (fd < 0) return nullptr;
    auto* h = new MmioFile;
    h->fd = fd;
    h->writable = (flags & (MMIO_READWRITE | MMIO_WRITE)) != 0;
    return h;
}

MMIORESULT mmioClose(HMMIO h, UINT) {
    if (!h) return MMIOERR_INVALIDFILE;
    const bool flushed = h->FlushPending();
    const bool closed = close(h->fd) == 0;
    delete h;
    return flushed && closed ? MMIOERR_NOERROR : MMIOERR_CANNOTWRITE;
}

int64_t mmioRead(HMMIO h, char* data, int64_t count) {
    if (!h || count < 0 || (!data && count > 0)) return -1;
    if (!h->FlushPending()) return -1;
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = pread(h->fd, data + done, static_cast<size_t>(count - done), static_cast<off_t>(h->position + done));
        if (n < 0) return -1;
        if (n == 0) break;
        done += n;
    }
    h->position += done;
    return done;
}

int64_t mmioWrite(HMMIO h, const char* data, int64_t count) {
    if (!h || !h->writable || count < 0 || (!data && count > 0)) return -1;
    const bool contiguous = !h->pending.empty() &&
                            h->pendingStart + static_cast<int64_t>(h->pending.size()) == h->position;
    if (!contiguous && !h->FlushPending()) return -1;
    if (h->pending.empty()) h->pendingStart = h->position;
    if (h->pending.size() + static_cast<size_t>(count) > kBufferBytes) {
        if (!h->FlushPending()) return -1;
        h->pendingStart = h->position;
        if (static_cast<size_t>(count) >= kBufferBytes) {
            h->pending.assign(data, data + count);
            if (!h->FlushPending()) return -1;
            h->position += count;
            return count;
        }
    }
    h->pending.insert(h->pending.end(), data, data + count);
    h->position += count;
    return count;
}

int64_t mmioSeek(HMMIO h, int64_t offset, int origin) {
    if (!h) return -1;
    int64_t base = 0;
    if (origin == MMIO_SEEK_CUR) base = h->position;
    else if (origin == MMIO_SEEK_END) base = h->Size();
    else if (origin != MMIO_SEEK_SET) return -1;
    if (base < 0 || base + offset < 0) return -1;
    h->position = base + offset;
    return h->position;
}

MMIORESULT mmioFlush(HMMIO h, UINT) {
    if (!h) return MMIOERR_INVALIDFILE;
    return h->FlushPending() ? MMIOERR_NOERROR : MMIOERR_CANNOTWRITE;
}

MMIORESULT mmioCreateChunk(HMMIO h, MMCKINFO* ck, UINT flags) {
    if (!h || !ck) return MMIOERR_INVALIDFILE;
    if (flags & MMIO_CREATERIFF) ck->ckid = FOURCC_RIFF;
    if (flags & MMIO_CREATELIST) ck->ckid = FOURCC_LIST;
    const bool form = (flags & (MMIO_CREATERIFF | MMIO_CREATELIST)) != 0;
    unsigned char header[12];
    PutLe32(header, ck->ckid);
    PutLe32(header + 4, ck->cksize);
    PutLe32(header + 8, ck->fccType);
    const int64_t n = form ? 12 : 8;
    const int64_t start = h->position;
    if (mmioWrite(h, reinterpret_cast<const char*>(header), n) != n) return MMIOERR_CANNOTWRITE;
    ck->dwDataOffset = start + 8;
    ck->dwFlags = MMIO_DIRTY;
    return MMIOERR_NOERROR;
}

MMIORESULT mmioAscend(HMMIO h, MMCKINFO* ck, UINT) {
    if (!h || !ck) return MMIOERR_INVALIDFILE;
    if (ck->dwFlags & MMIO_DIRTY) {
        // A chunk being written ends where the file position is.
        const int64_t size = h->position - ck->dwDataOffset;
        if (size < 0 || size > kMaxChunkSize) return MMIOERR_CANNOTWRITE;
        if (size & 1) {
            const char pad = 0;
            if (mmioWrite(h, &pad, 1) != 1) return MMIOERR_CANNOTWRITE;
        }
        if (static_cast<DWORD>(size) != ck->cksize) {
            unsigned char b[4];
            PutLe32(b, static_cast<DWORD>(size));
            if (!h->WriteAt(ck->dwDataOffset - 4, b, 4)) return MMIOERR_CANNOTWRITE;
            ck->cksize = static_cast<DWORD>(size);
        }
        ck->dwFlags &= ~MMIO_DIRTY;
        return MMIOERR_NOERROR;
    }
    const int64_t end = ck->dwDataOffset + ck->cksize + (ck->cksize & 1);
    return mmioSeek(h, end, MMIO_SEEK_SET) == end ? MMIOERR_NOERROR : MMIOERR_CANNOTSEEK;
}

MMIORESULT mmioDescend(HMMIO h, MMCKINFO* ck, const MMCKINFO* parent, UINT flags) {
    if (!h || !ck) return MMIOERR_INVALIDFILE;
    const int64_t fileSize = h->Size();
    if (fileSize < 0) return MMIOERR_CANNOTREAD;
    int64_t limit = fileSize;
    if (parent) limit = std::min(limit, parent->dwDataOffset + static_cast<int64_t>(parent->cksize));
    FOURCC wantId = ck->ckid;
    if (flags & MMIO_FINDRIFF) wantId = FOURCC_RIFF;
    if (flags & MMIO_FINDLIST) wantId = FOURCC_LIST;
    const bool wantForm = (flags & (MMIO_FINDRIFF | MMIO_FINDLIST)) != 0;
    for (;;) {
        const int64_t start = h->position;
        if (start + 8 > limit) return MMIOERR_CHUNKNOTFOUND;
        unsigned char header[12];
        if (!h->ReadExact(header, 8)) return MMIOERR_CHUNKNOTFOUND;
        MMCKINFO found{};
        found.ckid = ReadLe32(header);
        found.cksize = ReadLe32(header + 4);
        found.dwDataOffset = start + 8;
        const bool form = found.ckid == FOURCC_RIFF || found.ckid == FOURCC_LIST;
        if (form) {
            if (found.dwDataOffset + 4 > limit || !h->ReadExact(header + 8, 4)) return MMIOERR_CHUNKNOTFOUND;
            found.fccType = ReadLe32(header + 8);
        }
        const bool match = flags == 0 || (found.ckid == wantId && (!wantForm || found.fccType == ck->fccType));
        if (match) {
            *ck = found;
            return MMIOERR_NOERROR;
        }
        const int64_t next = found.dwDataOffset + found.cksize + (found.cksize & 1);
        if (next > limit) return MMIOERR_CHUNKNOTFOUND;
        h->position = next;
    }
}
