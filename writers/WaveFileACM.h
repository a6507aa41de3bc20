#pragma once
// A WAV file written through the audio conversion engine: audio given to Write
// is converted to the target format and lands in the 'data' chunk; Close writes
// the chunk sizes and the 'fact' sample count. Also reads such a file back as PCM.
#include "writers/MMio.h"
#include "writers/WavACM.h"

class CWaveFileACM {
public:
    CWaveFileACM();
    virtual ~CWaveFileACM();
    CWaveFileACM(const CWaveFileACM&) = delete;
    CWaveFileACM& operator=(const CWaveFileACM&) = delete;

    virtual BOOL OpenRead(const wchar_t* path);
    virtual BOOL OpenWrite(const wchar_t* path);
    // PCM bytes delivered; 0 when not open for reading.
    virtual int Read(void* buffer, int bytes);
    // Bytes taken, 0 when not open for writing, -1 once a write has failed (the
    // file then takes nothing more).
    virtual int Write(const void* data, int bytes);
    virtual void Close();

    void SetSourceFormat(const WAVEFORMATEX* f) { m_converter.SetSourceFormat(f); }
    void SetTargetFormat(const WAVEFORMATEX* f) { m_converter.SetTargetFormat(f); }
    BOOL ChooseFormat(HWND owner) { return m_converter.ChooseFormat(owner); }
    // The stream's own bytes, unconverted, into 'data'.
    int WriteRaw(const void* data, int bytes);
    // The file refused to grow past the size a RIFF file can have.
    BOOL IsSizeLimitReached() const { return m_file.IsSizeLimitReached(); }
    CMMio& File() { return m_file; }

    static int MMioWriteCallback(const void* data, int bytes, void* user);
    static int MMioReadCallback(void* data, int bytes, void* user);

private:
    BOOL FailOpen();
    // Creates the file and writes everything before the samples.
    bool StartFile(const wchar_t* path);

    BOOL m_writing = FALSE;
    CWavACM m_converter;
    CMMio m_file;
    BOOL m_writeFailed = FALSE;
};
