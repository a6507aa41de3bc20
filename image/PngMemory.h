#pragma once
// The memory libpng asks for while it writes one image (its structures, row buffers and
// zlib's state), served from one block that the PNG writer keeps: once an image has shown
// how much it needs, later images of that size allocate nothing. libpng takes the two
// hooks through png_create_write_struct_2, with this object as its memory pointer.
#include <png.h>

#include <cstddef>

#include "foundation/MemBuffBase.h"

class CPngMemory {
public:
    CPngMemory() = default;
    CPngMemory(const CPngMemory&) = delete;
    CPngMemory& operator=(const CPngMemory&) = delete;

    static png_voidp Allocate(png_structp png, png_alloc_size_t bytes);
    static void Release(png_structp png, png_voidp p);

    // Before an image: the block grows to what the images before needed, so an object
    // used for one image only never allocates it.
    void Prepare();
    // After libpng has given everything back: the next image starts at the beginning.
    void Reset();

private:
    void* Take(size_t bytes);
    void Give(void* p);

    CMemBuffBase<BYTE> m_block;
    size_t m_used = 0;
    size_t m_spilled = 0;  // bytes the block could not hold, taken from malloc instead
    size_t m_needed = 0;   // the most that one image has taken
};
