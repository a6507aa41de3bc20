#include "app/Player.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHideEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cstring>

#include "foundation/LangString.h"
#include "platform/ui/DC.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UiServices.h"
#include "resources/CommandIds.h"

namespace {

// The device delivers the movie's own frame size; bound it to what a screen holds.
constexpr int kMaxSide = 16384;
// A slider drag restarts the device at most this often.
constexpr int kRestartQuietMs = 60;
constexpr UINT kErrorTextChars = 520;

int Side(LONG v) { return std::clamp<int>(v, 1, kMaxSide); }

}  // namespace

CPlayer::CPlayer(const RECT& videoRect, const std::wstring& path, int startFrame, UINT closeId)
    : m_nStartFrame(startFrame), m_path(path), m_videoRect(videoRect), m_nCloseId(closeId) {
    m_restartTimer.setSingleShot(true);
    m_restartTimer.setInterval(kRestartQuietMs);
    QObject::connect(&m_restartTimer, &QTimer::timeout, this, [this] { OnRestartTimer(); });
}

CPlayer::~CPlayer() {
    CloseDevice();
    MciUnregisterVideoSurface(GetSafeHwnd());
}

void CPlayer::PreCreateWindow() {
    setWindowTitle(QString::fromStdWString(LoadLangString(50605, 50606)));
    const int w = Side(m_videoRect.right), h = Side(m_videoRect.bottom);
    // The picture fills the client area; the window system adds border and caption.
    resize(w, h);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, w + 6, h + 25);
    move(area.x() + area.width() - w - 6, area.y());
}

BOOL CPlayer::CreatePopup(CWnd* pOwner, DWORD dwStyle) {
    if (!CBaseWnd::CreatePopup(pOwner, dwStyle & ~WS_VISIBLE)) return FALSE;
    PreCreateWindow();
    show();
    return TRUE;
}

int CPlayer::OpenAndPlay() {
    CloseDevice();
    const HWND window = GetSafeHwnd();
    MciRegisterVideoSurface(window, this);
    MCI_DGV_OPEN_PARMSW open{};
    open.lpstrDeviceType = L"AVIVideo";
    open.lpstrElementName = m_path.c_str();
    open.dwStyle = WS_CHILD;
    open.hWndParent = window;
    const DWORD flags = MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_DGV_OPEN_PARENT | MCI_DGV_OPEN_WS;
    if (mciSendCommand(MCI_INVALID_DEVICE_ID, MCI_OPEN, flags, DWORD_PTR(&open)) != 0) {
        ReportDeviceFailure();
        return 1;
    }
    m_deviceId = open.wDeviceID;
    MCI_PLAY_PARMS play{};
    play.dwCallback = DWORD_PTR(window);
    play.dwFrom = DWORD(m_nStartFrame);
    if (mciSendCommand(m_deviceId, MCI_PLAY, MCI_NOTIFY | MCI_FROM, DWORD_PTR(&play)) != 0) {
        ReportDeviceFailure();
        return 1;
    }
    return 0;
}

void CPlayer::Stop() {
    m_restartTimer.stop();
    m_restartPending = false;
    MCI_GENERIC_PARMS stop{};
    if (mciSendCommand(m_deviceId, MCI_STOP, MCI_WAIT, DWORD_PTR(&stop)) != 0) ReportDeviceFailure();
}

void CPlayer::Resume() {
    m_restartTimer.stop();
    m_restartPending = false;
    MCI_PLAY_PARMS play{};
    play.dwCallback = DWORD_PTR(GetSafeHwnd());
    if (mciSendCommand(m_deviceId, MCI_PLAY, MCI_NOTIFY, DWORD_PTR(&play)) != 0) ReportDeviceFailure();
    update();
}

void CPlayer::PlayFrom() {
    if (m_restartTimer.isActive()) {
        m_restartPending = true;
        return;
    }
    m_restartTimer.start();
    RestartNow();
}

void CPlayer::OnRestartTimer() {
    if (!m_restartPending) return;
    m_restartPending = false;
    m_restartTimer.start();
    RestartNow();
}

void CPlayer::RestartNow() {
    MCI_PLAY_PARMS play{};
    play.dwCallback = DWORD_PTR(GetSafeHwnd());
    play.dwFrom = DWORD(m_nStartFrame);
    if (mciSendCommand(m_deviceId, MCI_PLAY, MCI_NOTIFY | MCI_FROM, DWORD_PTR(&play)) != 0) ReportDeviceFailure();
}

void CPlayer::SeekToStart() { Seek(MCI_SEEK_TO_START); }

void CPlayer::SeekToEnd() { Seek(MCI_SEEK_TO_END); }

void CPlayer::Seek(DWORD where) {
    m_restartTimer.stop();
    m_restartPending = false;
    MCI_SEEK_PARMS seek{};
    const MCIERROR rc = mciSendCommand(m_deviceId, MCI_SEEK, MCI_WAIT | where, DWORD_PTR(&seek));
    if (rc == 0) return;
    wchar_t text[kErrorTextChars] = {};
    mciGetErrorString(rc, text, kErrorTextChars);
    ShowMessageBox(this, text, LoadLangString(50603, 50604), MB_OK | MB_ICONEXCLAMATION);
}

void CPlayer::CloseDevice() {
    m_restartTimer.stop();
    m_restartPending = false;
    if (m_deviceId == MCI_INVALID_DEVICE_ID) return;
    mciSendCommand(m_deviceId, MCI_CLOSE, 0, 0);
    m_deviceId = MCI_INVALID_DEVICE_ID;
}

void CPlayer::ReportDeviceFailure() {
    ShowMessageBox(this, LoadLangString(50601, 50602), LoadStringTableEntry(AFX_IDS_APP_TITLE), MB_OK);
}

void CPlayer::ShowFrame(int, const BITMAPINFOHEADER& header, const void* bits) {
    if (header.biBitCount != 24 || header.biWidth <= 0 || header.biHeight <= 0) return;
    if (header.biWidth > kMaxSide || header.biHeight > kMaxSide) return;
    {
        std::lock_guard<std::mutex> lock(m_pictureLock);
        const auto bytes = static_cast<size_t>(DibRowBytes(header.biWidth, 24) * header.biHeight);
        m_picture.resize(bytes);
        std::memcpy(m_picture.data(), bits, bytes);
        m_pictureHeader = header;
    }
    // One repaint waiting is enough: it draws whatever frame came last.
    if (m_repaintPosted.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_repaintPosted = false;
            update();
        },
        Qt::QueuedConnection);
}

void CPlayer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    CDC dc(&painter);
    dc.FillSolidRect(FromQRect(rect()), RGB(0, 0, 0));
    std::lock_guard<std::mutex> lock(m_pictureLock);
    if (m_picture.empty()) return;
    const RECT whole{0, 0, m_pictureHeader.biWidth, m_pictureHeader.biHeight};
    dc.SetStretchBltMode(COLORONCOLOR);
    dc.DrawFrame24(whole, m_picture.data(), m_pictureHeader.biWidth, m_pictureHeader.biHeight, whole);
}

void CPlayer::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (CWnd* owner = m_pOwner) SendCommand(*owner, m_nCloseId);
}

void CPlayer::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) CloseDevice();
    CBaseWnd::hideEvent(event);
}
