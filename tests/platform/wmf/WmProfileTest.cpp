#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/wmf/WmProfile.h"
#include "platform/win32/WideChar.h"
#include "platform/wmf/WmText.h"

namespace {

TEST(WmText, ProfileBytesDecodeByTheirMark) {
    struct Case {
        std::string bytes;
        std::wstring text;
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {"\xFF\xFE<\0a\0\xE9\0"s, L"<a\u00e9"},
        {"\xFE\xFF\0<\0a\x30\x42"s, L"<a\u3042"},
        {"\xEF\xBB\xBF<a\xC3\xA9"s, L"<a\u00e9"},
        {"<\0p\0"s, L"<p"},                          // UTF-16 without its mark
        {"<p>\xE3\x81\x82"s, L"<p>\u3042"},          // UTF-8 without its mark
        {"\xFF\xFE\x3D\xD8\x00\xDE"s, L"\U0001F600"},  // surrogate pair
        {"\xFF\xFE<\0\0\0junk"s, L"<"},              // ends at NUL
        {"<p\0junk"s, L"<p"},
        {"\xFF\xFE<"s, L""},                          // odd byte left over
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.text, WmDecodeProfileText(reinterpret_cast<const BYTE*>(c.bytes.data()), c.bytes.size()))
            << c.bytes;
    }
}

// The profile lists of the WMV settings dialog: text ("01. 160x120 (14-28K)") and the
// 1-based system profile index it stands for.
struct ListItem {
    const char* text;
    DWORD index;
};
const ListItem kList4[] = {
    {"160x120 (14-28K)", 13}, {"160x120 (28-56K)", 1}, {"176x144 (14-28K)", 12}, {"176x144 (28-56K)", 15},
    {"176x144 (28-100K)", 3}, {"320x240 (100-700K)", 2}, {"160x120 (28K)", 14}, {"176x144 (56K)", 16},
    {"320x240 (100K)", 17}, {"320x240 (250K)", 18}, {"320x240 (512K)", 19}, {"320x240 (1M)", 20},
    {"320x240 (3M)", 21},
};
const ListItem kList7[] = {
    {"160x120 (14-28K)", 5}, {"176x144 (14-28K)", 4}, {"176x144 (28-56K)", 1}, {"176x144 (28-100K)", 3},
    {"320x240 (100-500K)", 2}, {"160x120 (28K)", 6}, {"176x144 (28K)", 7}, {"208x160 (150K)", 26},
    {"208x160 (225K)", 25}, {"240x176 (56K)", 8}, {"320x240 (100K)", 9}, {"320x240 (250K)", 10},
    {"320x240 (384K)", 11}, {"320x240 (700K)", 12}, {"640x480 (700K)", 15}, {"640x480 (1M)", 16},
    {"640x480 (1M)", 13}, {"640x480 (2M)", 14},
};
const ListItem kList8[] = {
    {"176x144 (28-56K)", 3}, {"176x144 (28-100K)", 5}, {"320x240 (100-500K)", 4}, {"160x120 (28K)", 6},
    {"176x144 (28K)", 23}, {"176x144 (56K)", 7}, {"208x160 (150K)", 2}, {"208x160 (225K)", 1},
    {"240x176 (56K)", 24}, {"240x176 (100K)", 8}, {"320x240 (256K)", 9}, {"320x240 (384K)", 10},
    {"320x240 (450K)", 11}, {"320x240 (700K)", 12}, {"320x240 (1400K)", 13}, {"352x288 (384K)", 14},
    {"352x288 (700K)", 15}, {"320x240 (VBR Fair)", 25}, {"320x240 (VBR High)", 26}, {"320x240 (VBR Best)", 27},
};

