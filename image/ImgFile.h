#pragma once
// The still-image file family: one class per format, each saving a 24-bit frame
// (bottom-up B, G, R rows padded to 4 bytes, size taken from the header) and loading
// a file of its format into a PackedDib. The writers keep their buffers (and the JPEG
// writer its compressor) between calls, so a kept object writes frame after frame
// without allocating; each call still opens, writes and closes its own file.
#include "image/PackedDib.h"

class CImgFile {
public:
    virtual ~CImgFile() = default;
    // Loads path into block (which must already describe a picture of the file's size)
    // or, with a null block, into a new malloc'ed PackedDib. Null on any failure.
    virtual PackedDib* Load(const wchar_t* path, PackedDib* block) = 0;
};
