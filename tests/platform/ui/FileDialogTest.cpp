// The file dialogs: our extension rule, and Qt's own dialog as the real one.
// (Before the tests that make the application quit: a quitting application runs no
// further modal loop.)
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <functional>

#include "foundation/LangString.h"
#include "platform/ui/ByteNameModel.h"
#include "platform/ui/UiServices.h"
#include "platform/win32/WideChar.h"
#include "resources/CommandIds.h"

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

namespace {

// Runs show, which runs a modal window of type T; act gets the window once it shows and
// must end it.
template <typename T, typename Show>
auto WhenShown(const std::function<void(T*)>& act, Show show) {
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<T*>(w); window && window->isVisible()) {
                poll.stop();
                act(window);
                return;
            }
    });
    poll.start();
    return show();
}

bool RunRealDialog(FileDialogRequest& request, const std::function<void(QFileDialog*)>& act) {
    return WhenShown<QFileDialog>(act, [&] { return RealUiServices().fileDialog->RunFileDialog(nullptr, request); });
}

}  // namespace

// A name written on Windows in Shift-JIS is no UTF-8: Qt leaves it out of its listing.
// The dialog lists it under its Japanese reading, opens it by its bytes, and a save
// dialog offered such a name hands back its bytes when the user keeps it.
TEST(FileDialogs, NamesThatAreNotUtf8AreListedOpenedAndKept) {
    const QByteArray sjis("\x83\x65\x83\x58\x83\x67\x93\xae\x89\xe6");  // テスト動画
    EXPECT_EQ(NameForDisplay(sjis + ".avi"), QStringLiteral("テスト動画.avi"));
    EXPECT_EQ(NameForDisplay("caf\xe9.avi"), QStringLiteral("café.avi"));  // no Shift-JIS: Latin-1
    EXPECT_EQ(NameForDisplay("\xef\xbc\xa6 \xf0\x9f\x8e\xac.avi"), QStringLiteral("Ｆ 🎬.avi"));

    const QByteArray dir = QFile::encodeName(
        QDir::temp().filePath(QStringLiteral("talvern-bytenames-%1").arg(QCoreApplication::applicationPid())));
    QDir().mkpath(QFile::decodeName(dir));
    for (const QByteArray& name : {sjis + ".avi", QByteArray("a.avi"), sjis + ".txt"}) {
        FILE* file = std::fopen((dir + '/' + name).constData(), "wb");
        ASSERT_TRUE(file);
        std::fputs("x", file);
        std::fclose(file);
    }
    const std::wstring bytePath = Utf8ToWide((dir + '/' + sjis + ".avi").toStdString());
    EXPECT_EQ(FindByteNamedFile(dir, QStringLiteral("テスト動画.avi")), dir + '/' + sjis + ".avi");

    FileDialogRequest open;
    open.filter = L"AVI (*.AVI)|*.avi|";
    open.path = QFile::decodeName(dir + "/a.avi").toStdWString();
    int listed = 0;
    QString listedType, plainType;
    ASSERT_TRUE(RunRealDialog(open, [&](QFileDialog* dlg) {
        QAbstractItemModel* model = dlg->proxyModel();
        const QModelIndex folder = dlg->findChild<QTreeView*>(QStringLiteral("treeView"))->rootIndex();
        for (int row = 0; row < model->rowCount(folder); ++row) {
            const QString name = model->index(row, 0, folder).data().toString();
            const QString type = model->index(row, 2, folder).data().toString();
            if (name == QStringLiteral("テスト動画.avi")) ++listed, listedType = type;
            if (name == QStringLiteral("a.avi")) plainType = type;
            EXPECT_NE(name, QStringLiteral("テスト動画.txt"));  // the filter holds for them too
        }
        dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("テスト動画.avi"));
        QMetaObject::invokeMethod(dlg, "accept");
    }));
    EXPECT_EQ(listed, 1);
    EXPECT_EQ(listedType, plainType);
    EXPECT_EQ(open.path, bytePath);

    FileDialogRequest save;
    save.save = true;
    save.filter = L"JPG (*.JPG)|*.JPG|";
    save.path = Utf8ToWide((dir + '/' + sjis).toStdString());
    ASSERT_TRUE(RunRealDialog(save, [](QFileDialog* dlg) { QMetaObject::invokeMethod(dlg, "accept"); }));
    EXPECT_EQ(save.path, Utf8ToWide((dir + '/' + sjis + ".jpg").toStdString()));
    QDir(QFile::decodeName(dir)).removeRecursively();
}

// A box shown without a caption is the program's, not the executable's.
TEST(MessageBoxes, AnEmptyCaptionIsTheProgramsTitle) {
    QString title;
    const auto read = [&](QMessageBox* box) {
        title = box->windowTitle();
        box->accept();
    };
    WhenShown<QMessageBox>(read, [] { return RealUiServices().messageBox->Show(nullptr, L"text", std::wstring(), MB_OK); });
    EXPECT_EQ(title.toStdWString(), LoadStringTableEntry(AFX_IDS_APP_TITLE));
    EXPECT_FALSE(title.isEmpty());
}
