#pragma once
// A drawing context over the visible part of a stretched frame, to copy pixels from.
// Stretching a whole 24-bit frame through the painter at every paint converts and
// samples every pixel of the picture through a general transform; here only the
// pixels that a window shows are converted, once, and a paint is then a plain copy.
#include <QImage>
#include <cstdint>
#include <vector>

#include "platform/ui/DC.h"

class CFrameDC : public CDC {
public:
    // Makes the pixels of the part of picture that lies in visible, where picture is
    // the region src (top-down picture coordinates) of a bottom-up 24-bit frame
    // stretched without blending, as DrawFrame24 would draw it. Nothing is done when
    // the same region was made since the last Invalidate. Memory is taken only when
    // the part outgrows every earlier one.
    void Render(const uint8_t* bits, int width, int height, const RECT& src, const RECT& picture,
                const RECT& visible);
    // The frame's pixels changed: the next Render makes the picture again.
    void Invalidate() { m_valid = false; }
    // Where the pixels are on screen: image pixel (0, 0) is at its top-left corner.
    const RECT& Area() const { return m_area; }
    const QImage* GetImage() const override { return m_pixels.isNull() ? nullptr : &m_pixels; }

private:
    struct Inputs {
        const uint8_t* bits = nullptr;
        int width = 0, height = 0;
        RECT src{}, picture{}, visible{};
    };
    static bool Same(const Inputs& a, const Inputs& b);

    bool Reserve(int width, int height);
    void Convert(const Inputs& in);

    QImage m_pixels;
    std::vector<int> m_columnBytes;  // byte offset in a frame row of each area column
    RECT m_area{};
    Inputs m_inputs;
    bool m_valid = false;
};
