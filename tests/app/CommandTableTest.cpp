// The command table: every command's texts in both main menus, its key, and its
// enabling rule as far as the frame and the application carry it. With the plain
// document and view the commands of the document and the view have no handler yet,
// so they must show disabled.
#include <gtest/gtest.h>

#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <functional>
#include <set>

#include "app/TALVERNDoc.h"
#include "platform/ui/MenuTemplate.h"
#include "platform/ui/RecentFileList.h"
#include "platform/ui/ToolBar.h"
#include "resources/CommandIds.h"
#include "tests/app/AppTestSupport.h"

using talvern::test::FrameFixture;

namespace {

enum Owner { View, Doc, Frame, App, None };

struct Row {
    UINT id;
    const wchar_t* en;  // null: no menu item
    const wchar_t* ja;
    QKeySequence key;
    Owner owner;
};

const QKeySequence kNoKey;

const std::vector<Row>& Table() {
    static const std::vector<Row> rows = {
        {ID_FILE_OPEN, L"Open(&O)...\tCtrl+O", L"開く(&O)...\tCtrl+O", QKeySequence("Ctrl+O"),
         View},
        {ID_EDIT_COPY, L"Copy(&C)\tCtrl+C", L"コピー(&C)\tCtrl+C", QKeySequence("Ctrl+C"), View},
        {ID_SAVE_IMAGE, L"Save Image...", L"フレームを保存(&S)", kNoKey, View},
        {ID_FILE_MRU_FILE1, L"Recent File", L"最近使ったファイル", kNoKey, App},
        {ID_APP_EXIT, L"Exit(&X)", L"アプリケーションの終了(&X)", kNoKey, App},
        {ID_PLAY, L"Play\tCtrl+P", L"再生\tCtrl+P", QKeySequence("Ctrl+P"), View},
        {ID_PAUSE, L"Pause\tSpace", L"一時停止\tSpace", QKeySequence("Space"), View},
        {ID_STOP, L"Stop\tCtrl+S", L"停止\tCtrl+S", QKeySequence("Ctrl+S"), View},
        {ID_MOVE_START, L"Move to Start", L"始端に移動(&S)", kNoKey, View},
        {ID_MOVE_END, L"Move to End", L"終端に移動(&E)", kNoKey, View},
        {ID_PREV_FRAME, L"Front Frame\t<-", L"前のフレームに移動\t←", QKeySequence("Left"), View},
        {ID_NEXT_FRAME, L"Next Frame\t->", L"次のフレームに移動\t→", QKeySequence("Right"), View},
        {ID_OUTPUT_AVI, L"Output AVI , when playing", L"再生時にAVIを出力(&A)", kNoKey, Doc},
        {ID_OUTPUT_WMV, L"Output WMV, when playing", L"再生時にWMVを出力(&W)", kNoKey, Doc},
        {ID_OUTPUT_JPG, L"Output JPG, when playing", L"再生時に連続してJPGを出力(&J)", kNoKey, Doc},
        {ID_OUTPUT_BMP, L"Output BMP, when playing", L"再生時に連続してBMPを出力(&B)", kNoKey, Doc},
        {ID_OUTPUT_TIF, L"Output TIF, when playing", L"再生時に連続してTIFを出力(&T)", kNoKey, Doc},
        {ID_OUTPUT_PNG, L"Output PNG, when playing", L"再生時に連続してPNGを出力(&P)", kNoKey, Doc},
        {ID_OUTPUT_SETTINGS, L"Setting...", L"出力ファイルの保存設定...(&S)", kNoKey, View},
        {ID_CLIP_RESIZE, L"Clipping + Resize...\tCtrl+R", L"クリッピング + リサイズ...\tCtrl+R",
         QKeySequence("Ctrl+R"), View},
        {ID_DEINTERLACE_NO, L"No\tCtrl+0", L"解除なし\tCtrl+0", QKeySequence("Ctrl+0"), View},
        {ID_DEINTERLACE_ODD, L"Odd\tCtrl+1", L"奇数フィールド\tCtrl+1", QKeySequence("Ctrl+1"),
         View},
        {ID_DEINTERLACE_EVEN, L"Even\tCtrl+2", L"偶数フィールド\tCtrl+2", QKeySequence("Ctrl+2"),
         View},
        {ID_DEINTERLACE_DOUBLING, L"Doubling\tCtrl+3", L"二重化\tCtrl+3", QKeySequence("Ctrl+3"),
         View},
        {ID_RANGE_PLAY, L"Play in Specifical range", L"範囲指定で再生する(&H)", kNoKey, View},
        {ID_RANGE_START, L"This frame is set to the start frame",
         L"このフレームを開始フレームに設定(&S)", kNoKey, View},
        {ID_RANGE_END, L"This frame is set to the end frame",
         L"このフレームを終了フレームに設定(&E)", kNoKey, View},
        {ID_RANGE_WHOLE, L"The range is set to the whole", L"範囲を全体に設定(&A)", kNoKey, View},
        {ID_GOTO_RANGE_START, L"It moves to the start frame", L"開始フレームに移動(&B)", kNoKey,
         View},
        {ID_GOTO_RANGE_END, L"It moves to the end frame", L"終了フレームに移動(&N)", kNoKey, View},
        {ID_EXTRACT_VIDEO, L"Extract Video-Stream", L"映像ストリームをコピーして抽出(&C)", kNoKey,
         View},
        {ID_EXTRACT_AUDIO, L"Extract Audio-Stream", L"音声ストリームのWAV抽出(&W)", kNoKey, View},
        {ID_FILE_INFO, L"File Infomation...\tCtrl+I", L"AVI情報...\tCtrl+I", QKeySequence("Ctrl+I"),
         View},
        {ID_BMP_INFO, L"BMP Info...\tCtrl+M", L"BMP情報...\tCtrl+M", QKeySequence("Ctrl+M"), View},
        {ID_SHOW_ORIGINAL, L"Display of former picture...\tCtrl+V", L"元絵の表示...\tCtrl+V",
         QKeySequence("Ctrl+V"), View},
        {ID_PLAYER_TOGGLE, L"Movie Player(&M)\tF5", L"ムービープレーヤー(&M)\tF5",
         QKeySequence("F5"), View},
        {ID_PLAYER_PAUSE, L"Player Pause/Resume(&P)\tF6", L"プレーヤーの一時停止/再開(&P)\tF6",
         QKeySequence("F6"), View},
        {ID_PLAYER_FIRST, L"Player to Start(&T)\tF7", L"プレーヤーを先頭へ(&T)\tF7",
         QKeySequence("F7"), View},
        {ID_PLAYER_LAST, L"Player to End(&E)\tF8", L"プレーヤーを末尾へ(&E)\tF8",
         QKeySequence("F8"), View},
        {ID_PRIORITY_HIGH, L"High", L"高い", kNoKey, Frame},
        {ID_PRIORITY_NORMAL, L"Normal", L"通常", kNoKey, Frame},
        {ID_PRIORITY_LOW, L"Low", L"低い", kNoKey, Frame},
        {ID_PREVIEW_ALL, L"All", L"全表示", kNoKey, Doc},
        {ID_PREVIEW_THIN, L"thins", L"間引く", kNoKey, Doc},
        {ID_PREVIEW_NONE, L"No", L"表示しない", kNoKey, Doc},
        {ID_ZOOM_400, L"400%", L"400%", kNoKey, View},
        {ID_ZOOM_200, L"200%", L"200%", kNoKey, View},
        {ID_ZOOM_150, L"150%", L"150%", kNoKey, View},
        {ID_ZOOM_100, L"100%", L"100%", kNoKey, View},
        {ID_ZOOM_50, L"50%", L"50%", kNoKey, View},
        {ID_ZOOM_25, L"25%", L"25%", kNoKey, View},
        {ID_VIEW_TOOLBAR, L"<??????\?>", L"<プレースホルダ>", kNoKey, Frame},
        {ID_VIEW_STATUS_BAR, L"Status bar(&S)", L"ステータス バー(&S)", kNoKey, Frame},
        {ID_VIEW_APPLOOK_WIN_2000, L"Windows 2000(&2)", L"Windows 2000(&2)", kNoKey, Frame},
        {ID_VIEW_APPLOOK_OFF_XP, L"Office XP(&X)", L"Office XP(&X)", kNoKey, Frame},
        {ID_VIEW_APPLOOK_WIN_XP, L"Windows XP(&W)", L"Windows XP(&W)", kNoKey, Frame},
        {ID_VIEW_APPLOOK_OFF_2003, L"Office 2003(&3)", L"Office 2003(&3)", kNoKey, Frame},
        {ID_VIEW_APPLOOK_VS_2005, L"Visual Studio .NET 2005(&5)", L"Visual Studio .NET 2005(&5)",
         kNoKey, Frame},
        {ID_VIEW_APPLOOK_OFF_2007_BLUE, L"Blue(&B)", L"ブルー スタイル(&B)", kNoKey, Frame},
        {ID_VIEW_APPLOOK_OFF_2007_BLACK, L"Black(&L)", L"ブラック スタイル(&L)", kNoKey, Frame},
        {ID_VIEW_APPLOOK_OFF_2007_SILVER, L"Silver(&S)", L"シルバー スタイル(&S)", kNoKey, Frame},
        {ID_VIEW_APPLOOK_OFF_2007_AQUA, L"Aqua(&A)", L"アクア スタイル(&A)", kNoKey, Frame},
        {ID_HELP, L"Help\tF1", L"ヘルプ\tF1", QKeySequence("F1"), App},
        {ID_APP_ABOUT, L"TALVERN Version Info(&A)...", L"TALVERN のバージョン情報(&A)...", kNoKey,
         App},
        {ID_VIEW_CUSTOMIZE, nullptr, nullptr, kNoKey, Frame},
        {ID_ZOOM_UP, nullptr, nullptr, QKeySequence("Ctrl+Up"), View},
        {ID_ZOOM_DOWN, nullptr, nullptr, QKeySequence("Ctrl+Down"), View},
    };
    return rows;
}

std::vector<std::wstring> PopupTexts(const MenuTemplate& menu) {
    std::vector<std::wstring> texts;
    for (const MenuItem& popup : menu.items) texts.push_back(popup.text);
    return texts;
}

std::vector<UINT> Ids(const std::vector<MenuItem>& items) {
    std::vector<UINT> ids;
    for (const MenuItem& item : items)
        ids.push_back(item.items.empty() ? item.id : 1);  // 1: a popup
    return ids;
}

}  // namespace

