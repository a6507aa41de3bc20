#pragma once
// A main frame built the way the program builds it (template, plain document and
// view, the program's resources) with a scripted priority, for the app tests.
#include <cstdlib>
#include <memory>
#include <string>

#include "app/MainFrame.h"
#include "app/TALVERNApp.h"
#include "platform/ui/CommandLineInfo.h"
#include "platform/ui/Document.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/WinApp.h"
#include "resources/AppResources.h"
#include "tests/support/TestSupport.h"
#include "toolkit/BaseView.h"

namespace talvern::test {

// Answers the priority commands from a value, refusing raises when told to.
class FakePriority : public IProcessPriority {
public:
    explicit FakePriority(int& nice, bool& refuseRaise) : m_nice(nice), m_refuse(refuseRaise) {}
    int GetNice() override { return m_nice; }
    bool SetNice(int nice) override {
        if (m_refuse && nice < m_nice) return false;
        m_nice = nice;
        return true;
    }

private:
    int& m_nice;
    bool& m_refuse;
};

struct FrameFixture {
    ScopedConfigDir config;
    ScopedScriptedUi script;
    int nice = 0;
    bool refuseRaise = false;
    CTALVERNApp app;

    // document: what the template builds (the program's own document by default).
    explicit FrameFixture(
        CSingleDocTemplate::DocumentFactory document = &CTALVERNApp::CreateDocument) {
        RegisterAppResources();
        app.LoadStdProfileSettings(6);
        app.AddDocTemplate(std::make_unique<CSingleDocTemplate>(
            IDR_MAINFRAME_EN, IDR_MAINFRAME, std::move(document),
            [this] {
                return std::make_unique<CMainFrame>(
                    std::make_unique<FakePriority>(nice, refuseRaise));
            },
            [](CFrameWnd& frame) { return new CBaseView(&frame); }));
    }
    // Builds the document and the frame (again after Close).
    CMainFrame& Frame() {
        if (!app.GetMainWnd()) {
            EXPECT_TRUE(app.ProcessShellCommand(CCommandLineInfo()));
        }
        return *static_cast<CMainFrame*>(app.GetMainWnd());
    }
    void Close() { app.GetDocTemplate()->CloseAllDocuments(); }
    CCmdTarget& Start() { return *Frame().GetCommandStart()(); }
};

}  // namespace talvern::test
