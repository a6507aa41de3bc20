#pragma once
// The clipping and resize window behind "Clipping + Resize...": it edits, live and in
// place, the document's clip rectangle (four margins cut off the source frame) and
// the output size the clipped picture is scaled to. After every change it tells its
// owner; when the user closes it, it stores its values in the profile and asks the
// owner to destroy it (it never ends itself).
//
// Whatever the profile or the user supplies, the clip stays inside the source frame
// and at least one pixel wide and high, and the output size stays within 1..10000.
#include <cstdint>

#include "toolkit/BaseDialog.h"

class CResizeDlg : public CBaseDialog {
public:
    static constexpr UINT IDD = 40015;
    static constexpr UINT IDC_SUMMARY = 42084;
    static constexpr UINT IDC_CLEAR = 42083;
    static constexpr UINT IDC_WIDTH = 42095, IDC_HEIGHT = 42101;
    static constexpr UINT IDC_TOP = 42145, IDC_LEFT = 42034, IDC_RIGHT = 42026, IDC_BOTTOM = 42010;
    static constexpr UINT IDC_SPIN_WIDTH = 42106, IDC_SPIN_HEIGHT = 42111;
    static constexpr UINT IDC_SPIN_TOP = 42050, IDC_SPIN_LEFT = 42146, IDC_SPIN_RIGHT = 42061,
                          IDC_SPIN_BOTTOM = 42077;
    static constexpr int kMaxOutputSide = 10000;

    struct Preset {
        UINT id;
        int width, height;
    };
    static constexpr Preset kPresets[] = {
        {42126, 640, 480}, {42133, 640, 360}, {42131, 512, 288}, {42132, 480, 360},
        {42135, 320, 240}, {42137, 176, 144}, {42134, 160, 120}, {42136, 720, 480},
    };

    // Reads the profile and applies it to *output and *clip at once. owner receives
    // changeId after every change and closeId when the window closes.
    CResizeDlg(CWnd* owner, const BITMAPINFOHEADER& source, BITMAPINFOHEADER* output, RECT* clip, UINT changeId,
               UINT closeId);

    // A top-level window without owner, shown.
    BOOL CreateModeless();
    using CDialog::CreateModeless;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override { SaveSettings(); }
    void OnClose() override { SaveSettings(); }
    // Stores the six values in the profile, then sends the close id.
    virtual void SaveSettings();

    void OnChangeWidth();
    void OnChangeHeight();
    void OnChangeClipTop();
    void OnChangeClipLeft();
    void OnChangeClipRight();
    void OnChangeClipBottom();
    void OnPreset(const Preset& preset);
    void OnReset();
    // Output header and summary from the fields, the edits and presets shown, the owner told.
    void Recalc();

private:
    void OnEdit(UINT id, void (CResizeDlg::*handler)());
    // The number an edit holds, read as far as it is decimal; beyond int it saturates.
    int64_t ReadEdit(UINT id) const;
    // Every margin into the frame, keeping at least one pixel between opposite edges.
    void ClampMargins();
    // The clip rectangle from the margins.
    void ApplyClip();
    // The destination size within 1..kMaxOutputSide.
    void SetDestination(int64_t width, int64_t height);
    // After a margin changed: the clip from the margins, the output at its size.
    void ClipChanged();
    void Notify(UINT id);

    CWnd* m_pNotifyOwner;
    int m_nSrcWidth;
    int m_nSrcHeight;
    BITMAPINFOHEADER* m_pOutput;
    RECT* m_pClip;
    UINT m_nChangeId;
    UINT m_nCloseId;
    int m_nDstWidth = 1;
    int m_nDstHeight = 1;
    int m_nBottom = 0;
    int m_nLeft = 0;
    int m_nRight = 0;
    int m_nTop = 0;
    bool m_bBound = false;  // the handlers act only once the window is built
    UINT m_nEditing = 0;    // the edit whose change is being handled
};
