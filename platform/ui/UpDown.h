#pragma once
// An up-down control: two arrow buttons that step a number held by its buddy edit.
#include <QWidget>

#include "platform/win32/Win32Types.h"

class QLineEdit;
class QToolButton;

class CUpDown : public QWidget {
public:
    CUpDown(QWidget* parent, DWORD style);

    void SetBuddy(QLineEdit* buddy);
    QLineEdit* GetBuddy() const { return m_buddy; }
    void SetRange(int lower, int upper);
    int GetLower() const { return m_lower; }
    int GetUpper() const { return m_upper; }
    // Clamped into the range; with UDS_SETBUDDYINT the buddy shows the number.
    void SetPos(int pos);
    // The buddy's number when it has one, else the last position set.
    int GetPos() const;
    // One step up (+1) or down (-1) from the current position, wrapping with UDS_WRAP.
    void Step(int direction);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DWORD m_style;
    int m_lower = 0;
    int m_upper = 100;
    int m_pos = 0;
    QLineEdit* m_buddy = nullptr;
    QToolButton* m_up;
    QToolButton* m_down;
};
