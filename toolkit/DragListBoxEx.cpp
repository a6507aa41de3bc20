#include "toolkit/DragListBoxEx.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QDropEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "foundation/SysUtil.h"
#include "platform/ui/Dialog.h"
#include "toolkit/BaseView.h"
#include "toolkit/ColorDraw.h"
#include "toolkit/LinkButton.h"

namespace {

constexpr int kAutoScrollMs = 100;
constexpr int kItemDataRole = Qt::UserRole;
// File names may hold '&': rows and tips show them literally.
constexpr UINT kRowFormat = DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;

QString Q(const std::wstring& s) { return QString::fromStdWString(s); }

// The font a logical font description names; nothing when it names none.
std::optional<QFont> FontFromLogFont(const LOGFONTW& lf) {
    std::u16string face;
    for (int i = 0; i < LF_FACESIZE && lf.lfFaceName[i]; ++i) face.push_back(lf.lfFaceName[i]);
    if (face.empty() && lf.lfHeight == 0) return std::nullopt;
    QFont font(QString::fromStdU16String(face));
    if (lf.lfHeight != 0) font.setPixelSize(std::abs(lf.lfHeight));
    font.setBold(lf.lfWeight >= 700);
    font.setItalic(lf.lfItalic != 0);
    return font;
}

// Gives every row the list's row height and horizontal extent; the rows themselves
// are painted by the list across the whole width of the view.
class RowMetrics : public QAbstractItemDelegate {
public:
    explicit RowMetrics(CDragListBoxEx* owner) : QAbstractItemDelegate(owner), m_owner(owner) {}

    void paint(QPainter*, const QStyleOptionViewItem&, const QModelIndex&) const override {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return QSize(m_owner->GetHorizontalExtent(), m_owner->GetRowHeight());
    }

    void Relayout() { emit sizeHintChanged(QModelIndex()); }

private:
    CDragListBoxEx* m_owner;
};

}  // namespace

CDragListBoxEx::CDragListBoxEx() {
    m_scrollTimer.setInterval(kAutoScrollMs);
    connect(&m_scrollTimer, &QTimer::timeout, this, [this] { AutoScrollTick(); });
}

CDragListBoxEx::~CDragListBoxEx() { Detach(); }

BOOL CDragListBoxEx::AttachDlgItem(UINT nID, CDialog* pParent) {
    return pParent ? Attach(qobject_cast<QListWidget*>(pParent->GetDlgItem(nID))) : FALSE;
}

BOOL CDragListBoxEx::Attach(QListWidget* list) {
    if (!list || m_list) return FALSE;
    m_list = list;
    PreSubclassWindow();
    return TRUE;
}

void CDragListBoxEx::PreSubclassWindow() {
    QListWidget* list = m_list;
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setDragEnabled(false);
    list->setAcceptDrops(true);
    list->viewport()->setAcceptDrops(true);
    list->viewport()->setMouseTracking(true);
    m_pOldDelegate = list->itemDelegate();
    m_pDelegate = new RowMetrics(this);
    list->setItemDelegate(m_pDelegate);
    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);

    // The tip belongs to one state of the list: any change, scroll or focus move ends it.
    auto hideTip = [this] { m_titleTip.Hide(); };
    QAbstractItemModel* model = list->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, hideTip);
    connect(model, &QAbstractItemModel::rowsRemoved, this, hideTip);
    connect(model, &QAbstractItemModel::rowsMoved, this, hideTip);
    connect(model, &QAbstractItemModel::modelReset, this, hideTip);
    connect(model, &QAbstractItemModel::dataChanged, this, hideTip);
    connect(model, &QAbstractItemModel::layoutChanged, this, hideTip);
    connect(list->verticalScrollBar(), &QScrollBar::valueChanged, this, hideTip);
    connect(list->horizontalScrollBar(), &QScrollBar::valueChanged, this, hideTip);
    connect(qApp, &QApplication::focusChanged, this, hideTip);

    if (const std::optional<QFont> font = FontFromLogFont(GetDefaultGuiLogFont())) {
        m_font = *font;
        list->setFont(m_font);
    }
    UpdateHorizontalExtent();
}

void CDragListBoxEx::Detach() {
    m_titleTip.Hide();
    m_scrollTimer.stop();
    if (!m_list) return;
    m_list->removeEventFilter(this);
    m_list->viewport()->removeEventFilter(this);
    if (m_list->itemDelegate() == m_pDelegate) m_list->setItemDelegate(m_pOldDelegate);
    m_list = nullptr;
}

