#include "platform/dshow/MediaDet.h"

#include <cmath>
#include <new>
#include <string>

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Wide text to UTF-8; false for code points no file name can hold.
bool WideToUtf8(const wchar_t* text, std::string& out) {
    out.clear();
    for (const wchar_t* p = text; *p; ++p) {
        const auto c = static_cast<char32_t>(*p);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        AppendUtf8(out, c);
    }
    return true;
}

}  // namespace

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
