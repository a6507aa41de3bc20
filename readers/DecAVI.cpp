#include "readers/DecAVI.h"

CDecAVI::CDecAVI() { AVIFileInit(); }

CDecAVI::~CDecAVI() {
    ReleaseAll();
    AVIFileExit();
}

int CDecAVI::Open(const wchar_t*) {
    Close();
    return 1002;
}

int CDecAVI::GetFrame(int, void**) { return -1; }

void CDecAVI::ReleaseAll() {
    if (m_videoStream) AVIStreamRelease(m_videoStream);
    m_videoStream = nullptr;
    if (m_file) AVIFileRelease(m_file);
    m_file = nullptr;
    if (m_getFrame) AVIStreamGetFrameClose(m_getFrame);
    m_getFrame = nullptr;
}

void CDecAVI::Close() {
    ReleaseAll();
    m_videoStreamInfo = AVISTREAMINFOW{};
    CDecMovie::Close();
}

void CDecAVI::ReadStreamInfo() {}
int CDecAVI::ReadFormat(void**, int*) { return 1009; }
BOOL CDecAVI::IsKeyFrame(int) { return FALSE; }
int CDecAVI::ReadSample(int, int*, CMemBuffBase<unsigned char>*, int*) { return 1007; }
int CDecAVI::ChooseVideoStream() { return 1006; }
