#pragma once
// Movie readers over the media detector, for video the AVI file library cannot
// decode. CDecDShowBasicMovie drives the graph: per frame it stops it, seeks to
// the frame's time, runs it and waits (at most 3000 ms) for the one sample the
// grabber hands over. CDecDShowMovie opens the file through the media detector
// in bitmap-grab mode and keeps the graph it built.
#include <cstdint>
#include <memory>

#include "foundation/ResultCodes.h"
#include "platform/dshow/DShowInterfaces.h"
#include "platform/dshow/Event.h"
#include "readers/DecMovie.h"
#include "readers/SampleGrabberCB.h"

class CDecDShowBasicMovie : public CDecMovie {
public:
    CDecDShowBasicMovie();
    ~CDecDShowBasicMovie() override;

    // The number of the frame whose sample arrived (it may differ from n), or -1.
    int GetFrame(int n, void** bits) override;
    void Close() override;

    // Measures the frame duration from the gaps between running samples when the
    // stream did not give one; -1 when no frame came.
    virtual int64_t ProbeFrameDuration();
    // AvgTimePerFrame in 100-ns units; 0 when closed.
    virtual int64_t GetFrameDuration();
    virtual int Reserved2();
    // Positions the graph at the frame's time and runs it: 0, or -1.
    virtual int Seek(int frame, BOOL hold);
    virtual void OnSample(double sampleTime, BYTE* buffer, long length);
    // Like OnSample, but records the gaps between samples and, while the hold flag
    // is set, keeps the delivering thread until it is resumed.
    virtual void OnSampleTimed(double sampleTime, BYTE* buffer, long length);
    // 0 once a sample is stored, -1 after 3000 ms without one.
    virtual int WaitFrame(BOOL keepHeld);
    virtual void StoreSample(double sampleTime, BYTE* buffer, long length);

    void StopGraph();
    static int SampleCallback(double sampleTime, BYTE* buffer, long length, void* user);
    // Bytes of one 24-bit frame: rows of (3 x width + 3) & ~3 bytes.
    int GetFrameBytes();

    static constexpr DWORD kFrameWaitMs = 3000;

protected:
    std::shared_ptr<IMediaControl> m_mediaControl;
    std::shared_ptr<IMediaSeeking> m_mediaSeeking;
    int64_t m_frameDuration = 0;
    CSampleGrabberCB m_grabberCB;
    double m_lastSampleTime = 0.0;
    int m_deliveredFrame = -100;
    CEvent m_resume;
    CEvent m_frameReady;
    BOOL m_hold = FALSE;
    double m_minSampleInterval = 0.0;
    double m_prevSampleTime = 0.0;

private:
    void ResetClosedState();
};

class CDecDShowMovie : public CDecDShowBasicMovie {
public:
    CDecDShowMovie() = default;
    ~CDecDShowMovie() override;

    // 0, 5008 (the media detector failed, or there is no video stream), 501 (no
    // frame buffer) or -1 (no frame duration).
    int Open(const wchar_t* path) override;
    void Close() override;

private:
    int ReadVideoType(IMediaDet& det);
    int ConnectGrabber(IMediaDet& det);
    int ReadLength();

    std::shared_ptr<IFilterGraph> m_graph;
};
