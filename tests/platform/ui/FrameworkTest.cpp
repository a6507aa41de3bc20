// The single-document framework: recent files, the open flow, closing, routing and
// the command line.
#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QToolBar>
#include <QWindow>

#include "platform/registry/Profile.h"
#include "platform/ui/CommandLineInfo.h"
#include "platform/ui/Document.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/MenuTemplate.h"
#include "platform/ui/RecentFileList.h"
#include "platform/ui/StatusBar.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/WinApp.h"
#include "resources/CommandIds.h"
#include "tests/support/TestSupport.h"

using talvern::test::ScopedConfigDir;
using OpenResult = CSingleDocTemplate::OpenResult;

namespace {

// What the fakes saw, in order.
struct Log {
    std::vector<std::string> events;
    bool viewAlive = false;
};

class FakeDocument : public CDocument {
public:
    explicit FakeDocument(Log& log) : m_log(log) {}
    ~FakeDocument() override {
        m_log.events.push_back(m_log.viewAlive ? "doc gone, view alive" : "doc gone");
    }
    BOOL SaveModified() override {
        m_log.events.push_back("SaveModified");
        return allowClose;
    }
    BOOL OnOpenDocument(const std::wstring& path) override {
        m_log.events.push_back("OnOpenDocument");
        if (opens) return TRUE;
        SetPathName(L"");  // the previous movie was closed by the failed tries
        (void)path;
        return FALSE;
    }
    BOOL allowClose = TRUE;
    BOOL opens = TRUE;

private:
    Log& m_log;
};

class FakeView : public QWidget, public CWnd {
public:
    FakeView(QWidget* parent, Log& log) : QWidget(parent), m_log(log) { m_log.viewAlive = true; }
    ~FakeView() override {
        m_log.viewAlive = false;
        m_log.events.push_back("view gone");
    }
    QWidget* GetWidget() override { return this; }
    void OnInitialUpdate() override { m_log.events.push_back("OnInitialUpdate"); }

private:
    Log& m_log;
};

// A plain frame with a tiny menu holding the recent-file placeholder.
MenuTemplate TestMenu() {
    return {900,
            {{0,
              L"File(&F)",
              {{ID_FILE_OPEN, L"Open(&O)..."},
               {0, L""},
               {ID_FILE_MRU_FILE1, L"Recent File"},
               {0, L""},
               {ID_APP_EXIT, L"Exit(&X)"}}}}};
}

struct Framework {
    ScopedConfigDir config;
    ScopedScriptedUi script;
    Log log;
    CWinApp app;
    FakeDocument* doc = nullptr;
    talvern::test::TempDir files;

    Framework() {
        RegisterMenuTemplate(TestMenu());
        app.LoadStdProfileSettings(6);
        app.AddDocTemplate(std::make_unique<CSingleDocTemplate>(
            900, 900,
            [this] {
                auto d = std::make_unique<FakeDocument>(log);
                doc = d.get();
                return d;
            },
            [] { return std::make_unique<CFrameWnd>(); },
            [this](CFrameWnd& frame) { return new FakeView(&frame, log); }));
    }
    std::wstring File(const std::string& name) {
        talvern::test::WriteFileBytes(files / name, "x");
        return (files / name).wstring();
    }
    // The title as the window system shows it ("[*]" escaped for Qt is one "[*]" there).
    std::wstring Title() const {
        CFrameWnd* frame = app.GetMainWnd();
        frame->show();
        return frame->windowHandle()->title().toStdWString();
    }
    CRecentFileList& Recent() { return *app.GetRecentFileList(); }
};

std::vector<std::wstring> Entries(const CRecentFileList& list) {
    std::vector<std::wstring> out;
    for (int i = 0; i < list.GetCount(); ++i) out.push_back(list[i]);
    return out;
}

}  // namespace

