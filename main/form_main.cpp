#include "main/form_main.h"

#include <algorithm>

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QItemSelection>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include "archive_viewer/archive_opening.h"
#include "core/app_title.h"
#include "core/error_display.h"
#include "core/handler_guard.h"
#include "core/hint_text.h"
#include "core/window_texts.h"
#include "main/file_list_model.h"
#include "main/file_list_view.h"
#include "main/folder_tree_model.h"
#include "main/form_version.h"
#include "main/startup.h"
#include "options/option_dialog.h"
#include "platform/platform.h"
#include "sound_events/sound_event_dialog.h"
#include "ui/file_drag.h"
#include "ui/images.h"
#include "ui/window_support.h"

namespace tidebell {

namespace {

// Help pages of the main window.
constexpr uintptr_t kHelpContents = 0;
constexpr uintptr_t kHelpOperation = 3;
constexpr uintptr_t kHelpCommands = 4;

QString fromAnsi(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TFormMain::TFormMain(SharedState& state, QWidget* parent) : QMainWindow(parent), m_state(state)
{
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
    setWindowIcon(programIcon());
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    setFont(font);
    buildActions();
    buildMenus();
    buildToolBar();
    buildPanes();
    configureArchiveFile();
    FormCreate();
}

TFormMain::~TFormMain()
{
    // The hints must not reach a window that is gone.
    m_state.OnHint = nullptr;
}

void TFormMain::buildActions()
{
    struct Spec {
        QAction** action;
        const char* name;
        QString caption;
        QString hint;
        QKeySequence shortcut;
        int image;
        void (TFormMain::*handler)();
    };
    const Spec specs[] = {
        {&menufilePlay, "menufilePlay", QString::fromUtf8(window_texts::Play),
         QString::fromUtf8(window_texts::PlayHint), QKeySequence(Qt::CTRL | Qt::Key_P), 0,
         &TFormMain::menufilePlayExecute},
        // Ctrl+E belongs to the menu item; the item is this action.
        {&menufileEvent, "menufileEvent", QStringLiteral("サウンドイベントに設定"),
         QStringLiteral("サウンドイベントを設定します"), QKeySequence(Qt::CTRL | Qt::Key_E), -1,
         &TFormMain::menufileEventExecute},
        {&menufileOption, "menufileOption", QStringLiteral("オプション(&O)"), QStringLiteral("オプションを設定します"),
         QKeySequence(Qt::CTRL | Qt::Key_O), 1, &TFormMain::menufileOptionExecute},
        {&menufileExit,
         "menufileExit",
         QStringLiteral("終了(&X)"),
         QStringLiteral("ねいろんを終了します"),
         {},
         -1,
         &TFormMain::menufileExitExecute},
        {&menuviewToolbar,
         "menuviewToolbar",
         QString::fromUtf8(window_texts::Toolbar),
         QString::fromUtf8(window_texts::ToolbarHint),
         {},
         -1,
         &TFormMain::menuviewToolbarExecute},
        {&menuviewStatus,
         "menuviewStatus",
         QString::fromUtf8(window_texts::StatusBar),
         QString::fromUtf8(window_texts::StatusBarHint),
         {},
         -1,
         &TFormMain::menuviewStatusExecute},
        {&menuviewList,
         "menuviewList",
         QString::fromUtf8(window_texts::List),
         QString::fromUtf8(window_texts::ListHint),
         {},
         2,
         &TFormMain::menuviewListExecute},
        {&menuviewDetail,
         "menuviewDetail",
         QString::fromUtf8(window_texts::Detail),
         QString::fromUtf8(window_texts::DetailHint),
         {},
         3,
         &TFormMain::menuviewDetailExecute},
        {&menuhelpContents, "menuhelpContents", QString::fromUtf8(window_texts::HelpContents),
         QString::fromUtf8(window_texts::HelpContentsHint), QKeySequence(Qt::Key_F1), 4,
         &TFormMain::menuhelpContentsExecute},
        {&menuhelpOperate,
         "menuhelpOperate",
         QString::fromUtf8(window_texts::HelpOperate),
         QStringLiteral("操作方法を表示します"),
         {},
         -1,
         &TFormMain::menuhelpOperateExecute},
        {&menuhelpCommand,
         "menuhelpCommand",
         QString::fromUtf8(window_texts::HelpCommand),
         QStringLiteral("この画面のコマンド説明を表示します"),
         {},
         -1,
         &TFormMain::menuhelpCommandExecute},
        {&menuhelpAbout,
         "menuhelpAbout",
         QStringLiteral("バージョン情報(&A)"),
         QStringLiteral("バージョン情報を表示します"),
         {},
         -1,
         &TFormMain::menuhelpAboutExecute},
        {&menupopupPlay,
         "menupopupPlay",
         QString::fromUtf8(window_texts::Play),
         QString(),
         {},
         0,
         &TFormMain::menufilePlayExecute},
        {&menupopupEvent,
         "menupopupEvent",
         QStringLiteral("サウンドイベントに設定(&S)"),
         QString(),
         {},
         -1,
         &TFormMain::menufileEventExecute},
    };
    for (const Spec& spec : specs) {
        auto* action = new QAction(spec.caption, this);
        action->setObjectName(QString::fromLatin1(spec.name));
        action->setStatusTip(spec.hint);
        action->setShortcut(spec.shortcut);
        if (spec.image >= 0) {
            action->setIcon(actionImage(spec.image));
        }
        connect(action, &QAction::triggered, this, guardedSlot(this, spec.handler));
        *spec.action = action;
    }
    // The shortcuts work whichever bars are shown.
    addActions({menufilePlay, menufileEvent, menufileOption, menuhelpContents});

    menuviewToolbar->setCheckable(true);
    menuviewStatus->setCheckable(true);
    menuviewList->setCheckable(true);
    menuviewDetail->setCheckable(true);
    m_viewModeGroup = new QActionGroup(this);
    m_viewModeGroup->setExclusive(true);
    m_viewModeGroup->addAction(menuviewList);
    m_viewModeGroup->addAction(menuviewDetail);
    menuviewDetail->setChecked(true);
}

void TFormMain::buildMenus()
{
    menuPlay = menufilePlay;
    menuEvent = menufileEvent;
    menuOption = menufileOption;
    menuExit = menufileExit;
    menuToolBar = menuviewToolbar;
    menuStatusBar = menuviewStatus;
    menuList = menuviewList;
    menuDetail = menuviewDetail;
    menuContents = menuhelpContents;
    O1 = menuhelpOperate;
    menuAbout = menuhelpAbout;
    P1 = menupopupPlay;
    S1 = menupopupEvent;
    // The command help item carries its own caption and runs the action.
    C1 = new QAction(QStringLiteral("コマンド説明(&M)"), this);
    C1->setObjectName(QStringLiteral("C1"));
    C1->setStatusTip(menuhelpCommand->statusTip());
    connect(C1, &QAction::triggered, menuhelpCommand, &QAction::trigger);

    QMenu* file = menuBar()->addMenu(QString::fromUtf8(window_texts::FileMenu));
    file->addAction(menuPlay);
    file->addAction(menuEvent);
    file->addSeparator();
    file->addAction(menuOption);
    file->addSeparator();
    file->addAction(menuExit);

    QMenu* view = menuBar()->addMenu(QString::fromUtf8(window_texts::ViewMenu));
    view->addAction(menuToolBar);
    view->addAction(menuStatusBar);
    view->addSeparator();
    view->addAction(menuList);
    view->addAction(menuDetail);

    QMenu* help = menuBar()->addMenu(QString::fromUtf8(window_texts::HelpMenu));
    help->addAction(menuContents);
    help->addAction(O1);
    help->addAction(C1);
    help->addSeparator();
    help->addAction(menuAbout);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(P1);
    PopupMenu1->addAction(S1);
}

void TFormMain::buildToolBar()
{
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // The bar's visibility belongs to the 表示 menu alone.
    ToolBar1->toggleViewAction()->setEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);

    auto button = [this](QAction* action) {
        ToolBar1->addAction(action);
        auto* b = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(action));
        b->setAutoRaise(true);
        b->installEventFilter(this);  // no tooltips
        return b;
    };
    ToolBar1->addSeparator();
    ToolButton1 = button(menufilePlay);
    ToolBar1->addSeparator();
    ToolButton2 = button(menufileOption);
    ToolBar1->addSeparator();
    ToolButton3 = button(menuviewList);
    ToolButton4 = button(menuviewDetail);
    ToolBar1->addSeparator();
    ToolButton5 = button(menuhelpContents);
    ToolButton1->setObjectName(QStringLiteral("ToolButton1"));
    ToolButton2->setObjectName(QStringLiteral("ToolButton2"));
    ToolButton3->setObjectName(QStringLiteral("ToolButton3"));
    ToolButton4->setObjectName(QStringLiteral("ToolButton4"));
    ToolButton5->setObjectName(QStringLiteral("ToolButton5"));
}

void TFormMain::buildPanes()
{
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(kSplitterWidth);
    Splitter1->setChildrenCollapsible(false);

    TreeModel = new TFolderTreeModel(this);
    TreeModel->setImages([](int index) { return treeImage(index); });
    TreeView1 = new QTreeView(Splitter1);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setMinimumWidth(1);
    TreeView1->setIndentation(19);
    TreeView1->setIconSize(QSize(16, 16));
    TreeView1->setUniformRowHeights(true);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setModel(TreeModel);
    connect(TreeView1, &QTreeView::expanded, this, guardedSlot(this, &TFormMain::TreeView1Expanding));
    connect(TreeView1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) { guarded([&] { TreeView1Changing(current); }); });

