#pragma once
// The version window: an elliptic face without caption or frame, dragged by any
// point of its face, with the program's version, a link to the program's own help
// page, and a zoom animation when it closes.
#include <QPoint>
#include <string>

#include "toolkit/BaseColorDialog.h"
#include "toolkit/LinkButton.h"

class CMyAboutDlg : public CBaseColorDialog {
public:
    static constexpr UINT IDD = 40001;
    static constexpr UINT IDC_VERSION = 42070;
    static constexpr UINT IDC_LINK = 42031;
    static constexpr UINT IDC_ICON_PLACE = 42149;

    CMyAboutDlg(COLORREF crBack, COLORREF crText, CWnd* pParent);

    BOOL OnInitDialog() override;
    // Plays the closing animation, then ends with IDOK.
    void OnOK() override;
    void OnLink();

    // The help page the link opens: the one of the user's language beside the program.
    static std::wstring HelpPagePath();
    // "<program> Version <version>" of the running program.
    static std::wstring VersionLine();
    // Frames the closing animation shows (zero when no screen picture could be had).
    int AnimationFrames() const { return m_nFrames; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void PlayClosingAnimation();

    CLinkButton m_link;
    CIconButton m_ok;
    QPoint m_dragPoint;
    int m_nFrames = 0;
};
