#pragma once
// The source-picture window: the frame as the reader decoded it, at its natural
// size, before deinterlacing, clipping and resizing. It asks its owner for that
// frame each time it paints, so it never shows bits its owner has let go of.
#include <functional>

#include "platform/win32/Win32Types.h"
#include "toolkit/BaseWnd.h"

class CShorityu : public CBaseWnd {
public:
    // Fills the frame's bits and header; false when there is no frame to show.
    using SourceFrame = std::function<bool(const BYTE** bits, BITMAPINFOHEADER* header)>;

    CShorityu(SourceFrame source, UINT closeId);

    // Caption, size and place, taken before the window first shows.
    void PreCreateWindow();
    BOOL CreatePopup(CWnd* pOwner, DWORD dwStyle) override;
    // Draw now: repaints the window from the owner's current frame.
    virtual void DrawImage();

    UINT GetCloseId() const { return m_nCloseId; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // The close box asks the owner, which releases the window; it never closes itself.
    void closeEvent(QCloseEvent* event) override;

private:
    SourceFrame m_source;
    UINT m_nCloseId;
};
