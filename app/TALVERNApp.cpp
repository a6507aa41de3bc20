#include "app/TALVERNApp.h"

#include <QString>

#include "app/MainFrame.h"
#include "app/TALVERNDoc.h"
#include "app/TALVERNView.h"
#include "dialogs/DialogResources.h"
#include "dialogs/Launchers.h"
#include "dialogs/MyAboutDlg.h"
#include "dialogs/PlatformDialogs.h"
#include "foundation/IniCreate.h"
#include "foundation/LangString.h"
#include "foundation/PathUtil.h"
#include "foundation/SysUtil.h"
#include "platform/registry/RegistryStore.h"
#include "platform/ui/CommandLineInfo.h"
#include "platform/ui/QtUiHooks.h"
#include "platform/ui/UiServices.h"
#include "platform/win32/WideChar.h"
#include "resources/AppResources.h"
#include "toolkit/BaseDialog.h"
#include "toolkit/BaseView.h"

namespace {

constexpr UINT kSettingsUnreadable = 50007;

// A settings file that cannot be read is neither used nor written over (its settings
// would be lost); the user learns it once, with the file's name.
void WarnIfSettingsUnreadable(QWidget* owner) {
    const talvern::settings::RegistryStore store;
    if (!store.IsUnreadable()) return;
    ShowMessageBox(owner, DialogTextWithPath(kSettingsUnreadable, Utf8ToWide(store.FilePath())),
                   LoadStringTableEntry(AFX_IDS_APP_TITLE), MB_OK | MB_ICONEXCLAMATION);
}

// A stored output folder that is not there (a disk not connected) stays in the settings;
// this run writes to the default folder, and the user learns both folders once.
void WarnIfOutputFolderMissing(CFrameWnd* frame) {
    const auto* doc = dynamic_cast<CTALVERNDoc*>(frame->GetActiveDocument());
    if (!doc || doc->m_Info.KeptFolder().empty()) return;
    // Both folders in one pass: a '%' in a folder's name is no place holder.
    const QString text = QString::fromStdWString(LoadLangString(50009, 50010))
                             .arg(QString::fromStdWString(doc->m_Info.KeptFolder()),
                                  QString::fromStdWString(doc->m_Info.m_strOutputFolder));
    ShowMessageBox(frame, text.toStdWString(), LoadStringTableEntry(AFX_IDS_APP_TITLE),
                   MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

CTALVERNApp::CTALVERNApp() {
    OnCommand(ID_APP_ABOUT, [this](UINT id) { OnAppAbout(id); });
    OnCommand(ID_HELP, [this](UINT id) { OnHelp(id); });
}

BOOL CTALVERNApp::InitInstance() {
    PreferX11Platform();
    if (!CWinApp::InitInstance()) return FALSE;
    LoadQtTranslations();
    SetRegistryKey(ReadRegPos());
    LoadStdProfileSettings(6);
    RegisterAppResources();
    // The audio format chooser and the compressors' own dialogs answer from here on.
    InstallPlatformDialogs();
    const UINT menu = IsJapaneseSystem() ? IDR_MAINFRAME : IDR_MAINFRAME_EN;
    AddDocTemplate(std::make_unique<CSingleDocTemplate>(menu, IDR_MAINFRAME, &CreateDocument,
                                                        &CreateFrame, &CreateView));
    CCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);
    if (!ProcessShellCommand(cmdInfo)) return FALSE;
    m_pMainWnd->CenterWindow();
    m_pMainWnd->show();
    // The title follows the document, which a movie named on the command line has set.
    m_pMainWnd->OnUpdateFrameTitle();
    WarnIfSettingsUnreadable(m_pMainWnd);
    WarnIfOutputFolderMissing(m_pMainWnd);
    return TRUE;
}

std::unique_ptr<CDocument> CTALVERNApp::CreateDocument() {
    return std::make_unique<CTALVERNDoc>();
}

std::unique_ptr<CFrameWnd> CTALVERNApp::CreateFrame() {
    return std::make_unique<CMainFrame>();
}

CWnd* CTALVERNApp::CreateView(CFrameWnd& frame) {
    auto* view = new CTALVERNView(&frame);
    view->SetDocument(dynamic_cast<CTALVERNDoc*>(frame.GetActiveDocument()));
    return view;
}

std::wstring CTALVERNApp::GetHelpFilePath() {
    // The About box's link opens the same page.
    return CMyAboutDlg::HelpPagePath();
}

void CTALVERNApp::OnAppAbout(UINT) {
    DoAboutDialog();
}

void CTALVERNApp::OnHelp(UINT) {
    OpenHelpPage();
}
