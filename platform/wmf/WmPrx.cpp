// Profile (.prx) text: an XML document with one <profile> element holding one
// <streamconfig> per output stream. The text comes from a file the user picked, so
// every number is range-checked and every failure is a result, never a crash.
#include <pugixml.hpp>

#include <cstdlib>
#include <cerrno>
#include <optional>
#include <string_view>

#include "platform/wmf/WmCodecs.h"
#include "platform/wmf/WmProfile.h"
#include "platform/win32/WideChar.h"

namespace {

constexpr size_t kMaxTextChars = 1 << 20;
constexpr size_t kMaxStreams = 32;
constexpr LONG kMaxFrameSide = 4096;
constexpr int64_t kMaxBitrate = 100000000;
constexpr int64_t kMaxWindowMs = 600000;
constexpr int64_t kMaxKeySpacing = 36000LL * 10000000;  // ten hours
constexpr int64_t kMaxSampleRate = 192000;
constexpr int64_t kMaxChannels = 8;

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// Element and attribute names are matched without regard to case: profile files
// written by different tools spell them differently (wFormatTag, wformattag).
pugi::xml_node Child(pugi::xml_node node, std::string_view name) {
    for (pugi::xml_node c : node.children()) {
        if (c.type() == pugi::node_element && EqualsNoCase(c.name(), name)) return c;
    }
    return {};
}

const char* Attr(pugi::xml_node node, std::string_view name) {
    for (pugi::xml_attribute a : node.attributes()) {
        if (EqualsNoCase(a.name(), name)) return a.value();
    }
    return nullptr;
}

// A decimal integer within [lo, hi]; nullopt when absent. Out of range or not a
// number makes the whole profile invalid.
struct Number {
    bool ok = true;
    std::optional<int64_t> Read(pugi::xml_node node, std::string_view name, int64_t lo, int64_t hi) {
        const char* text = node ? Attr(node, name) : nullptr;
        if (!text || !*text) return std::nullopt;
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(text, &end, 10);
        while (end && (*end == ' ' || *end == '\t')) ++end;
        if (errno != 0 || !end || *end != '\0' || v < lo || v > hi) {
            ok = false;
            return std::nullopt;
        }
        return v;
    }
};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", braces optional.
bool ParseGuid(std::string_view s, GUID* out) {
    if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
    if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') return false;
    uint8_t bytes[16];
    size_t pos = 0;
    for (int i = 0; i < 16; ++i) {
        if (s[pos] == '-') ++pos;
        const int hi = HexValue(s[pos]), lo = HexValue(s[pos + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes[i] = static_cast<uint8_t>(hi * 16 + lo);
        pos += 2;
    }
    out->Data1 = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
    out->Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    out->Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i) out->Data4[i] = bytes[8 + i];
    return true;
}

// A video codec is named by four characters ("WMV2") or by its numeric code.
std::optional<FOURCC> ParseFourcc(const char* text) {
    if (!text) return std::nullopt;
    const std::string_view s(text);
    const bool allDigits = !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
    if (!allDigits) {
        if (s.size() != 4) return std::nullopt;
        return MAKEFOURCC(s[0], s[1], s[2], s[3]);
    }
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0' || v > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<FOURCC>(v);
}

std::wstring WideAttr(pugi::xml_node node, std::string_view name) {
    const char* text = Attr(node, name);
    return text ? Utf8ToWide(text) : std::wstring();
}

bool ReadVideo(pugi::xml_node config, pugi::xml_node mediaType, WmStreamConfig& s, Number& num) {
    if (pugi::xml_node props = Child(config, "videomediaprops")) {
        s.keyFrameSpacing = num.Read(props, "maxkeyframespacing", 0, kMaxKeySpacing).value_or(0);
        s.quality = static_cast<DWORD>(num.Read(props, "quality", 0, 100).value_or(0));
    }
    pugi::xml_node vih = Child(mediaType, "videoinfoheader");
    pugi::xml_node bih = Child(vih, "bitmapinfoheader");
    if (!bih) return false;
    s.width = static_cast<LONG>(num.Read(bih, "biwidth", 0, kMaxFrameSide).value_or(0));
    // A negative height only says the rows run top-down; the frame size is its magnitude.
    const int64_t h = num.Read(bih, "biheight", -kMaxFrameSide, kMaxFrameSide).value_or(0);
    s.height = static_cast<LONG>(h < 0 ? -h : h);
    const char* compression = Attr(bih, "bicompression");
    std::optional<FOURCC> code = ParseFourcc(compression);
    if (!compression) {
        GUID sub;
        const char* subtype = Attr(mediaType, "subtype");
        if (subtype && ParseGuid(subtype, &sub) && sub == GuidFromFourcc(sub.Data1)) code = sub.Data1;
    }
    if (!code || WmVideoCodecFor(*code) == WmVideoCodec::None) return false;
    s.fourcc = *code;
    return true;
}

bool ReadAudio(pugi::xml_node mediaType, WmStreamConfig& s, Number& num) {
    pugi::xml_node wfx = Child(mediaType, "waveformatex");
    if (!wfx) return false;
    s.formatTag = static_cast<WORD>(num.Read(wfx, "wformattag", 0, 0xFFFF).value_or(0));
    s.channels = static_cast<WORD>(num.Read(wfx, "nchannels", 0, kMaxChannels).value_or(0));
    s.sampleRate = static_cast<DWORD>(num.Read(wfx, "nsamplespersec", 0, kMaxSampleRate).value_or(0));
    return WmAudioCodecFor(s.formatTag) != WmAudioCodec::None;
}

bool ReadStream(pugi::xml_node config, WmStreamConfig& s) {
    Number num;
    const char* major = Attr(config, "majortype");
    if (!major || !ParseGuid(major, &s.majorType)) return false;
    s.streamNumber = static_cast<WORD>(num.Read(config, "streamnumber", 1, 127).value_or(0));
    s.name = WideAttr(config, "streamname");
    s.inputName = WideAttr(config, "inputname");
    s.bitrate = static_cast<DWORD>(num.Read(config, "bitrate", 0, kMaxBitrate).value_or(0));
    // Profiles mark "no limit" with -1.
    const int64_t window = num.Read(config, "bufferwindow", -1, kMaxWindowMs).value_or(0);
    s.bufferWindow = window < 0 ? 0 : static_cast<DWORD>(window);
    s.vbr = num.Read(config, "vbrenabled", 0, 1).value_or(0) != 0;
    s.vbrQuality = s.vbr ? static_cast<DWORD>(num.Read(config, "vbrquality", 0, 100).value_or(0)) : 0;
    pugi::xml_node mediaType = Child(config, "wmmediatype");
    bool ok = true;
    switch (s.Kind()) {
        case WmStreamKind::Video:
            ok = ReadVideo(config, mediaType, s, num);
            break;
        case WmStreamKind::Audio:
            ok = ReadAudio(mediaType, s, num);
            break;
        case WmStreamKind::Other:
            break;
    }
    return ok && num.ok;
}

IWMProfile* ParseProfile(const std::string& utf8) {
    pugi::xml_document doc;
    // No entity expansion beyond the XML builtins, so the document stays bounded by its text.
    if (!doc.load_buffer(utf8.data(), utf8.size(), pugi::parse_default, pugi::encoding_utf8)) return nullptr;
    pugi::xml_node root = Child(doc, "profile");
    if (!root) return nullptr;
    IWMProfile* profile = IWMProfile::Create();
    Number num;
    profile->version = static_cast<DWORD>(num.Read(root, "version", 0, 0xFFFFFFFFLL).value_or(0));
    profile->name = WideAttr(root, "name");
    for (pugi::xml_node c : root.children()) {
        if (c.type() != pugi::node_element || !EqualsNoCase(c.name(), "streamconfig")) continue;
        WmStreamConfig s;
        if (profile->streams.size() >= kMaxStreams || !ReadStream(c, s)) {
            profile->Release();
            return nullptr;
        }
        profile->streams.push_back(std::move(s));
    }
    if (profile->streams.empty() || !num.ok) {
        profile->Release();
        return nullptr;
    }
    return profile;
}

}  // namespace

HRESULT IWMProfileManager::LoadProfileByData(const wchar_t* text, IWMProfile** profile) {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    if (!text) return E_INVALIDARG;
    size_t length = 0;
    while (length <= kMaxTextChars && text[length] != L'\0') ++length;
    if (length == 0 || length > kMaxTextChars) return WMF_E_INVALID_PROFILE;
    *profile = ParseProfile(WideToUtf8(std::wstring(text, length)));
    return *profile ? S_OK : WMF_E_INVALID_PROFILE;
}
