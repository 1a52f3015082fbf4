// A drop target of the drag tests' own: a window that accepts what is
// dropped on it and writes it to the file named by its argument. It writes
// "ready X Y" (its centre on the screen) when shown, then one
// "<format> <data>" line per format of the drop and "dropped".
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTimer>
#include <QWidget>

namespace {

class DropTarget : public QWidget {
public:
    explicit DropTarget(const QString& report) : m_report(report) { setAcceptDrops(true); }

    void append(const QByteArray& line)
    {
        QFile file(m_report);
        if (file.open(QIODevice::Append))
            file.write(line + "\n");
    }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
    void dragMoveEvent(QDragMoveEvent* event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent* event) override
    {
        for (const char* format : {"text/uri-list", "text/plain"})
            append(QByteArray(format) + " " + event->mimeData()->data(QString::fromLatin1(format)).trimmed());
        event->acceptProposedAction();
        append("dropped");
        QTimer::singleShot(100, qApp, &QApplication::quit);
    }

private:
    QString m_report;
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    DropTarget target(QString::fromLocal8Bit(argv[1]));
    target.setWindowTitle(QStringLiteral("drop target"));
    target.setGeometry(420, 60, 200, 200);
    target.show();
    QTimer::singleShot(500, &target, [&] {
        const QPoint centre = target.mapToGlobal(target.rect().center());
        target.append("ready " + QByteArray::number(centre.x()) + " " + QByteArray::number(centre.y()));
    });
    QTimer::singleShot(60000, qApp, &QApplication::quit);
    return app.exec();
}
