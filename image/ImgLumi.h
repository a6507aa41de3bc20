#pragma once
// A brightness and gamma lookup table for 8-bit samples.
#include "platform/win32/Win32Types.h"

class CImgLumi {
public:
    CImgLumi() { BuildTable(0, 0); }
    virtual ~CImgLumi() = default;

    // table[i] = pow(i / 255, 2^(−gamma / 128)) × 255 + brightness, rounded and clamped.
    void BuildTable(int gamma, int brightness);
    const BYTE* GetTable() const { return m_table; }

private:
    BYTE m_table[256];
    int m_brightness = 0;
    int m_gamma = 0;
};
