#pragma once
// CSampleGrabberCB: the object the sample grabber calls with every frame. It
// lives inside its reader and dies with it, so nothing is reference counted;
// each buffer goes on to a plain function with the user pointer it was given.
#include "platform/dshow/DShowInterfaces.h"

class CSampleGrabberCB : public ISampleGrabberCB {
public:
    using Callback = int (*)(double sampleTime, BYTE* buffer, long length, void* user);

    CSampleGrabberCB() = default;
    ~CSampleGrabberCB() override = default;
    CSampleGrabberCB(const CSampleGrabberCB&) = delete;
    CSampleGrabberCB& operator=(const CSampleGrabberCB&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT SampleCB(double sampleTime, IMediaSample* sample) override;
    HRESULT BufferCB(double sampleTime, BYTE* buffer, long length) override;

    Callback m_callback = nullptr;
    void* m_user = nullptr;
    double m_lastSampleTime = 0.0;
};
