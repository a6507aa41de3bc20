#include "toolkit/BaseView.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QUrl>

#include "foundation/PathUtil.h"
#include "platform/ui/DC.h"
#include "platform/win32/WideChar.h"

std::vector<std::wstring> DroppedFilePaths(const QMimeData* data) {
    std::vector<std::wstring> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        // The path's bytes from its percent-encoded form: toLocalFile() would turn bytes
        // that are not UTF-8 (a Shift-JIS name, say) into U+FFFD and lose the file.
        QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (!url.host().isEmpty()) bytes.prepend(("//" + url.host()).toUtf8());
        paths.push_back(Utf8ToWide(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))));
    }
    return paths;
}

CBaseView::CBaseView(QWidget* parent) : QWidget(parent) { setAcceptDrops(true); }

void CBaseView::OnDropFile(const std::wstring&) {}

void CBaseView::OnDraw(CDC*) {}

void CBaseView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    CDC dc(&painter);
    OnDraw(&dc);
}

void CBaseView::mouseMoveEvent(QMouseEvent* event) {
    m_drag.OnMouseMove(event, window());
    QWidget::mouseMoveEvent(event);
}

void CBaseView::mouseReleaseEvent(QMouseEvent* event) {
    m_drag.OnMouseRelease();
    QWidget::mouseReleaseEvent(event);
}

void CBaseView::QueueDropFiles(std::vector<std::wstring> paths) {
    QPointer<CBaseView> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, paths = std::move(paths)] {
            for (const std::wstring& p : paths) {
                if (!self) return;
                self->OnDropFile(p);
            }
        },
        Qt::QueuedConnection);
}

void CBaseView::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* data = event->mimeData();
    if (!DroppedFilePaths(data).empty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    if (data->hasText()) {
        activateWindow();
        setFocus();
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    event->ignore();
}

void CBaseView::dragMoveEvent(QDragMoveEvent* event) {
    const QMimeData* data = event->mimeData();
    if (!DroppedFilePaths(data).empty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    if (!data->hasText()) {
        event->ignore();
        return;
    }
    // The whole text, untrimmed: a path is taken the moment it is dragged over the
    // view, and only once until a different existing path has been dragged.
    const std::wstring text = data->text().toStdWString();
    if (text != m_strLastDrop && FileExists(text.c_str())) {
        m_strLastDrop = text;
        QueueDropFiles({text});
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void CBaseView::dropEvent(QDropEvent* event) {
    std::vector<std::wstring> paths = DroppedFilePaths(event->mimeData());
    if (paths.empty()) {
        // Dragged text was already handled while it moved over the view.
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    QueueDropFiles(std::move(paths));
}