// Frame size and the total rate (the top of a range) that a list text names.
void CheckList(DWORD version, const ListItem* items, size_t n, DWORD expectedCount) {
    DWORD count = 0;
    const WmSystemProfileEntry* table = WmSystemProfiles(version, &count);
    ASSERT_EQ(expectedCount, count);
    for (size_t i = 0; i < n; ++i) {
        SCOPED_TRACE(items[i].text);
        ASSERT_GE(items[i].index, 1u);
        ASSERT_LE(items[i].index, count);
        const WmSystemProfileEntry& e = table[items[i].index - 1];
        int w = 0, h = 0;
        char rate[32] = {};
        ASSERT_EQ(3, std::sscanf(items[i].text, "%dx%d (%31[^)])", &w, &h, rate));
        EXPECT_EQ(w, e.width);
        EXPECT_EQ(h, e.height);
        const std::string r = rate;
        if (r.rfind("VBR", 0) == 0) {
            EXPECT_NE(0u, e.vbrQuality);
            continue;
        }
        const std::string top = r.substr(r.find('-') == std::string::npos ? 0 : r.find('-') + 1);
        const DWORD unit = top.back() == 'M' ? 1000000 : 1000;
        EXPECT_EQ(static_cast<DWORD>(std::stoi(top)) * unit, e.totalBitrate);
    }
}

TEST(WmSystemProfiles, TablesMatchTheSettingsLists) {
    CheckList(WMT_VER_4_0, kList4, std::size(kList4), 21);
    CheckList(WMT_VER_7_0, kList7, std::size(kList7), 26);
    CheckList(WMT_VER_8_0, kList8, std::size(kList8), 27);
}

TEST(WmSystemProfiles, ManagerGivesEachVersionItsVideoCodec) {
    IWMProfileManager* m = nullptr;
    ASSERT_EQ(S_OK, WMCreateProfileManager(&m));
    IWMProfileManager2* m2 = nullptr;
    ASSERT_EQ(S_OK, m->QueryInterface(WmInterface::ProfileManager2, reinterpret_cast<void**>(&m2)));
    const struct {
        DWORD version, index;
        FOURCC fourcc;
    } cases[] = {{WMT_VER_4_0, 19, MAKEFOURCC('M', 'P', '4', '3')},
                 {WMT_VER_7_0, 13, MAKEFOURCC('W', 'M', 'V', '1')},
                 {WMT_VER_8_0, 11, MAKEFOURCC('W', 'M', 'V', '2')}};
    for (const auto& c : cases) {
        ASSERT_EQ(S_OK, m2->SetSystemProfileVersion(c.version));
        IWMProfile* p = nullptr;
        ASSERT_EQ(S_OK, m2->LoadSystemProfile(c.index, &p));
        ASSERT_EQ(2u, p->GetStreamCount());
        EXPECT_EQ(c.fourcc, p->streams[1].fourcc);
        DWORD count = 0;
        const WmSystemProfileEntry& e = WmSystemProfiles(c.version, &count)[c.index];
        EXPECT_EQ(e.totalBitrate, p->streams[0].bitrate + p->streams[1].bitrate);
        p->Release();
    }
    EXPECT_EQ(E_INVALIDARG, m2->SetSystemProfileVersion(0x00090000));
    m2->Release();
    m->Release();
}

class WmPrx : public ::testing::Test {
protected:
    ~WmPrx() override {
        WmSafeRelease(m_profile);
        m_manager->Release();
    }
    HRESULT Load(const std::string& xml) {
        WmSafeRelease(m_profile);
        return m_manager->LoadProfileByData(Utf8ToWide(xml).c_str(), &m_profile);
    }
    IWMProfileManager* m_manager = [] {
        IWMProfileManager* m = nullptr;
        WMCreateProfileManager(&m);
        return m;
    }();
    IWMProfile* m_profile = nullptr;
};

const char kVideo[] =
    "<streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\" streamnumber=\"2\" streamname=\"V\" "
    "inputname=\"Video409\" bitrate=\"250000\" bufferwindow=\"5000\" vbrenabled=\"1\" vbrquality=\"90\">"
    "<videomediaprops maxkeyframespacing=\"80000000\" quality=\"60\"/>"
    "<wmmediatype subtype=\"{33564D57-0000-0010-8000-00AA00389B71}\">"
    "<videoinfoheader><bitmapinfoheader biwidth=\"320\" biheight=\"-240\" bicompression=\"WMV3\"/>"
    "</videoinfoheader></wmmediatype></streamconfig>";
