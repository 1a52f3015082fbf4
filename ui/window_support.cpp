#include "ui/window_support.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QStatusTipEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "core/handler_guard.h"

namespace tidebell {

WindowBounds outerBounds(const QWidget* window)
{
    // Before a window is shown the frame is not known yet; its geometry is
    // the best measure there is. The widget's own frame geometry may lag
    // behind what the window system has told its window.
    QRect frame = window->geometry();
    if (window->isVisible()) {
        frame = window->windowHandle() ? window->windowHandle()->frameGeometry() : window->frameGeometry();
    }
    return WindowBounds{frame.x(), frame.y(), frame.width(), frame.height()};
}

FrameMargins frameMarginsOf(const QWidget* window)
{
    // The window's margins are read afresh from the window system; the
    // widget learns of a new frame only with its next move.
    if (const QWindow* handle = window->windowHandle()) {
        const QMargins margins = handle->frameMargins();
        return FrameMargins{margins.left(), margins.top(), margins.right(), margins.bottom()};
    }
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
        QMouseEvent press(QEvent::MouseButtonPress, click->position(), click->scenePosition(), click->globalPosition(),
                          click->button(), click->buttons(), click->modifiers(), click->pointingDevice());
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
    m_hasTarget = false;
    placeWindow();
    m_framePending = !isFramed(frameMarginsOf(this));
    // Some window managers frame a window without moving it as the toolkit
    // sees it, so no move event tells; others put the frame a frame width
    // off the place asked for. The frame is watched for a while after the
    // show and the window placed again until it stands where it was asked.
    if (m_frameWatch == nullptr) {
        m_frameWatch = new QTimer(this);
        m_frameWatch->setInterval(kFrameWatchInterval);
        connect(m_frameWatch, &QTimer::timeout, this, [this] {
            guarded([this] {
                if (++m_frameWatchTicks > kFrameWatchTicks) {
                    m_frameWatch->stop();
                    return;
                }
                mendFrame();
            });
        });
    }
    m_frameWatchTicks = 0;
    m_frameWatch->start();
}

void TDialogForm::centre(const WindowBounds& mainBounds)
{
    const WindowBounds own = outerBounds(this);
    m_target = centredOn(mainBounds, own.width, own.height);
    m_hasTarget = true;
    move(m_target.left, m_target.top);
}

void TDialogForm::mendFrame()
{
    if (m_frameWatch == nullptr || !m_frameWatch->isActive() || !isVisible() || !isFramed(frameMarginsOf(this))) {
        return;
    }
    if (m_framePending) {
        // The first placement measured the inner size as the outer one.
        m_framePending = false;
        placeWindow();
        return;
    }
    const WindowBounds outer = outerBounds(this);
    if (!m_hasTarget || (outer.left == m_target.left && outer.top == m_target.top)) {
        // Once it stands right the watch ends, so a later move is the user's
        // and is left alone.
        m_frameWatch->stop();
        return;
    }
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

ApplicationHints::ApplicationHints(SharedState& state, QObject* parent) : QObject(parent), m_state(state) {}

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