TEST(RecentFileList, KeepsNewestFirstOnceEachAndSurvivesTheStore) {
    ScopedConfigDir config;
    CRecentFileList list(ID_FILE_MRU_FILE1, L"Recent File List", L"File", 6);
    for (int i = 1; i <= 7; ++i) list.Add(L"/m/" + std::to_wstring(i) + L".avi");
    list.Add(L"/m/4.avi");
    EXPECT_EQ(Entries(list), (std::vector<std::wstring>{L"/m/4.avi", L"/m/7.avi", L"/m/6.avi",
                                                        L"/m/5.avi", L"/m/3.avi", L"/m/2.avi"}));
    list.WriteList();
    EXPECT_EQ(GetProfileString(L"Recent File List", L"File1", L""), L"/m/4.avi");
    EXPECT_EQ(GetProfileString(L"Recent File List", L"File6", L""), L"/m/2.avi");

    EXPECT_TRUE(list.Remove(std::wstring(L"/m/6.avi")));
    EXPECT_FALSE(list.Remove(std::wstring(L"/m/6.avi")));
    list.WriteList();  // the entries close up and the last one goes from the store
    EXPECT_EQ(GetProfileString(L"Recent File List", L"File3", L""), L"/m/5.avi");
    EXPECT_EQ(GetProfileString(L"Recent File List", L"File6", L"none"), L"none");

    WriteProfileString(L"Recent File List", L"File2", L"");  // a gap or a repeat is skipped
    WriteProfileString(L"Recent File List", L"File4", L"/m/4.avi");
    CRecentFileList again(ID_FILE_MRU_FILE1, L"Recent File List", L"File", 6);
    again.ReadList();
    EXPECT_EQ(Entries(again), (std::vector<std::wstring>{L"/m/4.avi", L"/m/5.avi", L"/m/2.avi"}));
}

TEST(RecentFileList, ShowsItsEntriesInPlaceOfThePlaceholder) {
    ScopedConfigDir config;
    CRecentFileList list(ID_FILE_MRU_FILE1, L"Recent File List", L"File", 6);
    QMenu menu;
    BuildMenu(&menu, TestMenu().items[0].items);
    list.UpdateMenu(&menu);
    auto visibleTexts = [&] {
        std::vector<std::wstring> texts;
        for (QAction* a : menu.actions())
            if (a->isVisible() && !a->isSeparator()) texts.push_back(a->text().toStdWString());
        return texts;
    };
    EXPECT_EQ(visibleTexts(),
              (std::vector<std::wstring>{L"Open(&O)...", L"Recent File", L"Exit(&X)"}));

    const std::wstring deep = L"/home/user/a very long folder name/another folder/Tom & Jerry.avi";
    list.Add(L"/m/a.avi");
    list.Add(deep);
    list.UpdateMenu(&menu);
    EXPECT_EQ(visibleTexts(),
              (std::vector<std::wstring>{L"Open(&O)...", L"&1 .../another folder/Tom && Jerry.avi",
                                         L"&2 /m/a.avi", L"Exit(&X)"}));
    // The entries' items follow the placeholder, in order, and carry their command ids.
    EXPECT_EQ(CommandIdOf(menu.actions()[2]), 57616u);
    EXPECT_EQ(CommandIdOf(menu.actions()[3]), 57617u);
    list.Remove(0);
    list.Remove(0);
    list.UpdateMenu(&menu);
    EXPECT_EQ(visibleTexts(),
              (std::vector<std::wstring>{L"Open(&O)...", L"Recent File", L"Exit(&X)"}));
}

TEST(SingleDocTemplate, OpensThroughSaveModifiedAndTitlesEveryAttempt) {
    Framework f;
    ASSERT_TRUE(f.app.ProcessShellCommand(CCommandLineInfo()));
    ASSERT_NE(f.app.GetMainWnd(), nullptr);
    EXPECT_EQ(f.Title(), L"TALVERN");
    EXPECT_EQ(f.log.events, (std::vector<std::string>{"OnInitialUpdate"}));

    const std::wstring movie = f.File("first [*] movie.avi");
    f.log.events.clear();
    EXPECT_EQ(f.app.OpenDocumentFile(movie), f.doc);
    EXPECT_EQ(f.log.events,
              (std::vector<std::string>{"SaveModified", "OnOpenDocument", "OnInitialUpdate"}));
    EXPECT_EQ(f.doc->GetPathName(), movie);
    EXPECT_EQ(f.doc->GetTitle(), L"first [*] movie.avi");
    EXPECT_EQ(f.Title(), L"first [*] movie.avi - TALVERN");
    EXPECT_EQ(GetProfileString(L"Recent File List", L"File1", L""), movie);

    // Busy: the open is refused before the document is touched; the title stays.
    f.doc->allowClose = FALSE;
    f.log.events.clear();
    OpenResult result;
    EXPECT_EQ(f.app.OpenDocumentFile(f.File("second.avi"), &result), nullptr);
    EXPECT_EQ(result, OpenResult::Refused);
    EXPECT_EQ(f.log.events, (std::vector<std::string>{"SaveModified"}));
    EXPECT_EQ(f.Title(), L"first [*] movie.avi - TALVERN");

    // A failed open leaves the document without a movie, and the title says so.
    f.doc->allowClose = TRUE;
    f.doc->opens = FALSE;
    EXPECT_EQ(f.app.OpenDocumentFile(f.File("broken.avi"), &result), nullptr);
    EXPECT_EQ(result, OpenResult::Failed);
    EXPECT_EQ(f.Title(), L"TALVERN");
    EXPECT_EQ(f.Recent().GetCount(), 1);
}

