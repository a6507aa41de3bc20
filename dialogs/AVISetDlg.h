#pragma once
// The compressor of the re-encoded AVI output: every installed compressor that takes
// the frames to be written (plus uncompressed for 24-bit frames), its quality,
// key-frame interval and data rate, and the compressor's own configuration. Values
// come from and go back to the writer's CEncAVISetting; both directions copy the
// state block, the dialog never shares one.
#include <vector>

#include "platform/vcm/Vcm.h"
#include "platform/win32/GlobalMemory.h"
#include "toolkit/BaseDialog.h"

class CEncAVISetting;

class CAVISetDlg : public CBaseDialog {
public:
    static constexpr UINT IDD = 40016;
    static constexpr UINT IDC_CODEC = 42025;
    static constexpr UINT IDC_QUALITY = 42052;
    static constexpr UINT IDC_QUALITY_SPIN = 42039;
    static constexpr UINT IDC_KEYFRAME = 42022;
    static constexpr UINT IDC_KEYFRAME_SPIN = 42059;
    static constexpr UINT IDC_DATARATE = 42032;
    static constexpr UINT IDC_DATARATE_SPIN = 42057;
    static constexpr UINT IDC_DEFAULT = 42058;
    static constexpr UINT IDC_CONFIGURE = 42043;
    static constexpr UINT IDC_ABOUT = 42048;
    static constexpr int kMaxEditValue = 999999;

    explicit CAVISetDlg(CWnd* pParent);
    ~CAVISetDlg() override;

    // input must stay valid while the dialog lives; null lists no compressor.
    void SetSettings(const BITMAPINFOHEADER* input, const CEncAVISetting& setting);
    void GetSettings(CEncAVISetting& setting) const;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override { EndDialog(IDCANCEL); }

    void FillCodecList();
    void OnCodecChange();
    void OnConfigure();
    void OnAbout();
    void OnDefault();
    void OnQualityChange();
    void OnKeyFrameChange();
    void OnDataRateChange();

    // The listed compressors, row i being combo item i.
    const std::vector<ICINFO>& Codecs() const { return m_codecs; }
    DWORD GetHandler() const { return m_dwHandler; }
    int GetStateSize() const { return m_nStateSize; }
    HGLOBAL GetState() const { return m_hState; }

private:
    const ICINFO* SelectedCodec() const;
    HIC OpenSelected() const;
    void FreeState();
    void EnableSettings(DWORD flags, BOOL configure, BOOL about);

    int m_nQuality = 100;
    int m_nKeyFrame = 15;  // frames
    int m_nDataRate = 300;  // KB per second
    std::vector<ICINFO> m_codecs;
    const BITMAPINFOHEADER* m_pInput = nullptr;
    HGLOBAL m_hState = nullptr;
    int m_nStateSize = 0;
    DWORD m_dwHandler = ICHANDLER_DIB;
};
