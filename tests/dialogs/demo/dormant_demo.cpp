// A test program, built with the tests and never installed: it opens one of the
// batch, VOB list, stream kind, extraction kind, luminance, MP3 and WMA dialogs
// with the real services and an owner that prints what it is asked, so that the
// dialogs can be driven on a real X server. Every line it prints is one event.
//
//   dormant_demo batch|vob [file...]      the list dialogs, filled with the files
//   dormant_demo stream|extract|luminance|mp3|wma
//   dormant_demo --drag-source file...    a window that drags the files when pressed
#include <QApplication>
#include <QDrag>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/BatEncodeDlg.h"
#include "dialogs/EncodeOwner.h"
#include "dialogs/ExtractKindDlg.h"
#include "dialogs/LuminanceDlg.h"
#include "dialogs/MP3Set.h"
#include "dialogs/StreamKindDlg.h"
#include "dialogs/VOBListDlg.h"
#include "dialogs/WMASet.h"
#include "platform/ui/QtUiHooks.h"
#include "platform/win32/WideChar.h"

namespace {

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string U8(const std::wstring& s) { return WideToUtf8(s); }

class LoggingOwner : public IEncodeOwner {
public:
    void RunFile(const std::wstring& path) override {
        Say("owner run " + U8(path));
        // A file takes a while, unless the user stops the run meanwhile.
        m_bStopped = false;
        QElapsedTimer clock;
        clock.start();
        while (!m_bStopped && clock.elapsed() < 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        Say("owner done " + U8(path));
    }
    void StopRun() override {
        m_bStopped = true;
        Say("owner stop");
    }
    void OnLuminanceChanged(int gamma, int offset) override {
        Say("owner luminance " + std::to_string(gamma) + " " + std::to_string(offset));
    }

private:
    bool m_bStopped = false;
};

struct MainWindow : QWidget, CWnd {
    MainWindow() {
        setWindowTitle(QStringLiteral("dormant demo"));
        setGeometry(40, 40, 240, 120);
    }
    QWidget* GetWidget() override { return this; }
};

// Runs a function whenever a window moves, is resized or shown, for as long as owner lives.
class PlaceWatch : public QObject {
public:
    PlaceWatch(QWidget* window, QObject* owner, std::function<void()> onPlace)
        : QObject(owner), m_onPlace(std::move(onPlace)) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const QEvent::Type t = event->type();
        if (t == QEvent::Move || t == QEvent::Resize || t == QEvent::Show) m_onPlace();
        return false;
    }

private:
    std::function<void()> m_onPlace;
};

// Reports the list's items on every change, and where its rows are on the screen.
void WatchList(CDragListBoxEx& box) {
    QListWidget* list = box.GetList();
    if (!list) return;
    auto items = [&box] {
        std::string line = "list";
        for (int i = 0; i < box.GetCount(); ++i) line += (i ? "|" : " ") + U8(box.GetText(i));
        Say(line);
    };
    auto where = [&box, list] {
        const QPoint origin = list->viewport()->mapToGlobal(QPoint(0, 0));
        const QRect first = box.GetItemRect(0);
        Say("list-view " + std::to_string(origin.x()) + " " + std::to_string(origin.y()) + " " +
            std::to_string(list->viewport()->width()) + " " + std::to_string(list->viewport()->height()) + " " +
            std::to_string(box.GetRowHeight()) + " " + std::to_string(first.isNull() ? 0 : first.top()));
    };
    // The reports end with the list box, which the dialog destroys before its controls.
    QAbstractItemModel* model = list->model();
    QObject::connect(model, &QAbstractItemModel::rowsInserted, &box, items);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, &box, items);
    QObject::connect(model, &QAbstractItemModel::modelReset, &box, items);
    QObject::connect(list->verticalScrollBar(), &QScrollBar::valueChanged, &box, where);
    new PlaceWatch(list->window(), &box, where);
    items();
    where();
}

template <class Dialog>
int Run(Dialog& dlg, std::function<void()> whenShown = {}) {
    QTimer::singleShot(0, &dlg, [&dlg, whenShown] {
        if (whenShown) whenShown();
        Say("shown " + dlg.windowTitle().toStdString());
    });
    const int result = dlg.DoModal();
    Say("result " + std::to_string(result));
    return result;
}