TEST(SingleDocTemplate, RecentFileRefusedKeepsItsEntryFailedLosesIt) {
    Framework f;
    ASSERT_TRUE(f.app.ProcessShellCommand(CCommandLineInfo()));
    const std::wstring a = f.File("a.avi");
    const std::wstring b = f.File("b.avi");
    ASSERT_NE(f.app.OpenDocumentFile(a), nullptr);
    ASSERT_NE(f.app.OpenDocumentFile(b), nullptr);
    CFrameWnd& frame = *f.app.GetMainWnd();
    EXPECT_FALSE(QueryCommand(frame, ID_FILE_MRU_FILE1 + 2).m_bEnabled);  // no third entry

    f.doc->allowClose = FALSE;
    EXPECT_TRUE(DispatchCommand(frame, ID_FILE_MRU_FILE1 + 1));  // a.avi, refused while busy
    EXPECT_EQ(Entries(f.Recent()), (std::vector<std::wstring>{b, a}));
    EXPECT_EQ(f.Title(), L"b.avi - TALVERN");

    f.doc->allowClose = TRUE;
    f.doc->opens = FALSE;
    EXPECT_TRUE(DispatchCommand(frame, ID_FILE_MRU_FILE1 + 1));
    EXPECT_EQ(Entries(f.Recent()), (std::vector<std::wstring>{b}));
    EXPECT_EQ(GetProfileString(L"Recent File List", L"File2", L"gone"), L"gone");
    EXPECT_EQ(f.Title(), L"TALVERN");
}

TEST(SingleDocTemplate, ExitAndCloseAskTheDocumentAndTheViewGoesFirst) {
    Framework f;
    ASSERT_TRUE(f.app.ProcessShellCommand(CCommandLineInfo()));
    CFrameWnd& frame = *f.app.GetMainWnd();
    frame.show();
    f.doc->allowClose = FALSE;
    EXPECT_TRUE(DispatchCommand(frame, ID_APP_EXIT));
    EXPECT_TRUE(frame.isVisible());
    EXPECT_FALSE(f.app.IsMainLoopEnding());
    EXPECT_FALSE(frame.close());  // the close box alike

    f.doc->allowClose = TRUE;
    f.log.events.clear();
    EXPECT_TRUE(DispatchCommand(frame, ID_APP_EXIT));
    EXPECT_FALSE(frame.isVisible());
    EXPECT_TRUE(f.app.IsMainLoopEnding());
    EXPECT_EQ(f.app.Run(), 0);  // no loop left to run: only the clean-up
    EXPECT_EQ(f.log.events, (std::vector<std::string>{"SaveModified", "view gone", "doc gone"}));
    EXPECT_EQ(f.app.GetMainWnd(), nullptr);
}

TEST(SingleDocTemplate, CommandsRouteViewDocumentFrameApplication) {
    Framework f;
    ASSERT_TRUE(f.app.ProcessShellCommand(CCommandLineInfo()));
    CFrameWnd& frame = *f.app.GetMainWnd();
    std::vector<std::string> ran;
    auto* view = frame.GetActiveView();
    view->OnCommand(1, [&](UINT) { ran.push_back("view"); });
    f.doc->OnCommand(1, [&](UINT) { ran.push_back("doc"); });
    f.doc->OnCommand(2, [&](UINT) { ran.push_back("doc"); });
    frame.OnCommand(3, [&](UINT) { ran.push_back("frame"); });
    f.app.OnCommand(4, [&](UINT) { ran.push_back("app"); });
    CCmdTarget* start = frame.GetCommandStart()();
    EXPECT_EQ(start, view);
    for (UINT id : {1u, 2u, 3u, 4u}) EXPECT_TRUE(DispatchCommand(*start, id));
    EXPECT_EQ(ran, (std::vector<std::string>{"view", "doc", "frame", "app"}));
}

