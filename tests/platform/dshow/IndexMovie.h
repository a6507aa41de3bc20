#pragma once
// Movies whose frames can be told apart exactly: frame N is stored losslessly
// with red = N mod 256 and green = N / 256 in every pixel, and blue varying
// across the picture so that the row order shows.
#include <string>

#include "tests/support/TestSupport.h"

namespace talvern::test {

// rate as ffmpeg takes it ("25", "30000/1001"); codecArgs must keep RGB lossless.
inline bool MakeIndexMovie(const std::string& path, int width, int height, const std::string& rate,
                           double seconds, const std::string& codecArgs,
                           const std::string& extraInputs = "") {
    const std::string cmd =
        "ffmpeg -v error -y -f lavfi -i \"color=s=" + std::to_string(width) + "x" +
        std::to_string(height) + ":r=" + rate + ":d=" + std::to_string(seconds) +
        ",format=gbrp,geq=r='mod(N,256)':g='mod(floor(N/256),256)':b='mod(X*4+Y,256)'\" " +
        extraInputs + " " + codecArgs + " " + ShellQuote(path) + " 2>&1";
    return RunCommand(cmd) == 0;
}

// The index of a bottom-up 24-bit frame with rows padded to 4 bytes; -1 when its
// rows are not in that order.
inline int IndexOfDib(const unsigned char* bits, int width, int height) {
    const long row = (3L * width + 3) & ~3L;
    const unsigned char* top = bits + row * (height - 1);
    if (top[0] != 0 || bits[0] != (((height - 1)) & 0xFF)) return -1;
    return top[2] + 256 * top[1];
}

}  // namespace talvern::test
