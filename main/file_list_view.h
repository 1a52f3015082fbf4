// ListView1: one file list model shown either as names flowing in columns
// (list mode) or as rows with four columns (detail mode). Both views share
// the model and one selection, so switching keeps rows and selection.
#pragma once

#include <QStackedWidget>

class QAbstractItemView;
class QItemSelectionModel;
class QListView;
class QTreeView;

namespace tidebell {

class TFileListModel;

enum class TViewMode { List, Detail };

class TFileListView : public QStackedWidget {
public:
    TFileListView(TFileListModel* model, QWidget* parent = nullptr);

    void setViewMode(TViewMode mode);
    TViewMode viewMode() const { return m_mode; }

    // The selected row, or -1.
    int selectedRow() const;
    void selectRow(int row);

    QListView* listView() const { return m_list; }
    QTreeView* detailView() const { return m_detail; }
    QAbstractItemView* currentView() const;
    QItemSelectionModel* selection() const { return m_selection; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void setColumnWidths();

    QListView* m_list = nullptr;
    QTreeView* m_detail = nullptr;
    QItemSelectionModel* m_selection = nullptr;
    TViewMode m_mode = TViewMode::Detail;
};

}  // namespace tidebell
