#pragma once
// The only way the view and the application open a modal settings dialog: each
// launcher builds the dialog for the length of the call, copies the caller's values
// in, runs it, copies the results back only when the user confirmed, and returns a
// small code. Two of them are plain save dialogs. No launcher keeps state.
#include <string>

#include "foundation/ResultCodes.h"
#include "platform/win32/Win32Types.h"

class CEncAVISetting;
class CInfo;
class CWnd;

// The user cancelled: the caller stops what it was preparing and passes the code on.
constexpr int DialogCancelled = ResultCode::kCancelled;
// The image file chooser's own results.
constexpr int kImageFileChosen = 1;
constexpr int kImageFileCancelled = 2;

// The volume in percent after the dialog, however it ended (OK or the close box).
int DoVolumeDialog(int percent, CWnd* pParent);
// What becomes of the audio track of a video output or an audio extraction.
enum AudioChoice : int { kAudioNone = 0, kAudioRecompress = 1, kAudioCopy = 2 };
// 1 with *choice set to the AudioChoice; on cancel DialogCancelled with *choice
// untouched.
int DoAudioStreamDialog(int* choice, CWnd* pParent);
// Applies the record's overwrite policy to an output path that is about to be
// written: 0 overwrite as it is, 1 the first free "name(n).ext", 2 ask with a save
// dialog when the file exists. 0, or DialogCancelled with path unchanged. A save
// dialog never accepts moviePath (the open movie; empty for none) as the output.
int ApplyOverwritePolicy(const CInfo* info, std::wstring& path, std::wstring filter,
                         const std::wstring& moviePath = std::wstring());
// The version window, white with black text, without parent.
void DoAboutDialog();
// Opens the help page in the user's language with the desktop's handler; when there is
// none, a box names the page so that it can be opened by hand.
void OpenHelpPage();
// "Save Image" chooser for one still image, opening on the filter chosen last time
// (profile "data"/"Index"). kImageFileChosen with path set, or kImageFileCancelled
// with path and the stored filter unchanged. Never accepts moviePath.
int BrowseImageSaveFile(std::wstring& path, const std::wstring& moviePath = std::wstring());
// The save settings dialog over a copy of *info. OK: *info takes the dialog's values
// and is stored; a folder that cannot be used is replaced and reported. Cancel and
// the close box: *info and the stored profile keep the caller's values.
void DoSaveSettingDialog(CInfo* info, CWnd* pParent);
// The compressor of a re-encoded AVI for frames of format input: 0 with *settings
// taking the dialog's values, or DialogCancelled with *settings untouched.
int DoAviSettingDialog(const BITMAPINFOHEADER* input, CEncAVISetting* settings, CWnd* pParent);
// The WMV encoding over a copy of *info: 0 with *info taking the dialog's values, or
// DialogCancelled with *info exactly as it was.
int DoWmvSettingDialog(CInfo* info, CWnd* pParent);

// The filters of the outputs that pass the overwrite policy.
inline constexpr wchar_t kAviFilter[] = L"AVI (*.AVI)|*.avi|";
inline constexpr wchar_t kWmvFilter[] = L"WMV (*.WMV)|*.wmv|";
inline constexpr wchar_t kWavFilter[] = L"WAV (*.WAV)|*.wav|";
