// Tool-bar customisation on the program's own frame: the commands offered, a dropped
// command's dispatch, reset, the user's tool bars and the layout kept in the store.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QToolButton>

#include "platform/registry/Profile.h"
#include "platform/ui/CustomizeDlg.h"
#include "platform/ui/MenuTemplate.h"
#include "platform/ui/ToolBar.h"
#include "resources/CommandIds.h"
#include "tests/app/AppTestSupport.h"

using talvern::test::FrameFixture;

namespace {

void CollectIds(const std::vector<MenuItem>& items, std::vector<UINT>& out) {
    for (const MenuItem& item : items) {
        if (!item.items.empty()) CollectIds(item.items, out);
        else if (item.id) out.push_back(item.id);
    }
}

// What a mouse drop of a command at pos does to bar.
bool DropCommand(CToolBar& bar, UINT id, QPoint pos) {
    QMimeData* data = MakeCommandMimeData(id);
    QDragEnterEvent enter(pos, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&bar, &enter);
    QDropEvent drop(QPointF(pos), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&bar, &drop);
    delete data;
    return enter.isAccepted() && drop.isAccepted();
}

// The ids of the items of the menu that lists the tool bars.
std::vector<UINT> ToolBarList(CMainFrame& frame) {
    std::vector<UINT> ids;
    QMenu* view = frame.FindMenuWithCommand(ID_VIEW_TOOLBAR);
    for (QAction* a : view->actions())
        if (QMenu* sub = a->menu(); sub && CommandIdOf(sub->actions().value(0)) == ID_VIEW_TOOLBAR)
            for (QAction* item : sub->actions()) ids.push_back(CommandIdOf(item));
    return ids;
}

}  // namespace

TEST(Customize, EveryMenuCommandIsOfferedInItsCategoryWithPictureAndText) {
    FrameFixture f;
    CCustomizeDlg dlg(f.Frame(), kCustomizeTextLabels | kCustomizeMenuAnimations);
    const MenuTemplate& menu = *FindMenuTemplate(f.Frame().GetMenuId());
    const auto& categories = dlg.GetCategories();
    ASSERT_EQ(categories.size(), menu.items.size());
    for (size_t i = 0; i < categories.size(); ++i) {
        SCOPED_TRACE(i);
        std::vector<UINT> ids;
        CollectIds(menu.items[i].items, ids);
        EXPECT_EQ(categories[i].name, LabelFromMenuText(menu.items[i].text));
        for (UINT id : ids)
            EXPECT_TRUE(std::any_of(categories[i].commands.begin(), categories[i].commands.end(),
                                    [id](const CustomizeCommand& c) { return c.id == id; }))
                << id;
        dlg.SelectCategory(static_cast<int>(i));
        EXPECT_EQ(dlg.GetCommandList()->count(), static_cast<int>(categories[i].commands.size()));
    }
    EXPECT_EQ(categories[0].name, L"File");
    dlg.SelectCategory(0);
    const QListWidgetItem* open = dlg.GetCommandList()->item(0);
    EXPECT_EQ(open->text(), QStringLiteral("Open..."));
    EXPECT_FALSE(open->icon().isNull());
    EXPECT_EQ(categories[8].name, L"Help");
}

TEST(Customize, DroppedCommandGoesWhereDroppedAndDispatchesWithTheEnableRule) {
    FrameFixture f;
    CMainFrame& frame = f.Frame();
    int runs = 0;
    bool enabled = false;
    frame.OnCommand(ID_BMP_INFO, [&](UINT) { ++runs; });
    frame.OnUpdateCommand(ID_BMP_INFO, [&](CCmdUI& ui) { ui.Enable(enabled); });
    frame.show();
    CToolBar& bar = *frame.GetToolBar();
    const std::vector<UINT> before = bar.GetButtons();
    EXPECT_FALSE(DropCommand(bar, ID_BMP_INFO, {1, 1}));  // only while customising
    frame.SetCustomizeMode(true);
    ASSERT_TRUE(DropCommand(bar, ID_BMP_INFO, {1, 1}));
    frame.SetCustomizeMode(false);
    std::vector<UINT> expected = before;
    expected.insert(expected.begin(), ID_BMP_INFO);
    EXPECT_EQ(bar.GetButtons(), expected);

    QAction* button = bar.FindButton(ID_BMP_INFO);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip(), QStringLiteral("BMP Info... (Ctrl+M)"));
    button->trigger();
    EXPECT_EQ(runs, 0);
    enabled = true;
    button->trigger();
    EXPECT_EQ(runs, 1);
}

