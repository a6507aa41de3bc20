#pragma once
// Drawing in COLORREF colours, shared by the view, the status strip and the
// owner-drawn controls.
#include <QFont>
#include <string>

#include "platform/ui/DC.h"

void FillRectColor(CDC* pDC, RECT rc, COLORREF cr);
// Transparent text in cr; a given font is selected for the call only. The text
// colour is restored afterwards, the background mode stays transparent.
void DrawTextColor(CDC* pDC, const std::wstring& text, RECT rc, COLORREF cr, UINT nFormat, const QFont* pFont);
void DrawFocusRectInset(CDC* pDC, RECT rc, int n);