    FileList = new TFileListModel(this);
    ListView1 = new TFileListView(FileList, Splitter1);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setMinimumWidth(1);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(ListView1->listView()),
                                    static_cast<QAbstractItemView*>(ListView1->detailView())}) {
        connect(view, &QAbstractItemView::clicked, this, guardedSlot(this, &TFormMain::ListView1Click));
        connect(view, &QAbstractItemView::doubleClicked, this, guardedSlot(this, &TFormMain::ListView1DblClick));
        connect(view, &QWidget::customContextMenuRequested, this, guardedSlot(this, &TFormMain::ListView1ContextPopup));
        new TFileDrag(view, [this](int row) -> std::optional<std::string> {
            return TreeModel->NodePath(TreeView1->currentIndex()) + FileList->fileName(row);
        });
    }
    connect(ListView1->selection(), &QItemSelectionModel::selectionChanged, this,
            guardedSlot(this, &TFormMain::ListView1SelectionChanged));

    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    setCentralWidget(Splitter1);
}

void TFormMain::configureArchiveFile()
{
    ArchiveFile1.SetOutputSize(0);
    archives::TArchiverOptions& options = ArchiveFile1.Options();
    options.jyc = -1;
    options.w = options.jo = options.job = options.jz = options.gr = archives::UnsetText;
    options.ResFileUsage = {archives::ruOnPack, archives::ruOnUnpack, archives::ruOnRemoveItem};
}

