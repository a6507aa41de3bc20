#include "platform/win32/GlobalMemory.h"

#include <cstdlib>
#include <cstring>
#include <new>

struct GlobalMemoryBlock {
    size_t size;
    int locks;
    unsigned char* bytes;
};

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
    auto* h = new (std::nothrow) GlobalMemoryBlock{bytes, 0, nullptr};
    if (!h) return nullptr;
    h->bytes = static_cast<unsigned char*>(std::malloc(bytes ? bytes : 1));
    if (!h->bytes) {
        delete h;
        return nullptr;
    }
    if (flags & GMEM_ZEROINIT) std::memset(h->bytes, 0, bytes);
    return h;
}

void* GlobalLock(HGLOBAL h) {
    if (!h) return nullptr;
    ++h->locks;
    return h->bytes;
}

BOOL GlobalUnlock(HGLOBAL h) {
    if (!h || h->locks <= 0) return FALSE;
    return --h->locks > 0 ? TRUE : FALSE;
}

size_t GlobalSize(HGLOBAL h) { return h ? h->size : 0; }

HGLOBAL GlobalFree(HGLOBAL h) {
    if (!h) return nullptr;
    std::free(h->bytes);
    delete h;
    return nullptr;
}
