#pragma once
// Records, identifiers and result codes of the Windows Media writer layer, and the
// reference-counted base every object of the layer derives from.
#include <atomic>
#include <cstdint>

#include "platform/win32/Guid.h"
#include "platform/win32/Win32Types.h"

using QWORD = uint64_t;
using ULONG = uint32_t;
using REFERENCE_TIME = int64_t;

inline constexpr GUID WMMEDIATYPE_Video = GuidFromFourcc(MAKEFOURCC('v', 'i', 'd', 's'));
inline constexpr GUID WMMEDIATYPE_Audio = GuidFromFourcc(MAKEFOURCC('a', 'u', 'd', 's'));
inline constexpr GUID WMMEDIATYPE_Script = GuidFromFourcc(MAKEFOURCC('s', 'c', 'm', 'd'));
inline constexpr GUID WMMEDIASUBTYPE_PCM = GuidFromFourcc(WAVE_FORMAT_PCM);
inline constexpr GUID WMFORMAT_VideoInfo{0x05589f80, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};
inline constexpr GUID WMFORMAT_WaveFormatEx{0x05589f81, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};

constexpr DWORD WMT_VER_4_0 = 0x00040000;
constexpr DWORD WMT_VER_7_0 = 0x00070000;
constexpr DWORD WMT_VER_8_0 = 0x00080000;

// Results of the layer beyond the generic ones of Win32Types.h.
constexpr HRESULT WMF_E_NEEDS_ANALYSIS_PASS = static_cast<HRESULT>(0xC00D0BD5u);
constexpr HRESULT WMF_E_INVALID_PROFILE = static_cast<HRESULT>(0xC00D0BC6u);
constexpr HRESULT WMF_E_INVALID_INPUT_FORMAT = static_cast<HRESULT>(0xC00D0BB8u);
constexpr HRESULT WMF_E_INVALID_REQUEST = static_cast<HRESULT>(0xC00D002Bu);
constexpr HRESULT WMF_E_FILE_OPEN_FAILED = static_cast<HRESULT>(0xC00D001Du);
constexpr HRESULT WMF_E_ENCODER_FAILED = static_cast<HRESULT>(0xC00D0BA4u);

class IWmUnknown;
struct WM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IWmUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat;
};

struct WMVIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(WMVIDEOINFOHEADER) == 88);

// Interfaces that QueryInterface can be asked for.
enum class WmInterface { Unknown, ProfileManager, ProfileManager2, Writer, WriterPreprocess };

// Reference counting as the writer's callers expect it: every pointer handed out
// carries one reference, and Release at zero deletes the object.
class IWmUnknown {
public:
    IWmUnknown() = default;
    IWmUnknown(const IWmUnknown&) = delete;
    IWmUnknown& operator=(const IWmUnknown&) = delete;

    ULONG AddRef() { return ++m_refs; }
    ULONG Release() {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    ULONG RefCount() const { return m_refs; }
    virtual HRESULT QueryInterface(WmInterface iid, void** out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != WmInterface::Unknown) return E_NOINTERFACE;
        AddRef();
        *out = this;
        return S_OK;
    }

protected:
    virtual ~IWmUnknown() = default;

private:
    std::atomic<ULONG> m_refs{1};
};

// Releases and nulls an interface pointer.
template <typename T>
void WmSafeRelease(T*& p) {
    if (p) {
        p->Release();
        p = nullptr;
    }
}
