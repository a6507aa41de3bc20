#include "platform/wmf/WmText.h"

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsScalar(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// One code point from UTF-8 at data[i]; advances i. False on a malformed sequence.
bool NextUtf8(const BYTE* data, size_t size, size_t& i, char32_t& c) {
    const BYTE b = data[i];
    int extra = 0;
    if (b < 0x80) {
        c = b;
    } else if ((b & 0xE0) == 0xC0) {
        c = b & 0x1F;
        extra = 1;
    } else if ((b & 0xF0) == 0xE0) {
        c = b & 0x0F;
        extra = 2;
    } else if ((b & 0xF8) == 0xF0) {
        c = b & 0x07;
        extra = 3;
    } else {
        return false;
    }
    if (size - i - 1 < static_cast<size_t>(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
        const BYTE t = data[i + k];
        if ((t & 0xC0) != 0x80) return false;
        c = (c << 6) | (t & 0x3F);
    }
    static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (c < kMin[extra] || !IsScalar(c)) return false;
    i += 1 + extra;
    return true;
}

bool DecodeUtf8(const BYTE* data, size_t size, std::wstring* out) {
    size_t i = 0;
    while (i < size && data[i] != 0) {
        char32_t c;
        if (!NextUtf8(data, size, i, c)) return false;
        out->push_back(static_cast<wchar_t>(c));
    }
    return true;
}

bool DecodeUtf16(const BYTE* data, size_t size, bool bigEndian, std::wstring* out) {
    auto unit = [&](size_t i) -> char32_t {
        return bigEndian ? (char32_t(data[i]) << 8) | data[i + 1] : (char32_t(data[i + 1]) << 8) | data[i];
    };
    for (size_t i = 0; i + 1 < size; i += 2) {
        char32_t c = unit(i);
        if (c == 0) break;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 3 >= size) return false;
            const char32_t low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF) return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
        out->push_back(static_cast<wchar_t>(c));
    }
    return true;
}

}  // namespace

std::string WmWideToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t w : text) {
        const char32_t c = static_cast<char32_t>(w);
        AppendUtf8(out, IsScalar(c) ? c : U'\uFFFD');
    }
    return out;
}

std::wstring WmUtf8ToWide(const std::string& text) {
    std::wstring out;
    const auto* data = reinterpret_cast<const BYTE*>(text.data());
    size_t i = 0;
    while (i < text.size()) {
        char32_t c;
        if (NextUtf8(data, text.size(), i, c)) {
            out.push_back(static_cast<wchar_t>(c));
        } else {
            out.push_back(L'\uFFFD');
            ++i;
        }
    }
    return out;
}

bool WmDecodeProfileText(const BYTE* data, size_t size, std::wstring* out) {
    out->clear();
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) return DecodeUtf16(data + 2, size - 2, false, out);
    if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) return DecodeUtf16(data + 2, size - 2, true, out);
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) return DecodeUtf8(data + 3, size - 3, out);
    if (size >= 2 && data[0] != 0 && data[0] < 0x80 && data[1] == 0) return DecodeUtf16(data, size, false, out);
    return DecodeUtf8(data, size, out);
}
