// Several files chosen at once in Qt's own open dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include "platform/ui/UiServices.h"

TEST(FileDialogs, AnOpenDialogWithMultiSelectionHandsBackEveryChosenFile) {
    const QString dir = QDir::temp().filePath(QStringLiteral("talvern-multi-%1").arg(QCoreApplication::applicationPid()));
    QDir().mkpath(dir);
    for (const char* name : {"a.ini", "b.ini"}) {
        QFile f(dir + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    FileDialogRequest request;
    request.filter = L"ProjectFile(*.INI)|*.ini|";
    request.flags = OFN_ALLOWMULTISELECT;
    request.path = (dir + QStringLiteral("/a.ini")).toStdWString();
    bool many = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dlg = qobject_cast<QFileDialog*>(w);
            if (!dlg || !dlg->isVisible()) continue;
            poll.stop();
            many = dlg->fileMode() == QFileDialog::ExistingFiles;
            if (auto* name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name->setText(QStringLiteral("\"a.ini\" \"b.ini\""));
            QMetaObject::invokeMethod(dlg, "accept");
        }
    });
    poll.start();
    ASSERT_TRUE(RealUiServices().fileDialog->RunFileDialog(nullptr, request));
    EXPECT_TRUE(many);
    const std::vector<std::wstring> expected = {(dir + QStringLiteral("/a.ini")).toStdWString(),
                                                (dir + QStringLiteral("/b.ini")).toStdWString()};
    EXPECT_EQ(request.paths, expected);
    EXPECT_EQ(request.path, expected.front());
    QDir(dir).removeRecursively();
}
