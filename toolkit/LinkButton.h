#pragma once
// Owner-drawn buttons over a dialog's existing push button: a flat text button
// whose caption changes colour under the mouse (CLinkButton), the same with a
// three-dimensional frame (CColorButton) and with an icon (CIconButton).
#include <QAbstractButton>
#include <QIcon>
#include <QObject>
#include <QPointer>

#include "platform/ui/DC.h"

class CDialog;

// Item states of an owner-drawn control (Win32 values).
constexpr UINT ODS_SELECTED = 0x0001;
constexpr UINT ODS_DISABLED = 0x0004;
constexpr UINT ODS_FOCUS = 0x0010;

class CLinkButton : public QObject {
public:
    CLinkButton(COLORREF crBack, COLORREF crText, COLORREF crDisabled, COLORREF crHover);

    // Takes over the drawing of the dialog's button nID.
    virtual BOOL AttachDlgItem(UINT nID, CDialog* pParent);
    virtual void DrawItem(CDC* pDC, UINT itemState, RECT rcItem);
    virtual void DrawCaption(CDC* pDC, UINT itemState, RECT rc);

    QAbstractButton* GetButton() const { return m_button; }
    BOOL IsHover() const { return m_bHover; }
    // The item state the button has now.
    UINT GetItemState() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

    COLORREF m_crText;
    COLORREF m_crBack;
    COLORREF m_crDisabled;
    COLORREF m_crHover;
    BOOL m_bHover = FALSE;

private:
    QPointer<QAbstractButton> m_button;
};

class CColorButton : public CLinkButton {
public:
    // nFrameStyle 0: classic frame with focus rectangle; 1: frame only while hovered;
    // other: no frame except when pressed.
    CColorButton(COLORREF crBack, COLORREF crText, COLORREF crDisabled, COLORREF crHover, int nFrameStyle);
    void DrawItem(CDC* pDC, UINT itemState, RECT rcItem) override;
    virtual void DrawFrame(CDC* pDC, UINT itemState, RECT rc);

protected:
    int m_nFrameStyle;
};

class CIconButton : public CColorButton {
public:
    CIconButton(const QIcon& hIcon, const QIcon& hIconDisabled, COLORREF crBack, COLORREF crText,
                COLORREF crDisabled, COLORREF crHover, int nFrameStyle);
    void DrawItem(CDC* pDC, UINT itemState, RECT rcItem) override;
    virtual QIcon SetIconResource(UINT nIconId);

protected:
    QIcon m_hIcon;
    QIcon m_hIconDisabled;
};