int CDragListBoxEx::GetCount() const { return m_list ? m_list->count() : 0; }

int CDragListBoxEx::GetCurSel() const {
    if (!m_list) return LB_ERR;
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? LB_ERR : m_list->row(selected.first());
}

int CDragListBoxEx::SetCurSel(int nIndex) {
    if (!m_list) return LB_ERR;
    if (nIndex < 0 || nIndex >= GetCount()) {
        if (nIndex == -1) m_list->setCurrentRow(-1);
        return LB_ERR;
    }
    m_list->setCurrentRow(nIndex);
    return nIndex;
}

std::wstring CDragListBoxEx::GetText(int nIndex) const {
    QListWidgetItem* item = m_list ? m_list->item(nIndex) : nullptr;
    return item ? item->text().toStdWString() : std::wstring();
}

uintptr_t CDragListBoxEx::GetItemData(int nIndex) const {
    QListWidgetItem* item = m_list ? m_list->item(nIndex) : nullptr;
    return item ? item->data(kItemDataRole).value<qulonglong>() : 0;
}

int CDragListBoxEx::SetItemData(int nIndex, uintptr_t data) {
    QListWidgetItem* item = m_list ? m_list->item(nIndex) : nullptr;
    if (!item) return LB_ERR;
    item->setData(kItemDataRole, QVariant::fromValue<qulonglong>(data));
    return 0;
}

int CDragListBoxEx::FindItemData(uintptr_t data) const {
    for (int i = 0; i < GetCount(); ++i)
        if (GetItemData(i) == data) return i;
    return LB_ERR;
}

int CDragListBoxEx::InsertString(int nIndex, const std::wstring& text) {
    if (!m_list) return LB_ERR;
    if (nIndex == -1) nIndex = GetCount();
    if (nIndex < 0 || nIndex > GetCount()) return LB_ERR;
    m_list->insertItem(nIndex, Q(text));
    UpdateHorizontalExtent();
    return nIndex;
}

int CDragListBoxEx::AddString(const std::wstring& text) { return InsertString(-1, text); }

void CDragListBoxEx::AddFile(const std::wstring& path) { AddString(path); }

int CDragListBoxEx::DeleteCurSel() {
    const int sel = GetCurSel();
    return sel == LB_ERR ? LB_ERR : DeleteString(sel);
}

int CDragListBoxEx::DeleteString(int nIndex) {
    if (!m_list || nIndex < 0 || nIndex >= GetCount()) return LB_ERR;
    delete m_list->takeItem(nIndex);
    UpdateHorizontalExtent();
    const int count = GetCount();
    SetCurSel(nIndex == count ? nIndex - 1 : nIndex);
    return count;
}

void CDragListBoxEx::ResetContent() {
    if (!m_list) return;
    m_list->clear();
    UpdateHorizontalExtent();
}

void CDragListBoxEx::MoveDown() {
    if (!m_list) return;
    const int sel = GetCurSel();
    if (sel == LB_ERR || sel == GetCount() - 1) {
        m_list->setFocus();
        return;
    }
    const std::wstring text = GetText(sel + 1);
    const uintptr_t data = GetItemData(sel + 1);
    DeleteString(sel + 1);
    SetItemData(InsertString(sel, text), data);
    m_list->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    SetCurSel(sel + 1);
}

void CDragListBoxEx::MoveUp() {
    if (!m_list) return;
    const int sel = GetCurSel();
    if (sel == LB_ERR || sel == 0) {
        m_list->setFocus();
        return;
    }
    const std::wstring text = GetText(sel - 1);
    const uintptr_t data = GetItemData(sel - 1);
    DeleteString(sel - 1);
    SetItemData(InsertString(sel, text), data);
    m_list->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    SetCurSel(sel - 1);
}

void CDragListBoxEx::UpdateHorizontalExtent() {
    int width = 1;
    for (int i = 0; i < GetCount(); ++i) width = std::max<int>(width, GetTextExtentGuiFont(nullptr, GetText(i)).cx);
    m_nHorizontalExtent = width + 5;
    if (m_pDelegate) static_cast<RowMetrics*>(m_pDelegate)->Relayout();
}

void CDragListBoxEx::DrawItem(CDC* pDC, int itemID, UINT itemState, RECT rcItem) {
    if (itemID == -1) return;
    COLORREF back = (itemID % 2 == 0) ? kEvenRow : kOddRow;
    if (itemState & ODS_SELECTED) back = kSelectedRow;
    FillRectColor(pDC, rcItem, back);
    DrawTextColor(pDC, GetText(itemID), rcItem, RGB(0, 0, 0), kRowFormat, nullptr);
    if (itemState & ODS_SELECTED) {
        RECT focus = rcItem;
        focus.left = 0;
        DrawFocusRectInset(pDC, focus, 1);
    }
}

