#include "archive_viewer/form_lzh.h"

#include <algorithm>

#include <QAction>
#include <QActionGroup>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMenuBar>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "archive_viewer/entry_columns.h"
#include "archive_viewer/wave_listing.h"
#include "archive_viewer/working_copy.h"
#include "core/app_title.h"
#include "core/handler_guard.h"
#include "core/hint_text.h"
#include "core/window_texts.h"
#include "core/window_layout.h"
#include "platform/win32.h"
#include "ui/context_help.h"
#include "ui/file_drag.h"
#include "ui/images.h"
#include "ui/window_support.h"

namespace tidebell {

namespace {

constexpr char kCannotExtract[] = "圧縮ファイルが解凍できません";

constexpr int NameColumn = EntryListModel::NameColumn;
constexpr int SizeColumn = EntryListModel::SizeColumn;
constexpr int TimeColumn = EntryListModel::TimeColumn;

}  // namespace

TFormLZH::TFormLZH(SharedState& state, QWidget* mainWindow)
    : TDialogForm(mainWindow), m_state(state), m_mainWindow(mainWindow)
{
    setWindowTitle(QStringLiteral("FormLZH"));
    // A dialog to the window manager, so that it belongs to the main window,
    // but sizeable with the buttons of a main window.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    buildWidgets();

    // The viewer's component extracts without folders, overwriting, and
    // never asks.
    archives::TArchiverOptions& options = ArchiveFile1.Options();
    options.c = 1;
    options.n = 1;
    options.x = 0;

    // Without saved bounds the viewer keeps the size a new top-level window
    // gets from the desktop.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const WindowBounds size = defaultWindowSize(area.width(), area.height());
        resize(size.width, size.height);
    }
    FormCreate();
}

TFormLZH::~TFormLZH()
{
    // A viewer destroyed without being closed still hands the hints back.
    if (!m_closed) {
        m_state.OnHint = m_previousHint;
    }
}

QAction* TFormLZH::addAction(const char* caption, const char* hint, void (TFormLZH::*handler)())
{
    auto* action = new QAction(QString::fromUtf8(caption), this);
    if (hint != nullptr) {
        action->setStatusTip(QString::fromUtf8(hint));
    }
    connect(action, &QAction::triggered, this, [this, handler] { guarded([&] { (this->*handler)(); }); });
    return action;
}

