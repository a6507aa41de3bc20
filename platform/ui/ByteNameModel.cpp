#include "platform/ui/ByteNameModel.h"

#include <dirent.h>
#include <iconv.h>
#include <sys/stat.h>

#include <QAbstractFileIconProvider>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QItemSelection>
#include <QLocale>
#include <QStringDecoder>
#include <algorithm>
#include <memory>

#include "foundation/LangString.h"
#include "platform/ui/UiServices.h"
#include "platform/win32/WideChar.h"

namespace {

constexpr int kTypeColumn = 2;  // QFileSystemModel's columns: name, size, type, date
constexpr UINT kFolderType = 50217;
constexpr UINT kFileType = 50219;  // "%s" stands for the name's extension

bool IsUtf8(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString ignored = utf8.decode(bytes);
    return !utf8.hasError();
}

// Windows' Japanese code page; none when the bytes are not text in it.
std::optional<QString> FromShiftJis(const QByteArray& bytes) {
    const iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(static_cast<size_t>(bytes.size()) * 3 + 4, '\0');  // at most 3 bytes each
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = static_cast<size_t>(bytes.size());
    char* at = out.data();
    size_t outLeft = out.size();
    const size_t done = iconv(cd, &in, &inLeft, &at, &outLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
    return QString::fromUtf8(out.data(), at - out.data());
}

}  // namespace

QString FileTypeText(bool folder, const QString& suffix) {
    if (folder) return QString::fromStdWString(LoadLangString(kFolderType, kFolderType + 1));
    std::wstring text = LoadLangString(kFileType, kFileType + 1);
    const size_t at = text.find(L"%s");
    if (at != std::wstring::npos) text.replace(at, 2, suffix.toUpper().toStdWString());
    return QString::fromStdWString(text).trimmed();
}

namespace {

QByteArray Child(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// Calls fn(name) for every entry of folder whose name is not UTF-8.
template <typename Fn>
void ForEachByteName(const QByteArray& folder, Fn fn) {
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.constData()), closedir);
    if (!dir) return;
    while (const dirent* entry = readdir(dir.get())) {
        const QByteArray name(entry->d_name);
        if (!IsUtf8(name)) fn(name);
    }
}

}  // namespace

QString NameForDisplay(const QByteArray& bytes) {
    if (IsUtf8(bytes)) return QString::fromUtf8(bytes);
    if (std::optional<QString> japanese = FromShiftJis(bytes)) return *japanese;
    QString shown;
    for (const wchar_t c : Utf8ToWide(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())))) {
        const char32_t u = c >= 0xDC80 && c <= 0xDCFF ? c - 0xDC00 : static_cast<char32_t>(c);
        shown += QString::fromUcs4(&u, 1);
    }
    return shown;
}

QString PathForDisplay(const std::wstring& path) {
    std::string bytes;
    if (!WideToUtf8(path, bytes)) return QString::fromStdWString(path);
    QStringList parts;
    for (const QByteArray& part : QByteArray::fromStdString(bytes).split('/')) parts << NameForDisplay(part);
    return parts.join(u'/');
}

std::optional<QByteArray> FindByteNamedFile(const QByteArray& folder, const QString& shown) {
    if (shown.isEmpty() || QFile::exists(QString::fromUtf8(Child(folder, shown.toUtf8())))) return std::nullopt;
    std::optional<QByteArray> found;
    ForEachByteName(folder, [&](const QByteArray& name) {
        if (!found && NameForDisplay(name) == shown) found = Child(folder, name);
    });
    return found;
}

