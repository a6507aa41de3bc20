#pragma once
// The AVI writer the application creates: sequential compression when the
// compressor takes it, else plain mode through the compressed stream.
#include "writers/EncAVIAudio.h"

class CEncAVI2 : public CEncAVIAudioComp {
public:
    CEncAVI2() = default;
    ~CEncAVI2() override = default;

    [[nodiscard]] int WriteFrame(const void* bits) override;
    [[nodiscard]] int Open(const wchar_t* path) override;
    // A frame readied ahead on another thread, then written, as CEncAVI_Comp's.
    void PrepareFrame(const void* bits, int place) override;
    [[nodiscard]] int WriteFrameAt(const void* bits, int place) override;

    BOOL IsSequential() const { return m_sequential; }

private:
    BOOL m_sequential = FALSE;
};
