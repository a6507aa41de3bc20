#pragma once
// The ordered list of the VOB files of one split title: added from a file dialog,
// dropped from the desktop or scanned from a folder, reordered by dragging or with
// Up and Down, which repeat while held.
#include <string>
#include <vector>

#include "platform/ui/WndTimers.h"
#include "toolkit/BaseDialog.h"
#include "toolkit/Browse.h"
#include "toolkit/DragListBoxEx.h"

class CVOBListDlg : public CBaseDialog {
public:
    static constexpr UINT IDD = 40004;
    static constexpr UINT IDC_LABEL = 42153;
    static constexpr UINT IDC_LIST = 42005;
    static constexpr UINT IDC_ADD = 42029;
    static constexpr UINT IDC_DELETE = 42019;
    static constexpr UINT IDC_UP = 42055;
    static constexpr UINT IDC_DOWN = 42036;
    static constexpr UINT IDC_FOLDER = 42068;
    static constexpr UINT IDC_RESET = 42083;
    static constexpr UINT kRepeatTimer = 1;
    static constexpr UINT kRepeatMs = 150;
    // A held button starts repeating on this tick.
    static constexpr int kRepeatDelayTicks = 3;
    // A folder fills the list with at most this many files.
    static constexpr int kMaxFolderFiles = 258;

    explicit CVOBListDlg(CWnd* pParent);

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override { EndDialog(IDCANCEL); }

    void OnFileAdd();
    void OnFolder();
    void OnTimer(UINT nIDEvent);

    // The list: given before the dialog opens, filled in by OK.
    std::vector<std::wstring> m_paths;
    // The folder chosen last; the folder browser opens on it.
    std::wstring m_strFolder;

    CDragListBoxEx& GetList() { return m_list; }
    const CWndTimers& GetTimers() const { return m_timers; }

    // The VOB files of folder sorted by name, ignoring case, at most max of them.
    static std::vector<std::wstring> ScanVobFiles(const std::wstring& folder, size_t max);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RepeatWhileHeld(UINT nID, bool held, void (CDragListBoxEx::*move)());

    CDragListBoxEx m_list;
    CBrowse m_browse;
    CWndTimers m_timers;
    int m_nRepeat = 0;
    bool m_bUpHeld = false;
    bool m_bDownHeld = false;
};
