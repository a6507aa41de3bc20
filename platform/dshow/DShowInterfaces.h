#pragma once
// The media-detector and filter-graph interfaces as plain C++ classes. Objects
// are shared through std::shared_ptr; asking an object for another of its
// interfaces is std::dynamic_pointer_cast. Each interface holds only the calls
// the movie reader makes.
#include <memory>

#include "platform/dshow/DShowTypes.h"

class IMediaSample;  // never handed out: the grabber delivers buffers only

// Receives the grabbed samples. Its owner keeps it alive while a grabber holds it.
class ISampleGrabberCB {
public:
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT SampleCB(double sampleTime, IMediaSample* sample) = 0;
    // buffer holds one frame as 24-bit bottom-up rows padded to 4 bytes; sampleTime
    // is the frame's time in seconds from the start of the stream.
    virtual HRESULT BufferCB(double sampleTime, BYTE* buffer, long length) = 0;
    virtual ~ISampleGrabberCB() = default;
};

class IFilterGraph {
public:
    virtual ~IFilterGraph() = default;
};

struct FILTER_INFO {
    std::shared_ptr<IFilterGraph> pGraph;
};

class IBaseFilter {
public:
    virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
    virtual ~IBaseFilter() = default;
};

class ISampleGrabber {
public:
    // which: 0 = SampleCB, 1 = BufferCB (the only kind delivered). The callback is
    // not owned; null detaches it.
    virtual HRESULT SetCallback(ISampleGrabberCB* callback, long which) = 0;
    virtual HRESULT SetOneShot(BOOL oneShot) = 0;
    virtual HRESULT SetBufferSamples(BOOL buffer) = 0;
    virtual ~ISampleGrabber() = default;
};

class IMediaControl {
public:
    // Delivers the frame nearest the current position to the grabber's callback,
    // once, before it returns; nothing when the position is at or past the stop
    // position.
    virtual HRESULT Run() = 0;
    virtual HRESULT Stop() = 0;
    virtual ~IMediaControl() = default;
};

class IMediaSeeking {
public:
    virtual HRESULT GetDuration(LONGLONG* duration) = 0;
    // Either pointer may be null when its flags are AM_SEEKING_NoPositioning.
    virtual HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                 DWORD stopFlags) = 0;
    virtual ~IMediaSeeking() = default;
};

class IMediaPosition {
public:
    virtual HRESULT get_Duration(double* seconds) = 0;
    virtual ~IMediaPosition() = default;
};

class IMediaDet {
public:
    // Opens a local file; the name is never taken as a URL.
    virtual HRESULT put_Filename(const wchar_t* path) = 0;
    // Audio and video streams of the file, in file order.
    virtual HRESULT get_OutputStreams(long* count) = 0;
    virtual HRESULT put_CurrentStream(long index) = 0;
    virtual HRESULT get_StreamMediaType(AM_MEDIA_TYPE* mt) = 0;
    // Builds the graph that decodes the first video stream into the grabber,
    // positioned at the given time.
    virtual HRESULT EnterBitmapGrabMode(double seconds) = 0;
    virtual HRESULT GetSampleGrabber(std::shared_ptr<ISampleGrabber>* grabber) = 0;
    virtual ~IMediaDet() = default;
};

// A new media detector, or null when none can be made.
std::shared_ptr<IMediaDet> CreateMediaDet();
