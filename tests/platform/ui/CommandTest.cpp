#include <gtest/gtest.h>

#include <QAction>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenu>
#include <QShortcut>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>

#include "platform/ui/Command.h"

namespace {

// view -> document -> frame, with the application asked last.
struct Route {
    CCmdTarget view, doc, frame, app;
    std::vector<std::pair<const char*, UINT>> ran;
    bool playing = false;

    Route() {
        view.SetNextCommandTarget(&doc);
        doc.SetNextCommandTarget(&frame);
        SetApplicationCommandTarget(&app);
        // Play: handled by the view, enabled only while not playing.
        view.OnCommand(32791, [this](UINT id) { ran.emplace_back("view", id); });
        view.OnUpdateCommand(32791, [this](CCmdUI& ui) { ui.Enable(!playing); });
        // Output switch: handled and ticked by the document.
        doc.OnCommand(32734, [this](UINT id) { ran.emplace_back("doc", id); });
        doc.OnUpdateCommand(32734, [this](CCmdUI& ui) { ui.SetCheck(playing ? 1 : 0); });
        // Zoom range in the view, radio on 32773.
        view.OnCommandRange(32771, 32776, [this](UINT id) { ran.emplace_back("zoom", id); });
        view.OnUpdateCommandRange(32771, 32776, [](CCmdUI& ui) { ui.SetRadio(ui.m_nID == 32773); });
        frame.OnCommand(40001, [this](UINT id) { ran.emplace_back("frame", id); });
        app.OnCommand(57664, [this](UINT id) { ran.emplace_back("app", id); });
    }
    ~Route() { SetApplicationCommandTarget(nullptr); }
    CommandStart Start() {
        return [this] { return &view; };
    }
};

void Spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

TEST(CommandRouting, FindsHandlersAlongTheRouteAndEndsAtTheApplication) {
    Route r;
    EXPECT_TRUE(DispatchCommand(r.view, 32734));
    EXPECT_TRUE(DispatchCommand(r.view, 40001));
    EXPECT_TRUE(DispatchCommand(r.view, 32775));
    EXPECT_TRUE(DispatchCommand(r.doc, 57664));  // a route that starts further on
    EXPECT_FALSE(DispatchCommand(r.view, 12345));  // nobody handles it
    const std::vector<std::pair<const char*, UINT>> expected = {
        {"doc", 32734}, {"frame", 40001}, {"zoom", 32775}, {"app", 57664}};
    ASSERT_EQ(r.ran.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_STREQ(r.ran[i].first, expected[i].first);
        EXPECT_EQ(r.ran[i].second, expected[i].second);
    }
}

TEST(CommandRouting, UpdateHandlersEnableTickAndSetRadio) {
    Route r;
    EXPECT_TRUE(QueryCommand(r.view, 32791).m_bEnabled);
    EXPECT_EQ(QueryCommand(r.view, 32734).m_nCheck, 0);
    r.playing = true;
    EXPECT_FALSE(QueryCommand(r.view, 32791).m_bEnabled);
    EXPECT_EQ(QueryCommand(r.view, 32734).m_nCheck, 1);
    const CCmdUI radio = QueryCommand(r.view, 32773);
    EXPECT_TRUE(radio.m_bRadio);
    EXPECT_EQ(radio.m_nCheck, 1);
    EXPECT_EQ(QueryCommand(r.view, 32774).m_nCheck, 0);
    // A command nobody handles shows disabled.
    EXPECT_FALSE(QueryCommand(r.view, 12345).m_bEnabled);
}

TEST(CommandRouting, CircularRouteEnds) {
    CCmdTarget a, b;
    a.SetNextCommandTarget(&b);
    b.SetNextCommandTarget(&a);
    EXPECT_FALSE(DispatchCommand(a, 1));
}

TEST(CommandRouting, EveryQtRouteRefusesADisabledCommand) {
    Route r;
    r.playing = true;  // Play is disabled
    QWidget window;
    window.resize(200, 100);

    // Menu: refreshed when shown, chosen item dispatched.
    QMenu menu(&window);
    QAction* play = MakeCommandAction(&menu, 32791, L"Play");
    QAction* avi = MakeCommandAction(&menu, 32734, L"Output AVI");
    menu.addAction(play);
    menu.addAction(avi);
    BindCommandMenu(&menu, r.Start());
    menu.popup(QPoint(0, 0));
    EXPECT_FALSE(play->isEnabled());
    EXPECT_TRUE(avi->isChecked());
    emit menu.triggered(play);  // as if chosen anyway
    emit menu.triggered(avi);
    menu.hide();

    // Tool bar: refreshed on its idle timer; a pressed button is dispatched.
    QToolBar bar(&window);
    QAction* barPlay = MakeCommandAction(&bar, 32791, L"Play");
    bar.addAction(barPlay);
    BindCommandToolBar(&bar, r.Start(), 20);
    Spin(80);
    EXPECT_FALSE(barPlay->isEnabled());
    emit bar.actionTriggered(barPlay);

    // Accelerator key.
    BindCommandKey(&window, QKeySequence(Qt::CTRL | Qt::Key_P), 32791, r.Start());
    for (QShortcut* s : window.findChildren<QShortcut*>()) emit s->activated();

    // Sent by a child window, and posted.
    EXPECT_FALSE(SendCommand(r.view, 32791));
    PostCommand(&window, r.view, 32791);
    Spin(10);

    ASSERT_EQ(r.ran.size(), 1u);
    EXPECT_STREQ(r.ran[0].first, "doc");

    // Once enabled, the same routes run it.
    r.playing = false;
    r.ran.clear();
    emit menu.triggered(play);
    emit bar.actionTriggered(barPlay);
    for (QShortcut* s : window.findChildren<QShortcut*>()) emit s->activated();
    EXPECT_TRUE(SendCommand(r.view, 32791));
    PostCommand(&window, r.view, 32791);
    Spin(10);
    EXPECT_EQ(r.ran.size(), 5u);
    Spin(80);
    EXPECT_TRUE(barPlay->isEnabled());
}

TEST(CommandRouting, UpdateTextAndSubmenusAreRefreshed) {
    Route r;
    r.view.OnCommand(500, [](UINT) {});
    r.view.OnUpdateCommand(500, [](CCmdUI& ui) { ui.SetText(L"Renamed"); });
    QMenu menu;
    QMenu* sub = menu.addMenu(QStringLiteral("Sub"));
    QAction* item = MakeCommandAction(sub, 500, L"Old");
    sub->addAction(item);
    QAction* play = MakeCommandAction(sub, 32791, L"Play");
    sub->addAction(play);
    r.playing = true;
    RefreshCommandActions(menu.actions(), r.view);
    EXPECT_EQ(item->text(), QStringLiteral("Renamed"));
    EXPECT_FALSE(play->isEnabled());
    EXPECT_EQ(CommandIdOf(item), 500u);
    EXPECT_EQ(CommandIdOf(menu.actions().first()), 0u);
}
