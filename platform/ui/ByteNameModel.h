#pragma once
// File names that are not UTF-8 (Shift-JIS names from archives made on Windows, say)
// are left out of Qt's file listings altogether: Qt cannot turn them into text and
// back. The open and save dialog shows them through ByteNameModel, a proxy over the
// dialog's file system model that adds the current folder's such files as rows of
// their own, each under a readable stand-in name that leads back to its bytes.
// The proxy also gives the type column its text in the user's language.
#include <QByteArray>
#include <QDateTime>
#include <QIdentityProxyModel>
#include <QString>
#include <optional>
#include <string>
#include <vector>

// The name a person sees for a file name's bytes: UTF-8 as it is; else the bytes read
// as Shift-JIS (CP932) when they are that; else each byte that is not UTF-8 as the
// Latin-1 character of its value. Different byte names give different stand-ins.
QString NameForDisplay(const QByteArray& bytes);
// The same for each part of a path in the program's wide form (bytes that are not UTF-8
// carried as U+DC80..U+DCFF).
QString PathForDisplay(const std::wstring& path);
// The file of folder (bytes) whose name is not UTF-8 and shows as shown; none when
// there is none, or when a file of that very name exists (the name means that one).
std::optional<QByteArray> FindByteNamedFile(const QByteArray& folder, const QString& shown);

// The type column's text: a folder, or a file of the extension suffix.
QString FileTypeText(bool folder, const QString& suffix);

class ByteNameModel : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    // Lists folder's regular files whose names are not UTF-8 and match one of patterns
    // (every file for none) as rows after the file system model's own.
    void ShowFolder(const QString& folder, const std::vector<std::wstring>& patterns);
    // The full path (bytes) of an added row; none for the file system model's rows.
    std::optional<QByteArray> PathOf(const QModelIndex& index) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    QModelIndex sibling(int row, int column, const QModelIndex& idx) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QItemSelection mapSelectionToSource(const QItemSelection& selection) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct ByteNamed {
        QByteArray path;
        QString shown;
        qint64 size = 0;
        QDateTime modified;
    };
    bool IsAdded(const QModelIndex& index) const { return index.isValid() && index.internalPointer() == &m_tag; }
    const ByteNamed* Added(const QModelIndex& index) const;
    QModelIndex FolderIndex() const;
    bool IsFolder(const QModelIndex& parent) const;  // the folder shown, with rows added
    int SourceRows() const;
    QVariant AddedData(const ByteNamed& file, int column, int role) const;

    QString m_folder;
    QPersistentModelIndex m_folderSource;
    std::vector<ByteNamed> m_files;
    char m_tag = 0;  // its address marks the added rows' indexes
};
