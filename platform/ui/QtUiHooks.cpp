#include "platform/ui/QtUiHooks.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <cstdlib>

#include "platform/ui/UiServices.h"

CQtUiHooks::CQtUiHooks() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

CQtUiHooks::~CQtUiHooks() {
    if (GetUiHooks() == this) RegisterUiHooks(nullptr);
}

bool CQtUiHooks::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) m_bQuit = true;
    return false;
}

bool CQtUiHooks::OpenClipboard() { return QCoreApplication::instance() != nullptr; }

bool CQtUiHooks::EmptyClipboard() { return true; }

bool CQtUiHooks::SetClipboardDib(HGLOBAL dib) {
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(dib));
    if (!bytes) return false;
    const bool placed = GetUiServices().clipboard->SetDib(bytes, GlobalSize(dib));
    GlobalUnlock(dib);
    // The clipboard keeps its own copy; the block it now owns is no longer needed.
    if (placed) GlobalFree(dib);
    return placed;
}

bool CQtUiHooks::HasPendingMessage() {
    if (m_bQuit) return true;
    if (m_bPumped) {
        m_bPumped = false;  // the next round starts afresh
        return false;
    }
    m_bPumped = true;
    return true;
}

bool CQtUiHooks::PumpMessage() {
    if (!m_bQuit) QCoreApplication::processEvents(QEventLoop::AllEvents);
    return !m_bQuit;
}

void CQtUiHooks::PostQuitMessage(int exitCode) {
    m_bQuit = true;
    // Every running event loop leaves once control returns to it, the main one included.
    QCoreApplication::exit(exitCode);
}

LOGFONTW CQtUiHooks::GetDefaultGuiLogFont() {
    LOGFONTW lf{};
    const QFont font = QApplication::font();
    const QFontInfo info(font);
    lf.lfHeight = -info.pixelSize();
    lf.lfWeight = info.bold() ? 700 : 400;
    lf.lfItalic = info.italic() ? 1 : 0;
    const std::u16string face = font.family().toStdU16String();
    for (size_t i = 0; i < face.size() && i + 1 < static_cast<size_t>(LF_FACESIZE); ++i)
        lf.lfFaceName[i] = face[i];
    return lf;
}

SIZE CQtUiHooks::GetTextExtentGuiFont(CWnd*, const std::wstring& text) {
    const QFontMetrics fm(QApplication::font());
    const QSize s = fm.size(Qt::TextSingleLine, QString::fromStdWString(text));
    return SIZE{s.width(), s.height()};
}

void InstallQtUiHooks() {
    static CQtUiHooks hooks;
    RegisterUiHooks(&hooks);
}

void PreferX11Platform() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) return;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* sessionType = std::getenv("XDG_SESSION_TYPE");
    const bool onWayland = (wayland && *wayland) || (sessionType && std::string(sessionType) == "wayland");
    if (onWayland) setenv("QT_QPA_PLATFORM", "xcb", 1);
}
