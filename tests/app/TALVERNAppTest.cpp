// Start-up as the program runs it: the profile key from "Setting.ini" in the settings
// folder, the movie named on the command line, the window, and help.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDeadlineTimer>
#include <QMenuBar>
#include <clocale>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/MainFrame.h"
#include "app/TALVERNApp.h"
#include "foundation/PathUtil.h"
#include "foundation/SystemCommands.h"
#include "platform/registry/Profile.h"
#include "platform/ui/UiServices.h"
#include "platform/win32/WideChar.h"
#include "tests/app/AppTestSupport.h"
#include "tests/data/TestMedia.h"
#include "toolkit/BaseDialog.h"

using talvern::test::ScopedConfigDir;
using talvern::test::ScopedLanguage;
using talvern::test::TempDir;
using talvern::test::WriteFileBytes;

namespace {

struct StartUp {
    ScopedConfigDir config;
    ScopedScriptedUi script;
    TempDir files;
    CTALVERNApp app;

    BOOL Start(const std::string& arg) {
        std::string name = "talvern";
        std::vector<char*> argv = {name.data(), const_cast<char*>(arg.c_str())};
        app.SetArguments(2, argv.data());
        return app.InitInstance();
    }
    ~StartUp() { SetRegistryKey(L"ZELT"); }
};

class RecordingCommands : public ISystemCommands {
public:
    void RunPowerAction(PowerAction) override {}
    bool ShellOpen(const std::string& target) override {
        std::lock_guard lock(m);
        opened.push_back(target);
        cv.notify_all();
        return true;
    }
    std::string WaitForOne() {
        std::unique_lock lock(m);
        cv.wait_for(lock, std::chrono::seconds(10), [&] { return !opened.empty(); });
        return opened.empty() ? "" : opened.back();
    }
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::string> opened;
};

}  // namespace

TEST(TALVERNApp, StartsOnTheMovieOfTheCommandLineUnderTheKeyOfSettingIni) {
    StartUp s;
    ASSERT_TRUE(WriteFileBytes(s.config.path() / "Setting.ini", "[SAVE]\nRegPos=OtherKey\n"));
    const std::string movie = (s.files / "テスト 動画 100%.avi").string();
    ASSERT_TRUE(talvern::test::MakeTestMovie({}, movie));
    std::setlocale(LC_NUMERIC, "C.UTF-8");

    ASSERT_TRUE(s.Start(movie));
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    EXPECT_EQ(GetProfileRegistryKey(), L"OtherKey");
    EXPECT_EQ(GetProfileString(L"Recent File List", L"File1", L""), Utf8ToWide(movie));
    CFrameWnd* frame = s.app.GetMainWnd();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->size(), QSize(760, 675));
    EXPECT_EQ(frame->windowTitle().toStdWString(), L"テスト 動画 100%.avi - TALVERN");
}

TEST(TALVERNApp, AFileThatCannotBeOpenedEndsTheStartWithOneMessage) {
    StartUp s;
    const std::string fifo = (s.files / "pipe.avi").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(s.Start(fifo));
    EXPECT_EQ(s.script.ui.messageBoxes.size(), 1u);
    EXPECT_FALSE(s.app.GetMainWnd() && s.app.GetMainWnd()->isVisible());
}

TEST(TALVERNApp, JapaneseSystemGetsTheJapaneseMenuAndHelpPage) {
    ScopedLanguage japanese(true);
    StartUp s;
    const std::string movie = (s.files / "a.avi").string();
    ASSERT_TRUE(talvern::test::MakeTestMovie({}, movie));
    ASSERT_TRUE(s.Start(movie));
    CFrameWnd* frame = s.app.GetMainWnd();
    EXPECT_EQ(frame->GetMenuId(), 128u);
    EXPECT_EQ(frame->GetMenuBarWidget()->actions()[0]->text(), QStringLiteral("ファイル(&F)"));
    // Qt's own buttons and dialogs speak Japanese too.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"),
              QStringLiteral("キャンセル"));

    RecordingCommands commands;
    ISystemCommands* old = SetSystemCommands(&commands);
    EXPECT_TRUE(DispatchCommand(*frame->GetCommandStart()(), ID_HELP));
    EXPECT_EQ(commands.WaitForOne(), WideToUtf8(GetModuleDir() + L"talvern_ja.html"));
    SetSystemCommands(old);
}

// No browser: the handler fails on its worker, and a box on the window thread names the
// page, in the user's language, under the program's caption.
TEST(TALVERNApp, HelpWithoutABrowserNamesThePageInABox) {
    class NoHandler : public ISystemCommands {
    public:
        void RunPowerAction(PowerAction) override {}
        bool ShellOpen(const std::string&) override { return false; }
    } none;
    for (const bool japanese : {true, false}) {
        ScopedLanguage language(japanese);
        StartUp s;
        const std::string movie = (s.files / "a.avi").string();
        ASSERT_TRUE(talvern::test::MakeTestMovie({}, movie));
        ASSERT_TRUE(s.Start(movie));
        ISystemCommands* old = SetSystemCommands(&none);
        EXPECT_TRUE(DispatchCommand(*s.app.GetMainWnd()->GetCommandStart()(), ID_HELP));
        const QDeadlineTimer deadline(20000);
        while (s.script.ui.messageBoxes.empty() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        SetSystemCommands(old);
        ASSERT_EQ(s.script.ui.messageBoxes.size(), 1u);
        const std::wstring& text = s.script.ui.messageBoxes[0].text;
        const std::wstring page = GetModuleDir() + (japanese ? L"talvern_ja.html" : L"talvern.html");
        EXPECT_NE(text.find(L"\n" + page), std::wstring::npos);
        EXPECT_NE(text.find(japanese ? L"ブラウザ" : L"browser"), std::wstring::npos);
    }
}
