#pragma once
// A list box for ordered file lists, taking over a dialog's list control: the user
// reorders items by dragging them, moves the selected item up or down by command,
// drops files from the desktop onto it and sees striped rows. A long item text can
// be shown whole in a title tip. Indexes follow the list-box rules: -1 appends,
// an index past the count fails with -1.
#include <QListWidget>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/DC.h"
#include "toolkit/ExtTitleTip.h"

class CDialog;
class QAbstractItemDelegate;
class QMouseEvent;

constexpr int LB_ERR = -1;

class CDragListBoxEx : public QObject {
public:
    // Row colours (COLORREF): even rows, odd rows and the selected row.
    static constexpr COLORREF kEvenRow = 0xF5EADC;
    static constexpr COLORREF kOddRow = 0xFFFFFF;
    static constexpr COLORREF kSelectedRow = 0x00FF00;

    CDragListBoxEx();
    ~CDragListBoxEx() override;

    // Takes over the dialog's list control nID; FALSE when there is none or this
    // object already drives a list.
    virtual BOOL AttachDlgItem(UINT nID, CDialog* pParent);
    BOOL Attach(QListWidget* list);
    QListWidget* GetList() const { return m_list; }

    virtual int InsertString(int nIndex, const std::wstring& text);
    virtual int DeleteCurSel();
    // Removes item nIndex and selects the item that took its place, or the new last
    // item when the last one went. Returns the remaining count, or LB_ERR.
    virtual int DeleteString(int nIndex);
    virtual void ResetContent();
    virtual int AddString(const std::wstring& text);
    virtual void AddFile(const std::wstring& path);
    // Swap the selected item with its lower (upper) neighbour; at the end (start)
    // of the list, or without a selection, only focus the list.
    virtual void MoveDown();
    virtual void MoveUp();
    virtual void UpdateHorizontalExtent();
    // Paints one row; itemState holds ODS_ flags.
    virtual void DrawItem(CDC* pDC, int itemID, UINT itemState, RECT rcItem);

    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int nIndex);
    std::wstring GetText(int nIndex) const;
    // A number kept with an item; moves by drag, up and down carry it along.
    uintptr_t GetItemData(int nIndex) const;
    int SetItemData(int nIndex, uintptr_t data);
    // The first item holding data, or LB_ERR.
    int FindItemData(uintptr_t data) const;
    int GetHorizontalExtent() const { return m_nHorizontalExtent; }
    // The item nearest to pt (viewport coordinates); outside is set when pt lies
    // on no item. -1 for an empty list.
    int ItemFromPoint(const QPoint& pt, bool* outside) const;
    QRect GetItemRect(int nIndex) const;
    // The gap (0 .. count) an item dragged to pt would be inserted at.
    int InsertionGapAt(const QPoint& pt) const;
    // Moves item nSrcIndex into gap nGap, the selection following it.
    void Dropped(int nSrcIndex, int nGap);
    // Appends dropped files in drop order, from the event loop.
    void OnDropFiles(const std::vector<std::wstring>& paths);

    CExtTitleTip& GetTitleTip() { return m_titleTip; }
    // The gap the dragged item would go to now; -1 while nothing is dragged.
    int GetInsertionGap() const { return m_nInsertGap; }
    int GetRowHeight() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PreSubclassWindow();
    void Detach();
    bool OnViewportMouse(QMouseEvent* event);
    void OnMouseMove(const QMouseEvent* event);
    void BeginDrag();
    void UpdateDrag(const QPoint& pt);
    void EndDrag(bool drop);
    void AutoScrollTick();
    void PaintRows();
    void RepaintRows();

    QPointer<QListWidget> m_list;
    QAbstractItemDelegate* m_pDelegate = nullptr;   // ours, owned by this object
    QPointer<QAbstractItemDelegate> m_pOldDelegate;  // the list's own, restored on detach
    CExtTitleTip m_titleTip;
    QFont m_font;
    int m_nHorizontalExtent = 6;

    int m_nPressItem = -1;
    QPoint m_ptPress;
    bool m_bDragging = false;
    int m_nInsertGap = -1;
    QPoint m_ptDrag;
    QTimer m_scrollTimer;
};
