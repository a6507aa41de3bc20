#include "app/Shorityu.h"

#include <QCloseEvent>
#include <QPainter>
#include <algorithm>

#include "foundation/LangString.h"
#include "platform/ui/DC.h"
#include "platform/ui/DialogTemplate.h"

namespace {
// A frame header is the reader's, so only bound the window to what a screen can hold.
constexpr int kMaxSide = 16384;
}  // namespace

CShorityu::CShorityu(SourceFrame source, UINT closeId) : m_source(std::move(source)), m_nCloseId(closeId) {
    // It belongs to its owner: left open, it must not keep the program running.
    setAttribute(Qt::WA_QuitOnClose, false);
}

void CShorityu::PreCreateWindow() {
    setWindowTitle(QString::fromStdWString(LoadLangString(50505, 50506)));
    BITMAPINFOHEADER header{};
    const BYTE* bits = nullptr;
    const bool known = m_source && m_source(&bits, &header);
    const int w = known ? std::clamp<int>(header.biWidth, 1, kMaxSide) : 1;
    const int h = known ? std::clamp<int>(header.biHeight, 1, kMaxSide) : 1;
    // The frame fills the client area; the window system adds the frame and caption.
    resize(w, h);
    move(0, 0);
}

BOOL CShorityu::CreatePopup(CWnd* pOwner, DWORD dwStyle) {
    if (!CBaseWnd::CreatePopup(pOwner, dwStyle & ~WS_VISIBLE)) return FALSE;
    PreCreateWindow();
    if (dwStyle & WS_VISIBLE) show();
    return TRUE;
}

void CShorityu::DrawImage() { repaint(); }

void CShorityu::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    CDC dc(&painter);
    BITMAPINFOHEADER header{};
    const BYTE* bits = nullptr;
    if (!m_source || !m_source(&bits, &header) || !bits || header.biWidth <= 0 || header.biHeight <= 0) return;
    dc.SetStretchBltMode(COLORONCOLOR);
    const RECT whole{0, 0, header.biWidth, header.biHeight};
    dc.DrawFrame24(whole, bits, header.biWidth, header.biHeight, whole);
}

void CShorityu::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (CWnd* owner = m_pOwner) SendCommand(*owner, m_nCloseId);
}
