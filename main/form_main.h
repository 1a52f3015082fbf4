// The main window: tool bar, folder tree beside the file list, status bar,
// menus and the actions behind them. The start-up and geometry rules live in
// the core (startup.h, window_layout.h) and the data in the two models; this
// class wires them to the widgets. Every handler runs inside the one guard.
#pragma once

#include <QMainWindow>

#include <memory>
#include <optional>
#include <string>

#include "archive/archivefile.h"
#include "core/shared_state.h"
#include "core/window_layout.h"

class QAction;
class QActionGroup;
class QItemSelection;
class QMenu;
class QModelIndex;
class QSplitter;
class QStatusBar;
class QToolBar;
class QToolButton;
class QTreeView;

namespace tidebell {

class FolderListing;
class TFileListModel;
class TFileListView;
class TFolderTreeModel;

class TFormMain : public QMainWindow {
public:
    explicit TFormMain(SharedState& state, QWidget* parent = nullptr);
    ~TFormMain() override;

    SharedState& state() { return m_state; }

    // ---- Handlers ----
    // The close sequence: copies bounds, tree width and bar visibility into
    // the settings and writes them. It never refuses the close.
    void FormCloseQuery();
    void menufilePlayExecute();
    void menufileEventExecute();
    void menufileOptionExecute();
    void menufileExitExecute();
    void menuviewToolbarExecute();
    void menuviewStatusExecute();
    void menuviewListExecute();
    void menuviewDetailExecute();
    void menuhelpContentsExecute();
    void menuhelpOperateExecute();
    void menuhelpCommandExecute();
    void menuhelpAboutExecute();
    void ListView1Click();
    void ListView1DblClick();
    void ListView1SelectItem(int row, bool selected);
    // Opens a node of the tree; a folder that cannot be read is reported and
    // the node closes again.
    void TreeView1Expanding(const QModelIndex& node);
    // The selection moved to `node`: the file list shows its folder.
    void TreeView1Changing(const QModelIndex& node);
    // Shows the long part of the application's current hint in StatusBar1.
    void AppOnHint(const QString& hint);

    // The list's selected file: folder (NodePath of the tree's selection),
    // name and upper-cased extension.
    struct SelectedFile {
        std::string folder, name, extension;
        std::string path() const { return folder + name; }
    };
    std::optional<SelectedFile> selectedFile() const;

    // ---- Actions ----
    QAction* menufilePlay = nullptr;
    QAction* menufileEvent = nullptr;
    QAction* menufileOption = nullptr;
    QAction* menufileExit = nullptr;
    QAction* menuviewToolbar = nullptr;
    QAction* menuviewStatus = nullptr;
    QAction* menuviewList = nullptr;
    QAction* menuviewDetail = nullptr;
    QAction* menuhelpContents = nullptr;
    QAction* menuhelpOperate = nullptr;
    QAction* menuhelpCommand = nullptr;
    QAction* menuhelpAbout = nullptr;
    QAction* menupopupPlay = nullptr;
    QAction* menupopupEvent = nullptr;

    // ---- Menu items (an item is its action, but for C1, which shows its
    // own caption) ----
    QAction* menuPlay = nullptr;
    QAction* menuEvent = nullptr;
    QAction* menuOption = nullptr;
    QAction* menuExit = nullptr;
    QAction* menuToolBar = nullptr;
    QAction* menuStatusBar = nullptr;
    QAction* menuList = nullptr;
    QAction* menuDetail = nullptr;
    QAction* menuContents = nullptr;
    QAction* O1 = nullptr;
    QAction* C1 = nullptr;
    QAction* menuAbout = nullptr;
    QAction* P1 = nullptr;
    QAction* S1 = nullptr;
    QMenu* PopupMenu1 = nullptr;

    // ---- Controls ----
    QToolBar* ToolBar1 = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QToolButton* ToolButton2 = nullptr;
    QToolButton* ToolButton3 = nullptr;
    QToolButton* ToolButton4 = nullptr;
    QToolButton* ToolButton5 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QTreeView* TreeView1 = nullptr;
    TFolderTreeModel* TreeModel = nullptr;
    TFileListView* ListView1 = nullptr;
    TFileListModel* FileList = nullptr;

    // Used only to check an archive before the viewer opens.
    archives::TArchiveFile ArchiveFile1;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void buildActions();
    void buildMenus();
    void buildToolBar();
    void buildPanes();
    void configureArchiveFile();
    void applyBounds();
    // Applies the saved outer bounds again once the frame is known.
    void mendFrame();
    void applyTreeWidth();
    void showHelp(uintptr_t context);
    void ListView1ContextPopup(const QPoint& at);
    // Opens a tree node; a folder that cannot be read is reported.
    bool openTreeNode(const QModelIndex& node, std::shared_ptr<const FolderListing>* read);
    void ListView1SelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);

    SharedState& m_state;
    QActionGroup* m_viewModeGroup = nullptr;
    bool m_firstShow = true;
    FrameMargins m_frame;         // last known while the window stood normal
    bool m_framePending = false;  // saved bounds applied before the frame was known
    // The start folder's reading while start-up selects its node.
    std::shared_ptr<const FolderListing> m_startListing;
};

}  // namespace tidebell