TEST(CommandTable, EveryCommandHasItsTextsInBothMenusAndItsKey) {
    RegisterMenuResources();
    const MenuTemplate* en = FindMenuTemplate(IDR_MAINFRAME_EN);
    const MenuTemplate* ja = FindMenuTemplate(IDR_MAINFRAME);
    ASSERT_TRUE(en && ja);
    std::set<std::pair<int, UINT>> expectedKeys;
    for (const Row& row : Table()) {
        SCOPED_TRACE(row.id);
        EXPECT_EQ(FindMenuItemText(*en, row.id), row.en ? row.en : L"");
        EXPECT_EQ(FindMenuItemText(*ja, row.id), row.ja ? row.ja : L"");
        if (!row.key.isEmpty()) expectedKeys.insert({row.key[0].toCombined(), row.id});
    }
    // One table serves both languages and holds exactly these keys.
    std::set<std::pair<int, UINT>> keys;
    for (const Accelerator& a : *FindAcceleratorTable(IDR_MAINFRAME))
        keys.insert({a.key[0].toCombined(), a.id});
    EXPECT_EQ(keys, expectedKeys);

    EXPECT_EQ(PopupTexts(*en),
              (std::vector<std::wstring>{L"File(&F)", L"Play(&C)", L"Output Setting(&O)",
                                         L"Filter(&K)", L"Range Setting(&A)", L"Extraction(&S)",
                                         L"Other(&S)", L"View(&V)", L"Help(&H)"}));
    EXPECT_EQ(PopupTexts(*ja),
              (std::vector<std::wstring>{L"ファイル(&F)", L"再生(&C)", L"出力設定(&O)",
                                         L"フィルター(&K)", L"範囲設定(&A)", L"抽出(&S)",
                                         L"その他(&S)", L"表示(&V)", L"ヘルプ(&H)"}));
    const MenuItem& view = en->items[7];
    ASSERT_EQ(view.items.size(), 2u);
    EXPECT_EQ(view.items[0].text, L"Toolbar && Docking Windows(&T)");
    EXPECT_EQ(view.items[1].text, L"Skin(&A)");
    EXPECT_EQ(view.items[1].items.back().text, L"Office 2007(&7)");
    EXPECT_EQ(ja->items[7].items[0].text, L"ツール バーとドッキング ウィンドウ(&T)");
}

