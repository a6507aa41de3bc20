#pragma once
// Data exchange between a dialog's controls and its fields. Loading writes the
// fields into the controls; saving reads and checks them. The first failed check
// tells the user why (in the UI language), focuses the control and ends the
// exchange: later calls of the same exchange do nothing.
#include <string>

#include "platform/win32/Win32Types.h"

class CDialog;

class CDataExchange {
public:
    CDataExchange(CDialog* dlg, bool save) : m_pDlgWnd(dlg), m_bSaveAndValidate(save) {}

    // Shows message, focuses the control and marks the exchange failed.
    void Fail(UINT id, const std::wstring& message);
    bool Failed() const { return m_bFailed; }
    // Whether a DDX call should act (not after a failure).
    bool Active() const { return !m_bFailed; }

    CDialog* m_pDlgWnd;
    bool m_bSaveAndValidate;
    UINT m_idLastControl = 0;

private:
    bool m_bFailed = false;
};

void DDX_Text(CDataExchange* pDX, UINT id, int& value);
void DDX_Text(CDataExchange* pDX, UINT id, unsigned int& value);
void DDX_Text(CDataExchange* pDX, UINT id, std::wstring& value);
void DDX_Check(CDataExchange* pDX, UINT id, int& value);
// value is the index of the checked button in the group that starts at id, -1 for none.
void DDX_Radio(CDataExchange* pDX, UINT id, int& value);
// The selection index of a drop-down list, -1 for none.
void DDX_CBIndex(CDataExchange* pDX, UINT id, int& value);
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);
void DDV_MinMaxUInt(CDataExchange* pDX, unsigned int value, unsigned int minVal, unsigned int maxVal);

// Strict decimal parsing as the exchange does it: optional blanks around, an optional
// sign (none for unsigned), digits only, within the type's range.
bool ParseDialogInt(const std::wstring& text, int& out);
bool ParseDialogUInt(const std::wstring& text, unsigned int& out);
