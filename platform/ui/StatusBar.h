#pragma once
// A status bar of panes: pane 0 with id ID_SEPARATOR is the message pane and takes the
// room left over; every other pane has its own id, a width in pixels and a text.
#include <QStatusBar>
#include <string>
#include <vector>

#include "platform/win32/Win32Types.h"

class QLabel;

constexpr UINT ID_SEPARATOR = 0;

class CStatusBar : public QStatusBar {
public:
    struct Indicator {
        UINT id = ID_SEPARATOR;
        std::wstring text;  // shown until the pane is given another
    };

    explicit CStatusBar(QWidget* parent);

    // Replaces the panes; false for an empty list.
    BOOL SetIndicators(const std::vector<Indicator>& indicators);
    // -1 when no pane has the id.
    int CommandToIndex(UINT id) const;
    int GetCount() const { return static_cast<int>(m_panes.size()); }
    UINT GetItemID(int index) const;

    void SetPaneWidth(int index, int width);
    // Sets the text and repaints the pane at once.
    BOOL SetPaneText(int index, const std::wstring& text);
    std::wstring GetPaneText(int index) const;
    QLabel* GetPane(int index) const;

private:
    struct Pane {
        UINT id;
        QLabel* label;
    };
    std::vector<Pane> m_panes;
};
