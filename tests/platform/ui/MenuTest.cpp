#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

#include "platform/ui/MenuTemplate.h"
#include "platform/ui/ScreenDC.h"
#include "platform/ui/UiServices.h"
#include "resources/CommandIds.h"

TEST(MenuTemplate, BuildsPopupsSeparatorsAndCommandItems) {
    MenuTemplate t;
    t.id = 129;
    t.items = {
        {0,
         L"File(&F)",
         {{ID_FILE_OPEN, L"Open(&O)...\tCtrl+O"}, {0, L""}, {ID_APP_EXIT, L"Exit(&X)"}}},
        {0,
         L"Other(&S)",
         {{0, L"Task priority", {{ID_PRIORITY_HIGH, L"High"}, {ID_PRIORITY_NORMAL, L"Normal"}}}}}};
    RegisterMenuTemplate(t);
    ASSERT_NE(FindMenuTemplate(129), nullptr);
    EXPECT_EQ(FindMenuTemplate(128), nullptr);

    CCmdTarget view;
    std::vector<UINT> ran;
    view.OnCommand(ID_FILE_OPEN, [&](UINT id) { ran.push_back(id); });
    view.OnCommandRange(ID_PRIORITY_HIGH, ID_PRIORITY_LOW, [&](UINT id) { ran.push_back(id); });
    view.OnUpdateCommandRange(ID_PRIORITY_HIGH, ID_PRIORITY_LOW,
                              [](CCmdUI& ui) { ui.SetCheck(ui.m_nID == ID_PRIORITY_NORMAL); });
    QMenuBar bar;
    BuildMenuBar(&bar, *FindMenuTemplate(129), [&] { return &view; });
    ASSERT_EQ(bar.actions().size(), 2);
    QMenu* file = bar.actions()[0]->menu();
    ASSERT_EQ(file->actions().size(), 3);
    EXPECT_TRUE(file->actions()[1]->isSeparator());
    EXPECT_EQ(CommandIdOf(file->actions()[0]), 57601u);

    QMenu* other = bar.actions()[1]->menu();
    QMenu* priority = other->actions()[0]->menu();
    ASSERT_NE(priority, nullptr);
    emit other->aboutToShow();  // the whole tree refreshes from the top menu
    EXPECT_TRUE(priority->actions()[1]->isChecked());
    EXPECT_FALSE(priority->actions()[0]->isChecked());
    emit file->triggered(file->actions()[2]);  // nobody handles Exit here
    emit file->triggered(file->actions()[0]);
    emit other->triggered(priority->actions()[0]);  // reported through the top menu once
    EXPECT_EQ(ran, (std::vector<UINT>{ID_FILE_OPEN, ID_PRIORITY_HIGH}));

    QWidget window;
    BindAccelerators(&window, {{QKeySequence(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN}},
                     [&] { return &view; });
    const auto keys = window.findChildren<QShortcut*>();
    ASSERT_EQ(keys.size(), 1);
    EXPECT_EQ(keys[0]->key(), QKeySequence(Qt::CTRL | Qt::Key_O));
}

TEST(ScreenDC, CopiesFromTheScreenSnapshot) {
    ScopedScriptedUi script;
    script.ui.screenImage = QImage(40, 30, QImage::Format_RGB32);
    script.ui.screenImage.fill(QColor(10, 20, 30));
    script.ui.screenImage.setPixel(5, 6, qRgb(200, 100, 50));
    CScreenDC screen;
    QImage copy(4, 4, QImage::Format_RGB32);
    copy.fill(Qt::black);
    {
        QPainter painter(&copy);
        CDC dc(&painter);
        ASSERT_TRUE(dc.BitBlt(0, 0, 4, 4, &screen, 4, 5, SRCCOPY));
    }
    EXPECT_EQ(copy.pixel(1, 1) & 0xFFFFFF, qRgb(200, 100, 50) & 0xFFFFFF);
    EXPECT_EQ(copy.pixel(0, 0) & 0xFFFFFF, qRgb(10, 20, 30) & 0xFFFFFF);
}
