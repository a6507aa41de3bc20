#pragma once
// CDecAVI: the video of an AVI file through the AVI file library. Chooses one
// video stream, decodes frame n through the library's frame decompressor
// (always 24-bit BI_RGB bottom-up rows), describes the stream as short texts and
// gives raw access to the stream for the stream copies.
#include <functional>
#include <string>

#include "foundation/MemBuffBase.h"
#include "foundation/ResultCodes.h"
#include "platform/avifile/AviFile.h"
#include "readers/DecMovie.h"

class CDecAVI : public CDecMovie {
public:
    CDecAVI();
    ~CDecAVI() override;

    // 0, or 1002-1006; 1005 also when the stream's rate or scale is zero, 1009
    // when its format is not a bitmap header.
    [[nodiscard]] int Open(const wchar_t* path) override;
    int GetFrame(int n, void** bits) override;
    bool TradeFrame(const void* bits, int64_t bytes, std::vector<uint8_t>* buffer, size_t* rowsAt) override;
    void Close() override;
    // The size of the pictures the stream decodes to, which can differ from its header's
    // (a writer that stored the coded size, rounded up): learnt from the first frame.
    int GetWidth() override;
    int GetHeight() override;
    // Called by Open once the stream is chosen: rate, scale, count, size and texts.
    virtual void ReadStreamInfo();

    PAVISTREAM GetVideoStream() const { return m_videoStream; }
    AVISTREAMINFOW* GetStreamInfo() { return &m_videoStreamInfo; }
    // The stream's format block, malloc'ed; the caller frees it. 0, 1009 or 501.
    [[nodiscard]] int ReadFormat(void** block, int* size);
    BOOL IsKeyFrame(int n);
    // One sample of the stream (a dropped frame reads as 0 bytes). 0, 1007 or 501.
    [[nodiscard]] int ReadSample(int start, int* samples, CMemBuffBase<unsigned char>* buffer, int* bytes);
    std::wstring GetTypeText() const { return m_typeText; }
    std::wstring GetHandlerText() const { return m_handlerText; }
    std::wstring GetCodecText() const { return m_codecText; }

protected:
    PGETFRAME m_getFrame = nullptr;
    std::wstring m_typeText;
    std::wstring m_handlerText;
    std::wstring m_codecText;
    AVISTREAMINFOW m_videoStreamInfo{};
    PAVISTREAM m_videoStream = nullptr;
    PAVIFILE m_file = nullptr;

    // Offers every stream of the open file to `keep`, which takes the stream over
    // by returning true; the streams it turns down are released. 0, 1003, 1004 or 1005.
    [[nodiscard]] int ScanStreams(const std::function<bool(PAVISTREAM, const AVISTREAMINFOW&)>& keep);

private:
    [[nodiscard]] int ChooseVideoStream();
    void ReleaseAll();
    void LearnFrameSize();

    bool m_sizeLearned = false;
};
