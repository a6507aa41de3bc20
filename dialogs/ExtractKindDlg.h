#pragma once
// How extracted audio is written: in the source's own sound format, as WAV
// through the audio compression manager, or as WMA.
#include "toolkit/BaseDialog.h"

class CExtractKindDlg : public CBaseDialog {
public:
    static constexpr UINT IDD = 40013;
    static constexpr UINT IDC_ORIGINAL = 42089;
    static constexpr UINT IDC_WAV = 42093;
    static constexpr UINT IDC_WMA = 42096;
    enum Kind : int { kOriginal = 0, kWav = 1, kWma = 2 };

    explicit CExtractKindDlg(CWnd* pParent);

    BOOL OnInitDialog() override;
    void OnOK() override;

    // A Kind; a value of no kind opens with nothing chosen and stays unless OK
    // comes with a choice.
    int m_nKind = kOriginal;
};