void TFormMain::FormCreate()
{
    // The application's hints come to this window's status bar from now on.
    m_state.OnHint = [this](const std::string& hint) { AppOnHint(fromAnsi(hint)); };
    // A malformed size value is shown in the error box and the window opens
    // all the same, with the values that were read.
    prepareMainWindow(m_state, [](const std::exception& error) { showDefaultError(nullptr, error); });

    const AppSettings& settings = m_state.Settings;
    ToolBar1->setVisible(settings.ShowMainToolBar);
    StatusBar1->setVisible(settings.ShowMainStatusBar);
    menuToolBar->setChecked(settings.ShowMainToolBar);
    menuStatusBar->setChecked(settings.ShowMainStatusBar);
    applyBounds();

    TreeModel->TreeViewInitExecute();
    char current[MAX_PATH] = {};
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    if (length > 0 && length < MAX_PATH) {
        // The walk reads the start folder to open its node; the file list
        // takes the same reading instead of a second one.
        std::shared_ptr<const FolderListing> lastRead;
        const QModelIndex start = TreeModel->FindNodeByPath(current, [&](const QModelIndex& node) {
            if (!openTreeNode(node, &lastRead)) {
                return false;
            }
            TreeView1->expand(node);
            return true;
        });
        if (start.isValid()) {
            if (lastRead && lastRead->folder() == TreeModel->NodePath(start)) {
                m_startListing = std::move(lastRead);
            }
            TreeView1->setCurrentIndex(start);
            TreeView1->scrollTo(start);
            m_startListing.reset();
        }
    }
}

