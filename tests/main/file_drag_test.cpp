// What a dragged row offers, and when a drag begins (offscreen).
#include <gtest/gtest.h>

#include <QApplication>
#include <QListView>
#include <QMimeData>
#include <QMouseEvent>
#include <QStringListModel>
#include <QTest>
#include <QUrl>
#include <memory>

#include "ui/file_drag.h"
#include "platform/platform.h"
#include "tests/support/sandbox.h"

using testing_support::Sandbox;

namespace {

TEST(FileDrag, OffersTheFileAsItsUriAndItsLinuxPath)
{
    Sandbox box;
    const std::string posix = box.root() + "/音 #1.wav";
    Sandbox::writeFile(posix, "RIFF");
    std::unique_ptr<QMimeData> data(tidebell::fileMimeData(platform::toWindowsPath(posix)));
    ASSERT_TRUE(data);
    ASSERT_EQ(data->urls().size(), 1);
    EXPECT_EQ(data->urls()[0].toLocalFile().toStdString(), posix);
    // Blanks, '#' and other characters are escaped in the URI.
    EXPECT_EQ(data->data(QStringLiteral("text/uri-list")).trimmed().toStdString(),
              QUrl::fromLocalFile(QString::fromStdString(posix)).toEncoded().toStdString());
    EXPECT_NE(data->data(QStringLiteral("text/uri-list")).indexOf("%23"), -1);
    EXPECT_EQ(data->text().toStdString(), posix);
    // A drive that names nothing here gives nothing to drag.
    EXPECT_EQ(tidebell::fileMimeData("Q:\\none.wav"), nullptr);
}

void send(QWidget* to, QEvent::Type type, QPoint at, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, to->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

TEST(FileDrag, BeginsOnlyAfterTheDragDistanceAndLeavesClicksAlone)
{
    QStringListModel model(QStringList{QStringLiteral("a.wav"), QStringLiteral("b.wav")});
    QListView view;
    view.setModel(&model);
    view.show();
    std::vector<int> asked;
    new tidebell::TFileDrag(&view, [&](int row) -> std::optional<std::string> {
        asked.push_back(row);
        return std::nullopt;  // nothing to drag: no drag loop in the test
    });
    int clicks = 0;
    QObject::connect(&view, &QAbstractItemView::clicked, [&] { ++clicks; });
    QWidget* viewport = view.viewport();
    const QPoint row1 = view.visualRect(model.index(1, 0)).center();
    const int distance = QApplication::startDragDistance();

    send(viewport, QEvent::MouseButtonPress, row1, Qt::LeftButton);
    send(viewport, QEvent::MouseMove, row1 + QPoint(distance - 1, 0), Qt::LeftButton);
    send(viewport, QEvent::MouseButtonRelease, row1 + QPoint(distance - 1, 0), Qt::NoButton);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(clicks, 1);

    // Moving without the button, or from empty space, drags nothing.
    send(viewport, QEvent::MouseMove, row1 + QPoint(distance * 3, 0), Qt::NoButton);
    send(viewport, QEvent::MouseButtonPress, QPoint(2, viewport->height() - 2), Qt::LeftButton);
    send(viewport, QEvent::MouseMove, QPoint(2 + distance * 3, viewport->height() - 2), Qt::LeftButton);
    send(viewport, QEvent::MouseButtonRelease, QPoint(2 + distance * 3, viewport->height() - 2), Qt::NoButton);
    EXPECT_TRUE(asked.empty());

    send(viewport, QEvent::MouseButtonPress, row1, Qt::LeftButton);
    send(viewport, QEvent::MouseMove, row1 + QPoint(0, distance), Qt::LeftButton);
    send(viewport, QEvent::MouseMove, row1 + QPoint(0, distance * 2), Qt::LeftButton);
    EXPECT_EQ(asked, std::vector<int>{1});  // once per press
}

}  // namespace
