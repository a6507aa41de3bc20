#pragma once
// Records, identifiers and result codes of the Windows Media writer layer, and the
// reference-counted base every object of the layer derives from.
#include <atomic>
#include <cstdint>
#include <cstring>

#include "platform/win32/Win32Types.h"

using QWORD = uint64_t;
using ULONG = uint32_t;
using REFERENCE_TIME = int64_t;

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }

// Media types built from a four-character code share one fixed tail.
constexpr GUID GuidFromFourcc(uint32_t code) {
    return GUID{code, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

inline constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr GUID WMMEDIATYPE_Video = GuidFromFourcc(MAKEFOURCC('v', 'i', 'd', 's'));
inline constexpr GUID WMMEDIATYPE_Audio = GuidFromFourcc(MAKEFOURCC('a', 'u', 'd', 's'));
inline constexpr GUID WMMEDIATYPE_Script = GuidFromFourcc(MAKEFOURCC('s', 'c', 'm', 'd'));
inline constexpr GUID WMMEDIASUBTYPE_PCM = GuidFromFourcc(WAVE_FORMAT_PCM);
inline constexpr GUID MEDIASUBTYPE_RGB8{0xe436eb7a, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
inline constexpr GUID MEDIASUBTYPE_RGB555{0xe436eb7c, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
inline constexpr GUID MEDIASUBTYPE_RGB24{0xe436eb7d, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
inline constexpr GUID MEDIASUBTYPE_RGB32{0xe436eb7e, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
inline constexpr GUID WMFORMAT_VideoInfo{0x05589f80, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};
inline constexpr GUID WMFORMAT_WaveFormatEx{0x05589f81, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};

constexpr DWORD WMT_VER_4_0 = 0x00040000;
constexpr DWORD WMT_VER_7_0 = 0x00070000;
constexpr DWORD WMT_VER_8_0 = 0x00080000;

// Results of the layer beyond the generic ones of Win32Types.h.
constexpr HRESULT WMF_E_NOT_A_DISK_FILE = static_cast<HRESULT>(0xC00D001Cu);
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
