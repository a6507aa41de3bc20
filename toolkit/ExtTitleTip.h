#pragma once
// A borderless tip laid beside a list item that shows the item's whole text. It
// never takes the pointer or the keyboard: input passes through it to the list
// underneath, which decides when the tip goes away.
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <string>

#include "platform/win32/Win32Types.h"

class CDC;

class CExtTitleTip : public QWidget {
public:
    CExtTitleTip();
    ~CExtTitleTip() override;

    // Makes the tip window for the list pParent; until then the tip never shows.
    virtual BOOL Create(QWidget* pParent);
    // Shows text in a tip whose top-left corner is pt (pParent's client coordinates),
    // for the item rectangle rcItem. Nothing while no window of the program has the
    // keyboard focus or for an empty text. While shown for the same item and text it
    // only follows pt.
    virtual void Show(const QRect& rcItem, const std::wstring& text, const QPoint& pt);
    virtual void Hide();
    virtual void DrawTipText(CDC* pDC, const std::wstring& text, const RECT& rc);
    // The text's extent in the list's font plus a margin; empty for an empty text.
    virtual RECT CalcTipRect(const std::wstring& text) const;

    BOOL IsCreated() const { return m_bCreated; }
    const QRect& GetItemRect() const { return m_rcItem; }
    const std::wstring& GetText() const { return m_strText; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<QWidget> m_pParent;
    QRect m_rcItem;
    std::wstring m_strText;
    RECT m_rcText{};
    BOOL m_bCreated = FALSE;
};
