#include "platform/wmf/WmText.h"

#include "platform/win32/WideChar.h"

namespace {

std::wstring DecodeUtf16(const BYTE* data, size_t size, bool bigEndian) {
    std::u16string units;
    units.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2) {
        const char16_t u = bigEndian ? char16_t((data[i] << 8) | data[i + 1]) : char16_t((data[i + 1] << 8) | data[i]);
        if (u == 0) break;
        units.push_back(u);
    }
    return Utf16ToWide(units);
}

std::wstring DecodeUtf8(const BYTE* data, size_t size) {
    size_t n = 0;
    while (n < size && data[n] != 0) ++n;
    return Utf8ToWide(std::string_view(reinterpret_cast<const char*>(data), n));
}

}  // namespace

std::wstring WmDecodeProfileText(const BYTE* data, size_t size) {
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) return DecodeUtf16(data + 2, size - 2, false);
    if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) return DecodeUtf16(data + 2, size - 2, true);
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) return DecodeUtf8(data + 3, size - 3);
    if (size >= 2 && data[0] != 0 && data[0] < 0x80 && data[1] == 0) return DecodeUtf16(data, size, false);
    return DecodeUtf8(data, size);
}
