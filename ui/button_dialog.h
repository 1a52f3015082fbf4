// The frame the program's fixed dialogs share: OK, Cancel and Help buttons
// below the controls, pop-up help for controls with a context number, and
// centring on the main window when shown.
#pragma once

#include "core/shared_state.h"
#include "core/window_layout.h"
#include "ui/window_support.h"

class QLayout;
class QPushButton;

namespace tidebell {

class ContextHelp;

class TButtonDialog : public TDialogForm {
public:
    // `helpContext` is the topic of the Help button.
    TButtonDialog(SharedState& state, const WindowBounds& mainBounds, unsigned helpContext, QWidget* parent);

    // OK; Cancel closes with the result cancel and changes nothing.
    virtual void Button1Click() = 0;
    void Button3Click();

    QPushButton* Button1 = nullptr;  // "OK", the default button
    QPushButton* Button2 = nullptr;  // "キャンセル"
    QPushButton* Button3 = nullptr;  // "ヘルプ"
    ContextHelp* Help = nullptr;

protected:
    // Puts `content` above the button row and fixes the client size.
    void finishLayout(QLayout* content, int clientWidth, int clientHeight);
    // Centred on the main window's outer bounds.
    void placeWindow() override;

    SharedState& m_state;

private:
    WindowBounds m_mainBounds;
    unsigned m_helpContext;
};

}  // namespace tidebell
