#pragma once
// The application object of the single-document framework: it builds Qt's
// application, points the profile at its registry key, keeps the recent-file list,
// holds the one document template, processes the command line, runs the main loop
// and is the last command target of every route. Exit and the recent-file commands
// are its own; the program leaves its main loop when the main frame closes.
#include <QApplication>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Command.h"
#include "platform/ui/DocTemplate.h"
#include "resources/CommandIds.h"

class CCommandLineInfo;
class CDocument;
class CFrameWnd;
class CRecentFileList;
class QTranslator;

class CWinApp : public CCmdTarget {
public:
    // Becomes the application (AfxGetApp) and the last target of every route.
    CWinApp();
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The program's arguments, before InitInstance; Qt takes out its own options when
    // it builds its application.
    void SetArguments(int argc, char** argv);

    // The base builds Qt's application unless one exists, sets LC_NUMERIC back to "C"
    // and installs the window-system services of the foundation.
    virtual BOOL InitInstance();
    // The main loop; when it ends the document and its frame are destroyed. Returns the
    // exit status.
    virtual int Run();

    void SetRegistryKey(const std::wstring& key);
    // Reads the recent-file list (maxMru entries of "Recent File List").
    void LoadStdProfileSettings(UINT maxMru = 6);
    // Qt's own texts (standard buttons, file dialogs) in the language of the texts of
    // this program when that is Japanese.
    void LoadQtTranslations();

    void AddDocTemplate(std::unique_ptr<CSingleDocTemplate> docTemplate);
    CSingleDocTemplate* GetDocTemplate() const { return m_pDocTemplate.get(); }

    void ParseCommandLine(CCommandLineInfo& info) const;
    // FileNew builds the empty document and its frame, FileOpen opens the file; FALSE
    // when either fails.
    BOOL ProcessShellCommand(const CCommandLineInfo& info);

    // The framework's one open path (menu, drop, recent file, command line): the
    // template's open, then on success the file goes to the top of the recent list.
    // Null unless the document holds the file now; result tells refused from failed.
    CDocument* OpenDocumentFile(const std::wstring& path,
                                CSingleDocTemplate::OpenResult* result = nullptr);
    void AddToRecentFileList(const std::wstring& path);
    CRecentFileList* GetRecentFileList() const { return m_pRecentFileList.get(); }

    CFrameWnd* GetMainWnd() const { return m_pMainWnd; }
    void SetMainWnd(CFrameWnd* frame) { m_pMainWnd = frame; }
    // The main frame has closed: the main loop ends (the first request only is kept
    // when no loop runs yet).
    void OnMainFrameClosed();
    bool IsMainLoopEnding() const { return m_bQuitRequested; }

protected:
    void OnAppExit(UINT id);
    void OnOpenRecentFile(UINT id);
    void OnUpdateRecentFile(CCmdUI& ui) const;

    CFrameWnd* m_pMainWnd = nullptr;

private:
    int m_argc = 0;
    std::vector<char*> m_argv;
    std::unique_ptr<QApplication> m_pQtApp;
    std::vector<std::unique_ptr<QTranslator>> m_translators;
    std::unique_ptr<CRecentFileList> m_pRecentFileList;
    std::unique_ptr<CSingleDocTemplate> m_pDocTemplate;
    bool m_bRunning = false;
    bool m_bQuitRequested = false;
};

CWinApp* AfxGetApp();
// The main frame, or null before it is built and after it is gone.
CFrameWnd* AfxGetMainWnd();

// Builds the application from the program's arguments, runs InitInstance and, when it
// succeeds, the main loop. A failed start-up ends with status 1.
int AfxWinMain(CWinApp& app, int argc, char** argv);
