// The main window: tool bar, folder tree pane beside the file list pane,
// status bar, and the 表示 menu that shows or hides the bars. Its rules live
// in the core (startup.h, window_layout.h); this class only applies them.
#pragma once

#include <QMainWindow>

#include "main/shared_state.h"

class QAction;
class QSplitter;
class QStatusBar;
class QToolBar;
class QTreeView;
class QWidget;

namespace tidebell {

class TFormMain : public QMainWindow {
public:
    explicit TFormMain(SharedState& state, QWidget* parent = nullptr);

    SharedState& state() { return m_state; }

    // The close sequence: copies bounds, tree width and bar visibility into
    // the settings and writes them. It never refuses the close.
    void FormCloseQuery();

    void menuviewToolbarExecute();
    void menuviewStatusExecute();
    void menufileExitExecute();
    // Shows the long part of the application's current hint in StatusBar1.
    void AppOnHint(const QString& hint);

    QToolBar* ToolBar1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QAction* menuToolBar = nullptr;
    QAction* menuStatusBar = nullptr;
    QAction* menuExit = nullptr;
    QSplitter* Splitter1 = nullptr;
    QTreeView* TreeView1 = nullptr;
    QWidget* ListPane = nullptr;   // the file list takes this place

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void buildWidgets();
    void applyTreeWidth();

    SharedState& m_state;
    bool m_treeWidthApplied = false;
};

}  // namespace tidebell
