#include "toolkit/ColorDraw.h"

void FillRectColor(CDC* pDC, RECT rc, COLORREF cr) { pDC->FillSolidRect(rc, cr); }

void DrawTextColor(CDC* pDC, const std::wstring& text, RECT rc, COLORREF cr, UINT nFormat, const QFont* pFont) {
    std::optional<QFont> previousFont;
    if (pFont) previousFont = pDC->SelectFont(*pFont);
    const COLORREF previousColor = pDC->SetTextColor(cr);
    pDC->SetBkMode(TRANSPARENT);
    pDC->DrawText(text, rc, nFormat);
    pDC->SetTextColor(previousColor);
    if (pFont) pDC->SelectFont(previousFont);
}

void DrawFocusRectInset(CDC* pDC, RECT rc, int n) {
    rc.left += n;
    rc.top += n;
    rc.right -= n;
    rc.bottom -= n;
    pDC->DrawFocusRect(rc);
}
