#include "platform/ui/WinApp.h"

#include <unistd.h>

#include <QLibraryInfo>
#include <QTranslator>
#include <clocale>

#include "foundation/LangString.h"
#include "foundation/UiHooks.h"
#include "platform/registry/Profile.h"
#include "platform/ui/CommandLineInfo.h"
#include "platform/ui/Document.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/QtUiHooks.h"
#include "platform/ui/RecentFileList.h"
#include "platform/win32/WideChar.h"

namespace {

CWinApp* g_pApp = nullptr;

const wchar_t kRecentFileSection[] = L"Recent File List";
const wchar_t kRecentFileEntry[] = L"File";
constexpr UINT kMaxRecentFiles = 16;

std::wstring CurrentDirectory() {
    std::string buf(4096, '\0');
    if (!::getcwd(buf.data(), buf.size())) return L"/";
    buf.resize(std::char_traits<char>::length(buf.c_str()));
    return Utf8ToWide(buf);
}

}  // namespace

CWinApp::CWinApp() {
    g_pApp = this;
    SetApplicationCommandTarget(this);
    OnCommand(ID_APP_EXIT, [this](UINT id) { OnAppExit(id); });
}

CWinApp::~CWinApp() {
    // The document goes while the application (and Qt's) is still whole.
    m_pDocTemplate.reset();
    m_translators.clear();
    if (GetApplicationCommandTarget() == this) SetApplicationCommandTarget(nullptr);
    if (g_pApp == this) g_pApp = nullptr;
}

void CWinApp::SetArguments(int argc, char** argv) {
    m_argv.assign(argv, argv + std::max(argc, 0));
    m_argc = static_cast<int>(m_argv.size());
    m_argv.push_back(nullptr);
}

BOOL CWinApp::InitInstance() {
    if (!QCoreApplication::instance()) {
        if (m_argv.empty()) {
            static char name[] = "talvern";
            char* args[] = {name};
            SetArguments(1, args);
        }
        m_pQtApp = std::make_unique<QApplication>(m_argc, m_argv.data());
    }
    // Qt takes every locale category from the environment; numbers are written the C
    // way everywhere ("29.970 fps" in every language).
    std::setlocale(LC_NUMERIC, "C");
    // The program ends with its main frame, whatever side windows are still open.
    QApplication::setQuitOnLastWindowClosed(false);
    InstallQtUiHooks();
    return TRUE;
}

int CWinApp::Run() {
    int status = 0;
    if (m_pMainWnd && !m_bQuitRequested) {
        m_bRunning = true;
        status = QCoreApplication::exec();
        m_bRunning = false;
    }
    if (m_pDocTemplate) m_pDocTemplate->CloseAllDocuments();
    return status;
}

void CWinApp::OnMainFrameClosed() {
    m_bQuitRequested = true;
    if (!m_bRunning) return;
    // Through the foundation's services, so that a long loop pumping messages learns
    // of the end too.
    if (IUiHooks* hooks = GetUiHooks())
        hooks->PostQuitMessage(0);
    else
        QCoreApplication::exit(0);
}

void CWinApp::SetRegistryKey(const std::wstring& key) {
    ::SetRegistryKey(key.c_str());
}

void CWinApp::LoadStdProfileSettings(UINT maxMru) {
    const int size = static_cast<int>(std::min(std::max(maxMru, 1u), kMaxRecentFiles));
    m_pRecentFileList = std::make_unique<CRecentFileList>(ID_FILE_MRU_FILE1, kRecentFileSection,
                                                          kRecentFileEntry, size);
    m_pRecentFileList->ReadList();
    const UINT last = ID_FILE_MRU_FILE1 + static_cast<UINT>(size) - 1;
    OnCommandRange(ID_FILE_MRU_FILE1, last, [this](UINT id) { OnOpenRecentFile(id); });
    OnUpdateCommandRange(ID_FILE_MRU_FILE1, last, [this](CCmdUI& ui) { OnUpdateRecentFile(ui); });
}

void CWinApp::LoadQtTranslations() {
    if (!IsJapaneseSystem()) return;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* name : {"qtbase_ja", "qt_ja"}) {
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(QString::fromLatin1(name), folder)) continue;
        QCoreApplication::installTranslator(translator.get());
        m_translators.push_back(std::move(translator));
        return;  // qt_ja only gathers the modules' files, qtbase_ja among them
    }
}

void CWinApp::AddDocTemplate(std::unique_ptr<CSingleDocTemplate> docTemplate) {
    m_pDocTemplate = std::move(docTemplate);
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) const {
    std::vector<std::wstring> args;
    for (int i = 1; i < m_argc; ++i)
        if (m_argv[static_cast<size_t>(i)])
            args.push_back(Utf8ToWide(m_argv[static_cast<size_t>(i)]));
    info.ParseArguments(args, CurrentDirectory());
}

BOOL CWinApp::ProcessShellCommand(const CCommandLineInfo& info) {
    if (!m_pDocTemplate) return FALSE;
    if (info.m_nShellCommand == CCommandLineInfo::FileOpen)
        return OpenDocumentFile(info.m_strFileName) != nullptr;
    return m_pDocTemplate->OpenDocumentFile(std::wstring()) ==
           CSingleDocTemplate::OpenResult::Opened;
}

CDocument* CWinApp::OpenDocumentFile(const std::wstring& path,
                                     CSingleDocTemplate::OpenResult* result) {
    const auto outcome = m_pDocTemplate ? m_pDocTemplate->OpenDocumentFile(path)
                                        : CSingleDocTemplate::OpenResult::Failed;
    if (result) *result = outcome;
    if (outcome != CSingleDocTemplate::OpenResult::Opened) return nullptr;
    AddToRecentFileList(path);
    return m_pDocTemplate->GetDocument();
}

void CWinApp::AddToRecentFileList(const std::wstring& path) {
    if (!m_pRecentFileList || path.empty()) return;
    m_pRecentFileList->Add(path);
    m_pRecentFileList->WriteList();
}

void CWinApp::OnAppExit(UINT) {
    if (m_pMainWnd) m_pMainWnd->close();
}

void CWinApp::OnOpenRecentFile(UINT id) {
    const int index = m_pRecentFileList ? m_pRecentFileList->IndexOfCommand(id) : -1;
    if (index < 0 || index >= m_pRecentFileList->GetCount()) return;
    const std::wstring path = (*m_pRecentFileList)[index];
    CSingleDocTemplate::OpenResult result;
    OpenDocumentFile(path, &result);
    // A refused open (work still running) says nothing about the file; a failed one
    // does, and the entry goes.
    if (result == CSingleDocTemplate::OpenResult::Failed && m_pRecentFileList->Remove(path))
        m_pRecentFileList->WriteList();
}

void CWinApp::OnUpdateRecentFile(CCmdUI& ui) const {
    const int index = m_pRecentFileList ? m_pRecentFileList->IndexOfCommand(ui.m_nID) : -1;
    ui.Enable(index >= 0 && index < m_pRecentFileList->GetCount());
}

CWinApp* AfxGetApp() {
    return g_pApp;
}

CFrameWnd* AfxGetMainWnd() {
    return g_pApp ? g_pApp->GetMainWnd() : nullptr;
}

int AfxWinMain(CWinApp& app, int argc, char** argv) {
    app.SetArguments(argc, argv);
    if (!app.InitInstance()) return 1;
    return app.Run();
}
