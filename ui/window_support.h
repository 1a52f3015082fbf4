// What every window of the program shares: centring a dialog on the main
// window once its frame is known, the mouse buttons its lists answer, and
// the application-wide hint routing.
#pragma once

#include <QDialog>
#include <QObject>

#include "core/shared_state.h"
#include "core/window_layout.h"

class QAbstractItemView;
class QTimer;
class QWidget;

namespace tidebell {

// The outer bounds of a shown or not yet shown top-level window.
WindowBounds outerBounds(const QWidget* window);

// The frame the desktop put around a shown top-level window; all zero until
// the window manager has framed it, which may be a little after the show.
FrameMargins frameMarginsOf(const QWidget* window);
bool isFramed(const FrameMargins& frame);

// Only the left button's double click reaches the view's doubleClicked
// signal; a double click of another button acts as a plain press.
void answerLeftDoubleClicksOnly(QAbstractItemView* view);

// A dialog of the program: FormShow runs once, inside the handler guard,
// when the dialog is first shown.
class TDialogForm : public QDialog {
public:
    using QDialog::QDialog;
    virtual void FormShow() = 0;

protected:
    // Sets the window's outer size and place (placeWindow). A placement made
    // before the desktop framed the window measured the inner size as the
    // outer one; it is made again once the frame is known.
    void place();
    virtual void placeWindow() {}
    // Moves the dialog's outer frame to the centre of `mainBounds` and keeps
    // that place as the one the frame is watched to stand at.
    void centre(const WindowBounds& mainBounds);

    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void mendFrame();

    // How often and how long a placement made before the frame was known
    // looks for the frame: every 15 ms for three seconds.
    static constexpr int kFrameWatchInterval = 15;
    static constexpr int kFrameWatchTicks = 200;

    bool m_shown = false;
    bool m_framePending = false;  // placed before the frame was known
    QTimer* m_frameWatch = nullptr;
    int m_frameWatchTicks = 0;
    bool m_hasTarget = false;  // a centred placement to hold
    WindowBounds m_target{};
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
