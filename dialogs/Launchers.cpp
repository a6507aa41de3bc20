#include "dialogs/Launchers.h"

#include <QApplication>

#include "app/Info.h"
#include "dialogs/AVISetDlg.h"
#include "dialogs/AudioStreamSel.h"
#include "dialogs/DialogResources.h"
#include "dialogs/HOZON.h"
#include "dialogs/MyAboutDlg.h"
#include "dialogs/Volume.h"
#include "dialogs/WMVSet.h"
#include "foundation/PathUtil.h"
#include "foundation/RegUtil.h"
#include "foundation/SysUtil.h"
#include "platform/ui/UiServices.h"

namespace {

constexpr UINT kMsgSavePathInvalid = 50201;
constexpr UINT kMsgOutputIsMovie = 50203;
constexpr UINT kMsgNoHelpViewer = 50215;
constexpr wchar_t kImageFilter[] =
    L"JPG (*.JPG)|*.JPG; *.JPEG|BMP (*.BMP)|*.BMP|TIF (*.TIF)|*.TIF; *.TIFF|PNG (*.PNG)|*.PNG|";
constexpr wchar_t kImageSection[] = L"data";
constexpr wchar_t kImageEntry[] = L"Index";

// Runs the save dialog until it is cancelled or names something other than the
// open movie; writing over the movie while it is read would destroy it.
bool AskOutputPath(FileDialogRequest& request, const std::wstring& moviePath) {
    for (;;) {
        if (!GetUiServices().fileDialog->RunFileDialog(nullptr, request)) return false;
        if (!IsSameFile(request.path, moviePath)) return true;
        ShowMessageBox(nullptr, DialogTextWithPath(kMsgOutputIsMovie, request.path), std::wstring(),
                       MB_OK | MB_ICONEXCLAMATION);
    }
}

FileDialogRequest SaveRequest(const std::wstring& path, const std::wstring& filter, const std::wstring& ext) {
    FileDialogRequest request;
    request.save = true;
    request.filter = filter;
    request.defaultExt = ext;
    request.path = path;
    request.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    return request;
}

}  // namespace

int DoVolumeDialog(int percent, CWnd* pParent) {
    CVolume dlg(pParent);
    dlg.SetVolume(percent);
    dlg.DoModal();
    return dlg.GetVolume();
}

int DoAudioStreamDialog(int* choice, CWnd* pParent) {
    CAudioStreamSel dlg(pParent);
    if (dlg.DoModal() != IDOK) return DialogCancelled;
    if (choice) *choice = dlg.GetChoice();
    return 1;
}

int ApplyOverwritePolicy(const CInfo* info, std::wstring& path, std::wstring filter,
                         const std::wstring& moviePath) {
    if (!info) return 0;
    if (info->m_nOverwrite == 2 && FileExists(path.c_str())) {
        FileDialogRequest request = SaveRequest(path, filter, std::wstring());
        if (!AskOutputPath(request, moviePath)) return DialogCancelled;
        path = request.path;
    } else if (info->m_nOverwrite == 1) {
        MakeUniqueFileName(path);
    }
    return 0;
}

void DoAboutDialog() {
    CMyAboutDlg dlg(RGB(255, 255, 255), RGB(0, 0, 0), nullptr);
    dlg.DoModal();
}

void OpenHelpPage() {
    const std::wstring page = CMyAboutDlg::HelpPagePath();
    // Without a browser the handler fails on its worker, and says so only on a terminal
    // the user may not have; the box is shown on the window thread.
    ShellOpenAsync(page.c_str(), [page] {
        QMetaObject::invokeMethod(
            qApp,
            [page] {
                ShowMessageBox(nullptr, DialogTextWithPath(kMsgNoHelpViewer, page), std::wstring(),
                               MB_OK | MB_ICONEXCLAMATION);
            },
            Qt::QueuedConnection);
    });
}

int BrowseImageSaveFile(std::wstring& path, const std::wstring& moviePath) {
    FileDialogRequest request = SaveRequest(path, kImageFilter, L"jpg");
    request.filterIndex = static_cast<int>(ProfileGetInt(kImageSection, kImageEntry, 1));
    if (!AskOutputPath(request, moviePath)) return kImageFileCancelled;
    path = request.path;
    ProfileWriteInt(kImageSection, kImageEntry, request.filterIndex);
    return kImageFileChosen;
}

void DoSaveSettingDialog(CInfo* info, CWnd* pParent) {
    if (!info) return;
    CHOZON dlg(pParent);
    dlg.m_info = *info;
    if (dlg.DoModal() == IDOK) {
        // Only a folder the user changed replaces one kept while its disk is away.
        const bool picked = dlg.m_info.m_strOutputFolder != info->m_strOutputFolder;
        *info = dlg.m_info;
        const int valid = picked ? info->SavePicked() : info->SaveChecked();
        // The dialog's record stores itself when the dialog goes: the checked values.
        dlg.m_info = *info;
        if (valid == 0)
            ShowMessageBox(pParent ? pParent->GetWidget() : nullptr, DialogText(kMsgSavePathInvalid), std::wstring(),
                           MB_OK);
        return;
    }
    // The dialog's record stores itself when the dialog goes: it must hold the
    // caller's values, not what was typed before the cancel.
    dlg.m_info = *info;
}

int DoAviSettingDialog(const BITMAPINFOHEADER* input, CEncAVISetting* settings, CWnd* pParent) {
    if (!input || !settings) return DialogCancelled;
    CAVISetDlg dlg(pParent);
    dlg.SetSettings(input, *settings);
    if (dlg.DoModal() != IDOK) return DialogCancelled;
    dlg.GetSettings(*settings);
    return 0;
}

int DoWmvSettingDialog(CInfo* info, CWnd* pParent) {
    if (!info) return DialogCancelled;
    CWMVSet dlg(pParent);
    dlg.m_info = *info;
    if (dlg.DoModal() != IDOK) return DialogCancelled;
    *info = dlg.m_info;
    return 0;
}
