#pragma once
// A JPEG compressor kept from one file to the next. libjpeg lets one compress object
// write many images, so its tables and pools, the output buffer and the file stay with
// the writer; only what the library needs per image is set up per file.
#include <cstddef>
#include <vector>

#include "foundation/MemBuffBase.h"
#include "image/JpegFile.h"
#include "image/OutFile.h"

class CJpegWriter {
public:
    CJpegWriter();
    ~CJpegWriter();
    // The library holds pointers into the object.
    CJpegWriter(const CJpegWriter&) = delete;
    CJpegWriter& operator=(const CJpegWriter&) = delete;

    // Writes height rows of width pixels as a baseline JPEG file: row 0 (the top line) at
    // topRow, each next row rowStep bytes further (negative for bottom-up rows). FALSE
    // when the file cannot be opened or the library fails; no partly written file stays.
    [[nodiscard]] BOOL Write(const wchar_t* path, const BYTE* topRow, ptrdiff_t rowStep, UINT width, UINT height,
               J_COLOR_SPACE space, int components, int quality);
    // The same file's bytes into block (emptied first, its room kept), with no file made.
    [[nodiscard]] BOOL Encode(std::vector<BYTE>* block, const BYTE* topRow, ptrdiff_t rowStep, UINT width, UINT height,
                J_COLOR_SPACE space, int components, int quality);

private:
    struct Destination {
        jpeg_destination_mgr pub;
        CJpegWriter* owner;
    };

    BOOL EncodeTo(COutput& out, const BYTE* topRow, ptrdiff_t rowStep, UINT width, UINT height, J_COLOR_SPACE space,
                  int components, int quality);
    void Compress(const BYTE* topRow, ptrdiff_t rowStep, UINT width, UINT height, J_COLOR_SPACE space,
                  int components, int quality);
    static void StartOutput(j_compress_ptr cinfo);
    static boolean BufferFull(j_compress_ptr cinfo);
    static void FinishOutput(j_compress_ptr cinfo);

    jpeg_compress_struct m_cinfo{};
    JpegErrorManager m_err{};
    Destination m_dest{};
    bool m_created = false;
    CMemBuffBase<JOCTET> m_buffer;
    // Whole buffers go out straight from the buffer above, so the file needs none.
    COutFile m_file;
    // Where the image being encoded goes.
    COutput* m_out = nullptr;
};