void TFormLZH::buildWidgets()
{
    menufilePlay = addAction(window_texts::Play, window_texts::PlayHint, &TFormLZH::menufilePlayExecute);
    menufilePlay->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    menufilePlay->setIcon(actionImage(0));
    menufileClose = addAction("閉じる(&C)", "メイン画面に戻ります", &TFormLZH::menufileCloseExecute);
    menuviewToolbar = addAction(window_texts::Toolbar, window_texts::ToolbarHint, &TFormLZH::menuviewToolbarExecute);
    menuviewToolbar->setCheckable(true);
    menuviewStatus = addAction(window_texts::StatusBar, window_texts::StatusBarHint, &TFormLZH::menuviewStatusExecute);
    menuviewStatus->setCheckable(true);
    menuviewList = addAction(window_texts::List, window_texts::ListHint, &TFormLZH::menuviewListExecute);
    menuviewList->setIcon(actionImage(2));
    menuviewDetail = addAction(window_texts::Detail, window_texts::DetailHint, &TFormLZH::menuviewDetailExecute);
    menuviewDetail->setIcon(actionImage(3));
    auto* viewGroup = new QActionGroup(this);
    viewGroup->setExclusive(true);
    for (QAction* view : {menuviewList, menuviewDetail}) {
        view->setCheckable(true);
        viewGroup->addAction(view);
    }
    menuviewDetail->setChecked(true);
    menuhelpContents =
        addAction(window_texts::HelpContents, window_texts::HelpContentsHint, &TFormLZH::menuhelpContentsExecute);
    menuhelpContents->setShortcut(QKeySequence(Qt::Key_F1));
    menuhelpContents->setIcon(actionImage(4));
    menuhelpOperate = addAction(window_texts::HelpOperate, nullptr, &TFormLZH::menuhelpOperateExecute);
    menuhelpCommand = addAction(window_texts::HelpCommand, nullptr, &TFormLZH::menuhelpCommandExecute);

    MainMenu1 = new QMenuBar(this);
    QMenu* fileMenu = MainMenu1->addMenu(QString::fromUtf8(window_texts::FileMenu));
    fileMenu->addAction(menufilePlay);
    fileMenu->addSeparator();
    fileMenu->addAction(menufileClose);
    QMenu* viewMenu = MainMenu1->addMenu(QString::fromUtf8(window_texts::ViewMenu));
    viewMenu->addAction(menuviewToolbar);
    viewMenu->addAction(menuviewStatus);
    viewMenu->addSeparator();
    viewMenu->addAction(menuviewList);
    viewMenu->addAction(menuviewDetail);
    QMenu* helpMenu = MainMenu1->addMenu(QString::fromUtf8(window_texts::HelpMenu));
    helpMenu->addAction(menuhelpContents);
    helpMenu->addAction(menuhelpOperate);
    helpMenu->addAction(menuhelpCommand);

    ToolBar1 = new QToolBar(QStringLiteral("ToolBar1"), this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->addSeparator();
    ToolBar1->addAction(menufilePlay);
    ToolBar1->addSeparator();
    ToolBar1->addAction(menuviewList);
    ToolBar1->addAction(menuviewDetail);
    ToolBar1->addSeparator();
    ToolBar1->addAction(menuhelpContents);

    ListItems = new EntryListModel(this);

    ReportView = new QTreeView;
    ReportView->setObjectName(QStringLiteral("ListView1"));
    ReportView->setModel(ListItems);
    ReportView->setRootIsDecorated(false);
    ReportView->setItemsExpandable(false);
    ReportView->setUniformRowHeights(true);
    ReportView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ReportView->setSelectionMode(QAbstractItemView::SingleSelection);
    ReportView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ReportView->setSortingEnabled(false);
    ReportView->header()->setSectionsClickable(false);
    ReportView->header()->setSectionsMovable(false);
    ReportView->header()->setStretchLastSection(false);
    ReportView->setColumnWidth(NameColumn, 100);
    ReportView->setColumnWidth(SizeColumn, 60);
    // The design widths, widened where the toolkit's font needs more room
    // for a whole time stamp.
    const int timeWidth = ReportView->fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00 00:00:00")) + 12;
    ReportView->setColumnWidth(TimeColumn, std::max(120, timeWidth));

    IconListView = new QListView;
    IconListView->setModel(ListItems);
    IconListView->setSelectionModel(ReportView->selectionModel());
    IconListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    IconListView->setSelectionMode(QAbstractItemView::SingleSelection);
    // The selection is shared with the report view, which asks for whole
    // rows: a cell alone would count as no selection.
    IconListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    IconListView->setModelColumn(NameColumn);
    IconListView->setFlow(QListView::TopToBottom);
    IconListView->setWrapping(true);
    IconListView->setResizeMode(QListView::Adjust);
    // Each column of names as wide as its widest, not the first one's.
    IconListView->setUniformItemSizes(false);

    ListView1 = new QStackedWidget;
    ListView1->addWidget(ReportView);
    ListView1->addWidget(IconListView);
    ListView1->setCurrentWidget(ReportView);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(ReportView), static_cast<QAbstractItemView*>(IconListView)}) {
        answerLeftDoubleClicksOnly(view);
        connect(view, &QAbstractItemView::clicked, this, [this] { guarded([this] { ListView1Click(); }); });
        connect(view, &QAbstractItemView::doubleClicked, this, [this] { guarded([this] { ListView1DblClick(); }); });
        // A dragged entry is extracted as for playing, then offered as a file.
        new TFileDrag(view, [this](int row) { return workingCopyOf(row); });
    }
    connect(ReportView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                guarded([&] {
                    // As the list reports it: the row that loses the
                    // selection first, then the one that gains it.
                    for (const QModelIndex& index : deselected.indexes()) {
                        if (index.column() == NameColumn) {
                            ListView1SelectItem(index.row(), false);
                        }
                    }
                    for (const QModelIndex& index : selected.indexes()) {
                        if (index.column() == NameColumn) {
                            ListView1SelectItem(index.row(), true);
                        }
                    }
                });
            });

    StatusBar1 = new QStatusBar;
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MainMenu1);
    layout->addWidget(ToolBar1);
    layout->addWidget(ListView1, 1);
    layout->addWidget(StatusBar1);
}

