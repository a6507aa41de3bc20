#include "dialogs/EncAudioSetting.h"

#include "foundation/RegUtil.h"
#include "platform/registry/ProfileBatch.h"

using talvern::settings::RegValue;

namespace {

constexpr wchar_t kSection[] = L"DATA";

int ReadInt(LPCWSTR key, int def) { return static_cast<int>(ProfileGetInt(kSection, key, def)); }

}  // namespace

void CEncAudioSetting::ReadProfile() {
    m_nEncType = ReadInt(L"EncType", m_nEncType);
    m_nCbrBitrate = ReadInt(L"cbr_bps", m_nCbrBitrate);
    m_bVbr = ReadInt(L"vbr", m_bVbr);
    m_nQuality = ReadInt(L"Qual", m_nQuality);
    m_nVbrBitrate = ReadInt(L"vbr_bps", m_nVbrBitrate);
    m_nWma7Bitrate = ReadInt(L"wma7", m_nWma7Bitrate);
    m_nWma4Bitrate = ReadInt(L"wma4", m_nWma4Bitrate);
    m_strPrxFile = ProfileGetString(kSection, L"wmaPRX", m_strPrxFile.c_str());
    m_bTwoPass = ReadInt(L"wma2Pass", m_bTwoPass);
    m_nVersion = ReadInt(L"wmaSelect", m_nVersion);
    m_nVolume = ReadInt(L"VOL", 100);
}

bool CEncAudioSetting::WriteProfile() const {
    // "VOL" is the output settings' volume: writing this record's copy of it would
    // overwrite what the user set there since this record was read.
    auto num = [](int v) { return RegValue::Dword(static_cast<DWORD>(v)); };
    const ProfileValues values = {
        {L"EncType", num(m_nEncType)},
        {L"cbr_bps", num(m_nCbrBitrate)},
        {L"vbr", num(m_bVbr)},
        {L"Qual", num(m_nQuality)},
        {L"vbr_bps", num(m_nVbrBitrate)},
        {L"wma7", num(m_nWma7Bitrate)},
        {L"wma4", num(m_nWma4Bitrate)},
        {L"wmaPRX", RegValue::String(m_strPrxFile)},
        {L"wma2Pass", num(m_bTwoPass)},
        {L"wmaSelect", num(m_nVersion)},
    };
    return WriteProfileValues(kSection, values) != FALSE;
}
