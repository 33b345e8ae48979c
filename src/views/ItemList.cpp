#include "ItemList.h"

#include "IconNameDelegate.h"
#include "QtText.h"
#include "pictures/Pictures.h"

#include <QDragEnterEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMimeData>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace zep {

namespace {

// Room beside the widest text: 512 twips for the first column (its icon), 256 for the others.
constexpr int FirstColumnMargin = 512 / 15;
constexpr int ColumnMargin = 256 / 15;

QIcon itemIcon(const std::string& key) {
    static QHash<QString, QIcon> cache;
    const QString name = qs(key);
    auto it = cache.find(name);
    if (it == cache.end())
        it = cache.insert(name, pictures::icon(name));
    return *it;
}

} // namespace

void ItemListModel::setListing(int level, std::vector<ListColumn> columns, std::vector<ListRow> rows,
                               bool newHeaders) {
    beginResetModel();
    if (newHeaders || level != level_ || columns.size() != columns_.size()) {
        headers_.clear();
        for (const ListColumn& c : columns)
            headers_.push_back(qs(c.text()));
    }
    level_ = level;
    columns_ = std::move(columns);
    rows_ = std::move(rows);
    endResetModel();
}

int ItemListModel::rowOf(const std::string& key) const {
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        if (rows_[r].key == key)
            return int(r);
    }
    return -1;
}

void ItemListModel::addRow(ListRow row) {
    const int r = int(rows_.size());
    beginInsertRows({}, r, r);
    rows_.push_back(std::move(row));
    endInsertRows();
}

void ItemListModel::removeRow(const std::string& key) {
    const int r = rowOf(key);
    if (r < 0)
        return;
    beginRemoveRows({}, r, r);
    rows_.erase(rows_.begin() + r);
    endRemoveRows();
}

void ItemListModel::setRowText(const std::string& key, const std::string& text) {
    const int r = rowOf(key);
    if (r < 0)
        return;
    rows_[std::size_t(r)].text = text;
    emit dataChanged(index(r, 0), index(r, 0));
}

void ItemListModel::setSubItems(const std::string& key, std::vector<std::string> subItems) {
    const int r = rowOf(key);
    if (r < 0)
        return;
    rows_[std::size_t(r)].subItems = std::move(subItems);
    emit dataChanged(index(r, 0), index(r, columnCount() - 1));
}

void ItemListModel::setSubItem(const std::string& key, std::size_t subIndex, const std::string& text) {
    const int r = rowOf(key);
    if (r < 0)
        return;
    auto& subs = rows_[std::size_t(r)].subItems;
    if (subs.size() <= subIndex)
        subs.resize(subIndex + 1);
    subs[subIndex] = text;
    emit dataChanged(index(r, 0), index(r, columnCount() - 1));
}

void ItemListModel::setTag(const std::string& key, const std::string& tag) {
    const int r = rowOf(key);
    if (r >= 0)
        rows_[std::size_t(r)].tag = tag;
}

void ItemListModel::setColumnText(int column, const QString& text) {
    if (column < 0 || std::size_t(column) >= headers_.size())
        return;
    headers_[std::size_t(column)] = text;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

int ItemListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int ItemListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(1, int(columns_.size()));
}

QString ItemListModel::cell(const ListRow& row, int column) const {
    if (column == 0)
        return qs(row.text);
    const std::size_t sub = std::size_t(column - 1);
    return sub < row.subItems.size() ? qs(row.subItems[sub]) : QString();
}

QVariant ItemListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || std::size_t(index.row()) >= rows_.size())
        return {};
    const ListRow& r = rows_[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return cell(r, index.column());
    case Qt::DecorationRole:
        return index.column() == 0 ? QVariant(itemIcon(r.icon)) : QVariant();
    default:
        return {};
    }
}

QVariant ItemListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section >= 0 && std::size_t(section) < headers_.size() ? headers_[std::size_t(section)]
                                                                  : QVariant();
}

Qt::ItemFlags ItemListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!index.isValid())
        return f;
    f |= Qt::ItemIsDragEnabled;
    if (index.column() == 0 && editable_ && editable_(rows_[std::size_t(index.row())]))
        f |= Qt::ItemIsEditable;
    return f;
}

bool ItemListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.column() != 0)
        return false;
    emit renameRequested(qs(rows_[std::size_t(index.row())].key), value.toString());
    return true;
}

void ItemListModel::sort(int column, Qt::SortOrder order) {
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<std::string> keys;
    for (const QModelIndex& i : before)
        keys.push_back(rows_[std::size_t(i.row())].key);
    std::stable_sort(rows_.begin(), rows_.end(), [&](const ListRow& a, const ListRow& b) {
        const int c = cell(a, column).compare(cell(b, column), Qt::CaseInsensitive);
        return order == Qt::AscendingOrder ? c < 0 : c > 0;
    });
    for (int i = 0; i < before.size(); ++i)
        changePersistentIndex(before[i], index(rowOf(keys[std::size_t(i)]), before[i].column()));
    emit layoutChanged();
}

