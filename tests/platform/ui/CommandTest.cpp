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

#include <stdexcept>

#include "platform/ui/Command.h"
#include "platform/ui/UiServices.h"
#include "resources/CommandIds.h"
#include "tests/support/TestSupport.h"

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
        view.OnCommand(ID_PLAY, [this](UINT id) { ran.emplace_back("view", id); });
        view.OnUpdateCommand(ID_PLAY, [this](CCmdUI& ui) { ui.Enable(!playing); });
        // Output switch: handled and ticked by the document.
        doc.OnCommand(ID_OUTPUT_AVI, [this](UINT id) { ran.emplace_back("doc", id); });
        doc.OnUpdateCommand(ID_OUTPUT_AVI, [this](CCmdUI& ui) { ui.SetCheck(playing ? 1 : 0); });
        // Zoom range in the view, radio on 32773.
        view.OnCommandRange(ID_ZOOM_25, ID_ZOOM_400,
                            [this](UINT id) { ran.emplace_back("zoom", id); });
        view.OnUpdateCommandRange(ID_ZOOM_25, ID_ZOOM_400,
                                  [](CCmdUI& ui) { ui.SetRadio(ui.m_nID == ID_ZOOM_100); });
        frame.OnCommand(ID_VIEW_APPLOOK_WIN_2000,
                        [this](UINT id) { ran.emplace_back("frame", id); });
        app.OnCommand(ID_APP_ABOUT, [this](UINT id) { ran.emplace_back("app", id); });
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
    EXPECT_TRUE(DispatchCommand(r.view, ID_OUTPUT_AVI));
    EXPECT_TRUE(DispatchCommand(r.view, ID_VIEW_APPLOOK_WIN_2000));
    EXPECT_TRUE(DispatchCommand(r.view, ID_ZOOM_200));
    EXPECT_TRUE(DispatchCommand(r.doc, ID_APP_ABOUT));  // a route that starts further on
    EXPECT_FALSE(DispatchCommand(r.view, 12345));  // nobody handles it
    const std::vector<std::pair<const char*, UINT>> expected = {{"doc", ID_OUTPUT_AVI},
                                                                {"frame", ID_VIEW_APPLOOK_WIN_2000},
                                                                {"zoom", ID_ZOOM_200},
                                                                {"app", ID_APP_ABOUT}};
    ASSERT_EQ(r.ran.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_STREQ(r.ran[i].first, expected[i].first);
        EXPECT_EQ(r.ran[i].second, expected[i].second);
    }
}

TEST(CommandRouting, UpdateHandlersEnableTickAndSetRadio) {
    Route r;
    EXPECT_TRUE(QueryCommand(r.view, ID_PLAY).m_bEnabled);
    EXPECT_EQ(QueryCommand(r.view, ID_OUTPUT_AVI).m_nCheck, 0);
    r.playing = true;
    EXPECT_FALSE(QueryCommand(r.view, ID_PLAY).m_bEnabled);
    EXPECT_EQ(QueryCommand(r.view, ID_OUTPUT_AVI).m_nCheck, 1);
    const CCmdUI radio = QueryCommand(r.view, ID_ZOOM_100);
    EXPECT_TRUE(radio.m_bRadio);
    EXPECT_EQ(radio.m_nCheck, 1);
    EXPECT_EQ(QueryCommand(r.view, ID_ZOOM_150).m_nCheck, 0);
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
    QAction* play = MakeCommandAction(&menu, ID_PLAY, L"Play");
    QAction* avi = MakeCommandAction(&menu, ID_OUTPUT_AVI, L"Output AVI");
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
    QAction* barPlay = MakeCommandAction(&bar, ID_PLAY, L"Play");
    bar.addAction(barPlay);
    BindCommandToolBar(&bar, r.Start(), 20);
    Spin(80);
    EXPECT_FALSE(barPlay->isEnabled());
    emit bar.actionTriggered(barPlay);

    // Accelerator key.
    BindCommandKey(&window, QKeySequence(Qt::CTRL | Qt::Key_P), ID_PLAY, r.Start());
    for (QShortcut* s : window.findChildren<QShortcut*>()) emit s->activated();

    // Sent by a child window, and posted.
    EXPECT_FALSE(SendCommand(r.view, ID_PLAY));
    PostCommand(&window, r.view, ID_PLAY);
    Spin(10);

    ASSERT_EQ(r.ran.size(), 1u);
    EXPECT_STREQ(r.ran[0].first, "doc");

    // Once enabled, the same routes run it.
    r.playing = false;
    r.ran.clear();
    emit menu.triggered(play);
    emit bar.actionTriggered(barPlay);
    for (QShortcut* s : window.findChildren<QShortcut*>()) emit s->activated();
    EXPECT_TRUE(SendCommand(r.view, ID_PLAY));
    PostCommand(&window, r.view, ID_PLAY);
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
    QAction* play = MakeCommandAction(sub, ID_PLAY, L"Play");
    sub->addAction(play);
    r.playing = true;
    RefreshCommandActions(menu.actions(), r.view);
    EXPECT_EQ(item->text(), QStringLiteral("Renamed"));
    EXPECT_FALSE(play->isEnabled());
    EXPECT_EQ(CommandIdOf(item), 500u);
    EXPECT_EQ(CommandIdOf(menu.actions().first()), 0u);
}

// A handler that throws costs neither the program nor the next command: the failure
// hook undoes what it can, one stop box shows the exception's text in the language
// of the system.
TEST(CommandRouting, AHandlerThatThrowsIsReportedAndTheProgramGoesOn) {
    for (const bool japanese : {false, true}) {
        talvern::test::ScopedLanguage language(japanese);
        ScopedScriptedUi scripted;
        Route r;
        int undone = 0;
        SetCommandFailureHook([&undone] { ++undone; });
        r.view.OnCommand(ID_STOP, [](UINT) { throw std::runtime_error("cannot convert テスト.avi"); });

        EXPECT_TRUE(DispatchCommand(r.view, ID_STOP));
        EXPECT_EQ(undone, 1);
        ASSERT_EQ(scripted.ui.messageBoxes.size(), 1u);
        EXPECT_EQ(scripted.ui.messageBoxes[0].caption, japanese ? L"エラー" : L"Error");
        EXPECT_EQ(scripted.ui.messageBoxes[0].text, L"cannot convert テスト.avi");
        EXPECT_EQ(scripted.ui.messageBoxes[0].type, MB_OK | MB_ICONSTOP);

        EXPECT_TRUE(DispatchCommand(r.view, ID_PLAY));
        EXPECT_EQ(r.ran.back(), std::make_pair("view", UINT(ID_PLAY)));
        SetCommandFailureHook({});
    }
}
