#include "main/form_main.h"

#include <algorithm>

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>

#include "main/app_title.h"
#include "main/error_display.h"
#include "main/hint_text.h"
#include "main/startup.h"
#include "main/window_layout.h"

namespace tidebell {

TFormMain::TFormMain(SharedState& state, QWidget* parent) : QMainWindow(parent), m_state(state)
{
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
    buildWidgets();
    FormCreate();
}

void TFormMain::buildWidgets()
{
    QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    menuExit = fileMenu->addAction(QStringLiteral("終了(&X)"));
    menuExit->setStatusTip(QStringLiteral("ねいろんを終了します"));
    connect(menuExit, &QAction::triggered, this, &TFormMain::menufileExitExecute);

    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("表示(&V)"));
    menuToolBar = viewMenu->addAction(QStringLiteral("ツールバー(&T)"));
    menuToolBar->setCheckable(true);
    menuToolBar->setStatusTip(QStringLiteral("ツールバーの表示/非表示を切り替えます"));
    connect(menuToolBar, &QAction::triggered, this, &TFormMain::menuviewToolbarExecute);
    menuStatusBar = viewMenu->addAction(QStringLiteral("ステータスバー(&S)"));
    menuStatusBar->setCheckable(true);
    menuStatusBar->setStatusTip(QStringLiteral("ステータスバーの表示/非表示を切り替えます"));
    connect(menuStatusBar, &QAction::triggered, this, &TFormMain::menuviewStatusExecute);

    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    // The bar's visibility belongs to the 表示 menu alone.
    ToolBar1->toggleViewAction()->setEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(kSplitterWidth);
    Splitter1->setChildrenCollapsible(false);
    TreeView1 = new QTreeView(Splitter1);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setMinimumWidth(1);
    ListPane = new QWidget(Splitter1);
    ListPane->setObjectName(QStringLiteral("ListPane"));
    ListPane->setMinimumWidth(1);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    setCentralWidget(Splitter1);
}

void TFormMain::FormCreate()
{
    // The application's hints come to this window's status bar from now on.
    m_state.OnHint = [this](const std::string& hint) { AppOnHint(QString::fromStdString(hint)); };
    // A malformed size value is shown in the error box and the window opens
    // all the same, with the values that were read.
    prepareMainWindow(m_state, [](const std::exception& error) { showDefaultError(nullptr, error); });

    const AppSettings& settings = m_state.Settings;
    ToolBar1->setVisible(settings.ShowMainToolBar);
    StatusBar1->setVisible(settings.ShowMainStatusBar);
    menuToolBar->setChecked(settings.ShowMainToolBar);
    menuStatusBar->setChecked(settings.ShowMainStatusBar);

    if (const auto bounds = savedBounds(settings)) {
        move(bounds->left, bounds->top);
        resize(bounds->width, bounds->height);
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const WindowBounds size = defaultWindowSize(area.width(), area.height());
        resize(size.width, size.height);
    }
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
    if (!m_treeWidthApplied) {
        m_treeWidthApplied = true;
        applyTreeWidth();
    }
}

void TFormMain::FormCloseQuery()
{
    MainWindowState window;
    // A maximised or minimised window keeps its normal bounds, so that the
    // next start does not open off screen or at the minimised size.
    const bool normal = !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized |
                                           Qt::WindowFullScreen));
    const QRect client = normal ? geometry() : normalGeometry();
    const QPoint origin = normal ? pos() : client.topLeft();
    window.bounds = {origin.x(), origin.y(), client.width(), client.height()};
    const QList<int> sizes = Splitter1->sizes();
    window.treeWidth = sizes.isEmpty() ? m_state.Settings.TreeWidth : sizes.front();
    window.toolBarVisible = !ToolBar1->isHidden();
    window.statusBarVisible = !StatusBar1->isHidden();
    closeMainWindow(m_state, window);
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    FormCloseQuery();
    event->accept();
}

void TFormMain::AppOnHint(const QString& hint)
{
    StatusBar1->showMessage(QString::fromStdString(longHint(hint.toStdString())));
}

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

}  // namespace tidebell
