#include "platform/win32/WideChar.h"

#include <cstring>

namespace {

constexpr char32_t kEscapeBase = 0xDC80;  // invalid byte b travels as kEscapeBase + (b - 0x80)

bool IsEscapedByte(char32_t c) {
    return c >= kEscapeBase && c <= 0xDCFF;
}

// Writes the UTF-8 form of c to out (room for 4 bytes); returns its length.
size_t EncodeUtf8(char32_t c, char* out) {
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

// The bytes that stand for one wide character: an escaped byte comes back as itself.
// Returns 0 for a value that is no Unicode scalar.
size_t EncodeWide(wchar_t w, char* out) {
    const auto c = static_cast<char32_t>(w);
    if (IsEscapedByte(c)) {
        out[0] = static_cast<char>(0x80 + (c - kEscapeBase));
        return 1;
    }
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return EncodeUtf8(c, out);
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it is invalid.
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& c) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    size_t len = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        c = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, c = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > text.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return len;
}

}  // namespace

bool WideToUtf8(std::wstring_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    char bytes[4];
    for (wchar_t w : text) {
        const size_t n = EncodeWide(w, bytes);
        if (n == 0) {
            out.clear();
            return false;
        }
        out.append(bytes, n);
    }
    return true;
}

bool WideToUtf8Bounded(const wchar_t* text, char* out, size_t capacity) {
    if (capacity == 0) return false;
    out[0] = '\0';
    if (!text) return false;
    size_t used = 0;
    char bytes[4];
    for (const wchar_t* p = text; *p; ++p) {
        const size_t n = EncodeWide(*p, bytes);
        // One byte stays free for the terminating NUL.
        if (n == 0 || n >= capacity - used) {
            out[0] = '\0';
            return false;
        }
        std::memcpy(out + used, bytes, n);
        used += n;
    }
    out[used] = '\0';
    return true;
}

std::string WideToUtf8(std::wstring_view text) {
    std::string out;
    WideToUtf8(text, out);
    return out;
}

std::wstring Utf8ToWide(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const size_t len = DecodeUtf8(text, i, c);
        if (len == 0) {
            out += static_cast<wchar_t>(kEscapeBase + (static_cast<unsigned char>(text[i]) - 0x80));
            ++i;
        } else {
            out += static_cast<wchar_t>(c);
            i += len;
        }
    }
    return out;
}

std::wstring Utf16ToWide(std::u16string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // an unpaired surrogate cannot be represented
        }
        out += static_cast<wchar_t>(c);
    }
    return out;
}

std::u16string WideToUtf16(std::wstring_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t w : text) {
        auto c = static_cast<char32_t>(w);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}
