// The file dialogs: our extension rule, and Qt's own dialog as the real one.
// (Before the tests that make the application quit: a quitting application runs no
// further modal loop.)
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include "platform/ui/UiServices.h"

TEST(FileFilters, TypedNameWithoutExtensionGetsTheFiltersOne) {
    const auto filters = ParseFileFilter(L"JPG (*.JPG)|*.JPG; *.JPEG|all|*.*|odd|*.t?f; *.[ab]|");
    struct Case {
        const wchar_t* path;
        const FileFilter* filter;
        const wchar_t* defaultExt;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"/out/shot", &filters[0], L"", L"/out/shot.jpg"},
        {L"/out/shot", &filters[1], L"png", L"/out/shot.png"},   // "*.*" names no extension
        {L"/out/shot", &filters[2], L"", L"/out/shot"},          // nor do wildcards
        {L"/out/shot.bmp", &filters[0], L"", L"/out/shot.bmp"},  // an extension stays
        {L"/out.d/shot", &filters[0], L"", L"/out.d/shot.jpg"},  // the folder's dot is not one
        {L"/out/.hidden", &filters[0], L"", L"/out/.hidden.jpg"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ApplyDefaultExtension(c.path, c.filter, c.defaultExt), c.expected)
            << QString::fromStdWString(c.path).toStdString();
}

TEST(FileDialogs, QtsOwnDialogShowsFilterTextsAndCompletesTheName) {
    const QString dir = QDir::temp().filePath(QStringLiteral("talvern-filedialog-%1").arg(QCoreApplication::applicationPid()));
    QDir().mkpath(dir);
    FileDialogRequest request;
    request.save = true;
    request.filter = L"JPG (*.JPG)|*.JPG; *.JPEG|BMP (*.BMP)|*.BMP|";
    request.path = (dir + QStringLiteral("/first.jpg")).toStdWString();
    request.filterIndex = 2;
    QStringList shown;
    bool nonNative = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QFileDialog* dlg = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* f = qobject_cast<QFileDialog*>(w); f && f->isVisible()) dlg = f;
        if (!dlg) return;
        poll.stop();
        nonNative = dlg->testOption(QFileDialog::DontUseNativeDialog);
        auto* types = dlg->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; types && i < types->count(); ++i) shown << types->itemText(i).trimmed();
        auto* name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (name) name->setText(QStringLiteral("typed"));
        QMetaObject::invokeMethod(dlg, "accept");
    });
    poll.start();
    ASSERT_TRUE(RealUiServices().fileDialog->RunFileDialog(nullptr, request));
    EXPECT_TRUE(nonNative);
    EXPECT_EQ(shown, (QStringList{QStringLiteral("JPG (*.JPG)"), QStringLiteral("BMP (*.BMP)")}));
    EXPECT_EQ(QString::fromStdWString(request.path), dir + QStringLiteral("/typed.bmp"));
    EXPECT_EQ(request.filterIndex, 2);
    QDir(dir).removeRecursively();
}
