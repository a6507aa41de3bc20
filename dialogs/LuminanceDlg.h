#pragma once
// Live gamma and offset of the luminance filter: the owner hears of every change
// while the user moves either slider.
#include "toolkit/BaseDialog.h"

class IEncodeOwner;

class CLuminanceDlg : public CBaseDialog {
public:
    static constexpr UINT IDD = 40008;
    static constexpr UINT IDC_GAMMA_SLIDER = 42002;
    static constexpr UINT IDC_OFFSET_SLIDER = 42074;
    static constexpr UINT IDC_GAMMA = 42076;
    static constexpr UINT IDC_OFFSET = 42079;
    static constexpr int kMin = -256;
    static constexpr int kMax = 256;

    CLuminanceDlg(CWnd* pParent, IEncodeOwner* pOwner);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    // A slider moved to pos.
    void OnSliderMoved(UINT nID, int pos);

    int m_nGamma = 0;
    int m_nOffset = 0;

private:
    IEncodeOwner* m_pEncodeOwner;
    bool m_bInitialised = false;
};
