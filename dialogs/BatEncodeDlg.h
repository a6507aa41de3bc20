#pragma once
// A batch of project files run one after another by the owner, in list order,
// with a power action once the whole list is done. While it runs the dialog can
// be put in the notification area; the close box then acts as Stop.
#include <string>

#include "platform/ui/WndTimers.h"
#include "toolkit/BaseDialog.h"
#include "toolkit/DragListBoxEx.h"

class IEncodeOwner;

class CBatEncodeDlg : public CBaseDialog {
public:
    static constexpr UINT IDD = 40009;
    static constexpr UINT IDC_LABEL = 42153;
    static constexpr UINT IDC_LIST = 42014;
    static constexpr UINT IDC_ADD = 42023;
    static constexpr UINT IDC_DELETE = 42020;
    static constexpr UINT IDC_TRAY = 42028;
    static constexpr UINT IDC_START = 42006;
    static constexpr UINT IDC_STOP = 42018;
    static constexpr UINT IDC_AFTER = 42025;
    static constexpr UINT kTrayTimer = 1;
    static constexpr UINT kTrayRefreshMs = 5000;
    // Item data of the after-batch choices: the argument of the power action.
    static constexpr int kNoPowerAction = -5;
    static constexpr int kExitItem = 4;

    // pParent is the main window, which the tray mode hides and "Exit" closes;
    // pOwner runs the files. Without an owner Bat Start does nothing.
    CBatEncodeDlg(CWnd* pParent, IEncodeOwner* pOwner);

    // The modal loop of this dialog survives hiding it in the notification area.
    int DoModal() override;
    BOOL OnInitDialog() override;
    void OnClose() override;

    void OnBatStart();
    void OnBatStop();
    void OnFileAdd();
    void OnFileDelete();
    void OnTaskTray();
    void OnTimer(UINT nIDEvent);
    // A click on the tray icon brings both windows back.
    void OnTrayClick();

    CDragListBoxEx& GetList() { return m_list; }
    bool IsRunning() const { return m_bRunning; }
    bool IsInTray() const { return m_bInTray; }
    const CWndTimers& GetTimers() const { return m_timers; }

private:
    QWidget* MainWindow();
    void EnableRunButtons(bool running);
    void AfterCompleteRun();

    CDragListBoxEx m_list;
    BOOL m_bStop = FALSE;
    bool m_bRunning = false;
    bool m_bInTray = false;
    uintptr_t m_nRunToken = 0;
    IEncodeOwner* m_pEncodeOwner;
    CWndTimers m_timers;
};
