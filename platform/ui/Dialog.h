#pragma once
// The dialog core: a dialog built from a registered template, run modally or
// modelessly, with an id-to-widget map, control notifications and data exchange.
#include <QDialog>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/ui/Wnd.h"
#include "platform/win32/Win32Types.h"

class CDataExchange;
class CUpDown;
class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QLineEdit;
struct DialogTemplate;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Control notification codes (Win32 values).
constexpr UINT BN_CLICKED = 0;
constexpr UINT CBN_SELCHANGE = 1;
constexpr UINT LBN_SELCHANGE = 1;
constexpr UINT EN_CHANGE = 0x0300;
constexpr UINT NM_SLIDERMOVED = 0x0400;  // a slider's position changed

// Pixels for dialog units, from the average character width and height of a font.
struct DialogUnits {
    int baseX = 6;
    int baseY = 13;
    int ToPixelsX(int du) const { return du * baseX / 4; }
    int ToPixelsY(int du) const { return du * baseY / 8; }
    static DialogUnits FromFont(const QFont& font);
};

class CDialog : public QDialog, public CWnd {
public:
    CDialog(UINT templateId, CWnd* pParent);
    QWidget* GetWidget() override { return this; }
    CWnd* GetOwnerWnd() const { return m_pParentWnd; }
    ~CDialog() override;

    // Builds the dialog, runs OnInitDialog and its modal loop; returns the code given to
    // EndDialog, or -1 when the template does not exist.
    virtual int DoModal();
    // Builds the dialog and runs OnInitDialog without a modal loop; with a parent the
    // dialog is embedded in it as a child window.
    BOOL CreateModeless(CWnd* pParent);
    void EndDialog(int result);
    int GetResult() const { return m_nResult; }

    virtual BOOL OnInitDialog() { UpdateData(FALSE); return TRUE; }
    virtual void OnOK();
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // The close box; the class library's behaviour is Cancel.
    virtual void OnClose() { OnCancel(); }
    virtual void DoDataExchange(CDataExchange*) {}
    // Moves values between controls and fields; FALSE when a check failed.
    BOOL UpdateData(BOOL save = TRUE);

    UINT GetTemplateId() const { return m_nIDTemplate; }
    const DialogUnits& Units() const { return m_units; }
    QWidget* GetDlgItem(UINT id) const;
    UINT GetDlgCtrlID(const QWidget* w) const;
    CUpDown* GetUpDown(UINT id) const;
    QComboBox* GetComboBox(UINT id) const;
    QLineEdit* GetEdit(UINT id) const;
    QAbstractButton* GetButton(UINT id) const;

    std::wstring GetDlgItemText(UINT id) const;
    // Setting the same text again changes nothing and notifies nobody.
    void SetDlgItemText(UINT id, const std::wstring& text);
    void SetDlgItemInt(UINT id, int value) { SetDlgItemText(id, std::to_wstring(value)); }
    void CheckDlgButton(UINT id, int check);
    int IsDlgButtonChecked(UINT id) const;
    void EnableDlgItem(UINT id, BOOL enable);
    // Puts replacement (a custom control class) in the place of the template's control
    // id: same parent, geometry, id, stacking and tab order, enabled state and caption,
    // radio group and up-down buddy; its notifications reach the same handlers. The
    // old control is destroyed, the dialog owns the replacement. Null (and nothing
    // taken over) when there is no such control.
    QWidget* ReplaceDlgItem(UINT id, QWidget* replacement);
    template <class W>
    W* ReplaceDlgItemWith(UINT id) {
        auto* w = new W(this);
        if (ReplaceDlgItem(id, w)) return w;
        delete w;
        return nullptr;
    }
    // Every radio button of the group that id belongs to, in template order.
    std::vector<QAbstractButton*> RadioGroupOf(UINT id) const;

    // Control notifications (clicked, changed, selection changed), as a message map.
    using Notify = std::function<void()>;
    void OnControlNotify(UINT id, UINT code, Notify handler);
    void OnClicked(UINT id, Notify handler) { OnControlNotify(id, BN_CLICKED, std::move(handler)); }
    void OnEditChange(UINT id, Notify handler) { OnControlNotify(id, EN_CHANGE, std::move(handler)); }
    void OnSelChange(UINT id, Notify handler) { OnControlNotify(id, CBN_SELCHANGE, std::move(handler)); }
    // What a control reports; a click without a notify handler goes through command
    // routing (dialog, then owner), and OK and Cancel fall back to OnOK and OnCancel.
    void NotifyControl(UINT id, UINT code);

protected:
    // Builds the widgets; FALSE when the template is unknown. Runs once.
    BOOL BuildFromTemplate();
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override { OnCancel(); }
    void accept() override { OnOK(); }

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    void AddControl(QWidget* w, UINT id);
    void WireNotifications(QWidget* w, UINT id);

    bool m_bBuilt = false;
    int m_nLockNotify = 0;
    int m_nResult = 0;
    DialogUnits m_units;
    std::map<UINT, QWidget*> m_controls;
    std::map<UINT, std::vector<QAbstractButton*>> m_radioGroups;  // keyed by first radio id
    std::map<std::pair<UINT, UINT>, Notify> m_notify;
};
