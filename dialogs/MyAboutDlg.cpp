#include "dialogs/MyAboutDlg.h"

#include <QMouseEvent>
#include <QPainter>
#include <QThread>
#include <cmath>
#include <cstdlib>

#include "dialogs/DialogResources.h"
#include "dialogs/Launchers.h"
#include "foundation/LangString.h"
#include "foundation/PathUtil.h"
#include "foundation/SysUtil.h"
#include "platform/ui/Icons.h"
#include "platform/ui/ScreenDC.h"
#include "platform/ui/ShapedWindow.h"
#include "toolkit/MemCDC.h"

namespace {

constexpr UINT kProgramIcon = 128;
constexpr UINT kOkIcon = 41001;
constexpr COLORREF kLinkBlue = RGB(0, 0, 255);
constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr int kIconFrameHoverOnly = 1;

int ToDevice(double logical, double dpr) { return static_cast<int>(std::lround(logical * dpr)); }

}  // namespace

CMyAboutDlg::CMyAboutDlg(COLORREF crBack, COLORREF crText, CWnd* pParent)
    : CBaseColorDialog(SettingsDialogTemplate(IDD), pParent, crBack, crText),
      m_link(crBack, kLinkBlue, kGrey, kMagenta),
      m_ok(LoadIconResource(kOkIcon), LoadIconResource(kOkIcon), crBack, crText, kGrey, kMagenta,
           kIconFrameHoverOnly) {}

std::wstring CMyAboutDlg::HelpPagePath() {
    // The pages the build puts beside the program, one per language.
    return GetModuleDir() + (IsJapaneseSystem() ? L"talvern_ja.html" : L"talvern.html");
}

std::wstring CMyAboutDlg::VersionLine() {
    const std::wstring module = GetModuleFilePath();
    return GetPathFileTitle(module) + L" Version " + GetFileVersionString(module.c_str());
}

BOOL CMyAboutDlg::OnInitDialog() {
    CBaseColorDialog::OnInitDialog();
    m_link.AttachDlgItem(IDC_LINK, this);
    m_ok.AttachDlgItem(IDOK, this);
    OnClicked(IDC_LINK, [this] { OnLink(); });
    SetWindowFrameless(this);
    SetWindowEllipse(this, QRect(QPoint(2, 0), QPoint(width() - 1, height() - 1)));
    // The placeholder only marks where the program icon is painted.
    if (QWidget* place = GetDlgItem(IDC_ICON_PLACE)) place->hide();
    SetDlgItemText(IDC_VERSION, VersionLine());
    return TRUE;
}

void CMyAboutDlg::paintEvent(QPaintEvent* event) {
    CBaseColorDialog::paintEvent(event);
    const QWidget* place = GetDlgItem(IDC_ICON_PLACE);
    if (!place) return;
    QPainter painter(this);
    CDC dc(&painter);
    dc.DrawIcon(place->x(), place->y(), LoadIconResource(kProgramIcon));
}

void CMyAboutDlg::mousePressEvent(QMouseEvent* event) {
    m_dragPoint = event->globalPosition().toPoint() - pos();
    CBaseColorDialog::mousePressEvent(event);
}

void CMyAboutDlg::mouseMoveEvent(QMouseEvent* event) {
    // Without a caption the face itself is the handle. Screen positions keep the
    // window under the pointer: a local position goes stale while the window
    // server has not yet confirmed the last move, and would add that move twice.
    if (event->buttons() == Qt::LeftButton && event->modifiers() == Qt::NoModifier) {
        const QPoint target = event->globalPosition().toPoint() - m_dragPoint;
        if (target != pos()) move(target);
    }
    CBaseColorDialog::mouseMoveEvent(event);
}

void CMyAboutDlg::OnLink() { OpenHelpPage(); }

void CMyAboutDlg::OnOK() {
    PlayClosingAnimation();
    EndDialog(IDOK);
}

// The dialog's picture swells to twice its size and back, then bounces with
// amplitudes of 33, 11, 3 and 1 percent, over a copy of the screen around it.
// Every count is in the screen's device pixels.
void CMyAboutDlg::PlayClosingAnimation() {
    const CScreenDC screen(this);
    if (!screen.GetImage()) return;
    const double dpr = screen.DevicePixelRatio();
    const QPoint origin = screen.Geometry().topLeft();
    const int L = ToDevice(x() - origin.x(), dpr), T = ToDevice(y() - origin.y(), dpr);
    const int W = ToDevice(width(), dpr), H = ToDevice(height(), dpr);
    CMemCDC back, face, work;
    if (!back.CreateCompatible(nullptr, 3 * W, 3 * H) || !face.CreateCompatible(nullptr, W, H) ||
        !work.CreateCompatible(nullptr, 3 * W, 3 * H))
        return;
    back.BitBlt(0, 0, 3 * W, 3 * H, &screen, L - W / 2, T - H / 2, SRCCOPY);
    face.BitBlt(0, 0, W, H, &screen, L, T, SRCCOPY);

    const QRect popupArea(QPoint(x() - width() / 2, y() - height() / 2), QSize(3 * width(), 3 * height()));
    CAnimationPopup popup(popupArea);
    for (int s = 100; s != 0; s /= 3) {
        for (int k = -s; k <= s; k += 5) {
            const int z = s - std::abs(k);
            const int dx = W * z / 100, dy = H * z / 100;
            work.BitBlt(0, 0, 3 * W, 3 * H, &back, 0, 0, SRCCOPY);
            work.FillSolidRect({W / 2 + dx, H / 2 + dy, W / 2 + dx + W, H / 2 + dy + H}, RGB(0, 0, 0));
            work.StretchFrom(&face, {W / 2 - dx / 2, H / 2 - dy / 2, (3 * W + dx) / 2, (3 * H + dy) / 2},
                             {0, 0, W, H}, SRCCOPY);
            QImage frame = work.GetImage()->copy();
            frame.setDevicePixelRatio(dpr);
            popup.ShowFrame(frame);
            ++m_nFrames;
            QThread::msleep(1);
        }
    }
}
