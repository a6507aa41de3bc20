#include "image/PngMemory.h"

#include <cstdlib>

namespace {

// Every piece starts where malloc would align it.
constexpr size_t kAlign = 16;
// More than the largest picture we write needs (a few rows and zlib's state); beyond it
// the block stops growing and pieces keep coming from malloc.
constexpr size_t kMaxBlockBytes = size_t{16} << 20;

}  // namespace

png_voidp CPngMemory::Allocate(png_structp png, png_alloc_size_t bytes) {
    return static_cast<CPngMemory*>(png_get_mem_ptr(png))->Take(bytes);
}

void CPngMemory::Release(png_structp png, png_voidp p) {
    static_cast<CPngMemory*>(png_get_mem_ptr(png))->Give(p);
}

void* CPngMemory::Take(size_t bytes) {
    if (bytes == 0 || bytes > kMaxBlockBytes) return std::malloc(bytes);
    const size_t rounded = (bytes + kAlign - 1) & ~(kAlign - 1);
    const auto capacity = static_cast<size_t>(m_block.GetCount());
    if (rounded <= capacity - m_used) {
        void* p = m_block.GetData() + m_used;
        m_used += rounded;
        return p;
    }
    m_spilled += rounded;
    return std::malloc(bytes);
}

// Pieces of the block are never handed back one by one: the whole block is reused.
void CPngMemory::Give(void* p) {
    const BYTE* begin = m_block.GetData();
    const auto* piece = static_cast<const BYTE*>(p);
    if (begin && piece >= begin && piece < begin + m_block.GetCount()) return;
    std::free(p);
}

void CPngMemory::Prepare() {
    if (m_needed > static_cast<size_t>(m_block.GetCount()) && m_needed <= kMaxBlockBytes)
        m_block.Alloc(static_cast<int>(m_needed));
    m_used = 0;
    m_spilled = 0;
}

void CPngMemory::Reset() {
    if (m_used + m_spilled > m_needed) m_needed = m_used + m_spilled;
    m_used = 0;
    m_spilled = 0;
}
