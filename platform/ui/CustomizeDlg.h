#pragma once
// The tool-bar customisation dialog. It lists the commands of the frame's menus by
// category (the top-level menu they are in), each with its picture and text, to be
// dragged onto any tool bar; while it is open the frame's tool bars are in customise
// mode, so their buttons are dragged to another place, another bar or off the bar.
// It also shows, hides, resets, makes, renames and deletes tool bars, and, as its
// flags say, offers text labels and the menu animation. It is modeless: the frame
// has to stay reachable for the mouse. Closing it writes the frame's layout.
#include <QDialog>
#include <string>
#include <vector>

#include "platform/win32/Win32Types.h"

class CFrameWnd;
class CToolBar;
class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;
struct MenuTemplate;

// What the dialog offers besides the commands and the tool bars.
constexpr UINT kCustomizeTextLabels = 0x2;
constexpr UINT kCustomizeMenuAnimations = 0x4;

struct CustomizeCommand {
    UINT id = 0;
    std::wstring text;  // the menu text without mnemonic and key
};

struct CommandCategory {
    std::wstring name;  // the top-level menu's text without mnemonic
    std::vector<CustomizeCommand> commands;
};

// Every command of every top-level popup (submenus included), once per category, in
// menu order.
std::vector<CommandCategory> CollectMenuCommands(const MenuTemplate& menu);

class CCustomizeDlg : public QDialog {
public:
    CCustomizeDlg(CFrameWnd& frame, UINT flags);
    ~CCustomizeDlg() override;

    const std::vector<CommandCategory>& GetCategories() const { return m_categories; }
    // The commands list shows category index.
    void SelectCategory(int index);
    QListWidget* GetCommandList() const { return m_pCommands; }
    QListWidget* GetToolBarList() const { return m_pBars; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    QWidget* BuildCommandsPage();
    QWidget* BuildToolBarsPage();
    QWidget* BuildOptionsPage();
    void FillToolBarList(UINT select);
    void SyncChecks();
    CToolBar* SelectedToolBar() const;
    void OnToolBarSelected();
    void OnNewToolBar();
    void OnRenameToolBar();
    void OnDeleteToolBar();
    void OnResetToolBar();
    bool Confirm(UINT ja, UINT en, const QString& name);

    CFrameWnd& m_frame;
    UINT m_nFlags;
    std::vector<CommandCategory> m_categories;
    QListWidget* m_pCategories = nullptr;
    QListWidget* m_pCommands = nullptr;
    QListWidget* m_pBars = nullptr;
    QPushButton* m_pReset = nullptr;
    QPushButton* m_pNew = nullptr;
    QPushButton* m_pRename = nullptr;
    QPushButton* m_pDelete = nullptr;
    QCheckBox* m_pTextLabels = nullptr;
    QComboBox* m_pAnimation = nullptr;
    QObject* m_pBarWatch = nullptr;
};
