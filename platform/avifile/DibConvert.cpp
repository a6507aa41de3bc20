#include "platform/avifile/DibConvert.h"

#include <algorithm>
#include <cstring>

#include "platform/avifile/RiffCursor.h"

namespace {
constexpr int kMaxDimension = 32768;
}

uint8_t DibConverter::Mask::Expand(uint32_t px) const {
    if (bits == 0) return 0;
    const uint32_t v = (px & mask) >> shift;
    if (bits >= 8) return uint8_t(v >> (bits - 8));
    // Replicate the top bits so that full scale maps to 255.
    uint32_t out = v << (8 - bits);
    for (int have = bits; have < 8; have += bits) out |= out >> bits;
    return uint8_t(out);
}

void DibConverter::SetMasks(uint32_t r, uint32_t g, uint32_t b) {
    auto make = [](uint32_t m) {
        Mask k;
        k.mask = m;
        if (m == 0) return k;
        while (!((m >> k.shift) & 1)) ++k.shift;
        while (k.shift + k.bits < 32 && ((m >> (k.shift + k.bits)) & 1)) ++k.bits;
        return k;
    };
    m_r = make(r);
    m_g = make(g);
    m_b = make(b);
}

bool DibConverter::Init(const uint8_t* format, size_t formatSize) {
    RiffCursor c(format, formatSize);
    uint32_t size = 0, compression = 0, sizeImage = 0, clrUsed = 0;
    uint16_t planes = 0, bits = 0;
    int32_t width = 0, height = 0;
    uint32_t skip = 0;
    if (!c.U32(size) || !c.U32(reinterpret_cast<uint32_t&>(width)) ||
        !c.U32(reinterpret_cast<uint32_t&>(height)) || !c.U16(planes) || !c.U16(bits) ||
        !c.U32(compression) || !c.U32(sizeImage) || !c.U32(skip) || !c.U32(skip) || !c.U32(clrUsed) ||
        !c.U32(skip))
        return false;
    if (width <= 0 || width > kMaxDimension || height == 0 || height < -kMaxDimension ||
        height > kMaxDimension)
        return false;
    if (compression != BI_RGB && compression != BI_BITFIELDS) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (compression == BI_BITFIELDS && bits != 16 && bits != 32) return false;
    m_width = width;
    m_height = height < 0 ? -height : height;
    m_topDown = height < 0;
    m_bits = bits;
    m_srcRowBytes = DibRowBytes(width, bits);
    // What follows the header: three masks for BI_BITFIELDS, else the colour table.
    RiffCursor rest(format + std::min<size_t>(size, formatSize), formatSize - std::min<size_t>(size, formatSize));
    if (size < 40) return false;
    if (compression == BI_BITFIELDS) {
        uint32_t r = 0, g = 0, b = 0;
        if (!rest.U32(r) || !rest.U32(g) || !rest.U32(b)) return false;
        SetMasks(r, g, b);
    } else if (bits == 16) {
        SetMasks(0x7C00, 0x03E0, 0x001F);
    } else if (bits == 32) {
        SetMasks(0xFF0000, 0x00FF00, 0x0000FF);
    }
    if (bits <= 8) {
        const uint32_t entries = std::min<uint32_t>(clrUsed ? clrUsed : 1u << bits, 1u << bits);
        for (uint32_t i = 0; i < entries && rest.Read(&m_palette[i], 4); ++i) {
        }
    }
    return true;
}

void DibConverter::ConvertRow(const uint8_t* src, uint8_t* dst) const {
    switch (m_bits) {
    case 24:
        std::memcpy(dst, src, size_t(m_width) * 3);
        return;
    case 1:
    case 4:
    case 8: {
        const int perByte = 8 / m_bits;
        const int mask = (1 << m_bits) - 1;
        for (int x = 0; x < m_width; ++x, dst += 3) {
            const int shift = 8 - m_bits * (x % perByte + 1);
            const RGBQUAD& q = m_palette[(src[x / perByte] >> shift) & mask];
            dst[0] = q.rgbBlue;
            dst[1] = q.rgbGreen;
            dst[2] = q.rgbRed;
        }
        return;
    }
    default: {
        const int step = m_bits / 8;
        for (int x = 0; x < m_width; ++x, src += step, dst += 3) {
            uint32_t px = src[0] | (uint32_t(src[1]) << 8);
            if (step == 4) px |= (uint32_t(src[2]) << 16) | (uint32_t(src[3]) << 24);
            dst[0] = m_b.Expand(px);
            dst[1] = m_g.Expand(px);
            dst[2] = m_r.Expand(px);
        }
        return;
    }
    }
}

void DibConverter::Convert(const uint8_t* frame, uint8_t* out) const {
    const int64_t outRow = DibRowBytes(m_width, 24);
    for (int y = 0; y < m_height; ++y) {
        const int srcRow = m_topDown ? m_height - 1 - y : y;
        uint8_t* dst = out + y * outRow;
        ConvertRow(frame + srcRow * m_srcRowBytes, dst);
        std::memset(dst + int64_t(m_width) * 3, 0, size_t(outRow - int64_t(m_width) * 3));
    }
}
