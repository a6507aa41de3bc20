// The audio choice, volume and About dialogs through their launchers.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <chrono>
#include <mutex>
#include <thread>

#include "dialogs/AudioStreamSel.h"
#include "dialogs/Launchers.h"
#include "dialogs/MyAboutDlg.h"
#include "dialogs/Volume.h"
#include "foundation/SysUtil.h"
#include "foundation/SystemCommands.h"
#include "tests/dialogs/DialogTestSupport.h"

using namespace dialogs_test;

namespace {

class SmallDialogs : public DialogFixture {};

// Shell requests arrive on worker threads.
class RecordingShell : public ISystemCommands {
public:
    void RunPowerAction(PowerAction) override {}
    bool ShellOpen(const std::string& target) override {
        std::lock_guard<std::mutex> lock(mutex);
        opened.push_back(target);
        return true;
    }
    std::vector<std::string> WaitFor(size_t count) {
        for (int i = 0; i < 500 && Count() < count; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::lock_guard<std::mutex> lock(mutex);
        return opened;
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return opened.size();
    }
    std::mutex mutex;
    std::vector<std::string> opened;
};

void PressKey(QWidget& w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &press);
}

}  // namespace

TEST_F(SmallDialogs, AudioChoiceOpensOnRecompressAndCancelsWithTheCloseBox) {
    struct Case {
        UINT radio;  // 0: leave the default
        bool close;
        int result, choice;
    };
    const Case cases[] = {
        {0, false, 1, kAudioRecompress},
        {CAudioStreamSel::IDC_COPY_STREAM, false, 1, kAudioCopy},
        {CAudioStreamSel::IDC_NO_AUDIO, false, 1, kAudioNone},
        {CAudioStreamSel::IDC_NO_AUDIO, true, DialogCancelled, 77},
    };
    for (const Case& c : cases) {
        WhenShown<CAudioStreamSel>([c](CAudioStreamSel& dlg) {
            EXPECT_EQ(dlg.IsDlgButtonChecked(CAudioStreamSel::IDC_RECOMPRESS), 1);
            if (c.radio) dlg.GetButton(c.radio)->click();
            // Enter and Esc do nothing here: only OK and the close box end it.
            PressKey(dlg, Qt::Key_Escape);
            EXPECT_TRUE(dlg.isVisible());
            if (c.close) dlg.close();
            else dlg.GetButton(IDOK)->click();
        });
        int choice = 77;
        EXPECT_EQ(DoAudioStreamDialog(&choice, nullptr), c.result);
        EXPECT_EQ(choice, c.choice);
    }
}

TEST_F(SmallDialogs, VolumeKeepsATypedValueThroughOkAndTheCloseBox) {
    struct Case {
        const wchar_t* typed;
        bool close;
        int expected;
    };
    const Case cases[] = {{L"150", true, 150}, {L"-5", false, -5}, {L"abc", true, 80}};
    for (const Case& c : cases) {
        WhenShown<CVolume>([c](CVolume& dlg) {
            EXPECT_EQ(dlg.GetDlgItemText(CVolume::IDC_VOLUME), L"80");
            dlg.SetDlgItemText(CVolume::IDC_VOLUME, c.typed);
            if (c.close) dlg.close();
            else dlg.GetButton(IDOK)->click();
        });
        EXPECT_EQ(DoVolumeDialog(80, nullptr), c.expected);
    }
}

TEST_F(SmallDialogs, AboutIsAnEllipseWithVersionAndHelpLinkAndClosesWithIdOk) {
    RecordingShell shell;
    ISystemCommands* previous = SetSystemCommands(&shell);
    CMyAboutDlg dlg(RGB(255, 255, 255), RGB(0, 0, 0), nullptr);
    QTimer::singleShot(0, &dlg, [&] {
        EXPECT_TRUE(dlg.windowFlags() & Qt::FramelessWindowHint);
        const QRegion mask = dlg.mask();
        EXPECT_TRUE(mask.contains(dlg.rect().center()));
        EXPECT_FALSE(mask.contains(QPoint(3, 3)));
        const std::wstring version = dlg.GetDlgItemText(CMyAboutDlg::IDC_VERSION);
        EXPECT_EQ(version, L"dialogs_tests Version " + GetFileVersionString(GetModuleFilePath().c_str()));
        EXPECT_NE(version.find(L"Version 0."), std::wstring::npos);
        // The link opens our own help page, twice if pressed twice; the dialog stays.
        dlg.GetButton(CMyAboutDlg::IDC_LINK)->click();
        dlg.GetButton(CMyAboutDlg::IDC_LINK)->click();
        EXPECT_TRUE(dlg.isVisible());
        // Dragged by its face.
        const QPoint before = dlg.pos();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(60, 100), dlg.mapToGlobal(QPointF(60, 100)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dlg, &press);
        QMouseEvent move(QEvent::MouseMove, QPointF(75, 110), dlg.mapToGlobal(QPointF(75, 110)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dlg, &move);
        EXPECT_EQ(dlg.pos(), before + QPoint(15, 10));
        PressKey(dlg, Qt::Key_Return);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.AnimationFrames(), 0);  // no screen picture to be had: ends at once
    const std::vector<std::string> opened = shell.WaitFor(2);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], NativePath(CMyAboutDlg::HelpPagePath()));
    EXPECT_EQ(opened[0], NativePath(GetModuleDir()) + "talvern.html");
    SetSystemCommands(previous);
}

TEST_F(SmallDialogs, AboutPlaysItsClosingAnimationOverTheScreen) {
    script.ui.screenImage = QImage(800, 600, QImage::Format_RGB32);
    script.ui.screenImage.fill(QColor(30, 60, 90));
    WhenShown<CMyAboutDlg>([](CMyAboutDlg& dlg) { dlg.GetButton(IDOK)->click(); });
    CMyAboutDlg dlg(RGB(255, 255, 255), RGB(0, 0, 0), nullptr);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.AnimationFrames(), 63);
    // The popup is gone with the animation.
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
}