int CDragListBoxEx::GetRowHeight() const {
    return m_list ? QFontMetrics(m_list->font()).height() + 2 : 0;
}

QRect CDragListBoxEx::GetItemRect(int nIndex) const {
    if (!m_list || nIndex < 0 || nIndex >= GetCount()) return QRect();
    const QRect r = m_list->visualItemRect(m_list->item(nIndex));
    // A row spans the whole width of the list, also where its text is shorter.
    const int right = std::max(r.right(), m_list->viewport()->width() - 1);
    return QRect(QPoint(std::min(r.left(), 0), r.top()), QPoint(right, r.bottom()));
}

int CDragListBoxEx::ItemFromPoint(const QPoint& pt, bool* outside) const {
    const int count = GetCount();
    if (outside) *outside = true;
    if (count == 0) return -1;
    // Rows span the whole width, so the row is found at the left edge.
    const QRect view = m_list->viewport()->rect();
    const int row = m_list->row(m_list->itemAt(QPoint(0, pt.y())));
    if (row >= 0 && view.contains(pt)) {
        if (outside) *outside = false;
        return row;
    }
    const int y = std::clamp(pt.y(), 0, view.height() - 1);
    const int near = m_list->row(m_list->itemAt(QPoint(0, y)));
    return near >= 0 ? near : count - 1;
}

int CDragListBoxEx::InsertionGapAt(const QPoint& pt) const {
    const int count = GetCount();
    if (count == 0) return 0;
    bool outside = false;
    const int row = ItemFromPoint(pt, &outside);
    const QRect rc = GetItemRect(row);
    return pt.y() < rc.center().y() ? row : row + 1;
}

void CDragListBoxEx::Dropped(int nSrcIndex, int nGap) {
    if (nSrcIndex < 0 || nSrcIndex >= GetCount() || nGap < 0 || nGap > GetCount()) return;
    if (nGap == nSrcIndex || nGap == nSrcIndex + 1) {
        SetCurSel(nSrcIndex);
        return;
    }
    const std::wstring text = GetText(nSrcIndex);
    const uintptr_t data = GetItemData(nSrcIndex);
    DeleteString(nSrcIndex);
    if (nSrcIndex < nGap) --nGap;
    const int moved = InsertString(nGap, text);
    SetItemData(moved, data);
    SetCurSel(moved);
}

void CDragListBoxEx::OnDropFiles(const std::vector<std::wstring>& paths) {
    QPointer<CDragListBoxEx> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, paths] {
            for (const std::wstring& p : paths) {
                if (!self) return;
                self->AddFile(p);
            }
        },
        Qt::QueuedConnection);
}

void CDragListBoxEx::OnMouseMove(const QMouseEvent* event) {
    if (event->buttons() != Qt::NoButton || event->modifiers() != Qt::NoModifier) return;
    const QPoint point = event->position().toPoint();
    bool outside = true;
    const int idx = ItemFromPoint(point, &outside);
    const QRect rc = GetItemRect(idx);
    if (!m_titleTip.IsCreated() || outside) {
        m_titleTip.Hide();
        return;
    }
    if (!rc.contains(point)) return;
    if (m_titleTip.isVisible() && m_titleTip.GetItemRect() != rc) m_titleTip.Hide();
    m_titleTip.Show(rc, GetText(idx), QPoint(point.x() - 30, rc.y() + rc.height()));
}

void CDragListBoxEx::BeginDrag() {
    m_bDragging = true;
    m_titleTip.Hide();
}

void CDragListBoxEx::UpdateDrag(const QPoint& pt) {
    m_ptDrag = pt;
    const int gap = InsertionGapAt(pt);
    if (gap != m_nInsertGap) {
        m_nInsertGap = gap;
        RepaintRows();
    }
    // Above or below the list it scrolls on by itself, one row a tick.
    const bool beyond = pt.y() < 0 || pt.y() >= m_list->viewport()->height();
    if (beyond && !m_scrollTimer.isActive()) m_scrollTimer.start();
    if (!beyond) m_scrollTimer.stop();
}

