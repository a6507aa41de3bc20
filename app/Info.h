#pragma once
// CInfo: the user's output settings (output folder, image-file interval, JPEG
// quality, WMV profile choice and two-pass flag, deinterlace mode applied at open,
// volume, overwrite policy), kept in the profile section "DATA". Every instance
// reads the profile when it is built and writes it back when it is destroyed, so of
// several live instances the last one destroyed decides what the profile holds.
// Settings dialogs edit an instance of their own and are copied with operator=.
#include <string>

class CInfo {
public:
    // deinterlace non-zero starts the deinterlace mode at 3 (Doubling) instead of 0
    // before the profile is read.
    explicit CInfo(int deinterlace = 0);
    virtual ~CInfo();

    // A copy would read nothing yet still save when it dies: build an instance and
    // assign to it instead.
    CInfo(const CInfo&) = delete;
    // Copies all thirteen settings and the folder kept.
    CInfo& operator=(const CInfo& other) = default;

    // ReadProfile, then SaveChecked; the default folder, when it replaces the stored
    // one, is created when missing. Returns SaveChecked.
    int Load();
    // Trims trailing '/' from the output folder (a lone "/" stays), replaces an
    // invalid folder by the default one and writes the profile. 1 when the folder
    // was valid, 0 when it had to be replaced. A folder that is not there at all (on a
    // disk that is not connected) is kept: the profile goes on holding it, while the
    // output goes to the default folder until the user picks another (SavePicked).
    int SaveChecked();
    // SaveChecked for an output folder the user has just picked: it replaces a kept one,
    // and one that is not there is an invalid choice, replaced by the default folder.
    int SavePicked();
    // The folder kept while it is not there, or empty.
    const std::wstring& KeptFolder() const { return m_strKeptFolder; }
    // Adjusts the two-pass flag after the WMV writer reported code: 814 asks for two
    // passes, 810 and 3005 (two-pass preparation failed) for one.
    void OnEncodeError(int code);

    // Reads every key with the current value as default ("VOL" 100, "uwagaki" 0);
    // values the program cannot use read as the nearest sound choice.
    void ReadProfile();
    // Writes the thirteen keys in one change of the store; TRUE when written.
    bool WriteProfile() const;

    // An output folder must be absolute and name an existing folder.
    static bool IsValidOutputFolder(const std::wstring& folder);
    // The program's own folder, or the home folder when the program's folder cannot
    // be written; with its trailing '/'.
    static std::wstring GetDefaultOutputFolder();
    static std::wstring ChooseDefaultOutputFolder(const std::wstring& moduleDir, bool writable,
                                                  const std::wstring& home);

    std::wstring m_strOutputFolder;  // "hozon": folder of every output file
    int m_nImageInterval = 1;        // "perfile": image files for every Nth played frame
    int m_nJpegQuality = 100;        // "quality"
    int m_nWmvKind = 1;              // "WMV": 0-2 system profile of family 4, 7, 8; 3 PRX file
    int m_nWmv8Profile = 12;         // "WMV8": 1-based system profile of family 8
    int m_nWmv7Profile = 13;         // "WMV7"
    int m_nWmv4Profile = 20;         // "WMV4"
    int m_nTwoPass = 0;              // "WMV2PASS": 0 or 1
    std::wstring m_strProfileFile;   // "PRX": profile file used when the kind is 3
    int m_nFrameRate = 299700;       // "fps": frames per second x 10000, kept as stored
    int m_nDeinterlace = 0;          // "InterLaced": 0 No, 1 Odd, 2 Even, 3 Doubling
    int m_nVolume = 100;             // "VOL": percent, 100 = unchanged
    int m_nOverwrite = 0;            // "uwagaki": 0 overwrite, 1 unique name, 2 ask

private:
    int Save(bool keepMissing);
    // Trims the output folder and replaces an invalid one; false when it was replaced.
    bool CheckFolder(bool keepMissing);

    std::wstring m_strKeptFolder;  // written as "hozon" in place of m_strOutputFolder
};
