#pragma once
// A dialog with its own background colour, whose static texts (labels, group boxes,
// check and radio captions) are drawn transparently in their own colour. Push
// buttons and edit boxes keep the system colours.
#include "toolkit/BaseDialog.h"

class CBaseColorDialog : public CBaseDialog {
public:
    CBaseColorDialog(UINT nIDTemplate, CWnd* pParent, COLORREF crBack, COLORREF crText,
                     BOOL bSysMenuItems = FALSE, BOOL bChild = FALSE);
    BOOL OnInitDialog() override;
    // Coloured dialogs get no themed tab texture.
    void EnableTabTexture() override {}

    COLORREF GetBackColor() const { return m_crBack; }
    COLORREF GetTextColor() const { return m_crText; }

protected:
    COLORREF m_crText;
    COLORREF m_crBack;
};