TEST(CommandTable, ContextMenusAndToolBarHoldTheirCommandsInOrder) {
    RegisterAppResources();
    const std::vector<UINT> picture = {
        1, 1, 1, 0, ID_PLAY, ID_STOP, 0, ID_FILE_OPEN, ID_EDIT_COPY, ID_SAVE_IMAGE, 0, ID_APP_EXIT};
    const std::vector<UINT> range = {ID_RANGE_PLAY,  0, ID_RANGE_START,      ID_RANGE_END,
                                     ID_RANGE_WHOLE, 0, ID_GOTO_RANGE_START, ID_GOTO_RANGE_END};
    for (UINT id : {IDR_CONTEXT_JA, IDR_CONTEXT_EN}) {
        const MenuTemplate* menu = FindMenuTemplate(id);
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->items.size(), 2u);
        EXPECT_EQ(Ids(menu->items[0].items), picture);
        EXPECT_EQ(Ids(menu->items[1].items), range);
        EXPECT_EQ(Ids(menu->items[0].items[0].items),
                  (std::vector<UINT>{ID_ZOOM_400, ID_ZOOM_200, ID_ZOOM_150, ID_ZOOM_100, ID_ZOOM_50,
                                     ID_ZOOM_25}));
        EXPECT_EQ(Ids(menu->items[0].items[1].items),
                  (std::vector<UINT>{ID_DEINTERLACE_NO, ID_DEINTERLACE_ODD, ID_DEINTERLACE_EVEN,
                                     ID_DEINTERLACE_DOUBLING}));
        EXPECT_EQ(Ids(menu->items[0].items[2].items),
                  (std::vector<UINT>{ID_PREVIEW_ALL, ID_PREVIEW_THIN, ID_PREVIEW_NONE}));
    }
    EXPECT_EQ(FindMenuTemplate(IDR_CONTEXT_JA)->items[0].text, L"メニュー");
    EXPECT_EQ(FindMenuTemplate(IDR_CONTEXT_EN)->items[1].text, L"Range Setting(&A)");
    EXPECT_EQ(FindMenuItemText(*FindMenuTemplate(IDR_CONTEXT_JA), ID_SAVE_IMAGE),
              L"フレームを保存");

    const ToolBarTemplate* bar = FindToolBarTemplate(IDR_MAINFRAME);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->buttons,
              (std::vector<UINT>{ID_FILE_OPEN, ID_SAVE_IMAGE, 0, ID_EDIT_COPY, 0, ID_PLAY, ID_PAUSE,
                                 ID_STOP, 0, ID_PREV_FRAME, ID_NEXT_FRAME, 0, ID_OUTPUT_AVI,
                                 ID_OUTPUT_WMV, 0, ID_OUTPUT_JPG, ID_OUTPUT_BMP, ID_OUTPUT_TIF,
                                 ID_OUTPUT_PNG, 0, ID_OUTPUT_SETTINGS, ID_CLIP_RESIZE, ID_FILE_INFO,
                                 0, ID_HELP}));
    // One picture per button, each its own.
    std::vector<QImage> seen;
    for (UINT id : bar->buttons) {
        if (id == 0) continue;
        SCOPED_TRACE(id);
        ASSERT_EQ(bar->images.count(id), 1u);
        const QImage& image = bar->images.at(id);
        EXPECT_EQ(image.size(), QSize(16, 15));
        for (const QImage& other : seen) EXPECT_NE(image, other);
        seen.push_back(image);
    }
}

