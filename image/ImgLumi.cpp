#include "image/ImgLumi.h"

#include <cmath>

void CImgLumi::BuildTable(int gamma, int brightness) {
    m_gamma = gamma;
    m_brightness = brightness;
    const double exponent = std::pow(2.0, -gamma / 128.0);
    for (int i = 0; i < 256; ++i) {
        const double v = std::pow(i / 255.0, exponent) * 255.0 + brightness + 0.5;
        m_table[i] = v < 0 ? 0 : v > 255 ? 255 : static_cast<BYTE>(v);
    }
}