void TFormLZH::FormCreate()
{
    m_previousHint = m_state.OnHint;
    m_state.OnHint = [this](const std::string& hint) { AppOnHint(QString::fromStdString(hint)); };
}

void TFormLZH::AppOnHint(const QString& hint)
{
    StatusBar1->showMessage(QString::fromStdString(longHint(hint.toStdString())));
}

void TFormLZH::placeWindow()
{
    const AppSettings& settings = m_state.Settings;
    if (settings.LZHWidth != -1) {
        // The saved size is the outer one, no larger than the screen as the
        // desktop limits it; the toolkit sizes the client area.
        WindowBounds outer{0, 0, settings.LZHWidth, settings.LZHHeight};
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            outer = limitToArea(outer, screen->availableGeometry().width(), screen->availableGeometry().height());
        }
        const WindowBounds client = clientOf(outer, frameMarginsOf(this));
        resize(std::max(1, client.width), std::max(1, client.height));
    }
    if (m_mainWindow != nullptr) {
        centre(outerBounds(m_mainWindow));
    }
}

void TFormLZH::keyPressEvent(QKeyEvent* event)
{
    // The viewer has no cancel: Esc does not close it as it closes a dialog.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    TDialogForm::keyPressEvent(event);
}

void TFormLZH::FormShow()
{
    const AppSettings& settings = m_state.Settings;
    place();
    ToolBar1->setVisible(settings.ShowLZHToolBar);
    StatusBar1->setVisible(settings.ShowLZHStatusBar);
    menuviewToolbar->setChecked(settings.ShowLZHToolBar);
    menuviewStatus->setChecked(settings.ShowLZHStatusBar);

    ListItems->setRows({});
    const char dateSeparator = localeDateSeparator();
    const char timeSeparator = localeTimeSeparator();
    std::vector<EntryListModel::Row> rows;
    // The rows found so far are shown even when the listing ends in an error.
    struct ShowRows {
        EntryListModel* model;
        std::vector<EntryListModel::Row>& rows;
        ~ShowRows() { model->setRows(std::move(rows)); }
    } showRows{ListItems, rows};
    listWaveEntries(ArchiveFile1, m_state.ArchivePath, [&](const archives::EntryRecord& record) {
        rows.push_back({QString::fromStdString(record.FileName()), QString::fromStdString(entrySizeText(record)),
                        QString::fromStdString(entryTimeText(record, dateSeparator, timeSeparator))});
        return true;
    });
    setWindowTitle(QString::fromStdString(m_state.ArchivePath));
}

int TFormLZH::rowCount() const
{
    return ListItems->rowCount();
}

std::string TFormLZH::rowCaption(int row) const
{
    return ListItems->row(row).name.toStdString();
}

int TFormLZH::selectedRow() const
{
    const QModelIndexList rows = ReportView->selectionModel()->selectedRows(NameColumn);
    return rows.isEmpty() ? -1 : rows.front().row();
}

