#pragma once
// Profiles of the Windows Media writer: what each output stream holds and how it is
// encoded, the built-in system profiles of format versions 4.0, 7.0 and 8.0, and the
// profile manager that hands them out or reads them from profile (.prx) text.
#include <string>
#include <vector>

#include "platform/wmf/WmfTypes.h"

enum class WmStreamKind { Video, Audio, Other };

struct WmStreamConfig {
    GUID majorType = GUID_NULL;
    WORD streamNumber = 0;
    std::wstring name;
    std::wstring inputName;
    DWORD bitrate = 0;        // bits per second
    DWORD bufferWindow = 0;   // milliseconds
    bool vbr = false;
    DWORD vbrQuality = 0;     // 1..100 for quality-based VBR, 0 when the bit rate rules
    // Video
    FOURCC fourcc = 0;
    LONG width = 0;                  // 0: the input's size
    LONG height = 0;
    REFERENCE_TIME keyFrameSpacing = 0;  // 100-ns units; 0: encoder default
    DWORD quality = 0;               // smoothness/sharpness trade-off, 0..100
    // Audio
    WORD formatTag = 0;
    DWORD sampleRate = 0;            // 0: the input's rate
    WORD channels = 0;               // 0: the input's channels

    WmStreamKind Kind() const;
};

// The streams of one profile. Audio and video each form one writer input.
class IWMProfile : public IWmUnknown {
public:
    DWORD version = 0;
    std::wstring name;
    std::vector<WmStreamConfig> streams;

    static IWMProfile* Create() { return new IWMProfile; }
    DWORD GetStreamCount() const { return static_cast<DWORD>(streams.size()); }

private:
    IWMProfile() = default;
    ~IWMProfile() override = default;
};

class IWMProfileManager : public IWmUnknown {
public:
    // Parses profile text (XML). The text must end in a NUL.
    HRESULT LoadProfileByData(const wchar_t* text, IWMProfile** profile);

protected:
    ~IWMProfileManager() override = default;
};

class IWMProfileManager2 : public IWMProfileManager {
public:
    HRESULT QueryInterface(WmInterface iid, void** out) override;
    HRESULT SetSystemProfileVersion(DWORD version);
    HRESULT GetSystemProfileCount(DWORD* count);
    // index is 0-based within the version set by SetSystemProfileVersion.
    HRESULT LoadSystemProfile(DWORD index, IWMProfile** profile);

private:
    friend HRESULT WMCreateProfileManager(IWMProfileManager** manager);
    IWMProfileManager2() = default;
    ~IWMProfileManager2() override = default;
    DWORD m_version = WMT_VER_8_0;
};

HRESULT WMCreateProfileManager(IWMProfileManager** manager);

// One row of a system profile table.
struct WmSystemProfileEntry {
    const char* name;
    LONG width;          // 0: audio only
    LONG height;
    DWORD totalBitrate;  // bits per second, video and audio together
    DWORD audioBitrate;
    DWORD sampleRate;
    WORD channels;
    DWORD vbrQuality;    // quality-based video when non-zero
};

// The built-in table of one version (empty for an unknown version).
const WmSystemProfileEntry* WmSystemProfiles(DWORD version, DWORD* count);