int RunListDialog(const std::string& kind, MainWindow& main, LoggingOwner& owner,
                  const std::vector<std::wstring>& files) {
    if (kind == "batch") {
        CBatEncodeDlg dlg(&main, &owner);
        QTimer::singleShot(0, &dlg, [&] {
            for (const std::wstring& f : files) dlg.GetList().AddString(f);
            WatchList(dlg.GetList());
        });
        return Run(dlg);
    }
    CVOBListDlg dlg(&main);
    dlg.m_paths = files;
    Run(dlg, [&] { WatchList(dlg.GetList()); });
    std::string line = "paths";
    for (const std::wstring& p : dlg.m_paths) line += " " + U8(p);
    Say(line);
    return 0;
}

void SaySetting(const CEncAudioSetting& s) {
    Say("setting enc " + std::to_string(s.m_nEncType) + " cbr " + std::to_string(s.m_nCbrBitrate) + " vbr " +
        std::to_string(s.m_bVbr) + " qual " + std::to_string(s.m_nQuality) + " vbr_bps " +
        std::to_string(s.m_nVbrBitrate) + " wma7 " + std::to_string(s.m_nWma7Bitrate) + " wma4 " +
        std::to_string(s.m_nWma4Bitrate) + " prx " + U8(s.m_strPrxFile) + " 2pass " +
        std::to_string(s.m_bTwoPass) + " select " + std::to_string(s.m_nVersion));
}

int RunOtherDialog(const std::string& kind, MainWindow& main, LoggingOwner& owner) {
    if (kind == "stream") {
        CStreamKindDlg dlg(&main);
        Run(dlg);
        Say("video-audio " + std::to_string(dlg.GetVideoAudio()));
    } else if (kind == "extract") {
        CExtractKindDlg dlg(&main);
        Run(dlg);
        Say("kind " + std::to_string(dlg.m_nKind));
    } else if (kind == "luminance") {
        CLuminanceDlg dlg(&main, &owner);
        Run(dlg);
        Say("gamma " + std::to_string(dlg.m_nGamma) + " offset " + std::to_string(dlg.m_nOffset));
    } else if (kind == "mp3") {
        CMP3Set dlg(&main);
        Run(dlg);
        SaySetting(dlg.m_setting);
    } else if (kind == "wma") {
        CWMASet dlg(&main);
        Run(dlg);
        SaySetting(dlg.m_setting);
    } else {
        std::fprintf(stderr, "unknown dialog %s\n", kind.c_str());
        return 2;
    }
    return 0;
}

// A window that starts a drag of the files when the left button goes down on it:
// a drag source on the X server like a file manager's.
class DragSource : public QWidget {
public:
    explicit DragSource(std::vector<std::wstring> files) : m_files(std::move(files)) {
        setWindowTitle(QStringLiteral("drag source"));
        setGeometry(700, 600, 200, 120);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const std::wstring& f : m_files) urls << QUrl::fromLocalFile(QString::fromStdWString(f));
        data->setUrls(urls);
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        // The target's answer to the pointer's position: a release before it drops nothing.
        QObject::connect(drag, &QDrag::actionChanged, [](Qt::DropAction action) {
            Say(std::string("drag answer ") + (action == Qt::CopyAction ? "copy" : "none"));
        });
        Say("drag start");
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        Say(std::string("drag done ") + (action == Qt::CopyAction ? "copy" : "none"));
    }

private:
    std::vector<std::wstring> m_files;
};

}  // namespace

int main(int argc, char** argv) {
    PreferX11Platform();
    QApplication app(argc, argv);
    InstallQtUiHooks();
    if (argc < 2) {
        std::fprintf(stderr, "usage: dormant_demo batch|vob|stream|extract|luminance|mp3|wma [file...]\n");
        return 2;
    }
    const std::string kind = argv[1];
    std::vector<std::wstring> files;
    for (int i = 2; i < argc; ++i) files.push_back(Utf8ToWide(argv[i]));

    if (kind == "--drag-source") {
        DragSource source(files);
        source.show();
        Say("source shown");
        return app.exec();
    }
    MainWindow main;
    main.show();
    LoggingOwner owner;
    if (kind == "batch" || kind == "vob") return RunListDialog(kind, main, owner, files);
    return RunOtherDialog(kind, main, owner);
}
