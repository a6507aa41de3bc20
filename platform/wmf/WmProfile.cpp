#include "platform/wmf/WmProfile.h"

#include "platform/wmf/WmCodecs.h"

namespace {

// Audio of the video profiles grows with the total rate; WMA needs at least 24 kbit/s.
constexpr DWORD kLowA = 24000, kLowR = 22050;
constexpr DWORD kMidA = 32000, kHiA = 64000, kTopA = 128000, kCdR = 44100;

// clang-format off
const WmSystemProfileEntry kVersion4[] = {
    {"Video for dial-up modems or LAN 160x120 (28-56K)", 160, 120, 56000, kLowA, kLowR, 1, 0},
    {"Video for LAN, cable modem or xDSL 320x240 (100-700K)", 320, 240, 700000, kHiA, kCdR, 2, 0},
    {"Video for dial-up modems, LAN or broadband 176x144 (28-100K)", 176, 144, 100000, kMidA, kCdR, 2, 0},
    {"Audio for voice 22 kHz mono (32K)", 0, 0, 32000, 32000, kLowR, 1, 0},
    {"Audio near CD quality 44 kHz stereo (64K)", 0, 0, 64000, 64000, kCdR, 2, 0},
    {"Audio CD quality 44 kHz stereo (96K)", 0, 0, 96000, 96000, kCdR, 2, 0},
    {"Audio CD quality 44 kHz stereo (128K)", 0, 0, 128000, 128000, kCdR, 2, 0},
    {"Video for 56K dial-up modems 240x180 (56K)", 240, 180, 56000, kLowA, kLowR, 1, 0},
    {"Video for single-channel ISDN 240x180 (100K)", 240, 180, 100000, kMidA, kCdR, 2, 0},
    {"Video for broadband 320x240 (300K)", 320, 240, 300000, kMidA, kCdR, 2, 0},
    {"Video for broadband 640x480 (1.5M)", 640, 480, 1500000, kTopA, kCdR, 2, 0},
    {"Video for dial-up modems 176x144 (14-28K)", 176, 144, 28000, kLowA, kLowR, 1, 0},
    {"Video for dial-up modems 160x120 (14-28K)", 160, 120, 28000, kLowA, kLowR, 1, 0},
    {"Video for 28.8 dial-up modems 160x120 (28K)", 160, 120, 28000, kLowA, kLowR, 1, 0},
    {"Video for dial-up modems 176x144 (28-56K)", 176, 144, 56000, kLowA, kLowR, 1, 0},
    {"Video for 56K dial-up modems 176x144 (56K)", 176, 144, 56000, kLowA, kLowR, 1, 0},
    {"Video for single-channel ISDN 320x240 (100K)", 320, 240, 100000, kMidA, kCdR, 2, 0},
    {"Video for LAN, cable modem or xDSL 320x240 (250K)", 320, 240, 250000, kMidA, kCdR, 2, 0},
    {"Video for LAN, cable modem or xDSL 320x240 (512K)", 320, 240, 512000, kHiA, kCdR, 2, 0},
    {"Video for broadband 320x240 (1M)", 320, 240, 1000000, kHiA, kCdR, 2, 0},
    {"Video for broadband film content 320x240 (3M)", 320, 240, 3000000, kTopA, kCdR, 2, 0},
};

const WmSystemProfileEntry kVersion7[] = {
    {"Video for dial-up modems 176x144 (28-56K)", 176, 144, 56000, kLowA, kLowR, 1, 0},
    {"Video for LAN, cable modem or xDSL 320x240 (100-500K)", 320, 240, 500000, kHiA, kCdR, 2, 0},
    {"Video for dial-up modems, LAN or broadband 176x144 (28-100K)", 176, 144, 100000, kMidA, kCdR, 2, 0},
    {"Video for dial-up modems 176x144 (14-28K)", 176, 144, 28000, kLowA, kLowR, 1, 0},
    {"Video for dial-up modems 160x120 (14-28K)", 160, 120, 28000, kLowA, kLowR, 1, 0},
    {"Video for 28.8 dial-up modems 160x120 (28K)", 160, 120, 28000, kLowA, kLowR, 1, 0},
    {"Video for 28.8 dial-up modems 176x144 (28K)", 176, 144, 28000, kLowA, kLowR, 1, 0},
    {"Video for 56K dial-up modems 240x176 (56K)", 240, 176, 56000, kLowA, kLowR, 1, 0},
    {"Video for single-channel ISDN 320x240 (100K)", 320, 240, 100000, kMidA, kCdR, 2, 0},
    {"Video for LAN, cable modem or xDSL 320x240 (250K)", 320, 240, 250000, kMidA, kCdR, 2, 0},
    {"Video for LAN, cable modem or xDSL 320x240 (384K)", 320, 240, 384000, kHiA, kCdR, 2, 0},
    {"Video for LAN, cable modem or xDSL 320x240 (700K)", 320, 240, 700000, kHiA, kCdR, 2, 0},
    {"Video for broadband 640x480 (1M)", 640, 480, 1000000, kHiA, kCdR, 2, 0},
    {"Video for broadband 640x480 (2M)", 640, 480, 2000000, kTopA, kCdR, 2, 0},
    {"Video for broadband 640x480 (700K)", 640, 480, 700000, kHiA, kCdR, 2, 0},
    {"Video for broadband film content 640x480 (1M)", 640, 480, 1000000, kTopA, kCdR, 2, 0},
    {"Audio for voice 22 kHz mono (32K)", 0, 0, 32000, 32000, kLowR, 1, 0},
    {"Audio FM radio quality 44 kHz stereo (48K)", 0, 0, 48000, 48000, kCdR, 2, 0},
    {"Audio near CD quality 44 kHz stereo (64K)", 0, 0, 64000, 64000, kCdR, 2, 0},
    {"Audio CD quality 44 kHz stereo (96K)", 0, 0, 96000, 96000, kCdR, 2, 0},
    {"Audio CD quality 44 kHz stereo (128K)", 0, 0, 128000, 128000, kCdR, 2, 0},
    {"Audio high quality 48 kHz stereo (160K)", 0, 0, 160000, 160000, 48000, 2, 0},
    {"Video for broadband 320x240 (150K)", 320, 240, 150000, kMidA, kCdR, 2, 0},
    {"Video for broadband 352x288 (1M)", 352, 288, 1000000, kHiA, kCdR, 2, 0},
    {"Video for pocket devices 208x160 (225K)", 208, 160, 225000, kMidA, kCdR, 2, 0},
    {"Video for pocket devices 208x160 (150K)", 208, 160, 150000, kMidA, kCdR, 2, 0},
};

const WmSystemProfileEntry kVersion8[] = {
    {"Video for pocket devices 208x160 (225K)", 208, 160, 225000, kMidA, kCdR, 2, 0},
    {"Video for pocket devices 208x160 (150K)", 208, 160, 150000, kMidA, kCdR, 2, 0},
    {"Video for dial-up modems 176x144 (28-56K)", 176, 144, 56000, kLowA, kLowR, 1, 0},
    {"Video for LAN, cable modem or xDSL 320x240 (100-500K)", 320, 240, 500000, kHiA, kCdR, 2, 0},
    {"Video for dial-up modems, LAN or broadband 176x144 (28-100K)", 176, 144, 100000, kMidA, kCdR, 2, 0},
    {"Video for 28.8 dial-up modems 160x120 (28K)", 160, 120, 28000, kLowA, kLowR, 1, 0},
    {"Video for 56K dial-up modems 176x144 (56K)", 176, 144, 56000, kLowA, kLowR, 1, 0},
    {"Video for single-channel ISDN 240x176 (100K)", 240, 176, 100000, kMidA, kCdR, 2, 0},
    {"Video for LAN, cable modem or xDSL 320x240 (256K)", 320, 240, 256000, kMidA, kCdR, 2, 0},
    {"Video for LAN, cable modem or xDSL 320x240 (384K)", 320, 240, 384000, kHiA, kCdR, 2, 0},
    {"Video for LAN, cable modem or xDSL 320x240 (450K)", 320, 240, 450000, kHiA, kCdR, 2, 0},
    {"Video for LAN, cable modem or xDSL 320x240 (700K)", 320, 240, 700000, kHiA, kCdR, 2, 0},
    {"Video for broadband 320x240 (1400K)", 320, 240, 1400000, kTopA, kCdR, 2, 0},
    {"Video for broadband 352x288 (384K)", 352, 288, 384000, kHiA, kCdR, 2, 0},
    {"Video for broadband 352x288 (700K)", 352, 288, 700000, kHiA, kCdR, 2, 0},
    {"Audio for voice 22 kHz mono (32K)", 0, 0, 32000, 32000, kLowR, 1, 0},
    {"Audio FM radio quality 44 kHz stereo (48K)", 0, 0, 48000, 48000, kCdR, 2, 0},
    {"Audio near CD quality 44 kHz stereo (64K)", 0, 0, 64000, 64000, kCdR, 2, 0},
    {"Audio CD quality 44 kHz stereo (96K)", 0, 0, 96000, 96000, kCdR, 2, 0},
    {"Audio CD quality 44 kHz stereo (128K)", 0, 0, 128000, 128000, kCdR, 2, 0},
    {"Video for broadband 640x480 (2M)", 640, 480, 2000000, kTopA, kCdR, 2, 0},
    {"Video for broadband 640x480 (1M)", 640, 480, 1000000, kHiA, kCdR, 2, 0},
    {"Video for 28.8 dial-up modems 176x144 (28K)", 176, 144, 28000, kLowA, kLowR, 1, 0},
    {"Video for 56K dial-up modems 240x176 (56K)", 240, 176, 56000, kLowA, kLowR, 1, 0},
    {"Video quality-based 320x240 (VBR Fair)", 320, 240, 500000, kHiA, kCdR, 2, 50},
    {"Video quality-based 320x240 (VBR High)", 320, 240, 750000, kHiA, kCdR, 2, 75},
    {"Video quality-based 320x240 (VBR Best)", 320, 240, 1000000, kHiA, kCdR, 2, 98},
};
// clang-format on

constexpr REFERENCE_TIME kKeyFrameSpacing = 50000000;  // 5 s
constexpr DWORD kVideoWindowMs = 5000;
constexpr DWORD kAudioWindowMs = 3000;

IWMProfile* BuildSystemProfile(DWORD version, const WmSystemProfileEntry& e) {
    IWMProfile* p = IWMProfile::Create();
    p->version = version;
    p->name.assign(e.name, e.name + std::char_traits<char>::length(e.name));
    WmStreamConfig audio;
    audio.majorType = WMMEDIATYPE_Audio;
    audio.streamNumber = 1;
    audio.name = L"Audio Stream";
    audio.inputName = L"Audio";
    audio.bitrate = e.audioBitrate;
    audio.bufferWindow = kAudioWindowMs;
    audio.formatTag = 0x0161;
    audio.sampleRate = e.sampleRate;
    audio.channels = e.channels;
    p->streams.push_back(audio);
    if (e.width == 0) return p;
    WmStreamConfig video;
    video.majorType = WMMEDIATYPE_Video;
    video.streamNumber = 2;
    video.name = L"Video Stream";
    video.inputName = L"Video";
    video.bitrate = e.totalBitrate > e.audioBitrate ? e.totalBitrate - e.audioBitrate : e.totalBitrate / 2;
    video.bufferWindow = kVideoWindowMs;
    video.vbr = e.vbrQuality != 0;
    video.vbrQuality = e.vbrQuality;
    video.fourcc = WmSystemVideoFourcc(version);
    video.width = e.width;
    video.height = e.height;
    video.keyFrameSpacing = kKeyFrameSpacing;
    video.quality = 75;
    p->streams.push_back(video);
    return p;
}

}  // namespace

