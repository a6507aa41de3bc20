#pragma once
// The movie information window ("AVI Info"): the document's text lines about the
// video and audio streams, placed so that it straddles the right edge of its owner's
// window. Its OK button and close box ask the owner to close it with the close id;
// it never ends itself. The frame header window (BmpInfo.h) is built on it.
#include <string>
#include <vector>

#include "resources/CommandIds.h"
#include "toolkit/BaseDialog.h"

class CInfoAVIDlg : public CBaseDialog {
public:
    static constexpr UINT IDD = 150;
    static constexpr UINT kCloseId = ID_FILE_INFO;  // the menu command that opened it
    static constexpr int kLineCount = 20;

    explicit CInfoAVIDlg(CWnd* owner);

    BOOL OnInitDialog() override;
    void OnOK() override { OnClose(); }
    // Sends the close id to the owner.
    void OnClose() override;

    // Copies lines 0..19; lines the array does not hold show empty.
    void SetInfo(const std::vector<std::wstring>& lines);
    // Puts the lines into their controls.
    virtual void ShowInfo();

    const std::vector<std::wstring>& GetLines() const { return m_lines; }
    UINT GetCloseId() const { return m_nCloseId; }

protected:
    CInfoAVIDlg(UINT templateId, CWnd* owner, UINT closeId);
    // Labels and title from their string pairs.
    virtual void SetLabels();
    // x of the window's left edge from the owner's window rectangle and its own width.
    virtual int PlaceX(const QRect& owner, int width) const { return owner.x() + owner.width() - width / 2; }

    std::vector<std::wstring> m_lines;
    CWnd* m_pInfoOwner;
    UINT m_nCloseId;

private:
    void PlaceBesideOwner();
};