QStringList ItemListModel::mimeTypes() const {
    return {"text/plain"};
}

QMimeData* ItemListModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.isEmpty())
        return nullptr;
    // Another window learns where the item comes from: the connection string, a tab, the key.
    auto* data = new QMimeData;
    data->setText(connectionString_ + '\t' + qs(rows_[std::size_t(indexes.first().row())].key));
    return data;
}

Qt::DropActions ItemListModel::supportedDragActions() const {
    return Qt::CopyAction | Qt::MoveAction;
}

ItemList::ItemList(QWidget* parent)
    : QWidget(parent), model_(this), stack_(new QStackedWidget(this)), icons_(new QListView),
      details_(new QTreeView) {
    setObjectName("lvMain");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);

    icons_->setViewMode(QListView::IconMode);
    icons_->setIconSize(QSize(32, 32));
    iconNames_ = new IconNameDelegate(*icons_);
    icons_->setItemDelegate(iconNames_);
    iconNames_->fitGrid();
    icons_->setWordWrap(true);
    icons_->setTextElideMode(Qt::ElideNone);
    icons_->setUniformItemSizes(true);
    icons_->setMovement(QListView::Static);
    icons_->setResizeMode(QListView::Adjust);
    icons_->setFlow(QListView::LeftToRight);
    icons_->setWrapping(true);
    icons_->setModel(&model_);

    details_->setRootIsDecorated(false);
    details_->setUniformRowHeights(true);
    details_->setAllColumnsShowFocus(true);
    details_->setModel(&model_);
    details_->setSelectionModel(icons_->selectionModel());
    details_->header()->setSectionsClickable(true);
    details_->header()->setSortIndicatorShown(true);
    details_->header()->setStretchLastSection(false);
    connect(details_->header(), &QHeaderView::sectionClicked, this, &ItemList::headerClicked);

    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(icons_), static_cast<QAbstractItemView*>(details_)}) {
        v->setSelectionMode(QAbstractItemView::SingleSelection);
        v->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
        v->setDragEnabled(true);
        v->setAcceptDrops(true);
        v->setDragDropMode(QAbstractItemView::DragDrop);
        v->setDefaultDropAction(Qt::CopyAction);
        v->setMouseTracking(true);
        v->viewport()->installEventFilter(this);
        v->installEventFilter(this);
        connect(v, &QAbstractItemView::clicked, this, [this] { emit itemClicked(); });
        connect(v, &QAbstractItemView::doubleClicked, this, [this] { emit itemActivated(); });
    }
    stack_->addWidget(icons_);
    stack_->addWidget(details_);
    setFocusProxy(icons_);
}

void ItemList::show(const Listing& listing) {
    fill(listing, listColumns(listing.level), false);
}

void ItemList::showTreeBuild(const Listing& listing) {
    fill(listing, treeBuildColumns(), true);
}

void ItemList::fill(const Listing& listing, const std::vector<ListColumn>& columns, bool newHeaders) {
    model_.setListing(listing.level, columns, listing.rows, newHeaders);
    sortColumn_ = 0;
    sortOrder_ = Qt::AscendingOrder;
    sortNow();
    if (view_ == Details)
        fitColumns();
    lastTag_.clear();
}

void ItemList::clear() {
    model_.setListing(model_.level(), model_.columns(), {});
}

void ItemList::setView(View view) {
    // Small icons and list keep the view as it is.
    if (view != LargeIcons && view != Details)
        return;
    QWidget* focusedBefore = focusWidget();
    const bool hadFocus = focusedBefore == icons_ || focusedBefore == details_;
    view_ = view;
    stack_->setCurrentWidget(view == Details ? static_cast<QWidget*>(details_) : icons_);
    setFocusProxy(currentView());
    if (view == Details)
        fitColumns();
    else
        icons_->doItemsLayout();
    if (hadFocus)
        currentView()->setFocus();
}

void ItemList::setAutoArrange(bool on) {
    autoArrange_ = on;
    icons_->setResizeMode(on ? QListView::Adjust : QListView::Fixed);
    icons_->doItemsLayout();
}

void ItemList::setBackground(const QPixmap& picture) {
    background_ = picture;
    applyBackground();
}

void ItemList::applyBackground() {
    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(icons_), static_cast<QAbstractItemView*>(details_)}) {
        QPalette p = v->viewport()->palette();
        if (background_.isNull()) {
            p.setBrush(QPalette::Base, palette().brush(QPalette::Base));
        } else {
            // The picture covers the pane instead of repeating in tiles.
            const QSize size = v->viewport()->size().expandedTo(QSize(1, 1));
            p.setBrush(QPalette::Base, QBrush(background_.scaled(size, Qt::KeepAspectRatioByExpanding,
                                                                 Qt::SmoothTransformation)));
        }
        v->viewport()->setPalette(p);
        v->viewport()->setAutoFillBackground(true);
    }
}

