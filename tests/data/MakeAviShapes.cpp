// Writes every file of the AVI shapes corpus into a folder, for the end-to-end tests:
// one line per file, "<name>.avi <reads 0/1> <audio none/pcm/lossy>".
#include <cstdio>

#include "tests/data/AviShapes.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    for (const auto& shape : talvern::test::AviShapes()) {
        const std::string file = shape.name + ".avi";
        if (!shape.make(folder / file)) {
            std::fprintf(stderr, "could not make %s\n", file.c_str());
            return 1;
        }
        static const char* const kAudio[] = {"none", "pcm", "lossy"};
        std::printf("%s %d %s\n", file.c_str(), shape.reads ? 1 : 0, kAudio[int(shape.audio)]);
    }
    return 0;
}