void TFormMain::applyBounds()
{
    const auto saved = savedBounds(m_state.Settings);
    if (!saved) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            const WindowBounds size = defaultWindowSize(area.width(), area.height());
            resize(size.width, size.height);
        }
        return;
    }
    // The saved bounds are the outer frame. A size beyond the screen is cut
    // down to it, as the desktop does: a window of 40000 x 40000 pixels
    // would take gigabytes of drawing memory.
    WindowBounds outer = *saved;
    const QScreen* screen = QGuiApplication::screenAt(QPoint(outer.left, outer.top));
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen) {
        const QRect area = screen->availableGeometry();
        outer = limitToArea(outer, area.width(), area.height());
    }
    // A top-level window's position is its frame's; its size is the client
    // area's, mended once the frame is known (mendFrame).
    move(outer.left, outer.top);
    const WindowBounds client = clientOf(outer, m_frame);
    resize(std::max(1, client.width), std::max(1, client.height));
    m_framePending = !isFramed(m_frame);
}

void TFormMain::mendFrame()
{
    if (!m_framePending || !isVisible()) {
        return;
    }
    // The desktop tells the frame's size only once it has framed the shown
    // window, sometimes a little after the window shows.
    const FrameMargins frame = frameMarginsOf(this);
    if (!isFramed(frame)) {
        return;
    }
    m_frame = frame;
    m_framePending = false;
    applyBounds();
}

void TFormMain::applyTreeWidth()
{
    // The client width is known for sure only once the window is shown (the
    // platform picks it when no bounds were saved).
    const int tree = std::max(1, treePaneWidth(m_state.Settings, width()));
    const int rest = std::max(1, Splitter1->width() - tree - Splitter1->handleWidth());
    Splitter1->setSizes({tree, rest});
}

void TFormMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    guarded([&] {
        if (!m_firstShow) {
            return;
        }
        m_firstShow = false;
        mendFrame();
        applyTreeWidth();
    });
}

void TFormMain::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    guarded([&] { mendFrame(); });
}

void TFormMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    guarded([&] { mendFrame(); });
}

void TFormMain::FormCloseQuery()
{
    MainWindowState window;
    // A maximised or minimised window keeps its normal bounds, so that the
    // next start does not open off screen or at the minimised size. Either
    // way the outer frame is stored, the measure the start-up applies.
    const bool normal = !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
    if (normal) {
        m_frame = frameMarginsOf(this);
        // The widget's own frame may lag behind the window system's.
        window.bounds = outerBounds(this);
    } else {
        const QRect client = normalGeometry();
        window.bounds = outerOf({client.x(), client.y(), client.width(), client.height()}, m_frame);
    }
    const QList<int> sizes = Splitter1->sizes();
    window.treeWidth = sizes.isEmpty() ? m_state.Settings.TreeWidth : sizes.front();
    window.toolBarVisible = !ToolBar1->isHidden();
    window.statusBarVisible = !StatusBar1->isHidden();
    closeMainWindow(m_state, window);
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    guarded([&] { FormCloseQuery(); });
    event->accept();
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event)
{
    // The tool buttons show no tooltips; their hints go to the status bar.
    bool swallow = false;
    guarded([&] { swallow = event->type() == QEvent::ToolTip && qobject_cast<QToolButton*>(watched); });
    return swallow || QMainWindow::eventFilter(watched, event);
}

// ---- Hints and status text ----

void TFormMain::AppOnHint(const QString& hint)
{
    StatusBar1->showMessage(fromAnsi(longHint(hint.toStdString())));
}

void TFormMain::ListView1SelectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    for (const QModelIndex& index : deselected.indexes()) {
        if (index.column() == TFileListModel::colName) {
            ListView1SelectItem(index.row(), false);
        }
    }
    for (const QModelIndex& index : selected.indexes()) {
        if (index.column() == TFileListModel::colName) {
            ListView1SelectItem(index.row(), true);
        }
    }
}

void TFormMain::ListView1SelectItem(int row, bool selected)
{
    StatusBar1->showMessage(selected ? fromAnsi(FileList->fileName(row)) : QString());
}

// ---- Tree ----

