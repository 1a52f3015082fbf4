#include "ui/file_drag.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include "core/handler_guard.h"
#include "platform/platform.h"

namespace tidebell {

QMimeData* fileMimeData(const std::string& windowsPath)
{
    const std::string posix = platform::toPosixPath(windowsPath);
    if (posix.empty()) {
        return nullptr;
    }
    const QString path = QFile::decodeName(QByteArray::fromStdString(posix));
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(path)});
    data->setText(path);
    return data;
}

TFileDrag::TFileDrag(QAbstractItemView* view, FileOfRow fileOfRow)
    : QObject(view), m_view(view), m_viewport(view->viewport()), m_fileOfRow(std::move(fileOfRow))
{
    m_viewport->installEventFilter(this);
}

bool TFileDrag::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_viewport) {
        return false;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        m_pressedRow = -1;
        if (mouse->button() == Qt::LeftButton) {
            m_pressedAt = mouse->position().toPoint();
            const QModelIndex index = m_view->indexAt(m_pressedAt);
            m_pressedRow = index.isValid() ? index.row() : -1;
        }
        return false;
    }
    case QEvent::MouseButtonRelease:
        m_pressedRow = -1;
        return false;
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_pressedRow < 0 || !(mouse->buttons() & Qt::LeftButton) ||
            (mouse->position().toPoint() - m_pressedAt).manhattanLength() < QApplication::startDragDistance()) {
            return false;
        }
        const int row = m_pressedRow;
        m_pressedRow = -1;
        guarded([&] {
            const std::optional<std::string> file = m_fileOfRow(row);
            QMimeData* data = file ? fileMimeData(*file) : nullptr;
            if (!data) {
                return;
            }
            auto* drag = new QDrag(m_view->viewport());
            drag->setMimeData(data);
            drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
        });
        return true;
    }
    default:
        return false;
    }
}

}  // namespace tidebell
