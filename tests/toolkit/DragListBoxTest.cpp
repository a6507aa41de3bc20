#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QUrl>

#include "foundation/SysUtil.h"
#include "platform/ui/QtUiHooks.h"
#include "toolkit/DragListBoxEx.h"

namespace {

class DragListTest : public testing::Test {
protected:
    void SetUp() override {
        previousHooks = RegisterUiHooks(&hooks);
        window.resize(300, 200);
        list = new QListWidget(&window);
        list->setGeometry(0, 0, 300, 200);
        ASSERT_TRUE(box.Attach(list));
        window.show();
        window.activateWindow();
        QApplication::processEvents();
    }
    void TearDown() override { RegisterUiHooks(previousHooks); }

    void Fill(std::initializer_list<const wchar_t*> texts) {
        for (const wchar_t* t : texts) box.AddString(t);
    }
    std::vector<std::wstring> Items() {
        std::vector<std::wstring> out;
        for (int i = 0; i < box.GetCount(); ++i) out.push_back(box.GetText(i));
        return out;
    }
    void Mouse(QEvent::Type type, QPoint pt, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QWidget* view = list->viewport();
        QMouseEvent e(type, pt, view->mapToGlobal(pt), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &e);
    }
    QPoint RowCentre(int row) { return box.GetItemRect(row).center(); }

    CQtUiHooks hooks;
    IUiHooks* previousHooks = nullptr;
    QWidget window;
    QListWidget* list = nullptr;
    CDragListBoxEx box;
};

QRgb Rgb(COLORREF c) { return qRgb(GetRValue(c), GetGValue(c), GetBValue(c)) & 0xFFFFFF; }

}  // namespace

TEST_F(DragListTest, IndexesFollowTheListBoxRules) {
    EXPECT_EQ(box.AddString(L"a"), 0);
    EXPECT_EQ(box.InsertString(-1, L"c"), 1);  // -1 appends
    EXPECT_EQ(box.InsertString(1, L"b"), 1);
    EXPECT_EQ(box.InsertString(4, L"x"), LB_ERR);  // past the count
    EXPECT_EQ(box.InsertString(-2, L"x"), LB_ERR);
    EXPECT_EQ(box.InsertString(3, L"d"), 3);  // at the count appends
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"a", L"b", L"c", L"d"}));
    EXPECT_EQ(box.DeleteString(4), LB_ERR);
    EXPECT_EQ(box.DeleteString(-1), LB_ERR);
    EXPECT_EQ(box.GetCount(), 4);
    EXPECT_EQ(box.DeleteCurSel(), LB_ERR);  // nothing selected
}

TEST_F(DragListTest, DeletingSelectsTheSuccessorOrTheNewLast) {
    Fill({L"a", L"b", L"c"});
    box.SetCurSel(1);
    EXPECT_EQ(box.DeleteCurSel(), 2);
    EXPECT_EQ(box.GetCurSel(), 1);
    EXPECT_EQ(box.GetText(1), L"c");
    EXPECT_EQ(box.DeleteCurSel(), 1);  // the last one went: the new last is selected
    EXPECT_EQ(box.GetCurSel(), 0);
    EXPECT_EQ(box.DeleteCurSel(), 0);
    EXPECT_EQ(box.GetCurSel(), LB_ERR);
}

TEST_F(DragListTest, MoveUpAndDownSwapAndStopAtTheEnds) {
    Fill({L"a", L"b", L"c"});
    box.SetCurSel(0);
    box.MoveUp();
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"a", L"b", L"c"}));
    EXPECT_TRUE(list->hasFocus());
    box.MoveDown();
    box.MoveDown();
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"b", L"c", L"a"}));
    EXPECT_EQ(box.GetCurSel(), 2);
    box.MoveDown();  // last item: nothing
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"b", L"c", L"a"}));
    box.MoveUp();
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"b", L"a", L"c"}));
    EXPECT_EQ(box.GetCurSel(), 1);
    box.SetCurSel(-1);
    box.MoveUp();  // no selection: nothing
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"b", L"a", L"c"}));
}

TEST_F(DragListTest, HorizontalExtentIsTheWidestTextPlusFive) {
    EXPECT_EQ(box.GetHorizontalExtent(), 6);
    const std::wstring longText(120, L'W');
    box.AddString(L"short");
    box.AddString(longText);
    EXPECT_EQ(box.GetHorizontalExtent(), GetTextExtentGuiFont(nullptr, longText).cx + 5);
    QApplication::processEvents();
    EXPECT_GT(list->horizontalScrollBar()->maximum(), 0);
    box.ResetContent();
    EXPECT_EQ(box.GetHorizontalExtent(), 6);
}