bool TFormMain::openTreeNode(const QModelIndex& node, std::shared_ptr<const FolderListing>* read)
{
    const DWORD result = TreeModel->openNode(node, read);
    if (result == 0 || result == ERROR_NO_MORE_FILES) {
        return true;
    }
    // Refused: the node stays closed and unread (the next try reads again),
    // and is closed before the box shows.
    TreeView1->collapse(node);
    const std::string text = platform::systemErrorMessage(result);
    MessageBoxA(nullptr, text.c_str(), kApplicationTitle, MB_OK | MB_ICONERROR);
    return false;
}

void TFormMain::TreeView1Expanding(const QModelIndex& node)
{
    openTreeNode(node, nullptr);
}

void TFormMain::TreeView1Changing(const QModelIndex& node)
{
    if (!node.isValid()) {
        return;
    }
    const std::string folder = TreeModel->NodePath(node);
    if (m_startListing && m_startListing->folder() == folder) {
        FileList->FillFileList(*m_startListing, m_state.Archivers);
        return;
    }
    FileList->FillFileList(folder, m_state.Archivers);
}

// ---- The file list ----

std::optional<TFormMain::SelectedFile> TFormMain::selectedFile() const
{
    const int row = ListView1->selectedRow();
    if (row < 0) {
        return std::nullopt;
    }
    SelectedFile file;
    file.folder = TreeModel->NodePath(TreeView1->currentIndex());
    file.name = FileList->fileName(row);
    file.extension = fileExtension(file.name);
    return file;
}

void TFormMain::menufilePlayExecute()
{
    const auto file = selectedFile();
    if (!file) {
        return;
    }
    if (file->extension == ".WAV") {
        // The result is not looked at: a file that cannot be played sounds
        // the desktop's default sound instead.
        sndPlaySoundA(file->path().c_str(), SND_ASYNC);
        return;
    }
    OpenArchiveFromMain(m_state, ArchiveFile1, this, file->path());
}

void TFormMain::menufileEventExecute()
{
    const auto file = selectedFile();
    if (!file || file->extension != ".WAV") {
        return;  // archives cannot be assigned
    }
    m_state.EventSoundFile = file->path();
    showSoundEventDialog(m_state, outerBounds(this), this);
}

void TFormMain::ListView1Click()
{
    const auto file = selectedFile();
    // A single click never opens an archive.
    if (file && m_state.Settings.SingleClick && file->extension == ".WAV") {
        menufilePlayExecute();
    }
}

void TFormMain::ListView1DblClick()
{
    if (!selectedFile()) {
        return;
    }
    if (m_state.Settings.SoundEvent) {
        menufileEventExecute();
    } else {
        menufilePlayExecute();
    }
}

void TFormMain::ListView1ContextPopup(const QPoint& at)
{
    const QAbstractItemView* view = ListView1->currentView();
    PopupMenu1->popup(view->viewport()->mapToGlobal(at));
}

void TFormMain::menuviewListExecute()
{
    ListView1->setViewMode(TViewMode::List);
    menuviewList->setChecked(true);
}

void TFormMain::menuviewDetailExecute()
{
    ListView1->setViewMode(TViewMode::Detail);
    menuviewDetail->setChecked(true);
}

// ---- Bars, windows, help ----

void TFormMain::menuviewToolbarExecute()
{
    ToolBar1->setVisible(ToolBar1->isHidden());
    menuToolBar->setChecked(!ToolBar1->isHidden());
}

void TFormMain::menuviewStatusExecute()
{
    StatusBar1->setVisible(StatusBar1->isHidden());
    menuStatusBar->setChecked(!StatusBar1->isHidden());
}

void TFormMain::menufileExitExecute()
{
    close();
}

void TFormMain::menufileOptionExecute()
{
    showOptionDialog(m_state, outerBounds(this), this);
}

void TFormMain::menuhelpAboutExecute()
{
    showAboutBox(outerBounds(this));
}

void TFormMain::showHelp(uintptr_t context)
{
    if (m_state.HelpFilePath.empty()) {
        return;
    }
    WinHelpA(nullptr, m_state.HelpFilePath.c_str(), HELP_CONTEXT, context);
}

void TFormMain::menuhelpContentsExecute()
{
    showHelp(kHelpContents);
}

void TFormMain::menuhelpOperateExecute()
{
    showHelp(kHelpOperation);
}

void TFormMain::menuhelpCommandExecute()
{
    showHelp(kHelpCommands);
}

}  // namespace tidebell