TEST(CommandTable, EnablingAndTicksOfTheFrameAndApplicationCommands) {
    FrameFixture f([] { return std::make_unique<CDocument>(); });
    CCmdTarget& start = f.Start();
    for (bool open : {false, true}) {
        SCOPED_TRACE(open ? "a file open" : "no file");
        if (open) f.Frame().GetActiveDocument()->SetPathName(L"/m/a.avi");
        for (const Row& row : Table()) {
            SCOPED_TRACE(row.id);
            const CCmdUI ui = QueryCommand(start, row.id);
            switch (row.owner) {
                case View:
                case Doc:
                case None:
                    EXPECT_FALSE(ui.m_bEnabled);
                    break;
                case Frame:
                case App:
                    EXPECT_EQ(ui.m_bEnabled, row.id != ID_FILE_MRU_FILE1);
                    break;  // no recent file yet
            }
            if (row.id >= ID_VIEW_APPLOOK_FIRST && row.id <= ID_VIEW_APPLOOK_LAST) {
                EXPECT_TRUE(ui.m_bRadio);
                EXPECT_EQ(ui.m_nCheck, row.id == ID_VIEW_APPLOOK_OFF_2007_BLUE ? 1 : 0);
            } else if (row.id >= ID_PRIORITY_HIGH && row.id <= ID_PRIORITY_LOW) {
                EXPECT_FALSE(ui.m_bRadio);
                EXPECT_EQ(ui.m_nCheck, row.id == ID_PRIORITY_NORMAL ? 1 : 0);
            } else if (row.id == ID_VIEW_TOOLBAR || row.id == ID_VIEW_STATUS_BAR) {
                EXPECT_EQ(ui.m_nCheck, 1);
            }
        }
    }
    // Keys reach the commands through the dispatch alone: no action carries a shortcut
    // of its own, which would make the key ambiguous.
    std::function<void(const QList<QAction*>&)> noShortcuts = [&](const QList<QAction*>& actions) {
        for (QAction* a : actions) {
            EXPECT_TRUE(a->shortcut().isEmpty()) << a->text().toStdString();
            if (a->menu()) noShortcuts(a->menu()->actions());
        }
    };
    noShortcuts(f.Frame().GetMenuBarWidget()->actions());
    noShortcuts(f.Frame().GetToolBar()->actions());
    EXPECT_EQ(f.Frame().findChildren<QShortcut*>().size(),
              FindAcceleratorTable(IDR_MAINFRAME)->size());

    f.app.AddToRecentFileList(L"/m/a.avi");
    EXPECT_TRUE(QueryCommand(start, ID_FILE_MRU_FILE1).m_bEnabled);
    EXPECT_FALSE(QueryCommand(start, ID_FILE_MRU_FILE1 + 1).m_bEnabled);
}