QAbstractItemView* ItemList::currentView() const {
    return view_ == Details ? static_cast<QAbstractItemView*>(details_) : icons_;
}

QWidget* ItemList::viewport() const {
    return currentView()->viewport();
}

const ListRow* ItemList::selectedRow() const {
    const QModelIndexList selected = icons_->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return nullptr;
    return &model_.row(selected.first().row());
}

std::string ItemList::selectedKey() const {
    const ListRow* r = selectedRow();
    return r ? r->key : std::string();
}

bool ItemList::select(const std::string& key) {
    const int r = model_.rowOf(key);
    if (r < 0)
        return false;
    const QModelIndex index = model_.index(r, 0);
    icons_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    currentView()->scrollTo(index);
    return true;
}

bool ItemList::focused() const {
    const QWidget* f = window()->focusWidget();
    return f && (f == icons_ || f == details_ || isAncestorOf(f));
}

void ItemList::focusList() {
    currentView()->setFocus();
}

void ItemList::headerClicked(int column) {
    if (column == sortColumn_)
        sortOrder_ = sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    else {
        sortColumn_ = column;
        sortOrder_ = Qt::AscendingOrder;
    }
    sortNow();
}

void ItemList::sortNow() {
    model_.sort(sortColumn_, sortOrder_);
    details_->header()->setSortIndicator(sortColumn_, sortOrder_);
}

void ItemList::fitColumns() {
    const QFontMetrics metrics(details_->font());
    const QFontMetrics headerMetrics(details_->header()->font());
    const int columns = model_.columnCount();
    std::vector<int> widest(std::size_t(columns), 0);
    for (int c = 0; c < columns; ++c)
        widest[std::size_t(c)] = headerMetrics.horizontalAdvance(
                                     model_.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()) +
                                 12;
    for (const ListRow& r : model_.rows()) {
        widest[0] = std::max(widest[0], metrics.horizontalAdvance(qs(r.text)));
        for (std::size_t s = 0; s < r.subItems.size() && s + 1 < std::size_t(columns); ++s)
            widest[s + 1] = std::max(widest[s + 1], metrics.horizontalAdvance(qs(r.subItems[s])));
    }
    for (int c = 0; c < columns; ++c)
        details_->header()->resizeSection(c, widest[std::size_t(c)] +
                                                 (c == 0 ? FirstColumnMargin : ColumnMargin));
}

const ListRow* ItemList::rowAt(const QPoint& viewportPoint) const {
    const QModelIndex index = currentView()->indexAt(viewportPoint);
    return index.isValid() ? &model_.row(index.row()) : nullptr;
}

QStringList ItemList::columnKeys() const {
    QStringList keys;
    for (const ListColumn& c : model_.columns())
        keys << c.key;
    return keys;
}

void ItemList::setColumnText(int column, const QString& text) {
    model_.setColumnText(column, text);
}

bool ItemList::eventFilter(QObject* watched, QEvent* event) {
    const bool onViewport = watched == icons_->viewport() || watched == details_->viewport();
    if (onViewport) {
        switch (event->type()) {
        case QEvent::DragEnter:
            if (onDragEnter) {
                onDragEnter(*static_cast<QDragEnterEvent*>(event));
                return true;
            }
            break;
        case QEvent::DragMove:
            if (onDragMove) {
                onDragMove(*static_cast<QDragMoveEvent*>(event));
                return true;
            }
            break;
        case QEvent::DragLeave:
            if (onDragLeave) {
                onDragLeave();
                return true;
            }
            break;
        case QEvent::Drop:
            if (onDrop) {
                onDrop(*static_cast<QDropEvent*>(event));
                return true;
            }
            break;
        case QEvent::Resize:
            if (!background_.isNull())
                applyBackground();
            break;
        case QEvent::MouseMove: {
            const auto* move = static_cast<QMouseEvent*>(event);
            const ListRow* r = rowAt(move->position().toPoint());
            const QString tag = r ? qs(r->tag) : QString();
            if (!r || tag != lastTag_) {
                lastTag_ = tag;
                emit pointerTag(tag, r != nullptr);
            }
            break;
        }
        case QEvent::MouseButtonRelease: {
            const auto* release = static_cast<QMouseEvent*>(event);
            if (release->button() == Qt::RightButton) {
                emit popupRequested(release->globalPosition().toPoint());
            } else if (!selectedRow()) {
                emit clickedEmpty();
            }
            break;
        }
        default:
            break;
        }
        return false;
    }
    if (watched == icons_ && event->type() == QEvent::FontChange)
        iconNames_->fitGrid();
    if ((watched == icons_ || watched == details_) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* view = static_cast<QAbstractItemView*>(watched);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (selectedRow())
                emit itemActivated();
            return true;
        case Qt::Key_Backspace:
            emit upRequested();
            return true;
        case Qt::Key_Menu: {
            const QRect r = view->visualRect(view->currentIndex());
            emit popupRequested(view->viewport()->mapToGlobal(r.isValid() ? r.center() : QPoint(0, 0)));
            return true;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace zep
