#include "image/PackedDib.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "foundation/SysUtil.h"
#include "image/BoundedPath.h"
#include "platform/win32/RegularFile.h"

PackedDib* AllocPackedDib(int width, int height) {
    if (!ImageSizeAcceptable(width, height)) return nullptr;
    const size_t bytes = sizeof(BITMAPINFOHEADER) + DibRowBytes(width, 24) * height;
    // Zeroed, so that row padding never carries stale memory into a file or bitmap.
    auto* dib = static_cast<PackedDib*>(std::calloc(1, bytes));
    if (!dib) return nullptr;
    dib->bmiHeader = MakeBitmapInfoHeader24(width, height);
    return dib;
}

PackedDib* TakePackedDib(PackedDib* block, int width, int height, bool* owned) {
    *owned = false;
    if (!ImageSizeAcceptable(width, height)) return nullptr;
    if (block) {
        const BITMAPINFOHEADER& h = block->bmiHeader;
        const bool fits = h.biWidth == width && h.biHeight == height && h.biBitCount == 24;
        return fits ? block : nullptr;
    }
    *owned = true;
    return AllocPackedDib(width, height);
}

PackedDib* DropPackedDib(PackedDib* block, bool owned) {
    if (owned) std::free(block);
    return nullptr;
}

FILE* OpenFileWide(const wchar_t* path, const char* mode) {
    const CBoundedPath native(path);
    const int fd = native.Get() ? OpenRegularFile(native.Get(), O_RDONLY) : -1;
    if (fd < 0) return nullptr;
    FILE* f = ::fdopen(fd, mode);
    if (!f) ::close(fd);
    return f;
}
