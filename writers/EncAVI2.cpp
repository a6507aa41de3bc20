#include "writers/EncAVI2.h"

int CEncAVI2::Open(const wchar_t* path) {
    m_sequential = TRUE;
    const int result = CEncAVI_Comp::Open(path);
    // 24-bit input that the compressor will not take frame by frame (the uncompressed
    // choice among them) goes through the compressed stream instead.
    if (result == ResultCode::kSequentialStart && m_inputHeader.biBitCount == 24) {
        m_sequential = FALSE;
        return 0;
    }
    return result;
}

int CEncAVI2::WriteFrame(const void* bits) {
    return m_sequential ? CEncAVI_Comp::WriteFrame(bits) : CEncAVI::WriteFrame(bits);
}

void CEncAVI2::PrepareFrame(const void* bits, int place) {
    if (m_sequential) CEncAVI_Comp::PrepareFrame(bits, place);
}

int CEncAVI2::WriteFrameAt(const void* bits, int place) {
    return m_sequential ? CEncAVI_Comp::WriteFrameAt(bits, place) : CEncAVI::WriteFrame(bits);
}
