// Help for the dialogs: the help file's topics by context number, and the
// pop-up topics of controls that carry a context number (F1 on the control,
// or the caption-bar help button followed by a click on it).
#pragma once

#include <QObject>
#include <map>
#include <string>

class QWidget;

namespace tidebell {

// WinHelpA with HELP_CONTEXT. Without a help file (the one-shot mode has
// none) nothing opens.
void openHelpTopic(const std::string& helpFile, unsigned contextNumber);

class ContextHelp : public QObject {
public:
    // `helpFile` must outlive this object (it is the shared HelpFilePath).
    ContextHelp(const std::string& helpFile, QWidget* dialog);

    void setContext(QWidget* control, unsigned contextNumber);
    // The pop-up topic of the control at its top-left corner; nothing for a
    // control without a number.
    void showPopup(QWidget* control) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const std::string& m_helpFile;
    std::map<QObject*, QWidget*> m_controlOf;  // watched object -> control with the number
    std::map<QWidget*, unsigned> m_numbers;
};

}  // namespace tidebell
