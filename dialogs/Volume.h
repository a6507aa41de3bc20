#pragma once
// The audio volume in percent, for the save settings dialog. Any integer is taken,
// below 0 and above 100 too. There is no Cancel: the close box keeps a typed value.
#include "toolkit/BaseDialog.h"

class CVolume : public CBaseDialog {
public:
    static constexpr UINT IDD = 40017;
    static constexpr UINT IDC_VOLUME = 42151;

    explicit CVolume(CWnd* pParent);

    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override { CDialog::OnOK(); }
    void SetVolume(int percent) { m_nVolume = percent; }
    int GetVolume() const { return m_nVolume; }

private:
    int m_nVolume = 100;
};
