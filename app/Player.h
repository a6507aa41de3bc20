#pragma once
// The movie player window: a small popup at the top right of the screen in which the
// player device plays the open movie, with its sound, from the view's current frame.
// The view drives it with four commands (open or close, pause or resume, to the
// start, to the end) and keeps it in step with a slider drag. Its close box asks the
// owner to release it; it never closes itself.
#include <QTimer>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/mci/Mci.h"
#include "platform/mci/MciVideoSurface.h"
#include "platform/win32/Win32Types.h"
#include "toolkit/BaseWnd.h"

class CPlayer : public CBaseWnd, public IMciVideoSurface {
public:
    // videoRect: right = video width, bottom = video height.
    CPlayer(const RECT& videoRect, const std::wstring& path, int startFrame, UINT closeId);
    ~CPlayer() override;

    // Caption, size and place, taken before the window first shows.
    void PreCreateWindow();
    BOOL CreatePopup(CWnd* pOwner, DWORD dwStyle) override;

    // 0 when the movie plays, 1 when the device could not open or play it.
    int OpenAndPlay();
    void Stop();
    void Resume();
    // Plays from the start frame. Calls that come faster than the device should
    // restart (a slider drag) are gathered: the first restarts at once, the rest
    // wait for a short quiet spell and restart once, from the latest start frame.
    void PlayFrom();
    void SeekToStart();
    void SeekToEnd();
    // Silences the sound and closes the device now, also when the window itself has
    // to wait a little before it may be deleted. Closes only a device that opened.
    void CloseDevice();

    void SetStartFrame(int frame) { m_nStartFrame = frame; }
    int GetStartFrame() const { return m_nStartFrame; }
    // The view's idea of whether the device plays.
    void SetPlaying(BOOL playing) { m_bPlaying = playing; }
    BOOL IsPlaying() const { return m_bPlaying; }
    UINT GetCloseId() const { return m_nCloseId; }
    MCIDEVICEID GetDeviceId() const { return m_deviceId; }

    // The device's pictures, from its play thread or from a seek.
    void ShowFrame(int frame, const BITMAPINFOHEADER& header, const void* bits) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Hidden by its holder: released, so the sound ends here and now.
    void hideEvent(QHideEvent* event) override;

private:
    void RestartNow();
    void OnRestartTimer();
    void ReportDeviceFailure();
    void Seek(DWORD where);

    MCIDEVICEID m_deviceId = MCI_INVALID_DEVICE_ID;
    int m_nStartFrame;
    BOOL m_bPlaying = FALSE;
    std::wstring m_path;
    RECT m_videoRect;
    UINT m_nCloseId;

    QTimer m_restartTimer;
    bool m_restartPending = false;

    std::mutex m_pictureLock;
    std::vector<BYTE> m_picture;  // the latest frame's rows
    BITMAPINFOHEADER m_pictureHeader{};
    std::atomic<bool> m_repaintPosted{false};
};
