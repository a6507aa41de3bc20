// Builds a small dialog from a template, shows it and keeps a picture of it in the
// test output folder (under xvfb-run the picture is taken from the X screen).
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdlib>

#include "platform/ui/DataExchange.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UpDown.h"
#include "toolkit/BaseDialog.h"
#include "toolkit/LinkButton.h"

namespace {

constexpr UINT kDemo = 9301;

class DemoDialog : public CBaseDialog {
public:
    DemoDialog() : CBaseDialog(kDemo, nullptr) {}
    BOOL OnInitDialog() override {
        CBaseDialog::OnInitDialog();
        GetUpDown(403)->SetRange(1, 100);
        GetUpDown(403)->SetPos(quality);
        QComboBox* combo = GetComboBox(405);
        for (const char* s : {"OverWrite", "Automatic enhancing", "Certain Dlg"}) combo->addItem(QString::fromUtf8(s));
        combo->setCurrentIndex(1);
        m_go.AttachDlgItem(410, this);
        return TRUE;
    }
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, 401, folder);
        DDX_Text(pDX, 406, interval);
        DDX_Radio(pDX, 420, deinterlace);
    }
    std::wstring folder = L"/home/user/Videos";
    unsigned interval = 30;
    int quality = 85;
    int deinterlace = 2;

private:
    CColorButton m_go{RGB(40, 60, 90), RGB(255, 255, 255), RGB(128, 128, 128), RGB(255, 210, 80), 0};
};

void RegisterDemo() {
    DialogTemplate t;
    t.id = kDemo;
    t.caption = L"Save Setting";
    t.cx = 250;
    t.cy = 150;
    t.controls = {
        {400, ControlKind::GroupBox, 7, 5, 236, 30, 0, L"directory of output file"},
        {401, ControlKind::Edit, 14, 16, 180, 13, ES_READONLY, L""},
        {402, ControlKind::PushButton, 198, 16, 38, 13, 0, L"...(&B)"},
        {404, ControlKind::Edit, 14, 44, 40, 13, ES_NUMBER, L""},
        {403, ControlKind::UpDown, 54, 44, 10, 13, UDS_AUTOBUDDY | UDS_SETBUDDYINT | UDS_ARROWKEYS, L""},
        {407, ControlKind::Static, 70, 46, 70, 10, 0, L"JPG compressibility"},
        {406, ControlKind::Edit, 14, 62, 40, 13, 0, L""},
        {408, ControlKind::Static, 58, 64, 80, 10, 0, L"intervals of the scene"},
        {405, ControlKind::ComboBox, 150, 44, 93, 60, 0, L""},
        {409, ControlKind::CheckBox, 150, 62, 93, 12, 0, L"2pass-Enc(PRX)(&C)"},
        {420, ControlKind::RadioButton, 14, 84, 50, 12, WS_GROUP, L"NO"},
        {421, ControlKind::RadioButton, 66, 84, 50, 12, 0, L"Odd"},
        {422, ControlKind::RadioButton, 118, 84, 50, 12, 0, L"Even"},
        {423, ControlKind::RadioButton, 170, 84, 60, 12, 0, L"Doubling"},
        {410, ControlKind::PushButton, 14, 104, 90, 20, 0, L"Audio Setting Dlg...(&S)"},
        {IDOK, ControlKind::DefPushButton, 136, 130, 50, 14, 0, L"OK"},
        {IDCANCEL, ControlKind::PushButton, 193, 130, 50, 14, 0, L"Cancel"},
    };
    RegisterDialogTemplate(t);
}

QString OutputFolder() {
    const char* root = std::getenv("TALVERN_TEST_TMP");
    QDir dir(QString::fromUtf8(root && *root ? root : "/tmp"));
    dir.mkpath(QStringLiteral("screenshots"));
    return dir.filePath(QStringLiteral("screenshots"));
}

}  // namespace

TEST(DemoDialog, RendersFromItsTemplate) {
    RegisterDemo();
    DemoDialog dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    dlg.move(40, 40);
    EXPECT_EQ(dlg.GetDlgItemText(404), L"85");
    EXPECT_EQ(dlg.IsDlgButtonChecked(422), 1);
    QPixmap shot;
    const bool onX11 = QGuiApplication::platformName() == QStringLiteral("xcb");
    if (onX11) {
        // Give the window manager and the X server time to map and paint the window.
        QEventLoop loop;
        QTimer::singleShot(500, &loop, &QEventLoop::quit);
        loop.exec();
        shot = QGuiApplication::primaryScreen()->grabWindow(0, dlg.x(), dlg.y(),
                                                            dlg.frameGeometry().width(), dlg.frameGeometry().height());
    } else {
        shot = dlg.grab();
    }
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(OutputFolder() + QStringLiteral("/demo-dialog.png")));
}