void TFormLZH::selectRow(int row)
{
    ReportView->selectionModel()->select(ListItems->index(row, NameColumn),
                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ReportView->selectionModel()->setCurrentIndex(ListItems->index(row, NameColumn), QItemSelectionModel::NoUpdate);
}

void TFormLZH::playWorkingCopy(const std::string& path)
{
    sndPlaySoundA(path.c_str(), SND_ASYNC);
}

std::optional<std::string> TFormLZH::workingCopyOf(int row)
{
    const std::string entryName = rowCaption(row);
    const auto folder = WorkingFolder();
    const auto bareName = BareEntryName(entryName);
    // An entry without a name of its own, or a system without a temporary
    // folder, has nowhere to be extracted to.
    if (!folder || !bareName) {
        MessageBoxA(nullptr, kCannotExtract, kApplicationTitle, MB_OK);
        return std::nullopt;
    }
    const std::string workingCopy = *folder + *bareName;
    if (fileExists(workingCopy)) {
        return workingCopy;
    }
    ArchiveFile1.SetFileName(m_state.ArchivePath);
    ArchiveFile1.Options().c = 1;
    ArchiveFile1.Options().x = 0;
    if (ArchiveFile1.Extract(nullptr, nullptr, *folder, {entryName}) == 0 ||
        ArchiveFile1.Extract(nullptr, nullptr, *folder, {*bareName}) == 0) {
        return workingCopy;
    }
    MessageBoxA(nullptr, kCannotExtract, kApplicationTitle, MB_OK);
    return std::nullopt;
}

void TFormLZH::menufilePlayExecute()
{
    const int row = selectedRow();
    if (row < 0) {
        return;
    }
    if (const auto workingCopy = workingCopyOf(row)) {
        playWorkingCopy(*workingCopy);
    }
}

void TFormLZH::ListView1Click()
{
    const int row = selectedRow();
    if (row < 0 || !m_state.Settings.SingleClick) {
        return;
    }
    const std::string entryName = rowCaption(row);
    if (!hasWaveExtension(entryName)) {
        return;
    }
    // A single click only replays what was extracted before.
    const auto workingCopy = workingCopyPath(entryName);
    if (workingCopy && fileExists(*workingCopy)) {
        menufilePlayExecute();
    }
}

void TFormLZH::ListView1DblClick()
{
    if (selectedRow() >= 0) {
        menufilePlayExecute();
    }
}

void TFormLZH::ListView1SelectItem(int row, bool selected)
{
    StatusBar1->showMessage(selected ? QString::fromStdString(rowCaption(row)) : QString());
}

void TFormLZH::menufileCloseExecute()
{
    close();
}

void TFormLZH::menuviewToolbarExecute()
{
    ToolBar1->setVisible(ToolBar1->isHidden());
    menuviewToolbar->setChecked(!ToolBar1->isHidden());
}

void TFormLZH::menuviewStatusExecute()
{
    StatusBar1->setVisible(StatusBar1->isHidden());
    menuviewStatus->setChecked(!StatusBar1->isHidden());
}

void TFormLZH::menuviewListExecute()
{
    ListView1->setCurrentWidget(IconListView);
    menuviewList->setChecked(true);
}

void TFormLZH::menuviewDetailExecute()
{
    ListView1->setCurrentWidget(ReportView);
    menuviewDetail->setChecked(true);
}

void TFormLZH::menuhelpContentsExecute()
{
    openHelpTopic(m_state.HelpFilePath, 0);
}

void TFormLZH::menuhelpOperateExecute()
{
    openHelpTopic(m_state.HelpFilePath, 3);
}

void TFormLZH::menuhelpCommandExecute()
{
    openHelpTopic(m_state.HelpFilePath, 5);
}

void TFormLZH::done(int result)
{
    if (!m_closed) {
        guarded([this] { FormCloseQuery(); });
        m_closed = true;
    }
    QDialog::done(result);
}

void TFormLZH::FormCloseQuery()
{
    AppSettings& settings = m_state.Settings;
    const WindowBounds outer = outerBounds(this);
    settings.LZHWidth = outer.width;
    settings.LZHHeight = outer.height;
    settings.ShowLZHToolBar = !ToolBar1->isHidden();
    settings.ShowLZHStatusBar = !StatusBar1->isHidden();
    // Hints go back first: nothing below may keep them in a closed window.
    m_state.OnHint = m_previousHint;
    if (settings.DeleteTemp) {
        const auto folder = WorkingFolder();
        for (int row = 0; folder && row < rowCount(); ++row) {
            // Only files directly in the working folder: a working copy name
            // never holds a folder part.
            const auto bareName = BareEntryName(rowCaption(row));
            if (bareName && fileExists(*folder + *bareName)) {
                DeleteFileA((*folder + *bareName).c_str());
            }
        }
    }
}

}  // namespace tidebell
