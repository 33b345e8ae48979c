#pragma once

#include "ControlTexts.h"
#include "navigation/Listing.h"

#include <QAbstractTableModel>
#include <QPixmap>
#include <QWidget>

#include <functional>
#include <vector>

class QAbstractItemView;
class QListView;
class QStackedWidget;
class QTreeView;

namespace zep {

class IconNameDelegate;

/** The rows of one listing as a table: the first column is the item's text, the others its sub-items. */
class ItemListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    /** a new listing; the headers are read anew when the level changes or newHeaders is set */
    void setListing(int level, std::vector<ListColumn> columns, std::vector<ListRow> rows,
                    bool newHeaders = false);
    int level() const { return level_; }
    const std::vector<ListColumn>& columns() const { return columns_; }
    const ListRow& row(int r) const { return rows_[std::size_t(r)]; }
    const std::vector<ListRow>& rows() const { return rows_; }
    /** -1 when no item has key */
    int rowOf(const std::string& key) const;

    void addRow(ListRow row);
    void removeRow(const std::string& key);
    void setRowText(const std::string& key, const std::string& text);
    void setSubItems(const std::string& key, std::vector<std::string> subItems);
    void setSubItem(const std::string& key, std::size_t index, const std::string& text);
    void setTag(const std::string& key, const std::string& tag);
    void setColumnText(int column, const QString& text);

    /** the level whose items may be renamed, and the source named in dragged data */
    void setEditable(std::function<bool(const ListRow&)> editable) { editable_ = std::move(editable); }
    void setConnectionString(const QString& text) { connectionString_ = text; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    void sort(int column, Qt::SortOrder order) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

signals:
    void renameRequested(const QString& key, const QString& text);

private:
    QString cell(const ListRow& row, int column) const;

    int level_ = 0;
    std::vector<ListColumn> columns_;
    std::vector<QString> headers_;
    std::vector<ListRow> rows_;
    std::function<bool(const ListRow&)> editable_;
    QString connectionString_;
};

/**
 * The list pane lvMain: the children of the tree node last clicked, as large icons or as a details
 * table, sorted by a column, the source of drags to other windows.
 */
class ItemList : public QWidget, public KeyedColumns {
    Q_OBJECT
public:
    enum View { LargeIcons = 0, SmallIcons = 1, List = 2, Details = 3 };

    explicit ItemList(QWidget* parent = nullptr);

    ItemListModel& listModel() { return model_; }
    const ItemListModel& listModel() const { return model_; }

    /** fills the list and sorts it ascending on its first column; the headers change with the level */
    void show(const Listing& listing);
    /** the functions listed by a tree build: their own column keys, headers always read anew (a language
     * switch) */
    void showTreeBuild(const Listing& listing);
    void clear();

    View view() const { return view_; }
    void setView(View view);
    bool autoArrange() const { return autoArrange_; }
    void setAutoArrange(bool on);
    /** a null picture removes the background */
    void setBackground(const QPixmap& picture);
    bool hasBackground() const { return !background_.isNull(); }

    /** the selected item, or null */
    const ListRow* selectedRow() const;
    std::string selectedKey() const;
    bool select(const std::string& key);
    /** whether the list (either of its views) has the keyboard focus */
    bool focused() const;
    void focusList();

    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }
    /** a header click: the sort column again reverses the order, another column sorts ascending */
    void headerClicked(int column);
    void fitColumns();

    /** the item under a point of the current view's viewport, or null */
    const ListRow* rowAt(const QPoint& viewportPoint) const;
    QWidget* viewport() const;
    /** the view shown (icons or details) */
    QAbstractItemView* currentView() const;

    QStringList columnKeys() const override;
    void setColumnText(int column, const QString& text) override;

    /** drag and drop on the list, handled by the window */
    std::function<void(QDragEnterEvent&)> onDragEnter;
    std::function<void(QDragMoveEvent&)> onDragMove;
    std::function<void()> onDragLeave;
    std::function<void(QDropEvent&)> onDrop;

signals:
    void itemClicked();
    /** double click or Enter on the selected item */
    void itemActivated();
    /** Backspace */
    void upRequested();
    void popupRequested(const QPoint& globalPosition);
    /** the pointer rests on an item with this tag; empty when it is over no item */
    void pointerTag(const QString& tag, bool overItem);
    /** a click that left no item selected */
    void clickedEmpty();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyBackground();
    void sortNow();
    void fill(const Listing& listing, const std::vector<ListColumn>& columns, bool newHeaders);

    ItemListModel model_;
    QStackedWidget* stack_;
    QListView* icons_;
    IconNameDelegate* iconNames_;
    QTreeView* details_;
    View view_ = LargeIcons;
    bool autoArrange_ = true;
    QPixmap background_;
    int sortColumn_ = 0;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    QString lastTag_;
};

} // namespace zep