TEST(Customize, ResetRestoresBar128AndKeepsTheCustomiseButton) {
    FrameFixture f;
    CToolBar& bar = *f.Frame().GetToolBar();
    bar.SetButtons({ID_APP_EXIT, 0, ID_BMP_INFO});
    ASSERT_TRUE(bar.CanReset());
    bar.ResetToolBar();
    EXPECT_EQ(bar.GetButtons(), FindToolBarTemplate(128)->buttons);
    ASSERT_TRUE(bar.HasCustomizeButton());
    auto* customize = qobject_cast<QToolButton*>(bar.widgetForAction(bar.actions().back()));
    ASSERT_NE(customize, nullptr);
    EXPECT_EQ(CommandIdOf(customize->menu()->actions().value(0)), ID_VIEW_CUSTOMIZE);
    EXPECT_EQ(customize->menu()->actions().value(0)->text(), QStringLiteral(" Customize"));
    EXPECT_TRUE(QueryCommand(f.Start(), ID_VIEW_CUSTOMIZE).m_bEnabled);
}

TEST(Customize, AtMostTenUserBarsEachListedTickedAndWithItsCustomiseButton) {
    FrameFixture f;
    CMainFrame& frame = f.Frame();
    for (UINT id = ID_VIEW_USER_TOOLBAR_FIRST; id <= ID_VIEW_USER_TOOLBAR_LAST; ++id) {
        CToolBar* bar = frame.CreateUserToolBar(L"Bar " + std::to_wstring(id));
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->GetID(), id);
        EXPECT_TRUE(bar->HasCustomizeButton());
        EXPECT_TRUE(bar->GetButtons().empty());
        EXPECT_EQ(QueryCommand(f.Start(), id).m_nCheck, 1);
    }
    EXPECT_EQ(frame.CreateUserToolBar(L"Eleventh"), nullptr);
    EXPECT_FALSE(frame.CanCreateUserToolBar());
    std::vector<UINT> list = ToolBarList(frame);
    ASSERT_EQ(list.size(), 12u);
    EXPECT_EQ(list.front(), ID_VIEW_TOOLBAR);
    EXPECT_EQ(list[1], 59432u);
    EXPECT_EQ(list.back(), ID_VIEW_STATUS_BAR);

    ASSERT_TRUE(
        DispatchCommand(f.Start(), ID_VIEW_USER_TOOLBAR_FIRST + 2));  // hidden from the list
    EXPECT_FALSE(frame.IsControlBarVisible(ID_VIEW_USER_TOOLBAR_FIRST + 2));
    EXPECT_EQ(QueryCommand(f.Start(), ID_VIEW_USER_TOOLBAR_FIRST + 2).m_nCheck, 0);
    frame.RenameToolBar(ID_VIEW_USER_TOOLBAR_FIRST + 2, L"Renamed");
    EXPECT_EQ(QueryCommand(f.Start(), ID_VIEW_USER_TOOLBAR_FIRST + 2).m_text,
              std::optional<std::wstring>(L"Renamed"));

    EXPECT_FALSE(frame.DeleteUserToolBar(ID_VIEW_TOOLBAR));
    ASSERT_TRUE(frame.DeleteUserToolBar(ID_VIEW_USER_TOOLBAR_FIRST + 3));
    EXPECT_FALSE(QueryCommand(f.Start(), ID_VIEW_USER_TOOLBAR_FIRST + 3).m_bEnabled);
    EXPECT_EQ(ToolBarList(frame).size(), 11u);
    CToolBar* again = frame.CreateUserToolBar(L"Again");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->GetID(), 59435u);
    EXPECT_TRUE(QueryCommand(f.Start(), ID_VIEW_USER_TOOLBAR_FIRST + 3).m_bEnabled);
}

