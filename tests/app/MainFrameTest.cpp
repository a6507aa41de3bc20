// The main frame: its size and bars, the status panes, the visual styles and the
// process priority.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QStyle>
#include <thread>

#include "app/ApplicationLook.h"
#include "foundation/LangString.h"
#include "platform/registry/Profile.h"
#include "platform/ui/StatusBar.h"
#include "platform/ui/ToolBar.h"
#include "resources/CommandIds.h"
#include "tests/app/AppTestSupport.h"

using talvern::test::FrameFixture;
using talvern::test::ScopedLanguage;

TEST(MainFrame, SizeBarsAndStatusPanes) {
    FrameFixture f;
    CMainFrame& frame = f.Frame();
    EXPECT_EQ(frame.size(), QSize(760, 675));
    ASSERT_NE(frame.GetToolBar(), nullptr);
    EXPECT_EQ(frame.GetToolBar()->windowTitle(), QStringLiteral("Default"));
    EXPECT_EQ(frame.GetToolBar()->iconSize(), QSize(16, 15));
    // Tool tips speak the menu's language, without mnemonics.
    EXPECT_EQ(frame.GetToolBar()->FindButton(ID_FILE_OPEN)->toolTip(),
              QStringLiteral("Open... (Ctrl+O)"));
    EXPECT_EQ(frame.GetToolBar()->allowedAreas(), Qt::AllToolBarAreas);

    CStatusBar& status = *frame.GetStatusBar();
    ASSERT_EQ(status.GetCount(), 3);
    EXPECT_EQ(status.GetItemID(1), 61447u);
    EXPECT_EQ(status.GetItemID(2), 61448u);
    EXPECT_EQ(status.GetPane(1)->width(), 250);
    EXPECT_EQ(status.GetPane(2)->width(), 50);
    EXPECT_EQ(status.GetPaneText(1), L"Output :");
    EXPECT_EQ(status.GetPane(1)->textFormat(), Qt::PlainText);  // a folder name is no markup
    for (auto [number, text] :
         {std::pair{5, L"  5"}, {75, L" 75"}, {-3, L" -3"}, {1234, L"1234"}}) {
        frame.SetStatus(L"/out/folder", number);
        EXPECT_EQ(status.GetPaneText(1), L"/out/folder");
        EXPECT_EQ(status.GetPaneText(2), text);
    }
    EXPECT_EQ(CMainFrame::GetContextMenuId(), 141u);
    ScopedLanguage japanese(true);
    EXPECT_EQ(CMainFrame::GetContextMenuId(), 140u);
}

TEST(MainFrame, StyleIsAppliedAtOnceStoredAndInForceAfterARestart) {
    FrameFixture f;
    EXPECT_EQ(f.Frame().GetApplicationLook(), 40006u);
    EXPECT_EQ(GetProfileInt(L"Workspace", L"ApplicationLook", 0), 40006u);  // first start stores it
    EXPECT_EQ(QApplication::style()->name(), QStringLiteral("fusion"));
    const QString blueSheet = f.Frame().styleSheet();

    ASSERT_TRUE(DispatchCommand(f.Start(), ID_VIEW_APPLOOK_WIN_2000));
    EXPECT_EQ(GetProfileInt(L"Workspace", L"ApplicationLook", 0), 40001u);
    EXPECT_EQ(QApplication::style()->name(), QStringLiteral("windows"));
    EXPECT_NE(f.Frame().styleSheet(), blueSheet);
    EXPECT_EQ(QueryCommand(f.Start(), ID_VIEW_APPLOOK_WIN_2000).m_nCheck, 1);
    EXPECT_EQ(QueryCommand(f.Start(), ID_VIEW_APPLOOK_OFF_2007_BLUE).m_nCheck, 0);

    f.Close();
    QApplication::setStyle(QStringLiteral("fusion"));
    EXPECT_EQ(f.Frame().GetApplicationLook(), 40001u);
    EXPECT_EQ(QApplication::style()->name(), QStringLiteral("windows"));

    // A stored id that names no style shows the blue look and ticks nothing.
    f.Close();
    WriteProfileInt(L"Workspace", L"ApplicationLook", 12345);
    EXPECT_EQ(f.Frame().GetApplicationLook(), 12345u);
    EXPECT_EQ(f.Frame().styleSheet(), blueSheet);
    for (UINT id = ID_VIEW_APPLOOK_FIRST; id <= ID_VIEW_APPLOOK_LAST; ++id)
        EXPECT_EQ(QueryCommand(f.Start(), id).m_nCheck, 0);
    f.Close();
    QApplication::setStyle(QStringLiteral("fusion"));
}

