// The archive viewer: lists the WAVE entries of the archive in
// SharedState::ArchivePath, extracts the chosen one flat into the working
// folder and plays the working copy.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "archive/archivefile.h"
#include "archive_viewer/entry_list_model.h"
#include "core/shared_state.h"
#include "ui/window_support.h"

class QAction;
class QListView;
class QMenuBar;
class QStackedWidget;
class QStatusBar;
class QToolBar;
class QTreeView;

namespace tidebell {

class TFormLZH : public TDialogForm {
public:
    TFormLZH(SharedState& state, QWidget* mainWindow);
    ~TFormLZH() override;

    void FormShow() override;
    void FormCloseQuery();
    void AppOnHint(const QString& hint);

    void menufilePlayExecute();
    void menufileCloseExecute();
    void menuviewToolbarExecute();
    void menuviewStatusExecute();
    void menuviewListExecute();
    void menuviewDetailExecute();
    void menuhelpContentsExecute();
    void menuhelpOperateExecute();
    void menuhelpCommandExecute();
    void ListView1Click();
    void ListView1DblClick();
    void ListView1SelectItem(int row, bool selected);

    // The selected row, -1 when none; a row's caption (the entry's name).
    int selectedRow() const;
    std::string rowCaption(int row) const;
    int rowCount() const;
    void selectRow(int row);

    QMenuBar* MainMenu1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    EntryListModel* ListItems = nullptr;  // rows: name, size, update time
    QStackedWidget* ListView1 = nullptr;  // the report view and the list view of ListItems
    QTreeView* ReportView = nullptr;
    QListView* IconListView = nullptr;
    QAction* menufilePlay = nullptr;
    QAction* menufileClose = nullptr;
    QAction* menuviewToolbar = nullptr;
    QAction* menuviewStatus = nullptr;
    QAction* menuviewList = nullptr;
    QAction* menuviewDetail = nullptr;
    QAction* menuhelpContents = nullptr;
    QAction* menuhelpOperate = nullptr;
    QAction* menuhelpCommand = nullptr;
    archives::TArchiveFile ArchiveFile1;

protected:
    void done(int result) override;
    void placeWindow() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormCreate();
    void buildWidgets();
    QAction* addAction(const char* caption, const char* hint, void (TFormLZH::*handler)());
    void playWorkingCopy(const std::string& path);
    // The entry's working copy, extracted when missing; nothing (the user
    // told why) when it cannot be.
    std::optional<std::string> workingCopyOf(int row);

    SharedState& m_state;
    QWidget* m_mainWindow;
    std::function<void(const std::string&)> m_previousHint;
    bool m_closed = false;
};

}  // namespace tidebell
