#pragma once
// The application: starts the program in a fixed order (display platform, Qt's
// application, translations, profile key, recent files, resources, the document
// template, the command line, the window) and carries the About and help commands.
#include <memory>
#include <string>

#include "platform/ui/WinApp.h"

class CDocument;
class CFrameWnd;
class CWnd;

class CTALVERNApp : public CWinApp {
public:
    CTALVERNApp();

    BOOL InitInstance() override;

    // The modal About dialog.
    void OnAppAbout(UINT id);
    // Opens the help page of the program's language, which the build puts beside the
    // program, with the desktop's handler; the user interface does not wait.
    void OnHelp(UINT id);
    static std::wstring GetHelpFilePath();

    // What the document template builds.
    static std::unique_ptr<CDocument> CreateDocument();
    static std::unique_ptr<CFrameWnd> CreateFrame();
    static CWnd* CreateView(CFrameWnd& frame);
};
