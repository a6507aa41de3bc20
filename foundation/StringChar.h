#pragma once
// Plain NUL-terminated copies of a wide string for interfaces that need a raw buffer:
// CStringChar holds the narrow (UTF-8) form, CStringCharW a wide copy.
#include <string>

#include "foundation/MemBuffBase.h"

class CStringChar {
public:
    explicit CStringChar(const wchar_t* text = nullptr) { Set(text); }
    virtual ~CStringChar() = default;
    CStringChar(const CStringChar&) = delete;
    CStringChar& operator=(const CStringChar&) = delete;

    void Set(const wchar_t* text);
    // The converted text, or null when the text was null or could not be converted.
    char* GetString() const { return m_buf.GetData(); }

private:
    CMemBuffBase<char> m_buf;
};

class CStringCharW {
public:
    explicit CStringCharW(const wchar_t* text = nullptr) { Set(text); }
    virtual ~CStringCharW() = default;
    CStringCharW(const CStringCharW&) = delete;
    CStringCharW& operator=(const CStringCharW&) = delete;

    // A null text changes nothing, so an earlier copy survives.
    void Set(const wchar_t* text);
    wchar_t* GetString() const { return m_buf.GetData(); }

private:
    CMemBuffBase<wchar_t> m_buf;
};

// Converts text to UTF-8 with its NUL into out. A null text, or one that holds no
// valid Unicode, leaves out empty: never a lossy copy.
void WideToAnsiBuffer(const wchar_t* text, CMemBuffBase<char>& out);

// Decimal reading as the C run-time's 64-bit conversion does it (leading blanks, one
// sign, stops at the first non-digit, 0 without digits), cut to the low 32 bits.
int WideToInt(const wchar_t* text);

// out = text; a null text gives an empty string.
void CStringFromWide(const wchar_t* text, std::wstring& out);
