#pragma once
// MediaDet: the media detector. It opens a file, describes its audio and video
// streams, and in bitmap-grab mode builds the frame graph whose grabber hands
// out decoded frames.
#include <memory>

#include "platform/dshow/DShowInterfaces.h"
#include "platform/dshow/FrameGraph.h"
#include "platform/dshow/FrameSource.h"

class MediaDet : public IMediaDet {
public:
    HRESULT put_Filename(const wchar_t* path) override;
    HRESULT get_OutputStreams(long* count) override;
    HRESULT put_CurrentStream(long index) override;
    HRESULT get_StreamMediaType(AM_MEDIA_TYPE* mt) override;
    HRESULT EnterBitmapGrabMode(double seconds) override;
    HRESULT GetSampleGrabber(std::shared_ptr<ISampleGrabber>* grabber) override;

private:
    std::unique_ptr<FrameSource> m_source;  // until bitmap-grab mode hands it to the graph
    std::shared_ptr<FrameGraph> m_graph;
    long m_current = 0;
};