void ByteNameModel::ShowFolder(const QString& folder, const std::vector<std::wstring>& patterns) {
    if (!m_files.empty()) {
        const int first = SourceRows();
        beginRemoveRows(FolderIndex(), first, first + static_cast<int>(m_files.size()) - 1);
        m_files.clear();
        endRemoveRows();
    }
    auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
    m_folder = folder;
    m_folderSource = files ? QPersistentModelIndex(files->index(folder)) : QPersistentModelIndex();
    if (!m_folderSource.isValid()) return;
    const QByteArray bytes = QFile::encodeName(folder);
    std::vector<ByteNamed> found;
    ForEachByteName(bytes, [&](const QByteArray& name) {
        struct stat st {};
        const QByteArray path = Child(bytes, name);
        if (stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return;
        const QString shown = NameForDisplay(name);
        const std::wstring wide = shown.toStdWString();
        const bool matches = patterns.empty() || std::any_of(patterns.begin(), patterns.end(), [&](const std::wstring& p) {
            return MatchFilePattern(wide, p);
        });
        if (matches)
            found.push_back({path, shown, static_cast<qint64>(st.st_size),
                             QDateTime::fromSecsSinceEpoch(static_cast<qint64>(st.st_mtime))});
    });
    if (found.empty()) return;
    std::sort(found.begin(), found.end(), [](const ByteNamed& a, const ByteNamed& b) { return a.shown < b.shown; });
    const int first = SourceRows();
    beginInsertRows(FolderIndex(), first, first + static_cast<int>(found.size()) - 1);
    m_files = std::move(found);
    endInsertRows();
}

std::optional<QByteArray> ByteNameModel::PathOf(const QModelIndex& index) const {
    const ByteNamed* file = Added(index);
    return file ? std::optional<QByteArray>(file->path) : std::nullopt;
}

const ByteNameModel::ByteNamed* ByteNameModel::Added(const QModelIndex& index) const {
    if (!IsAdded(index)) return nullptr;
    const int at = index.row() - SourceRows();
    return at >= 0 && at < static_cast<int>(m_files.size()) ? &m_files[static_cast<size_t>(at)] : nullptr;
}

QModelIndex ByteNameModel::FolderIndex() const {
    return m_folderSource.isValid() ? mapFromSource(m_folderSource) : QModelIndex();
}

int ByteNameModel::SourceRows() const {
    return sourceModel() && m_folderSource.isValid() ? sourceModel()->rowCount(m_folderSource) : 0;
}

bool ByteNameModel::IsFolder(const QModelIndex& parent) const {
    return !m_files.empty() && parent.isValid() && !IsAdded(parent) && mapToSource(parent) == m_folderSource;
}

int ByteNameModel::rowCount(const QModelIndex& parent) const {
    if (IsAdded(parent)) return 0;
    const int own = QIdentityProxyModel::rowCount(parent);
    return IsFolder(parent) ? own + static_cast<int>(m_files.size()) : own;
}

QModelIndex ByteNameModel::index(int row, int column, const QModelIndex& parent) const {
    if (IsAdded(parent)) return QModelIndex();
    if (IsFolder(parent)) {
        const int first = SourceRows();
        if (row >= first) {
            const bool inside = row < first + static_cast<int>(m_files.size()) && column >= 0 &&
                                column < columnCount(parent);
            return inside ? createIndex(row, column, const_cast<char*>(&m_tag)) : QModelIndex();
        }
    }
    return QIdentityProxyModel::index(row, column, parent);
}

QModelIndex ByteNameModel::parent(const QModelIndex& child) const {
    return IsAdded(child) ? FolderIndex() : QIdentityProxyModel::parent(child);
}

QModelIndex ByteNameModel::sibling(int row, int column, const QModelIndex& idx) const {
    return idx.isValid() ? index(row, column, parent(idx)) : QModelIndex();
}

bool ByteNameModel::hasChildren(const QModelIndex& parent) const {
    if (IsAdded(parent)) return false;
    return IsFolder(parent) || QIdentityProxyModel::hasChildren(parent);
}

QModelIndex ByteNameModel::mapToSource(const QModelIndex& proxyIndex) const {
    return IsAdded(proxyIndex) ? QModelIndex() : QIdentityProxyModel::mapToSource(proxyIndex);
}

QItemSelection ByteNameModel::mapSelectionToSource(const QItemSelection& selection) const {
    // The added rows have no source: they are left out rather than mapped to a stranger.
    QItemSelection out;
    for (const QModelIndex& index : selection.indexes())
        if (!IsAdded(index)) out.select(mapToSource(index), mapToSource(index));
    return out;
}

QVariant ByteNameModel::data(const QModelIndex& index, int role) const {
    if (const ByteNamed* file = Added(index)) return AddedData(*file, index.column(), role);
    if (IsAdded(index)) return QVariant();
    if (index.column() == kTypeColumn && role == Qt::DisplayRole) {
        // Qt's own text for the type is not in every language's translation.
        if (auto* files = qobject_cast<QFileSystemModel*>(sourceModel())) {
            const QModelIndex source = mapToSource(index);
            return FileTypeText(files->isDir(source), QFileInfo(files->fileName(source.siblingAtColumn(0))).suffix());
        }
    }
    return QIdentityProxyModel::data(index, role);
}

QVariant ByteNameModel::AddedData(const ByteNamed& file, int column, int role) const {
    const QLocale locale = QLocale::system();
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (column) {
            case 0: return file.shown;
            case 1: return locale.formattedDataSize(file.size);
            case kTypeColumn: return FileTypeText(false, QFileInfo(file.shown).suffix());
            case 3: return locale.toString(file.modified, QLocale::ShortFormat);
            default: return QVariant();
        }
    }
    if (role == Qt::TextAlignmentRole && column == 1) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::DecorationRole && column == 0)
        if (auto* files = qobject_cast<QFileSystemModel*>(sourceModel()); files && files->iconProvider())
            return files->iconProvider()->icon(QAbstractFileIconProvider::File);
    if (role == QFileSystemModel::FileNameRole) return file.shown;
    return QVariant();
}

Qt::ItemFlags ByteNameModel::flags(const QModelIndex& index) const {
    if (IsAdded(index)) return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    return QIdentityProxyModel::flags(index);
}
