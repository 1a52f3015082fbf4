#include "ui/window_support.h"

#include <QEvent>
#include <QStatusTipEvent>
#include <QWidget>

#include "core/handler_guard.h"

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

void TDialogForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        guarded([this] { FormShow(); });
    }
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
