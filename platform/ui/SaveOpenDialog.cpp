#include "platform/ui/SaveOpenDialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTreeView>
#include <sys/stat.h>

#include <algorithm>

#include "platform/ui/ByteNameModel.h"
#include "platform/ui/Dialog.h"
#include "platform/win32/WideChar.h"

namespace {

QString Q(const std::wstring& s) { return QString::fromStdWString(s); }

bool CarriesBytes(const std::wstring& path) {
    return std::any_of(path.begin(), path.end(), [](wchar_t c) { return c >= 0xDC80 && c <= 0xDCFF; });
}

bool IsReturn(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

SaveOpenDialog::SaveOpenDialog(QWidget* parent, const FileDialogRequest& request)
    : QFileDialog(parent, Q(request.title)), m_filters(ParseFileFilter(request.filter)),
      m_defaultExt(request.defaultExt), m_offered(request.path), m_offeredShown(PathForDisplay(request.path)) {
    setOption(QFileDialog::DontUseNativeDialog);
    // The list shows each filter's own text; its patterns stay behind it.
    setOption(QFileDialog::HideNameFilterDetails);
    setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    const bool many = !request.save && (request.flags & OFN_ALLOWMULTISELECT);
    setFileMode(request.save ? QFileDialog::AnyFile : many ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (!(request.flags & OFN_OVERWRITEPROMPT)) setOption(QFileDialog::DontConfirmOverwrite);
    m_names = new ByteNameModel(this);
    setProxyModel(m_names);
    for (const FileFilter& f : m_filters) m_qtFilters << Q(QtNameFilter(f));
    if (!m_qtFilters.isEmpty()) {
        setNameFilters(m_qtFilters);
        const int index = std::clamp(request.filterIndex, 1, static_cast<int>(m_qtFilters.size()));
        selectNameFilter(m_qtFilters[index - 1]);
    }
    if (!request.path.empty()) selectFile(m_offeredShown);

    m_views = {findChild<QListView*>(QStringLiteral("listView")), findChild<QTreeView*>(QStringLiteral("treeView"))};
    m_views.removeAll(nullptr);
    for (QAbstractItemView* view : m_views) {
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
    }
    // The views share one selection model, made anew by setProxyModel.
    if (!m_views.isEmpty())
        connect(m_views.front()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this] { TakeSelectedByteName(); });
    if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        connect(edit, &QLineEdit::textChanged, this, [this] {
            // Qt greys the button for a name it cannot find; such a name is found here.
            auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            QPushButton* open = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
            if (open && TypedByteNamedFile()) open->setEnabled(true);
        });
    connect(this, &QFileDialog::directoryEntered, this, [this] { ShowByteNamedFiles(); });
    connect(this, &QFileDialog::filterSelected, this, [this] { ShowByteNamedFiles(); });
    ShowByteNamedFiles();
    SizeToShowColumns();
}

int SaveOpenDialog::ChosenFilter() const {
    const QString shown = selectedNameFilter();
    for (qsizetype i = 0; i < m_qtFilters.size(); ++i)
        if (m_qtFilters[i] == shown || Q(m_filters[static_cast<size_t>(i)].text) == shown.trimmed())
            return static_cast<int>(i) + 1;
    return m_qtFilters.isEmpty() ? 0 : 1;
}

std::vector<std::wstring> SaveOpenDialog::ChosenPaths() const {
    if (m_byteNamed) return {Utf8ToWide(m_byteNamed->toStdString())};
    std::vector<std::wstring> paths;
    const bool keepOffered = CarriesBytes(m_offered);
    for (const QString& file : selectedFiles()) {
        if (keepOffered && file.startsWith(m_offeredShown))
            paths.push_back(m_offered + file.mid(m_offeredShown.size()).toStdWString());
        else
            paths.push_back(file.toStdWString());
    }
    return paths;
}

void SaveOpenDialog::accept() {
    if (acceptMode() == QFileDialog::AcceptOpen) {
        if (const std::optional<QByteArray> path = TypedByteNamedFile()) return AcceptByteNamed(*path);
        return QFileDialog::accept();
    }
    // The extension is added before the dialog checks the name, so an existing file
    // of the completed name is the one asked about.
    const QStringList files = selectedFiles();
    if (files.size() == 1) {
        const int chosen = ChosenFilter();
        const FileFilter* filter = chosen > 0 ? &m_filters[static_cast<size_t>(chosen - 1)] : nullptr;
        const QString completed = Q(ApplyDefaultExtension(files[0].toStdWString(), filter, m_defaultExt));
        // Into the field itself: selectFile() leaves a field that has the focus alone.
        auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (completed != files[0] && edit && completed.startsWith(files[0]))
            edit->setText(edit->text().trimmed() + completed.mid(files[0].size()));
        else if (completed != files[0])
            selectFile(completed);
    }
    // Qt asks about the name it shows; the file of the offered bytes is asked about here.
    const std::vector<std::wstring> paths = ChosenPaths();

    if (paths.size() == 1 && CarriesBytes(paths[0]) && !testOption(QFileDialog::DontConfirmOverwrite)) {
        std::string bytes;
        struct stat st {};
        if (WideToUtf8(paths[0], bytes) && stat(bytes.c_str(), &st) == 0) {
            const QString question = tr("%1 already exists.\nDo you want to replace it?");
            const QString name = QFileInfo(selectedFiles().value(0)).fileName();
            if (ShowMessageBox(this, question.arg(name).toStdWString(), windowTitle().toStdWString(),
                               MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
                return;
            setOption(QFileDialog::DontConfirmOverwrite);  // asked once is enough
        }
    }
    QFileDialog::accept();
}

std::optional<QByteArray> SaveOpenDialog::TypedByteNamedFile() const {
    const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    const QString typed = edit ? edit->text().trimmed() : QString();
    if (typed.isEmpty()) return std::nullopt;
    const QFileInfo info(QDir::isAbsolutePath(typed) ? typed : directory().absoluteFilePath(typed));
    return FindByteNamedFile(QFile::encodeName(info.absolutePath()), info.fileName());
}

void SaveOpenDialog::AcceptByteNamed(const QByteArray& path) {
    m_byteNamed = path;
    QDialog::accept();  // Qt's own acceptance would look the name up, and not find it
}

void SaveOpenDialog::ShowByteNamedFiles() {
    if (acceptMode() != QFileDialog::AcceptOpen) return;
    const int chosen = ChosenFilter();
    static const std::vector<std::wstring> every;
    m_names->ShowFolder(directory().absolutePath(),
                        chosen > 0 ? m_filters[static_cast<size_t>(chosen - 1)].patterns : every);
}

void SaveOpenDialog::TakeSelectedByteName() {
    auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!edit || edit->hasFocus() || m_views.isEmpty()) return;
    for (const QModelIndex& row : m_views.front()->selectionModel()->selectedRows())
        if (const std::optional<QByteArray> path = m_names->PathOf(row)) {
            edit->setText(row.data().toString());
            return;
        }
}

void SaveOpenDialog::keyPressEvent(QKeyEvent* event) {
    // Return in the name field reaches the dialog; the greyed button would not take it.
    if (IsReturn(event) && acceptMode() == QFileDialog::AcceptOpen && TypedByteNamedFile()) return accept();
    QFileDialog::keyPressEvent(event);
}

bool SaveOpenDialog::eventFilter(QObject* watched, QEvent* event) {
    // Opening a listed file whose name is not UTF-8: the dialog itself would take the
    // row for a folder it cannot find.
    for (QAbstractItemView* view : m_views) {
        std::optional<QByteArray> path;
        if (watched == view && IsReturn(event)) path = m_names->PathOf(view->currentIndex());
        else if (watched == view->viewport() && event->type() == QEvent::MouseButtonDblClick)
            path = m_names->PathOf(view->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()));
        if (path) {
            AcceptByteNamed(*path);
            return true;
        }
    }
    return QFileDialog::eventFilter(watched, event);
}

void SaveOpenDialog::SizeToShowColumns() {
    // Qt's sizes clip a size, a date and a Japanese name; these come from the texts.
    auto* tree = findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!tree) return;
    const QFontMetrics metrics(tree->font());
    const QLocale locale = QLocale::system();
    const int pad = metrics.horizontalAdvance(QLatin1Char('M')) * 2;
    const QString date = locale.toString(QDateTime(QDate(2000, 12, 28), QTime(23, 58)), QLocale::ShortFormat);
    const int widths[] = {metrics.horizontalAdvance(QStringLiteral("M")) * 28,
                          metrics.horizontalAdvance(locale.formattedDataSize(1023 * 1024 * 1024)) + pad,
                          std::max(metrics.horizontalAdvance(FileTypeText(false, QStringLiteral("JPEG"))),
                                   metrics.horizontalAdvance(FileTypeText(true, QString()))) + pad,
                          metrics.horizontalAdvance(date) + pad};
    QHeaderView* header = tree->header();
    int total = 0;
    for (int column = 0; column < 4; ++column) {
        header->resizeSection(column, widths[column]);
        total += widths[column];
    }
    // The side bar of places, the columns and the frames around them.
    resize(std::max(width(), total + 260), std::max(height(), 520));
}
