// What every window of the program shares: centring a dialog on the main
// window, and the application-wide hint routing.
#pragma once

#include <QDialog>
#include <QObject>

#include "core/shared_state.h"
#include "core/window_layout.h"

class QWidget;

namespace tidebell {

// The outer bounds of a shown or not yet shown top-level window.
WindowBounds outerBounds(const QWidget* window);

// Moves `dialog` so that its outer frame stands centred on `mainBounds`.
void centreOn(QWidget* dialog, const WindowBounds& mainBounds);

// A dialog of the program: FormShow runs once, inside the handler guard,
// when the dialog is first shown.
class TDialogForm : public QDialog {
public:
    using QDialog::QDialog;
    virtual void FormShow() = 0;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool m_shown = false;
};

// Installed on the application: every hint (status tip) of any window, menu
// or tool button goes to SharedState::OnHint, whoever set it last.
class ApplicationHints : public QObject {
public:
    explicit ApplicationHints(SharedState& state, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SharedState& m_state;
};

}  // namespace tidebell
