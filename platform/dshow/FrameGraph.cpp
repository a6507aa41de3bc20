#include "platform/dshow/FrameGraph.h"

HRESULT SampleGrabber::SetCallback(ISampleGrabberCB* callback, long which) {
    if (callback && which != 1) return E_INVALIDARG;  // only whole buffers are delivered
    m_callback = callback;
    return S_OK;
}

// Every run delivers a single frame, so one-shot is the only mode and buffering
// the samples has nothing to keep.
HRESULT SampleGrabber::SetOneShot(BOOL) { return S_OK; }
HRESULT SampleGrabber::SetBufferSamples(BOOL) { return S_OK; }

HRESULT SampleGrabber::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) return E_POINTER;
    info->pGraph = m_graph.lock();
    return info->pGraph ? S_OK : E_FAIL;
}

void SampleGrabber::Deliver(double sampleTime, BYTE* buffer, long length) {
    if (m_callback) m_callback->BufferCB(sampleTime, buffer, length);
}

std::shared_ptr<FrameGraph> FrameGraph::Create(std::unique_ptr<FrameSource> source,
                                               REFERENCE_TIME start) {
    std::shared_ptr<FrameGraph> graph(new FrameGraph);
    graph->m_grabber = std::make_shared<SampleGrabber>();
    graph->m_grabber->m_graph = graph;
    graph->m_stop = source->Duration();
    graph->m_position = start;
    graph->m_source = std::move(source);
    return graph;
}

HRESULT FrameGraph::Run() {
    if (m_running) return S_OK;  // the frame of this run has been delivered already
    m_running = true;
    if (m_position >= m_stop) return S_OK;  // at the end: nothing to deliver
    double sampleTime = 0.0;
    if (!m_source->Grab(m_position, &sampleTime)) return E_FAIL;  // undecodable
    m_grabber->Deliver(sampleTime, m_source->Bits(), m_source->BitsLength());
    return S_OK;
}

HRESULT FrameGraph::Stop() {
    m_running = false;
    return S_OK;
}

HRESULT FrameGraph::GetDuration(LONGLONG* duration) {
    if (!duration) return E_POINTER;
    *duration = m_source->Duration();
    return S_OK;
}

HRESULT FrameGraph::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                 DWORD stopFlags) {
    const bool setCurrent = currentFlags & AM_SEEKING_AbsolutePositioning;
    const bool setStop = stopFlags & AM_SEEKING_AbsolutePositioning;
    if ((setCurrent && (!current || *current < 0)) || (setStop && (!stop || *stop < 0)))
        return E_INVALIDARG;
    if (setCurrent) m_position = *current;
    if (setStop) m_stop = *stop;
    return S_OK;
}

HRESULT FrameGraph::get_Duration(double* seconds) {
    if (!seconds) return E_POINTER;
    *seconds = static_cast<double>(m_source->Duration()) / UNITS;
    return S_OK;
}
