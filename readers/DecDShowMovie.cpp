#include "readers/DecDShowMovie.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "foundation/StringChar.h"
#include "foundation/SysUtil.h"

CDecDShowBasicMovie::CDecDShowBasicMovie() {
    m_grabberCB.m_callback = SampleCallback;
    m_grabberCB.m_user = this;
    m_rate = 1;
    m_scale = -100;
}

CDecDShowBasicMovie::~CDecDShowBasicMovie() { CDecDShowBasicMovie::Close(); }

void CDecDShowBasicMovie::ResetClosedState() {
    m_frameDuration = 0;
    m_scale = -100;
    m_rate = 1;
}

void CDecDShowBasicMovie::Close() {
    StopGraph();
    m_mediaControl.reset();
    m_mediaSeeking.reset();
    m_grabberCB.Release();
    ResetClosedState();
    CDecMovie::Close();
}

int CDecDShowBasicMovie::GetFrame(int n, void** bits) {
    int r = Seek(n, TRUE);
    if (r == 0) r = WaitFrame(TRUE);
    StopGraph();
    m_frameReady.SetEvent();
    if (r != 0) return -1;
    *bits = m_frameBuffer.GetData();
    return m_deliveredFrame;
}

int64_t CDecDShowBasicMovie::GetFrameDuration() { return m_frameDuration; }

int CDecDShowBasicMovie::Reserved2() { return 1; }

int CDecDShowBasicMovie::Seek(int frame, BOOL hold) {
    StopGraph();
    m_hold = hold;
    LONGLONG position = static_cast<int64_t>(frame) * m_frameDuration;
    if (!m_mediaSeeking || !m_mediaControl) return -1;
    if (FAILED(m_mediaSeeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr,
                                            AM_SEEKING_NoPositioning)))
        return -1;
    m_frameReady.ResetEvent();
    return FAILED(m_mediaControl->Run()) ? -1 : 0;
}

void CDecDShowBasicMovie::OnSample(double sampleTime, BYTE* buffer, long length) {
    StoreSample(sampleTime, buffer, length);
}

void CDecDShowBasicMovie::OnSampleTimed(double sampleTime, BYTE* buffer, long length) {
    OnSample(sampleTime, buffer, length);
    m_lastSampleTime = sampleTime;
    const double d = sampleTime - m_prevSampleTime;
    if (d > 0 && d < m_minSampleInterval) m_minSampleInterval = d;
    m_prevSampleTime = sampleTime;
    // Held at most as long as a frame is waited for: the graph here delivers on
    // the thread that would otherwise have to resume it.
    if (m_hold) m_resume.Wait(kFrameWaitMs);
}

int CDecDShowBasicMovie::WaitFrame(BOOL keepHeld) {
    if (!keepHeld) m_resume.SetEvent();
    return m_frameReady.Wait(kFrameWaitMs) == WAIT_TIMEOUT ? -1 : 0;
}

// The sample is clipped to the frame buffer, and a shorter one is not read past
// its end. A time before the start (some streams begin below zero) is frame 0.
void CDecDShowBasicMovie::StoreSample(double sampleTime, BYTE* buffer, long length) {
    m_resume.ResetEvent();
    if (!(sampleTime > 0.0)) sampleTime = 0.0;
    m_lastSampleTime = sampleTime;
    const double frame = GetFrameRate() * sampleTime + 0.5;
    m_deliveredFrame = frame < static_cast<double>(INT_MAX) ? static_cast<int>(frame) : INT_MAX;
    int64_t bytes = GetFrameBytes();
    if (bytes > m_frameBuffer.GetCount()) bytes = m_frameBuffer.GetCount();
    if (bytes > length) bytes = length;
    if (buffer && bytes > 0 && m_frameBuffer.GetData())
        std::memcpy(m_frameBuffer.GetData(), buffer, static_cast<size_t>(bytes));
    m_frameReady.SetEvent();
}

int64_t CDecDShowBasicMovie::ProbeFrameDuration() {
    if (m_frameDuration != 0) return m_frameDuration;
    m_minSampleInterval = 500.0;
    StopGraph();
    int r = Seek(0, FALSE);
    if (r == 0) {
        const DWORD start = GetTimeMs();
        while (GetTimeMs() - start < kFrameWaitMs) {
            r = WaitFrame(TRUE);
            if (r != 0) break;
        }
    }
    StopGraph();
    if (r != 0) return -1;
    m_frameDuration = static_cast<int64_t>(m_minSampleInterval * 10000000.0);
    return m_frameDuration;
}

void CDecDShowBasicMovie::StopGraph() {
    m_hold = FALSE;
    m_resume.SetEvent();
    if (m_mediaControl) m_mediaControl->Stop();
}

int CDecDShowBasicMovie::SampleCallback(double sampleTime, BYTE* buffer, long length, void* user) {
    static_cast<CDecDShowBasicMovie*>(user)->OnSample(sampleTime, buffer, length);
    return 0;
}

