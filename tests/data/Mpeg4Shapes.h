#pragma once
// MPEG-4 part 2 AVI files in shapes ffmpeg does not write but other writers do:
// made by ffmpeg as a raw bitstream, cut into one chunk per picture and rewritten
// at the byte level. Every picture carries its index (see TestMedia.h).
#include <filesystem>
#include <vector>

namespace talvern::test {

struct ShapedMovie {
    std::filesystem::path path;  // empty when the movie could not be made
    int width = 0;
    int height = 0;
    // Per frame of the index: the index painted in the picture that frame shows.
    std::vector<int> shows;
};

// Frames where nothing changed hold a not-coded picture of a few bytes (vop_coded 0),
// as a screen recorder writes them: a run of them, one after a key frame and the last
// frame. Such a frame shows the picture before it.
ShapedMovie MakeNotCodedFramesMovie(const std::filesystem::path& dir);

// Packed B pictures: a chunk holds a reference picture followed by the B picture that
// shows before it, and the chunk after it is a placeholder, a not-coded picture or a
// single byte in turn; one placeholder is flagged as a key frame.
ShapedMovie MakePackedBFramesMovie(const std::filesystem::path& dir);

}  // namespace talvern::test
