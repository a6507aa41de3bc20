#include "foundation/StringChar.h"

#include <cstdint>
#include <cstring>
#include <cwchar>

#include "platform/win32/WideChar.h"

void CStringChar::Set(const wchar_t* text) {
    WideToAnsiBuffer(text, m_buf);
}

void CStringCharW::Set(const wchar_t* text) {
    if (!text) return;
    const size_t len = std::wcslen(text);
    if (len >= static_cast<size_t>(INT32_MAX)) return;
    const int n = static_cast<int>(len) + 1;
    if (!m_buf.Alloc(n) || m_buf.GetCount() != n) {
        m_buf.Free();
        return;
    }
    std::memcpy(m_buf.GetData(), text, static_cast<size_t>(n) * sizeof(wchar_t));
}

void WideToAnsiBuffer(const wchar_t* text, CMemBuffBase<char>& out) {
    std::string utf8;
    if (!text || !WideToUtf8(text, utf8) || utf8.size() >= static_cast<size_t>(INT32_MAX)) {
        out.Free();
        return;
    }
    const int n = static_cast<int>(utf8.size()) + 1;
    if (!out.Alloc(n) || out.GetCount() != n) {
        out.Free();
        return;
    }
    std::memcpy(out.GetData(), utf8.c_str(), static_cast<size_t>(n));
}

int WideToInt(const wchar_t* text) {
    if (!text) return 0;
    const wchar_t* p = text;
    while (*p == L' ' || (*p >= L'\t' && *p <= L'\r')) ++p;
    bool negative = false;
    if (*p == L'-' || *p == L'+') negative = (*p++ == L'-');
    // The 64-bit reading saturates on overflow, as the run-time's does; then only the
    // low 32 bits survive.
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    uint64_t value = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        const auto digit = static_cast<uint64_t>(*p - L'0');
        value = (value > (limit - digit) / 10) ? limit : value * 10 + digit;
    }
    if (negative) value = 0 - value;
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

void CStringFromWide(const wchar_t* text, std::wstring& out) {
    out = text ? text : L"";
}