TEST(MainFrame, NineStylesAPersonCanTellApart) {
    auto far = [](QColor a, QColor b) {
        return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                         std::abs(a.blue() - b.blue())}) > 12;
    };
    for (UINT a = ID_VIEW_APPLOOK_FIRST; a <= ID_VIEW_APPLOOK_LAST; ++a) {
        for (UINT b = a + 1; b <= ID_VIEW_APPLOOK_LAST; ++b) {
            SCOPED_TRACE(std::to_string(a) + " " + std::to_string(b));
            const ApplicationLook& x = FindApplicationLook(a);
            const ApplicationLook& y = FindApplicationLook(b);
            EXPECT_TRUE(far(x.barTop, y.barTop) || far(x.barBottom, y.barBottom) ||
                        far(x.window, y.window));
        }
    }
    EXPECT_EQ(FindApplicationLook(1).id, 40006u);
}

TEST(MainFrame, PriorityTickFollowsTheValueReadBackAndARefusalChangesNothing) {
    FrameFixture f;
    CCmdTarget& start = f.Start();
    auto ticked = [&] {
        std::vector<UINT> on;
        for (UINT id = ID_PRIORITY_HIGH; id <= ID_PRIORITY_LOW; ++id)
            if (QueryCommand(start, id).m_nCheck) on.push_back(id);
        return on;
    };
    EXPECT_EQ(ticked(), std::vector<UINT>{ID_PRIORITY_NORMAL});
    ASSERT_TRUE(DispatchCommand(start, ID_PRIORITY_LOW));
    EXPECT_EQ(f.nice, 19);
    EXPECT_EQ(ticked(), std::vector<UINT>{ID_PRIORITY_LOW});
    f.nice = 5;  // set from outside: no item is that value
    EXPECT_TRUE(ticked().empty());
    f.nice = 0;

    f.refuseRaise = true;
    ASSERT_TRUE(DispatchCommand(start, ID_PRIORITY_HIGH));
    EXPECT_EQ(f.nice, 0);
    EXPECT_EQ(ticked(), std::vector<UINT>{ID_PRIORITY_NORMAL});
    ASSERT_EQ(f.script.ui.messageBoxes.size(), 1u);
    EXPECT_EQ(f.script.ui.messageBoxes[0].text, LoadLangString(50005, 50006));
    EXPECT_EQ(f.script.ui.messageBoxes[0].caption, L"TALVERN");
    {
        ScopedLanguage japanese(true);
        ASSERT_TRUE(DispatchCommand(start, ID_PRIORITY_HIGH));
    }
    ASSERT_EQ(f.script.ui.messageBoxes.size(), 2u);
    EXPECT_EQ(f.script.ui.messageBoxes[1].text, LoadStringTableEntry(50005));
    EXPECT_EQ(ticked(), std::vector<UINT>{ID_PRIORITY_NORMAL});
}

// The real setter reaches every thread. It runs in a child process, since a lowered
// priority cannot always be raised again.
TEST(ProcessPriority, EveryThreadTakesTheValueOrNoneDoes) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::atomic<pid_t> tid{0};
        std::atomic<bool> done{false};
        std::thread worker([&] {
            tid = static_cast<pid_t>(syscall(SYS_gettid));
            while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        });
        while (tid == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        CProcessPriority priority;
        int failures = 0;
        if (!priority.SetNice(19) || priority.GetNice() != 19 ||
            getpriority(PRIO_PROCESS, tid) != 19)
            ++failures;
        // Raising again needs the right to do so; either way the threads agree.
        const int expected = priority.SetNice(-10) ? -10 : 19;
        if (priority.GetNice() != expected || getpriority(PRIO_PROCESS, tid) != expected)
            ++failures;
        done = true;
        worker.join();
        _exit(failures);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