WmStreamKind WmStreamConfig::Kind() const {
    if (majorType == WMMEDIATYPE_Video) return WmStreamKind::Video;
    if (majorType == WMMEDIATYPE_Audio) return WmStreamKind::Audio;
    return WmStreamKind::Other;
}

const WmSystemProfileEntry* WmSystemProfiles(DWORD version, DWORD* count) {
    switch (version) {
        case WMT_VER_4_0:
            *count = std::size(kVersion4);
            return kVersion4;
        case WMT_VER_7_0:
            *count = std::size(kVersion7);
            return kVersion7;
        case WMT_VER_8_0:
            *count = std::size(kVersion8);
            return kVersion8;
        default:
            *count = 0;
            return nullptr;
    }
}

HRESULT WMCreateProfileManager(IWMProfileManager** manager) {
    if (!manager) return E_POINTER;
    *manager = new IWMProfileManager2;
    return S_OK;
}

HRESULT IWMProfileManager2::QueryInterface(WmInterface iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != WmInterface::Unknown && iid != WmInterface::ProfileManager && iid != WmInterface::ProfileManager2) {
        return E_NOINTERFACE;
    }
    AddRef();
    *out = this;
    return S_OK;
}

HRESULT IWMProfileManager2::SetSystemProfileVersion(DWORD version) {
    DWORD count = 0;
    if (!WmSystemProfiles(version, &count)) return E_INVALIDARG;
    m_version = version;
    return S_OK;
}

HRESULT IWMProfileManager2::GetSystemProfileCount(DWORD* count) {
    if (!count) return E_POINTER;
    WmSystemProfiles(m_version, count);
    return S_OK;
}

HRESULT IWMProfileManager2::LoadSystemProfile(DWORD index, IWMProfile** profile) {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    DWORD count = 0;
    const WmSystemProfileEntry* table = WmSystemProfiles(m_version, &count);
    if (!table || index >= count) return E_INVALIDARG;
    *profile = BuildSystemProfile(m_version, table[index]);
    return S_OK;
}
