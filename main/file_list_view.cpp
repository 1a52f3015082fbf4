#include "main/file_list_view.h"

#include <algorithm>

#include <QHeaderView>
#include <QListView>
#include <QMouseEvent>
#include <QTreeView>

#include "core/handler_guard.h"
#include "main/file_list_model.h"
#include "ui/window_support.h"

namespace tidebell {

namespace {

void setCommonBehaviour(QAbstractItemView* view)
{
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    view->setIconSize(QSize(0, 0));
    answerLeftDoubleClicksOnly(view);
}

}  // namespace

TFileListView::TFileListView(TFileListModel* model, QWidget* parent) : QStackedWidget(parent)
{
    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("ListView1List"));
    m_list->setViewMode(QListView::ListMode);
    m_list->setFlow(QListView::TopToBottom);
    m_list->setWrapping(true);
    m_list->setResizeMode(QListView::Adjust);
    // Names differ in width: each column of names is as wide as its widest
    // (uniform item sizes would cut every name to the first one's width).
    m_list->setUniformItemSizes(false);
    m_list->setModel(model);
    m_list->setModelColumn(TFileListModel::colName);
    setCommonBehaviour(m_list);

    m_detail = new QTreeView(this);
    m_detail->setObjectName(QStringLiteral("ListView1Detail"));
    m_detail->setRootIsDecorated(false);
    m_detail->setItemsExpandable(false);
    m_detail->setUniformRowHeights(true);
    m_detail->setAllColumnsShowFocus(true);
    m_detail->setSortingEnabled(false);
    m_detail->setModel(model);
    setCommonBehaviour(m_detail);
    QHeaderView* header = m_detail->header();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    setColumnWidths();

    m_selection = m_list->selectionModel();
    QItemSelectionModel* own = m_detail->selectionModel();
    m_detail->setSelectionModel(m_selection);
    delete own;

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_list), static_cast<QAbstractItemView*>(m_detail)}) {
        view->viewport()->installEventFilter(this);
        addWidget(view);
    }
    setViewMode(TViewMode::Detail);
}

void TFileListView::setColumnWidths()
{
    QHeaderView* header = m_detail->header();
    for (int c = 0; c < TFileListModel::kColumnCount; ++c) {
        header->resizeSection(c, TFileListModel::kColumnWidths[c]);
    }
    // A font wider than the desktop's own would cut every date short, and
    // sizes of several GB have ten digits: those columns grow to hold them.
    auto atLeast = [&](int column, const QString& text) {
        const int needed = m_detail->fontMetrics().horizontalAdvance(text) + 12;
        header->resizeSection(column, std::max(TFileListModel::kColumnWidths[column], needed));
    };
    atLeast(TFileListModel::colSize, QStringLiteral("0000000000"));
    atLeast(TFileListModel::colModified, QStringLiteral("0000/00/00 00:00:00"));
}

void TFileListView::changeEvent(QEvent* event)
{
    QStackedWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        guarded([&] { setColumnWidths(); });
    }
}

void TFileListView::setViewMode(TViewMode mode)
{
    m_mode = mode;
    setCurrentWidget(currentView());
}

QAbstractItemView* TFileListView::currentView() const
{
    if (m_mode == TViewMode::List) {
        return m_list;
    }
    return m_detail;
}

int TFileListView::selectedRow() const
{
    const QModelIndexList rows = m_selection->selectedRows(TFileListModel::colName);
    return rows.isEmpty() ? -1 : rows.front().row();
}

void TFileListView::selectRow(int row)
{
    const QModelIndex index = m_list->model()->index(row, TFileListModel::colName);
    m_selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool TFileListView::eventFilter(QObject* watched, QEvent* event)
{
    // A press on empty space clears the selection, as in the desktop's list
    // views; the item views keep it otherwise.
    if (event->type() == QEvent::MouseButtonPress) {
        guarded([&] {
            const QAbstractItemView* view = currentView();
            if (watched == view->viewport()) {
                const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
                if (!view->indexAt(at).isValid()) {
                    m_selection->clear();
                }
            }
        });
    }
    return QStackedWidget::eventFilter(watched, event);
}

}  // namespace tidebell
