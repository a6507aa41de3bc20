#pragma once
// CDecMovie: what every movie reader offers the document and the view: frame
// rate, frame count, frame size, the header of the frames it delivers and the
// bits of frame n. Frames are packed-DIB pixel rows, bottom-up, each row padded
// to a multiple of 4 bytes, described by GetOutputFormat.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/MemBuffBase.h"
#include "platform/win32/Win32Types.h"

class CDecMovie {
public:
    CDecMovie();
    virtual ~CDecMovie();

    CDecMovie(const CDecMovie&) = delete;
    CDecMovie& operator=(const CDecMovie&) = delete;

    // 0, or an error code of the concrete reader.
    virtual int Open(const wchar_t* path) = 0;
    // The number of the frame delivered, or -1; *bits is set only on success and
    // stays valid until the next GetFrame or Close.
    virtual int GetFrame(int n, void** bits) = 0;
    // Gives the storage of the frame just delivered (bits, as GetFrame set them, at
    // least bytes long) to *buffer, which then holds the rows at *rowsAt, and makes the
    // frames after it in the storage *buffer had: a caller that keeps the frame copies
    // nothing. The rows do not move, so whatever shows them keeps showing them. False,
    // with nothing changed, where the reader cannot make its next frames whole in other
    // storage (the default).
    virtual bool TradeFrame(const void* /*bits*/, int64_t /*bytes*/, std::vector<uint8_t>* /*buffer*/,
                            size_t* /*rowsAt*/) {
        return false;
    }
    virtual void Close();
    virtual double GetFrameRate();
    virtual int GetFrameCount();
    virtual int GetWidth();
    virtual int GetHeight();
    // Marks the reader's own header BI_RGB with no colour table, then copies it to out.
    virtual BITMAPINFOHEADER* GetOutputFormat(BITMAPINFOHEADER* out);
    virtual BOOL HasAudio();
    virtual WAVEFORMATEX* GetAudioFormat();
    virtual int Reserved(int a, int b, int c);

protected:
    BITMAPINFOHEADER m_frameHeader{};
    CMemBuffBase<unsigned char> m_frameBuffer;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_rate = 0;
    int32_t m_scale = 0;
    int32_t m_frameCount = 0;
    WAVEFORMATEX m_audioFormat{};
    CMemBuffBase<unsigned char> m_audioFormatBuffer;

private:
    void ClearHeaders();
};