TEST(Customize, LayoutComesBackAfterARestartAndADamagedStoreIsPassedOver) {
    FrameFixture f;
    {
        CMainFrame& frame = f.Frame();
        frame.GetToolBar()->SetButtons({ID_PLAY, 0, ID_APP_EXIT});
        CToolBar* mine = frame.CreateUserToolBar(L"Mine ツール");
        mine->SetButtons({ID_FILE_OPEN, ID_BMP_INFO});
        mine->SetTextLabels(true);
        frame.CreateUserToolBar(L"Hidden");
        frame.ShowControlBar(ID_VIEW_USER_TOOLBAR_FIRST + 1, false);
        frame.SetMenuAnimation(CFrameWnd::kMenuAnimationFade);
        frame.SaveBarState();
        f.Close();
    }
    {
        CMainFrame& frame = f.Frame();
        EXPECT_EQ(frame.GetToolBar()->GetButtons(), (std::vector<UINT>{ID_PLAY, 0, ID_APP_EXIT}));
        auto* mine = dynamic_cast<CToolBar*>(frame.GetControlBar(ID_VIEW_USER_TOOLBAR_FIRST));
        ASSERT_NE(mine, nullptr);
        EXPECT_EQ(mine->windowTitle(), QStringLiteral("Mine ツール"));
        EXPECT_EQ(mine->GetButtons(), (std::vector<UINT>{ID_FILE_OPEN, ID_BMP_INFO}));
        EXPECT_TRUE(mine->GetTextLabels());
        EXPECT_TRUE(mine->HasCustomizeButton());
        EXPECT_FALSE(frame.IsControlBarVisible(ID_VIEW_USER_TOOLBAR_FIRST + 1));
        EXPECT_EQ(frame.GetMenuAnimation(), CFrameWnd::kMenuAnimationFade);
        EXPECT_TRUE(QApplication::isEffectEnabled(Qt::UI_FadeMenu));
        frame.SetMenuAnimation(CFrameWnd::kMenuAnimationNone);
        EXPECT_FALSE(QApplication::isEffectEnabled(Qt::UI_AnimateMenu));
        EXPECT_EQ(ToolBarList(frame),
                  (std::vector<UINT>{ID_VIEW_TOOLBAR, ID_VIEW_USER_TOOLBAR_FIRST,
                                     ID_VIEW_USER_TOOLBAR_FIRST + 1, ID_VIEW_STATUS_BAR}));
        f.Close();
    }
    // Cut short, or naming a command no menu has: the whole blob, or that button, goes.
    std::vector<BYTE> blob;
    ASSERT_TRUE(GetProfileBinary(L"Workspace", L"ToolBars", blob));
    const std::vector<BYTE> whole = blob;
    blob.resize(blob.size() - 3);
    WriteProfileBinary(L"Workspace", L"ToolBars", blob.data(), static_cast<UINT>(blob.size()));
    EXPECT_EQ(f.Frame().GetToolBar()->GetButtons(), FindToolBarTemplate(128)->buttons);
    EXPECT_EQ(f.Frame().GetControlBar(ID_VIEW_USER_TOOLBAR_FIRST), nullptr);
    f.Close();
    blob = whole;
    const BYTE exitId[] = {0, 0, 0xE1, 0x41};  // 57665 as stored
    auto at = std::search(blob.begin(), blob.end(), std::begin(exitId), std::end(exitId));
    ASSERT_NE(at, blob.end());
    at[2] = 0x10;  // 4161: no command
    WriteProfileBinary(L"Workspace", L"ToolBars", blob.data(), static_cast<UINT>(blob.size()));
    EXPECT_EQ(f.Frame().GetToolBar()->GetButtons(), (std::vector<UINT>{ID_PLAY, 0}));
    f.Close();
}