void CDragListBoxEx::AutoScrollTick() {
    if (!m_bDragging || !m_list) {
        m_scrollTimer.stop();
        return;
    }
    const bool up = m_ptDrag.y() < 0;
    m_list->verticalScrollBar()->triggerAction(up ? QAbstractSlider::SliderSingleStepSub
                                                  : QAbstractSlider::SliderSingleStepAdd);
    UpdateDrag(m_ptDrag);
}

void CDragListBoxEx::EndDrag(bool drop) {
    const int src = m_nPressItem;
    const int gap = m_nInsertGap;
    const bool wasDragging = m_bDragging;
    m_scrollTimer.stop();
    m_bDragging = false;
    m_nPressItem = -1;
    m_nInsertGap = -1;
    if (!wasDragging) return;
    RepaintRows();
    if (drop) Dropped(src, gap);
}

void CDragListBoxEx::PaintRows() {
    QWidget* view = m_list->viewport();
    QPainter painter(view);
    CDC dc(&painter);
    FillRectColor(&dc, FromQRect(view->rect()), kOddRow);
    const int current = m_list->currentRow();
    const bool focused = m_list->hasFocus();
    for (int i = 0; i < GetCount(); ++i) {
        const QRect rc = GetItemRect(i);
        if (rc.bottom() < 0 || rc.top() >= view->height()) continue;
        UINT state = 0;
        if (m_list->item(i)->isSelected()) state |= ODS_SELECTED;
        if (focused && i == current) state |= ODS_FOCUS;
        if (!m_list->isEnabled()) state |= ODS_DISABLED;
        DrawItem(&dc, i, state, FromQRect(rc));
        // The insertion mark of a drag: above row i, or below the last row.
        if (m_nInsertGap == i) painter.fillRect(rc.left(), rc.top(), rc.width(), 2, Qt::black);
        if (m_nInsertGap == GetCount() && i == GetCount() - 1)
            painter.fillRect(rc.left(), rc.bottom() - 1, rc.width(), 2, Qt::black);
    }
}

void CDragListBoxEx::RepaintRows() {
    if (m_list) m_list->viewport()->update();
}

bool CDragListBoxEx::OnViewportMouse(QMouseEvent* event) {
    const QPoint pt = event->position().toPoint();
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            m_titleTip.Hide();
            if (event->button() == Qt::RightButton && m_bDragging) {
                EndDrag(false);
                return true;
            }
            if (event->button() != Qt::LeftButton) return false;
            // A press selects the item under it, as a list box does, and may begin a drag.
            bool outside = true;
            const int idx = ItemFromPoint(pt, &outside);
            m_nPressItem = outside ? -1 : idx;
            m_ptPress = pt;
            m_list->setFocus(Qt::MouseFocusReason);
            if (m_nPressItem >= 0) SetCurSel(m_nPressItem);
            return true;
        }
        case QEvent::MouseMove:
            if (m_bDragging) {
                UpdateDrag(pt);
                return true;
            }
            if ((event->buttons() & Qt::LeftButton) && m_nPressItem >= 0) {
                if ((pt - m_ptPress).manhattanLength() >= QApplication::startDragDistance()) {
                    BeginDrag();
                    UpdateDrag(pt);
                }
                return true;
            }
            OnMouseMove(event);
            return false;
        case QEvent::MouseButtonRelease:
            if (event->button() != Qt::LeftButton) return false;
            if (m_bDragging) EndDrag(true);
            m_nPressItem = -1;
            return true;
        default:
            return false;
    }
}

bool CDragListBoxEx::eventFilter(QObject* watched, QEvent* event) {
    if (!m_list) return false;
    const bool onViewport = watched == m_list->viewport();
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
            return onViewport && OnViewportMouse(static_cast<QMouseEvent*>(event));
        case QEvent::Paint:
            if (!onViewport) return false;
            PaintRows();
            return true;
        case QEvent::Leave:
        case QEvent::Wheel:
            m_titleTip.Hide();
            return false;
        case QEvent::KeyPress:
            m_titleTip.Hide();
            if (m_bDragging && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                EndDrag(false);
                return true;
            }
            return false;
        case QEvent::FocusOut:
        case QEvent::Hide:
            m_titleTip.Hide();
            EndDrag(false);
            return false;
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (DroppedFilePaths(drag->mimeData()).empty()) {
                drag->ignore();
            } else {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            std::vector<std::wstring> paths = DroppedFilePaths(drop->mimeData());
            if (paths.empty()) {
                drop->ignore();
                return true;
            }
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            OnDropFiles(paths);
            return true;
        }
        default:
            return false;
    }
}
