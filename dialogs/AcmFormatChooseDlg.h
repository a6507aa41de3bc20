#pragma once
// The audio format chooser: the format tags the audio layer offers, then the formats
// of the chosen tag by their attributes (rate, bits, channels, bit rate). Only
// formats that fit the caller's block are offered, and with a source format only
// those it can be converted into.
#include <vector>

#include "platform/acm/Acm.h"
#include "toolkit/BaseDialog.h"

class CAcmFormatChooseDlg : public CBaseDialog {
public:
    static constexpr UINT IDD = 51180;
    static constexpr UINT IDC_TAG = 51102;
    static constexpr UINT IDC_FORMAT = 51104;

    // request describes the choice (block size, initial format, source); it is only read.
    CAcmFormatChooseDlg(const ACMFORMATCHOOSEW& request, CWnd* pParent);

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override { EndDialog(IDCANCEL); }

    void OnTagChange();
    void OnFormatChange();

    // The offered formats, in the audio layer's order.
    const std::vector<AcmFormatDetails>& Formats() const { return m_formats; }
    // The whole chosen format after OK; empty before.
    const std::vector<BYTE>& Chosen() const { return m_chosen; }

    // The attribute line of a format in the user's language.
    static std::wstring DescribeAttributes(const WAVEFORMATEX& f);

private:
    // Index into m_formats of the initial choice, -1 when nothing is offered.
    int InitialFormat() const;
    void SelectFormat(int index);
    int SelectedFormat() const;

    const ACMFORMATCHOOSEW& m_request;
    std::vector<AcmFormatDetails> m_formats;
    std::vector<std::wstring> m_tags;      // distinct tag names, in order of appearance
    std::vector<int> m_shown;              // m_formats index of each attribute item
    std::vector<BYTE> m_chosen;
};
