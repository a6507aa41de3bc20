#include "tests/image/ImageTestUtil.h"

#include <jpeglib.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>

#include "platform/win32/WideChar.h"

namespace imagetest {

Frame::Frame(int w, int h, Rgb (*colour)(int x, int y)) : width(w), height(h) {
    bits.assign(Stride() * h, 0xAB);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb c = colour(x, y);
            BYTE* p = bits.data() + Stride() * (h - 1 - y) + 3 * x;
            p[0] = static_cast<BYTE>(c.b);
            p[1] = static_cast<BYTE>(c.g);
            p[2] = static_cast<BYTE>(c.r);
        }
}

Rgb Frame::At(int x, int y) const {
    const BYTE* p = bits.data() + Stride() * (height - 1 - y) + 3 * x;
    return {p[2], p[1], p[0]};
}

BITMAPINFOHEADER Frame::Header() const {
    BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biXPelsPerMeter = 99;
    return h;
}

Rgb Coded(int x, int y) { return {(x * 7 + 1) & 0xFF, (y * 11 + 2) & 0xFF, (x * 3 + y * 5 + 3) & 0xFF}; }

Rgb Blocks(int x, int y) {
    static const Rgb palette[] = {{230, 20, 20}, {20, 200, 30}, {30, 40, 220}, {240, 240, 240}, {10, 10, 10}};
    return palette[((x / 8) + 2 * (y / 8)) % 5];
}

std::wstring Wide(const std::filesystem::path& p) { return Utf8ToWide(p.string()); }

Rgb Decoded::At(int x, int y) const {
    const BYTE* p = pixels.data() + (static_cast<size_t>(y) * width + x) * components;
    return components == 3 ? Rgb{p[0], p[1], p[2]} : Rgb{p[0], p[0], p[0]};
}

Decoded DecodeJpegDirect(const std::filesystem::path& p) {
    Decoded d;
    FILE* f = std::fopen(p.c_str(), "rb");
    if (!f) return d;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    d.width = static_cast<int>(cinfo.output_width);
    d.height = static_cast<int>(cinfo.output_height);
    d.components = cinfo.output_components;
    d.pixels.resize(static_cast<size_t>(d.width) * d.height * d.components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = d.pixels.data() + static_cast<size_t>(cinfo.output_scanline) * d.width * d.components;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return d;
}

Decoded DecodePngDirect(const std::filesystem::path& p) {
    Decoded d;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, p.c_str())) return d;
    // Only 8-bit RGB files are expected from our writer.
    if (image.format != PNG_FORMAT_RGB) {
        png_image_free(&image);
        return d;
    }
    d.width = static_cast<int>(image.width);
    d.height = static_cast<int>(image.height);
    d.components = 3;
    d.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, d.pixels.data(), 0, nullptr)) d = Decoded{};
    return d;
}

void WriteCmykJpeg(const std::filesystem::path& p, int w, int h) {
    FILE* f = std::fopen(p.c_str(), "wb");
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = w;
    cinfo.image_height = h;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<BYTE> row(4 * static_cast<size_t>(w), 100);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(f);
}

}  // namespace imagetest
