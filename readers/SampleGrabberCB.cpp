#include "readers/SampleGrabberCB.h"

HRESULT CSampleGrabberCB::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_ISampleGrabberCB || riid == IID_IUnknown) {
        *ppv = this;
        return S_OK;
    }
    return E_NOINTERFACE;
}

// The grabber is told to hand over whole buffers, so samples are not looked at.
HRESULT CSampleGrabberCB::SampleCB(double, IMediaSample*) { return S_OK; }

HRESULT CSampleGrabberCB::BufferCB(double sampleTime, BYTE* buffer, long length) {
    if (m_callback) m_callback(sampleTime, buffer, length, m_user);
    m_lastSampleTime = sampleTime;
    return S_OK;
}