TEST(CommandTable, DocumentCommandsFollowThePlayState) {
    FrameFixture f;
    auto& doc = *static_cast<CTALVERNDoc*>(f.Frame().GetActiveDocument());
    CCmdTarget& start = f.Start();
    const std::pair<UINT, BOOL CTALVERNDoc::*> switches[] = {
        {ID_OUTPUT_JPG, &CTALVERNDoc::m_bOutputJpg}, {ID_OUTPUT_BMP, &CTALVERNDoc::m_bOutputBmp},
        {ID_OUTPUT_AVI, &CTALVERNDoc::m_bOutputAvi}, {ID_OUTPUT_WMV, &CTALVERNDoc::m_bOutputWmv},
        {ID_OUTPUT_TIF, &CTALVERNDoc::m_bOutputTif}, {ID_OUTPUT_PNG, &CTALVERNDoc::m_bOutputPng}};
    const struct {
        const char* name;
        bool open;
        PlayState state;
    } states[] = {{"none", false, PlayState::Stopped},
                  {"stopped", true, PlayState::Stopped},
                  {"playing", true, PlayState::Playing},
                  {"paused", true, PlayState::Paused}};
    for (const auto& st : states) {
        SCOPED_TRACE(st.name);
        doc.SetPathName(st.open ? L"/m/a.avi" : L"");
        doc.m_nPlayState = st.state;
        for (const auto& [id, member] : switches) {
            SCOPED_TRACE(id);
            doc.*member = TRUE;
            EXPECT_EQ(QueryCommand(start, id).m_bEnabled,
                      st.open && st.state == PlayState::Stopped);
            EXPECT_EQ(QueryCommand(start, id).m_nCheck, 1);
            doc.*member = FALSE;
            EXPECT_EQ(QueryCommand(start, id).m_nCheck, 0);
        }
        for (auto [interval, ticked] : {std::pair{1, 32811u}, {30, 32810u}, {10000, 32809u}}) {
            doc.m_nDisplayInterval = interval;
            for (UINT id : {32809u, 32810u, 32811u}) {
                const CCmdUI ui = QueryCommand(start, id);
                EXPECT_TRUE(ui.m_bEnabled);
                EXPECT_FALSE(ui.m_bRadio);  // a plain tick
                EXPECT_EQ(ui.m_nCheck, id == ticked ? 1 : 0);
            }
        }
    }
}
