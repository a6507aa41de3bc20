#pragma once
// Tool bars as data: per template its id, the button size and its buttons in order
// (0 is a separator), each with its picture. A loaded tool bar's buttons are command
// actions; their tool tips come from the menu item of the same command.
//
// While the frame is being customised, a button is dragged off its bar with the
// mouse (dropped on no bar it is gone) and a command dragged from the customisation
// dialog or another bar is dropped in at the place under the mouse. Outside that mode
// the buttons only issue their commands.
#include <QImage>
#include <QToolBar>
#include <map>
#include <string>
#include <vector>

#include "platform/ui/Command.h"

class QMimeData;
struct MenuTemplate;

struct ToolBarTemplate {
    UINT id = 0;
    QSize buttonSize{16, 15};
    std::vector<UINT> buttons;
    std::map<UINT, QImage> images;  // by command id
};

void RegisterToolBarTemplate(ToolBarTemplate bar);
const ToolBarTemplate* FindToolBarTemplate(UINT id);
// The picture of a command in any registered tool bar template; null when none has one.
QImage FindCommandImage(UINT id);

// A menu item's text as a tool tip: mnemonics dropped, the key name after the tab put
// in brackets ("Open(&O)...\tCtrl+O" gives "Open... (Ctrl+O)").
std::wstring ToolTipFromMenuText(const std::wstring& text);
// A menu item's text as a button's label: mnemonics and key name dropped ("Open...").
std::wstring LabelFromMenuText(const std::wstring& text);

// What a dragged command carries: its id.
extern const char* const kCommandMimeType;
QMimeData* MakeCommandMimeData(UINT id);
UINT CommandOfMimeData(const QMimeData* data);  // 0 when it carries no command

class CToolBar : public QToolBar {
public:
    // nID is the bar's command id (the one that shows and hides it).
    CToolBar(QWidget* parent, UINT nID);

    // Builds the buttons of template id; false when there is no such template. Tool
    // tips and labels are taken from texts when given. The template is what
    // ResetToolBar goes back to.
    BOOL LoadToolBar(UINT id, const MenuTemplate* texts = nullptr);
    UINT GetID() const { return m_nID; }
    // The button of a command, or null.
    QAction* FindButton(UINT id) const;

    // The buttons in order, 0 for a separator; the customise button is not one of them.
    std::vector<UINT> GetButtons() const;
    void SetButtons(const std::vector<UINT>& buttons);
    // Puts a button for command id before position index (past the end appends).
    void InsertButton(UINT id, int index);
    // Whether the bar came from a template, and back to its buttons.
    bool CanReset() const { return m_nTemplateId != 0; }
    void ResetToolBar();

    // A drop-down button at the end whose menu holds the customisation command.
    void EnableCustomizeButton(UINT id, const std::wstring& text, CommandStart start);
    bool HasCustomizeButton() const { return m_pCustomizeAction != nullptr; }

    // Labels under the pictures (a command without a picture always shows its label).
    void SetTextLabels(bool on);
    bool GetTextLabels() const { return m_bTextLabels; }

    void SetCustomizeMode(bool on) { m_bCustomizing = on; }
    bool IsCustomizeMode() const { return m_bCustomizing; }
    // Where a drop at pos (bar coordinates) would put its button.
    int DropIndexAt(const QPoint& pos) const;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* MakeButton(UINT id);
    QList<QAction*> ContentActions() const;
    void DragButtonOff(QAction* button);

    UINT m_nID;
    UINT m_nTemplateId = 0;
    const MenuTemplate* m_pTexts = nullptr;
    QAction* m_pCustomizeAction = nullptr;
    bool m_bTextLabels = false;
    bool m_bCustomizing = false;
    QPoint m_pressPos;
    QAction* m_pPressed = nullptr;
};
