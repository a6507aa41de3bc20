#include "platform/dshow/MediaDet.h"

#include <cmath>
#include <new>
#include <string>

#include "platform/win32/WideChar.h"

std::shared_ptr<IMediaDet> CreateMediaDet() {
    return std::shared_ptr<IMediaDet>(new (std::nothrow) MediaDet);
}

HRESULT MediaDet::put_Filename(const wchar_t* path) {
    if (!path) return E_POINTER;
    std::string utf8;
    if (!*path || !WideToUtf8(path, utf8)) return E_INVALIDARG;
    m_graph.reset();
    m_current = 0;
    m_source = FrameSource::Open(utf8);
    return m_source ? S_OK : E_FAIL;
}

HRESULT MediaDet::get_OutputStreams(long* count) {
    if (!count) return E_POINTER;
    if (!m_source) return E_FAIL;
    *count = m_source->StreamCount();
    return S_OK;
}

HRESULT MediaDet::put_CurrentStream(long index) {
    if (!m_source) return E_FAIL;
    if (index < 0 || index >= m_source->StreamCount()) return E_INVALIDARG;
    m_current = index;
    return S_OK;
}

HRESULT MediaDet::get_StreamMediaType(AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    if (!m_source) return E_FAIL;
    return m_source->GetMediaType(static_cast<int>(m_current), mt) ? S_OK : E_FAIL;
}

HRESULT MediaDet::EnterBitmapGrabMode(double seconds) {
    if (m_graph) return S_OK;
    if (!m_source) return E_FAIL;
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 1e9) return E_INVALIDARG;
    if (!m_source->StartVideo()) return E_FAIL;
    const auto start = static_cast<REFERENCE_TIME>(seconds * UNITS);
    m_graph = FrameGraph::Create(std::move(m_source), start);
    return S_OK;
}

HRESULT MediaDet::GetSampleGrabber(std::shared_ptr<ISampleGrabber>* grabber) {
    if (!grabber) return E_POINTER;
    if (!m_graph) return E_FAIL;
    *grabber = m_graph->Grabber();
    return S_OK;
}
