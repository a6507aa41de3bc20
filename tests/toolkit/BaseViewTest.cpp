#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <fstream>

#include "platform/ui/UiServices.h"
#include "tests/support/TestSupport.h"
#include "toolkit/BaseView.h"
#include "toolkit/BaseWnd.h"

namespace {

class RecordingView : public CBaseView {
public:
    void OnDropFile(const std::wstring& path) override { dropped.push_back(path); }
    std::vector<std::wstring> dropped;
    using CBaseView::dragEnterEvent;
    using CBaseView::dragMoveEvent;
    using CBaseView::dropEvent;
};

std::wstring Touch(const std::filesystem::path& p) {
    std::ofstream(p) << "x";
    return p.wstring();
}

QMimeData* Urls(const std::vector<std::wstring>& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const auto& p : paths) urls << QUrl::fromLocalFile(QString::fromStdWString(p));
    data->setUrls(urls);
    return data;
}

QMimeData* Text(const std::wstring& text) {
    auto* data = new QMimeData;
    data->setText(QString::fromStdWString(text));
    return data;
}

struct DragResult {
    bool accepted;
    Qt::DropAction action;
};

DragResult Enter(RecordingView& v, QMimeData* data) {
    QDragEnterEvent e(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    v.dragEnterEvent(&e);
    return {e.isAccepted(), e.dropAction()};
}

DragResult Move(RecordingView& v, QMimeData* data) {
    QDragMoveEvent e(QPoint(6, 6), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    v.dragMoveEvent(&e);
    return {e.isAccepted(), e.dropAction()};
}

DragResult Drop(RecordingView& v, QMimeData* data) {
    QDropEvent e(QPointF(6, 6), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    v.dropEvent(&e);
    return {e.isAccepted(), e.dropAction()};
}

void Drain() { QCoreApplication::processEvents(); }

}  // namespace

TEST(BaseView, DroppedFileListOpensEachFileInOrderAfterTheDrop) {
    talvern::test::TempDir dir;
    const std::vector<std::wstring> files = {Touch(dir / "b.avi"), Touch(dir / "a.avi"), Touch(dir / "c.avi")};
    RecordingView view;
    std::unique_ptr<QMimeData> data(Urls(files));
    EXPECT_TRUE(Enter(view, data.get()).accepted);
    EXPECT_TRUE(Drop(view, data.get()).accepted);
    EXPECT_TRUE(view.dropped.empty());  // not inside the drop handler
    Drain();
    EXPECT_EQ(view.dropped, files);
    // The same files dropped again are opened again.
    Drop(view, data.get());
    Drain();
    EXPECT_EQ(view.dropped.size(), 6u);
}

TEST(BaseView, DraggedTextNamingAPathOpensItOnceWhileMoving) {
    talvern::test::TempDir dir;
    const std::wstring first = Touch(dir / "first.avi");
    const std::wstring second = Touch(dir / "second.avi");
    RecordingView view;
    std::unique_ptr<QMimeData> a(Text(first)), b(Text(second));

    const DragResult enter = Enter(view, a.get());
    EXPECT_TRUE(enter.accepted);
    EXPECT_EQ(enter.action, Qt::CopyAction);
    const DragResult move = Move(view, a.get());
    EXPECT_TRUE(move.accepted);
    EXPECT_EQ(move.action, Qt::MoveAction);
    EXPECT_TRUE(view.dropped.empty());  // queued, not opened inside the drag
    Drain();
    ASSERT_EQ(view.dropped.size(), 1u);
    EXPECT_EQ(view.dropped[0], first);

    Move(view, a.get());  // same text again: nothing
    Drain();
    EXPECT_EQ(view.dropped.size(), 1u);
    Move(view, b.get());
    Move(view, a.get());  // another path came in between
    Drain();
    EXPECT_EQ(view.dropped, (std::vector<std::wstring>{first, second, first}));

    // The drop itself is refused; it opens nothing more.
    EXPECT_FALSE(Drop(view, a.get()).accepted);
    Drain();
    EXPECT_EQ(view.dropped.size(), 3u);
    EXPECT_EQ(view.GetLastDragText(), first);
}

TEST(BaseView, TextThatNamesNoFileIsIgnoredButStillShowsMove) {
    talvern::test::TempDir dir;
    const std::wstring file = Touch(dir / "movie.avi");
    RecordingView view;
    for (const std::wstring& text : {file + L"\n", L"\"" + file + L"\"", std::wstring(L"/no/such/file")}) {
        std::unique_ptr<QMimeData> data(Text(text));
        const DragResult r = Move(view, data.get());
        EXPECT_TRUE(r.accepted);
        EXPECT_EQ(r.action, Qt::MoveAction);
    }
    Drain();
    EXPECT_TRUE(view.dropped.empty());
    // Data with neither text nor files is refused.
    QMimeData other;
    other.setData(QStringLiteral("application/x-other"), "x");
    EXPECT_FALSE(Enter(view, &other).accepted);
    EXPECT_FALSE(Move(view, &other).accepted);
}

TEST(BaseView, LeftDragMovesTheMainWindowOnlyWithoutShiftOrCtrl) {
    ScopedScriptedUi script;
    QWidget frame;
    RecordingView* view = new RecordingView;
    view->setParent(&frame);
    const auto move = [&](Qt::KeyboardModifiers mods, Qt::MouseButtons buttons) {
        QMouseEvent e(QEvent::MouseMove, QPointF(3, 3), QPointF(103, 103), Qt::NoButton, buttons, mods);
        QCoreApplication::sendEvent(view, &e);
    };
    move(Qt::ShiftModifier, Qt::LeftButton);
    move(Qt::ControlModifier, Qt::LeftButton);
    move(Qt::NoModifier, Qt::LeftButton | Qt::RightButton);
    EXPECT_TRUE(script.ui.moves.empty());
    move(Qt::NoModifier, Qt::LeftButton);
    move(Qt::NoModifier, Qt::LeftButton);  // one move per press
    ASSERT_EQ(script.ui.moves.size(), 1u);
    EXPECT_EQ(script.ui.moves[0].first, &frame);
    EXPECT_EQ(script.ui.moves[0].second, QPoint(103, 103));
}

TEST(BaseWnd, PopupMovesItselfAndChildMovesItsParent) {
    ScopedScriptedUi script;
    struct Owner : QWidget, CWnd {
        QWidget* GetWidget() override { return this; }
    } owner;
    CBaseWnd popup, child;
    ASSERT_TRUE(popup.CreatePopup(&owner, 0));
    ASSERT_TRUE(child.CreateChild(&owner, 77));
    EXPECT_TRUE(popup.isWindow());
    EXPECT_EQ(child.parentWidget(), &owner);
    for (CBaseWnd* w : {&popup, &child}) {
        QMouseEvent e(QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &e);
    }
    ASSERT_EQ(script.ui.moves.size(), 2u);
    EXPECT_EQ(script.ui.moves[0].first, &popup);
    EXPECT_EQ(script.ui.moves[1].first, &owner);
    CBaseWnd orphan;
    EXPECT_FALSE(orphan.CreateChild(nullptr, 1));
}
