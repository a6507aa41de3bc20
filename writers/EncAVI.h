#pragma once
// The AVI writer: one AVI file with one video stream, compressed by a video
// compressor chosen in the settings, or a raw copy of an already compressed
// stream. CEncAVI writes through the compressed stream (plain mode);
// CEncAVI_Comp compresses each frame itself (sequential mode).
#include <string>

#include "foundation/ResultCodes.h"
#include "platform/avifile/AviFile.h"
#include "platform/vcm/Vcm.h"
#include "platform/win32/Win32Types.h"
#include "writers/EncAVISetting.h"

class CEncAVI {
public:
    CEncAVI();
    virtual ~CEncAVI();
    CEncAVI(const CEncAVI&) = delete;
    CEncAVI& operator=(const CEncAVI&) = delete;

    // One frame of the input header's size, 24-bit bottom-up rows.
    [[nodiscard]] virtual int WriteFrame(const void* bits);
    // Closes whatever is open. Returns 0, or 2006 when the file could not be
    // finished (its index or headers could not be written, a full disk). The file of a
    // stream copy that could not be written whole is removed: the user is told the copy
    // failed, and a copy without its last samples must not pass for a whole one. The
    // file of a run stays, readable up to its last whole frame.
    [[nodiscard]] virtual int Close();
    [[nodiscard]] virtual int Open(const wchar_t* path);
    virtual void SetupCompressOptions();
    virtual void ReleaseCompressor();

    // rate: frames per second x 10000; the last argument is not used.
    [[nodiscard]] int Create(const wchar_t* path, const BITMAPINFOHEADER* input, int rate, int ignored);
    // A raw copy of a stream: its header and format block go into the file as given.
    [[nodiscard]] int OpenCopy(const wchar_t* path, const AVISTREAMINFOW* info, const void* format, int formatSize);
    [[nodiscard]] int WriteSample(int samples, const void* data, int bytes, BOOL key);

    int GetPosition() const { return m_position; }
    const AVISTREAMINFOW& GetStreamInfo() const { return m_streamInfo; }
    CEncAVISetting& GetSetting() { return m_setting; }

protected:
    int FrameBytes() const;
    // Notes that the file did not take what it was given, and returns code.
    int WriteFailed(int code) {
        m_writeFailed = true;
        return code;
    }

    CEncAVISetting m_setting;  // first: loaded before and saved after everything else
    int m_position = 0;
    PAVIFILE m_file = nullptr;
    PAVISTREAM m_outputStream = nullptr;
    PAVISTREAM m_plainStream = nullptr;
    AVICOMPRESSOPTIONS m_compressOptions{};
    COMPVARS m_compVars{};
    AVISTREAMINFOW m_streamInfo{};
    BITMAPINFOHEADER m_inputHeader{};
    bool m_writeFailed = false;
    std::wstring m_copyPath;  // the file OpenCopy made, until it is closed
};

class CEncAVI_Comp : public CEncAVI {
public:
    CEncAVI_Comp();
    ~CEncAVI_Comp() override;

    [[nodiscard]] int WriteFrame(const void* bits) override;
    [[nodiscard]] int Open(const wchar_t* path) override;
    void SetupCompressOptions() override;
    void ReleaseCompressor() override;
    // The frame readied for the compressor on another thread, ahead of its turn, in one
    // of a few places; WriteFrameAt then takes it from there. Only a conversion moves:
    // the file is the same.
    virtual void PrepareFrame(const void* bits, int place);
    [[nodiscard]] virtual int WriteFrameAt(const void* bits, int place);

protected:
    ICCOMPRESSFRAMES m_framesInfo{};
};