int CDecDShowBasicMovie::GetFrameBytes() {
    return static_cast<int>(FrameBytes24(std::llabs(GetWidth()), std::llabs(GetHeight())).value_or(0));
}

CDecDShowMovie::~CDecDShowMovie() { CDecDShowMovie::Close(); }

void CDecDShowMovie::Close() {
    CDecDShowBasicMovie::Close();
    m_graph.reset();
}

int CDecDShowMovie::Open(const wchar_t* path) {
    Close();
    std::shared_ptr<IMediaDet> det = CreateMediaDet();
    if (!det) return ResultCode::kDirectShow;
    const CStringCharW name(path);
    if (!name.GetString() || FAILED(det->put_Filename(name.GetString()))) return ResultCode::kDirectShow;
    int r = ReadVideoType(*det);
    if (r == 0) r = ConnectGrabber(*det);
    if (r == 0) r = ReadLength();
    return r;
}

// Takes the first video stream's size and frame duration and sizes the frame buffer.
int CDecDShowMovie::ReadVideoType(IMediaDet& det) {
    long count = 0;
    if (FAILED(det.get_OutputStreams(&count))) return ResultCode::kDirectShow;
    bool found = false;
    for (long i = 0; i < count && !found; ++i) {
        AM_MEDIA_TYPE mt{};
        if (FAILED(det.put_CurrentStream(i)) || FAILED(det.get_StreamMediaType(&mt)))
            return ResultCode::kDirectShow;
        if (mt.majortype == MEDIATYPE_Video && mt.cbFormat >= sizeof(VIDEOINFOHEADER)) {
            VIDEOINFOHEADER vih;
            std::memcpy(&vih, mt.pbFormat, sizeof(vih));
            m_width = vih.bmiHeader.biWidth;
            m_height = vih.bmiHeader.biHeight;
            m_frameDuration = vih.AvgTimePerFrame;
            m_frameHeader = MakeBitmapInfoHeader24(m_width, m_height);
            // Cleared once: a sample shorter than a frame, or none yet, leaves the rest as it was.
            if (m_frameBuffer.Alloc(GetFrameBytes())) m_frameBuffer.FillAll(0);
            found = true;
        }
        FreeMediaType(mt);
    }
    if (!found) return ResultCode::kDirectShow;
    if (!m_frameBuffer.GetData() || m_frameBuffer.GetCount() < GetFrameBytes()) return ResultCode::kMemory;
    return 0;
}

// Bitmap-grab mode: the grabber calls back with whole buffers, one per run; the
// graph it sits in is kept for seeking and running.
int CDecDShowMovie::ConnectGrabber(IMediaDet& det) {
    if (FAILED(det.EnterBitmapGrabMode(0.0))) return ResultCode::kDirectShow;
    std::shared_ptr<ISampleGrabber> grabber;
    if (FAILED(det.GetSampleGrabber(&grabber)) || !grabber) return ResultCode::kDirectShow;
    const auto filter = std::dynamic_pointer_cast<IBaseFilter>(grabber);
    if (!filter || FAILED(grabber->SetCallback(&m_grabberCB, 1)) ||
        FAILED(grabber->SetOneShot(TRUE)) || FAILED(grabber->SetBufferSamples(FALSE)))
        return ResultCode::kDirectShow;
    FILTER_INFO info;
    if (FAILED(filter->QueryFilterInfo(&info)) || !info.pGraph) return ResultCode::kDirectShow;
    m_graph = info.pGraph;
    m_mediaSeeking = std::dynamic_pointer_cast<IMediaSeeking>(m_graph);
    m_mediaControl = std::dynamic_pointer_cast<IMediaControl>(m_graph);
    if (!m_mediaSeeking || !m_mediaControl) return ResultCode::kDirectShow;
    m_mediaControl->Stop();
    return 0;
}

// Frame count and rate from the duration and the frame duration. A frame duration
// that does not fit the 32-bit scale is refused like a missing one.
int CDecDShowMovie::ReadLength() {
    double seconds = 0.0;
    if (const auto position = std::dynamic_pointer_cast<IMediaPosition>(m_graph))
        position->get_Duration(&seconds);
    LONGLONG duration = 0;
    if (FAILED(m_mediaSeeking->GetDuration(&duration))) return ResultCode::kDirectShow;
    LONGLONG start = 0;
    if (FAILED(m_mediaSeeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, &duration,
                                            AM_SEEKING_AbsolutePositioning)))
        return ResultCode::kDirectShow;
    const int64_t fd = GetFrameDuration();
    if (fd <= 0 || fd > INT_MAX) return -1;
    const double frames = seconds / static_cast<double>(fd) * 10000000.0;
    if (!(frames >= 0.0) || frames >= static_cast<double>(INT_MAX)) return -1;
    m_frameCount = static_cast<int>(frames) + 1;
    m_rate = 10000000;
    m_scale = static_cast<int32_t>(fd);
    return 0;
}