TEST(CommandLine, NamesOneFileMadeAbsoluteAtOnce) {
    struct Case {
        std::vector<std::wstring> args;
        CCommandLineInfo::ShellCommand command;
        std::wstring file;
    } cases[] = {
        {{}, CCommandLineInfo::FileNew, L""},
        {{L"-x", L"movie.avi", L"other.avi"}, CCommandLineInfo::FileOpen, L"/work/dir/movie.avi"},
        {{L"--", L"-dash.avi"}, CCommandLineInfo::FileOpen, L"/work/dir/-dash.avi"},
        {{L"../up/./a b%.avi"}, CCommandLineInfo::FileOpen, L"/work/up/a b%.avi"},
        {{L"/abs//x/../動画.avi"}, CCommandLineInfo::FileOpen, L"/abs/動画.avi"},
    };
    for (const Case& c : cases) {
        CCommandLineInfo info;
        info.ParseArguments(c.args, L"/work/dir");
        EXPECT_EQ(info.m_nShellCommand, c.command);
        EXPECT_EQ(info.m_strFileName, c.file);
    }
    EXPECT_EQ(MakeAbsolutePath(L"../../..", L"/a"), L"/");
}

TEST(FrameWnd, BarsShowHideTickAndKeepTheirLayout) {
    ScopedConfigDir config;
    Log log;
    auto build = [] {
        auto frame = std::make_unique<CFrameWnd>();
        frame->SetBarStateSection(L"Workspace");
        auto* bar = new QToolBar(frame.get());
        bar->setObjectName("bar");
        frame->addToolBar(Qt::TopToolBarArea, bar);
        auto* status = new CStatusBar(frame.get());
        status->SetIndicators({{ID_SEPARATOR, L""}, {ID_INDICATOR_OUTPUT, L"Output :"}});
        frame->setStatusBar(status);
        frame->AddControlBar(ID_VIEW_TOOLBAR, bar, [] { return std::wstring(L"Default"); });
        frame->AddControlBar(ID_VIEW_STATUS_BAR, status);
        EXPECT_TRUE(frame->LoadFrame(0, 0, nullptr));
        return frame;
    };
    auto frame = build();
    frame->show();
    const CCmdUI shown = QueryCommand(*frame, ID_VIEW_TOOLBAR);
    EXPECT_EQ(shown.m_nCheck, 1);
    EXPECT_EQ(shown.m_text, std::optional<std::wstring>(L"Default"));
    EXPECT_TRUE(DispatchCommand(*frame, ID_VIEW_TOOLBAR));
    EXPECT_TRUE(DispatchCommand(*frame, ID_VIEW_STATUS_BAR));
    EXPECT_EQ(QueryCommand(*frame, ID_VIEW_TOOLBAR).m_nCheck, 0);
    EXPECT_EQ(QueryCommand(*frame, ID_VIEW_STATUS_BAR).m_nCheck, 0);
    frame->SaveBarState();

    auto again = build();
    again->show();
    EXPECT_FALSE(again->IsControlBarVisible(ID_VIEW_TOOLBAR));
    EXPECT_FALSE(again->IsControlBarVisible(ID_VIEW_STATUS_BAR));
    // A damaged layout is passed over.
    const BYTE junk[] = {1, 2, 3};
    WriteProfileBinary(L"Workspace", L"BarLayout", junk, sizeof junk);
    auto third = build();
    third->show();
    EXPECT_TRUE(third->IsControlBarVisible(ID_VIEW_STATUS_BAR));
}

TEST(CommandUpdate, RadioItemsGetTheBulletLookAndLoseItAgain) {
    CCmdTarget target;
    bool radio = true;
    target.OnCommand(7, [](UINT) {});
    target.OnUpdateCommand(7, [&](CCmdUI& ui) {
        if (radio)
            ui.SetRadio(TRUE);
        else
            ui.SetCheck(1);
    });
    QMenu menu;
    QAction* item = MakeCommandAction(&menu, 7, L"Seven");
    menu.addAction(item);
    RefreshCommandActions(menu.actions(), target);
    ASSERT_NE(item->actionGroup(), nullptr);
    EXPECT_TRUE(item->actionGroup()->isExclusive());
    EXPECT_TRUE(item->isChecked());
    radio = false;
    RefreshCommandActions(menu.actions(), target);
    EXPECT_EQ(item->actionGroup(), nullptr);
    EXPECT_TRUE(item->isChecked());
}
