// Counts every heap allocation of the process, ours and the libraries', by standing in
// for the C allocator's entry points and forwarding to glibc's own. operator new goes
// through malloc, so C++ allocations are counted as well (and once more on their own).
#include "bench/pipeline/AllocCounter.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {
std::atomic<uint64_t> g_mallocs{0};
std::atomic<uint64_t> g_news{0};

void Count() { g_mallocs.fetch_add(1, std::memory_order_relaxed); }
}  // namespace

AllocCounts CurrentAllocCounts() {
    return {g_mallocs.load(std::memory_order_relaxed), g_news.load(std::memory_order_relaxed)};
}

extern "C" {

void* malloc(size_t size) {
    Count();
    return __libc_malloc(size);
}

void* calloc(size_t n, size_t size) {
    Count();
    return __libc_calloc(n, size);
}

void* realloc(void* p, size_t size) {
    Count();
    return __libc_realloc(p, size);
}

void free(void* p) { __libc_free(p); }

void* memalign(size_t align, size_t size) {
    Count();
    return __libc_memalign(align, size);
}

void* aligned_alloc(size_t align, size_t size) {
    Count();
    return __libc_memalign(align, size);
}

int posix_memalign(void** out, size_t align, size_t size) {
    if (align < sizeof(void*) || (align & (align - 1)) != 0) return 22;  // EINVAL
    Count();
    void* p = __libc_memalign(align, size);
    if (!p && size) return 12;  // ENOMEM
    *out = p;
    return 0;
}

}  // extern "C"

void* operator new(size_t size) {
    g_news.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
