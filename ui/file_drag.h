// Dragging a row of a list out of the program: the row's file, offered to
// other programs as its file: URI (text/uri-list) and its Linux path (text).
// Clicks and double clicks stay the view's own: a drag begins only when the
// pressed button has moved the platform's drag distance.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QObject>
#include <QPoint>

class QAbstractItemView;
class QMimeData;
class QWidget;

namespace tidebell {

// The drag data of the file at a Windows-style path; null when the path
// names nothing on this machine.
QMimeData* fileMimeData(const std::string& windowsPath);

class TFileDrag : public QObject {
public:
    // `fileOfRow` answers the Windows-style path of a row's file when the
    // drag begins, or nothing (having told the user why) to drag nothing.
    using FileOfRow = std::function<std::optional<std::string>(int row)>;
    TFileDrag(QAbstractItemView* view, FileOfRow fileOfRow);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractItemView* m_view;
    // Kept apart from the view: the viewport still sends events here while
    // the view is being destroyed, when the view may no longer be asked.
    QWidget* m_viewport;
    FileOfRow m_fileOfRow;
    QPoint m_pressedAt;
    int m_pressedRow = -1;
};

}  // namespace tidebell
