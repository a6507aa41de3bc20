#pragma once
// FrameGraph: the graph that bitmap-grab mode builds, a frame source feeding a
// sample grabber. Positions are in 100-ns units. Run hands the frame nearest the
// current position to the grabber's callback once, on the calling thread, before
// it returns. SampleGrabber is the grabber filter of that graph.
#include <memory>

#include "platform/dshow/DShowInterfaces.h"
#include "platform/dshow/FrameSource.h"

class FrameGraph;

class SampleGrabber : public ISampleGrabber, public IBaseFilter {
public:
    HRESULT SetCallback(ISampleGrabberCB* callback, long which) override;
    HRESULT SetOneShot(BOOL oneShot) override;
    HRESULT SetBufferSamples(BOOL buffer) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;

private:
    friend class FrameGraph;
    void Deliver(double sampleTime, BYTE* buffer, long length);

    std::weak_ptr<FrameGraph> m_graph;
    ISampleGrabberCB* m_callback = nullptr;
};

class FrameGraph : public IFilterGraph,
                   public IMediaControl,
                   public IMediaSeeking,
                   public IMediaPosition,
                   public std::enable_shared_from_this<FrameGraph> {
public:
    // Takes the source, whose video decoder is already started.
    static std::shared_ptr<FrameGraph> Create(std::unique_ptr<FrameSource> source,
                                              REFERENCE_TIME start);

    std::shared_ptr<SampleGrabber> Grabber() const { return m_grabber; }

    HRESULT Run() override;
    HRESULT Stop() override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                         DWORD stopFlags) override;
    HRESULT get_Duration(double* seconds) override;

private:
    FrameGraph() = default;

    std::unique_ptr<FrameSource> m_source;
    std::shared_ptr<SampleGrabber> m_grabber;
    REFERENCE_TIME m_position = 0;
    REFERENCE_TIME m_stop = 0;
    bool m_running = false;
};
