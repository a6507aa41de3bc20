#pragma once
// The frame header window ("BMP Info"): the fields of the decoded frame's header as
// the reader delivers it, placed so that it straddles the left edge of its owner's
// window. It closes like the movie information window, with its own close id.
#include "dialogs/InfoAVIDlg.h"

class CBmpInfo : public CInfoAVIDlg {
public:
    static constexpr UINT IDD = 151;
    static constexpr UINT kCloseId = ID_BMP_INFO_CLOSED;
    static constexpr UINT kFirstValue = 1060;
    static constexpr int kFieldCount = 8;

    explicit CBmpInfo(CWnd* owner);

    // Lines 0..7 from the header's fields, each as a signed decimal; null clears them.
    void SetInfo(const BITMAPINFOHEADER* header);
    void ShowInfo() override;

protected:
    void SetLabels() override;
    int PlaceX(const QRect& owner, int width) const override { return owner.x() - width / 2; }
};
