#pragma once
// The audio-encoding settings the MP3 and WMA settings dialogs edit: MP3 channel
// mode, bit rates, VBR and quality; WMA version choice, bit rates per version,
// profile file and two-pass flag. Kept in the profile section "DATA". The volume
// is read with the rest but belongs to the output settings, which alone write it.
#include <string>

class CEncAudioSetting {
public:
    // Reads every key with the current value as default ("VOL" 100).
    void ReadProfile();
    // Writes every key but "VOL" in one change of the store; true when written.
    bool WriteProfile() const;

    int m_nEncType = 2;         // "EncType": channel mode, index 0-4 of the encoding types
    int m_nCbrBitrate = 128;    // "cbr_bps": kbps
    int m_bVbr = 0;             // "vbr": encode with a variable bit rate
    int m_nQuality = 2;         // "Qual": 0 highest quality .. 9 highest compression
    int m_nVbrBitrate = 128;    // "vbr_bps": kbps
    int m_nWma7Bitrate = 22;    // "wma7": item code 17-24 of the version 7 rates
    int m_nWma4Bitrate = 9;     // "wma4": item code 4-11 of the version 4 rates
    std::wstring m_strPrxFile;  // "wmaPRX": path of a profile file
    int m_bTwoPass = 0;         // "wma2Pass": two passes with the profile file
    int m_nVersion = 1;         // "wmaSelect": 0 version 4, 1 version 7, 2 profile file
    int m_nVolume = 100;        // "VOL": percent, read only
};
