#pragma once
// The open and save dialog: Qt's own dialog rather than the desktop's, so that it takes
// our filters, our extension rule and a parent on every desktop alike. It lists and
// opens files whose names are not UTF-8 (see ByteNameModel), keeps such a name when it
// is offered for saving, and is sized so that a name, a size and a date show whole.
#include <QByteArray>
#include <QFileDialog>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/UiServices.h"

class ByteNameModel;
class QAbstractItemView;

class SaveOpenDialog : public QFileDialog {
public:
    SaveOpenDialog(QWidget* parent, const FileDialogRequest& request);

    // 1-based index of the filter shown, 0 when there are none.
    int ChosenFilter() const;
    // The chosen files in the program's wide form: a name that is not UTF-8 by its
    // bytes, the offered name as it was offered when the user kept it.
    std::vector<std::wstring> ChosenPaths() const;

    void accept() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowByteNamedFiles();
    // The file whose name is not UTF-8 that the name field names, when it names one.
    std::optional<QByteArray> TypedByteNamedFile() const;
    void AcceptByteNamed(const QByteArray& path);
    void TakeSelectedByteName();
    void SizeToShowColumns();

    std::vector<FileFilter> m_filters;
    QStringList m_qtFilters;
    std::wstring m_defaultExt;
    std::wstring m_offered;  // the path proposed, and the text it shows as
    QString m_offeredShown;
    ByteNameModel* m_names = nullptr;
    QList<QAbstractItemView*> m_views;
    std::optional<QByteArray> m_byteNamed;  // the file chosen, when its name is not UTF-8
};