const char kAudio[] =
    "<STREAMCONFIG MajorType=\"{73647561-0000-0010-8000-00AA00389B71}\" StreamNumber=\"1\" Bitrate=\"64040\" "
    "BufferWindow=\"-1\"><WMMEDIATYPE><WAVEFORMATEX wFormatTag=\"353\" nChannels=\"2\" nSamplesPerSec=\"44100\"/>"
    "</WMMEDIATYPE></STREAMCONFIG>";

TEST_F(WmPrx, StreamsAndTheirSettingsAreRead) {
    ASSERT_EQ(S_OK, Load(std::string("<?xml version=\"1.0\"?><profile version=\"589824\" name=\"\u6620\u50cf\">") +
                         kAudio + kVideo + "</profile>"));
    EXPECT_EQ(589824u, m_profile->version);
    EXPECT_EQ(L"\u6620\u50cf", m_profile->name);
    ASSERT_EQ(2u, m_profile->GetStreamCount());
    const WmStreamConfig& a = m_profile->streams[0];
    EXPECT_EQ(WmStreamKind::Audio, a.Kind());
    EXPECT_EQ(64040u, a.bitrate);
    EXPECT_EQ(0u, a.bufferWindow);  // -1: no limit
    EXPECT_EQ(0x161, a.formatTag);
    EXPECT_EQ(2, a.channels);
    EXPECT_EQ(44100u, a.sampleRate);
    const WmStreamConfig& v = m_profile->streams[1];
    EXPECT_EQ(WmStreamKind::Video, v.Kind());
    EXPECT_EQ(L"Video409", v.inputName);
    EXPECT_EQ(250000u, v.bitrate);
    EXPECT_EQ(5000u, v.bufferWindow);
    EXPECT_TRUE(v.vbr);
    EXPECT_EQ(90u, v.vbrQuality);
    EXPECT_EQ(80000000, v.keyFrameSpacing);
    EXPECT_EQ(60u, v.quality);
    EXPECT_EQ(320, v.width);
    EXPECT_EQ(240, v.height);
    EXPECT_EQ(MAKEFOURCC('W', 'M', 'V', '3'), v.fourcc);
}

TEST_F(WmPrx, InvalidProfilesAreRefused) {
    auto with = [](std::string s, const std::string& from, const std::string& to) {
        return "<profile>" + s.replace(s.find(from), from.size(), to) + "</profile>";
    };
    std::string many = "<profile>";
    for (int i = 0; i < 33; ++i) many += kAudio;
    const std::string cases[] = {
        "",
        "not xml",
        "<profile>",
        "<other>" + std::string(kAudio) + "</other>",
        "<profile></profile>",
        with(kVideo, "WMV3", "H264"),
        with(kVideo, "WMV3", "WMV"),
        with(kVideo, "biwidth=\"320\"", "biwidth=\"5000\""),
        with(kVideo, "biwidth=\"320\"", "biwidth=\"32x\""),
        with(kVideo, "bitrate=\"250000\"", "bitrate=\"99999999999\""),
        with(kVideo, "{73646976-0000-0010-8000-00AA00389B71}", "{7364697G-0000-0010-8000-00AA00389B71}"),
        with(kVideo, "<bitmapinfoheader", "<other"),
        with(kAudio, "353", "85"),
        with(kAudio, "nChannels=\"2\"", "nChannels=\"9\""),
        with(kAudio, "<WAVEFORMATEX", "<OTHER"),
        many + "</profile>",
    };
    for (const std::string& xml : cases) {
        EXPECT_EQ(WMF_E_INVALID_PROFILE, Load(xml)) << xml;
        EXPECT_EQ(nullptr, m_profile);
    }
    EXPECT_EQ(E_INVALIDARG, m_manager->LoadProfileByData(nullptr, &m_profile));
}

}  // namespace
