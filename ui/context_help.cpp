#include "ui/context_help.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

#include "core/handler_guard.h"
#include "platform/win32.h"

namespace tidebell {

void openHelpTopic(const std::string& helpFile, unsigned contextNumber)
{
    if (helpFile.empty()) {
        return;
    }
    WinHelpA(nullptr, helpFile.c_str(), HELP_CONTEXT, contextNumber);
}

ContextHelp::ContextHelp(const std::string& helpFile, QWidget* dialog) : QObject(dialog), m_helpFile(helpFile)
{
    dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, true);
}

void ContextHelp::setContext(QWidget* control, unsigned contextNumber)
{
    m_numbers[control] = contextNumber;
    m_controlOf[control] = control;
    control->installEventFilter(this);
    // Clicks in a list or tree land on its viewport.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(control)) {
        m_controlOf[area->viewport()] = control;
        area->viewport()->installEventFilter(this);
    }
}

void ContextHelp::showPopup(QWidget* control) const
{
    const auto found = m_numbers.find(control);
    if (found == m_numbers.end() || m_helpFile.empty()) {
        return;
    }
    const QPoint corner = control->mapToGlobal(QPoint(0, 0));
    const uintptr_t position = (static_cast<uintptr_t>(corner.y() & 0xFFFF) << 16) | (corner.x() & 0xFFFF);
    WinHelpA(nullptr, m_helpFile.c_str(), HELP_SETPOPUP_POS, position);
    WinHelpA(nullptr, m_helpFile.c_str(), HELP_CONTEXTPOPUP, found->second);
}

bool ContextHelp::eventFilter(QObject* watched, QEvent* event)
{
    const auto found = m_controlOf.find(watched);
    if (found == m_controlOf.end()) {
        return QObject::eventFilter(watched, event);
    }
    QWidget* control = found->second;
    switch (event->type()) {
    case QEvent::QueryWhatsThis:
        event->accept();
        return true;
    case QEvent::WhatsThis:
        guarded([&] { showPopup(control); });
        return true;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
            guarded([&] { showPopup(control); });
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tidebell