TEST_F(DragListTest, RowsAreStripedAndTheSelectedRowIsGreenAcrossTheWidth) {
    Fill({L"", L"", L"", L""});
    box.SetCurSel(3);
    const QImage img = list->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int x = img.width() - 20;  // far right of the texts
    EXPECT_EQ(img.pixel(x, RowCentre(0).y()) & 0xFFFFFF, Rgb(CDragListBoxEx::kEvenRow));
    EXPECT_EQ(img.pixel(x, RowCentre(1).y()) & 0xFFFFFF, Rgb(CDragListBoxEx::kOddRow));
    EXPECT_EQ(img.pixel(x, RowCentre(2).y()) & 0xFFFFFF, Rgb(CDragListBoxEx::kEvenRow));
    EXPECT_EQ(img.pixel(x, RowCentre(3).y()) & 0xFFFFFF, Rgb(CDragListBoxEx::kSelectedRow));
    // The focus rectangle lies one pixel inside the selected row.
    const QRect sel = box.GetItemRect(3);
    const bool dotted = (img.pixel(1, sel.top() + 2) & 0xFFFFFF) != Rgb(CDragListBoxEx::kSelectedRow) ||
                        (img.pixel(1, sel.top() + 3) & 0xFFFFFF) != Rgb(CDragListBoxEx::kSelectedRow);
    EXPECT_TRUE(dotted);
    EXPECT_EQ(img.pixel(0, sel.top() + 2) & 0xFFFFFF, Rgb(CDragListBoxEx::kSelectedRow));
    EXPECT_EQ(img.pixel(0, sel.top() + 3) & 0xFFFFFF, Rgb(CDragListBoxEx::kSelectedRow));
}

TEST_F(DragListTest, DraggingAnItemMovesItIntoTheGapAndTheSelectionFollows) {
    Fill({L"a", L"b", L"c", L"d"});
    const QPoint from = RowCentre(0);
    const QRect below = box.GetItemRect(2);
    const QPoint to(from.x(), below.bottom() - 1);  // lower half of "c": the gap after it
    Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(box.GetCurSel(), 0);
    Mouse(QEvent::MouseMove, from + QPoint(0, 12), Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(box.GetInsertionGap(), 3);
    Mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"b", L"c", L"a", L"d"}));
    EXPECT_EQ(box.GetCurSel(), 2);
    EXPECT_EQ(box.GetInsertionGap(), -1);

    // Below the last row is the gap at the end; Esc abandons a drag.
    Mouse(QEvent::MouseButtonPress, RowCentre(0), Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseMove, QPoint(from.x(), 190), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(box.GetInsertionGap(), 4);
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(list, &esc);
    Mouse(QEvent::MouseButtonRelease, QPoint(from.x(), 190), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"b", L"c", L"a", L"d"}));
}

TEST_F(DragListTest, DroppedFilesAreAppendedWholeInDropOrder) {
    const std::wstring deep = L"/tmp/" + std::wstring(600, L'd') + L"/one.vob";
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdWString(deep)), QUrl::fromLocalFile("/tmp/two.vob")});
    const QPoint pt(10, 10);
    QDragEnterEvent enter(pt, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(pt, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &drop);
    QApplication::processEvents();
    EXPECT_EQ(Items(), (std::vector<std::wstring>{deep, L"/tmp/two.vob"}));

    QMimeData text;
    text.setText("just text");
    QDragEnterEvent refused(pt, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(DragListTest, TitleTipFollowsTheItemAndGoesOnAnyChange) {
    Fill({L"first item", L"second item"});
    list->setFocus();
    QApplication::processEvents();
    const QRect rc = box.GetItemRect(1);
    const QPoint over(rc.left() + 60, rc.center().y());
    Mouse(QEvent::MouseMove, over, Qt::NoButton, Qt::NoButton);
    EXPECT_FALSE(box.GetTitleTip().isVisible());  // never created: never shown

    CExtTitleTip& tip = box.GetTitleTip();
    ASSERT_TRUE(tip.Create(list->viewport()));
    EXPECT_TRUE(tip.windowFlags() & Qt::WindowTransparentForInput);
    Mouse(QEvent::MouseMove, over, Qt::NoButton, Qt::NoButton);
    ASSERT_TRUE(tip.isVisible());
    EXPECT_EQ(tip.GetText(), L"second item");
    const QPoint expected = list->viewport()->mapToGlobal(QPoint(over.x() - 30, rc.bottom() + 1));
    EXPECT_EQ(tip.geometry().topLeft(), expected);
    const RECT extent = tip.CalcTipRect(L"second item");
    EXPECT_EQ(tip.width(), extent.right + 2);

    box.AddString(L"third");  // a list change
    EXPECT_FALSE(tip.isVisible());
    Mouse(QEvent::MouseMove, over, Qt::NoButton, Qt::NoButton);
    ASSERT_TRUE(tip.isVisible());
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(list, &key);
    EXPECT_FALSE(tip.isVisible());

    // Left of and above the screen the tip is moved onto it.
    tip.Show(rc, L"x", list->viewport()->mapFromGlobal(QPoint(-50, -40)));
    EXPECT_EQ(tip.geometry().topLeft(), QPoint(0, 0));
    tip.Hide();
    EXPECT_EQ(tip.CalcTipRect(L"").right, 0);
}
