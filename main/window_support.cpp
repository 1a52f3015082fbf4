#include "main/window_support.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QStatusTipEvent>
#include <QWidget>

#include "main/handler_guard.h"

namespace tidebell {

WindowBounds outerBounds(const QWidget* window)
{
    // Before a window is shown the frame is not known yet; its geometry is
    // the best measure there is.
    const QRect frame = window->isVisible() ? window->frameGeometry() : window->geometry();
    return WindowBounds{frame.x(), frame.y(), frame.width(), frame.height()};
}

void centreOn(QWidget* dialog, const WindowBounds& mainBounds)
{
    const WindowBounds own = outerBounds(dialog);
    const WindowBounds placed = centredOn(mainBounds, own.width, own.height);
    dialog->move(placed.left, placed.top);
}

FrameMargins frameMarginsOf(const QWidget* window)
{
    const QRect outer = window->frameGeometry();
    const QRect client = window->geometry();
    return FrameMargins{client.left() - outer.left(), client.top() - outer.top(), outer.right() - client.right(),
                        outer.bottom() - client.bottom()};
}

bool isFramed(const FrameMargins& frame)
{
    return frame.left != 0 || frame.top != 0 || frame.right != 0 || frame.bottom != 0;
}

namespace {

class LeftDoubleClicksOnly : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::MouseButtonDblClick) {
            return QObject::eventFilter(watched, event);
        }
        const auto* click = static_cast<QMouseEvent*>(event);
        if (click->button() == Qt::LeftButton) {
            return false;
        }
        // The view sees the second press of the double click as a press of
        // its own, as it sees a press on empty space.
        QMouseEvent press(QEvent::MouseButtonPress, click->position(), click->scenePosition(),
                          click->globalPosition(), click->button(), click->buttons(), click->modifiers(),
                          click->pointingDevice());
        QCoreApplication::sendEvent(watched, &press);
        return true;
    }
};

}  // namespace

void answerLeftDoubleClicksOnly(QAbstractItemView* view)
{
    view->viewport()->installEventFilter(new LeftDoubleClicksOnly(view));
}

void TDialogForm::place()
{
    placeWindow();
    m_framePending = !isFramed(frameMarginsOf(this));
}

void TDialogForm::mendFrame()
{
    if (!m_framePending || !isVisible() || !isFramed(frameMarginsOf(this))) {
        return;
    }
    m_framePending = false;
    placeWindow();
}

void TDialogForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        guarded([this] { FormShow(); });
    }
}

void TDialogForm::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    guarded([this] { mendFrame(); });
}

void TDialogForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    guarded([this] { mendFrame(); });
}

ApplicationHints::ApplicationHints(SharedState& state, QObject* parent)
    : QObject(parent), m_state(state)
{
}

bool ApplicationHints::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::StatusTip && m_state.OnHint) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        guarded([&] { m_state.OnHint(tip.toStdString()); });
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tidebell
