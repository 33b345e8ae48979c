#include "DatabaseTree.h"

#include "QtText.h"
#include "pictures/Pictures.h"

#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

namespace zep {

namespace {

QIcon nodeIcon(const TreeNode& node) {
    static QHash<QString, QIcon> cache;
    const QString image = node.image();
    auto it = cache.find(image);
    if (it != cache.end())
        return *it;
    QIcon icon = pictures::icon(image);
    const QString selected = node.selectedImage();
    if (selected != image) {
        const QIcon open = pictures::icon(selected);
        for (const QSize& size : open.availableSizes())
            icon.addPixmap(open.pixmap(size), QIcon::Selected);
    }
    return *cache.insert(image, icon);
}

} // namespace

DatabaseTreeModel::DatabaseTreeModel(TreeSource& source, QObject* parent)
    : QAbstractItemModel(parent), source_(source) {}

const TreeNode* DatabaseTreeModel::node(const QModelIndex& index) const {
    return index.isValid() ? static_cast<const TreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex DatabaseTreeModel::indexOf(const TreeNode* node) const {
    if (!node)
        return {};
    return createIndex(int(node->row()), 0, const_cast<TreeNode*>(node));
}

QModelIndex DatabaseTreeModel::indexOf(const std::string& key) const {
    return indexOf(source_.find(key));
}

void DatabaseTreeModel::reset() {
    beginResetModel();
    endResetModel();
}

void DatabaseTreeModel::adding(const std::function<void()>& change) {
    // New nodes are appended: existing nodes keep their rows and pointers, so a layout change is enough.
    emit layoutAboutToBeChanged();
    change();
    emit layoutChanged();
}

bool DatabaseTreeModel::remove(const std::string& key) {
    const TreeNode* gone = source_.find(key);
    if (!gone || !gone->parent())
        return false;
    const int row = int(gone->row());
    beginRemoveRows(indexOf(gone->parent()), row, row);
    source_.remove(key);
    endRemoveRows();
    return true;
}

void DatabaseTreeModel::setText(const std::string& key, const std::string& text) {
    if (!source_.setText(key, text))
        return;
    const QModelIndex index = indexOf(key);
    emit dataChanged(index, index);
}

QModelIndex DatabaseTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid()) {
        const TreeNode* root = source_.root();
        return root && row == 0 ? createIndex(0, 0, const_cast<TreeNode*>(root)) : QModelIndex();
    }
    const TreeNode* owner = node(parent);
    if (std::size_t(row) >= owner->childCount())
        return {};
    return createIndex(row, 0, const_cast<TreeNode*>(&owner->child(std::size_t(row))));
}

QModelIndex DatabaseTreeModel::parent(const QModelIndex& child) const {
    const TreeNode* n = node(child);
    return n ? indexOf(n->parent()) : QModelIndex();
}

int DatabaseTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return source_.root() ? 1 : 0;
    return int(node(parent)->childCount());
}

int DatabaseTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant DatabaseTreeModel::data(const QModelIndex& index, int role) const {
    const TreeNode* n = node(index);
    if (!n)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return qs(n->text());
    case Qt::DecorationRole:
        return nodeIcon(*n);
    case Qt::ToolTipRole:
        if (n->tag().empty())
            return {};
        // Functions show their address code; the other nodes carry a kind or a comment as tag.
        if (n->kind() == ItemKey::Function)
            return qtr("common/addressCode/text", "Address code : {0}H", n->tag());
        return qs(n->tag());
    default:
        return {};
    }
}

Qt::ItemFlags DatabaseTreeModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractItemModel::flags(index);
    if (editable_ && index.isValid())
        f |= Qt::ItemIsEditable;
    return f;
}

bool DatabaseTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const TreeNode* n = node(index);
    if (!n || role != Qt::EditRole)
        return false;
    emit renameRequested(qs(n->key()), value.toString());
    return true;
}

DatabaseTree::DatabaseTree(TreeSource& source, QWidget* parent) : QTreeView(parent), model_(source) {
    setObjectName("tvMain");
    setModel(&model_);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setIconSize(QSize(16, 16));
    connect(this, &QTreeView::clicked, this,
            [this](const QModelIndex& index) { clickNode(model_.node(index)); });
}

const TreeNode* DatabaseTree::currentNode() const {
    return model_.node(currentIndex());
}

void DatabaseTree::rebuilt() {
    model_.reset();
    path_.clear();
    const QModelIndex root = model_.index(0, 0);
    if (!root.isValid())
        return;
    path_.push_back(model_.node(root));
    expand(root);
    setCurrentIndex(root);
    model_.setEditable(false);
}

bool DatabaseTree::select(const std::string& key) {
    const QModelIndex index = model_.indexOf(key);
    if (!index.isValid())
        return false;
    setCurrentIndex(index);
    scrollTo(index);
    return true;
}

void DatabaseTree::clickNode(const TreeNode* node) {
    if (!node || (!path_.empty() && path_.back() == node))
        return;
    path_ = node->path();
    model_.setEditable(path_.size() >= 3);
    emit nodeClicked(node);
}

void DatabaseTree::resetPath(const TreeNode* node) {
    if (!node)
        return;
    for (std::size_t i = 0; i < path_.size(); ++i) {
        if (path_[i] == node) {
            path_.resize(i);
            return;
        }
    }
}

void DatabaseTree::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() != Qt::RightButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    const TreeNode* n = model_.node(index);
    if (!n)
        return;
    // The right press made this node current: click it too, so that the path, the commands' states and
    // the pop-up's target are all this node.
    setCurrentIndex(index);
    clickNode(n);
    if (n->kind() != ItemKey::Root)
        emit popupRequested(event->globalPosition().toPoint());
}

void DatabaseTree::keyPressEvent(QKeyEvent* event) {
    QTreeView::keyPressEvent(event);
    // Moving with the keys clicks the node reached, as a click with the mouse would.
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Left:
    case Qt::Key_Right:
        clickNode(currentNode());
        break;
    default:
        break;
    }
}

bool DatabaseTree::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // Label edits start only once the path reaches an ECU.
    if (path_.size() < 3 && trigger != QAbstractItemView::AllEditTriggers)
        return false;
    return QTreeView::edit(index, trigger, event);
}

void DatabaseTree::dragEnterEvent(QDragEnterEvent* event) {
    if (dragEntered)
        dragEntered();
    if (acceptsDrop && acceptsDrop(*event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void DatabaseTree::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptsDrop && acceptsDrop(*event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void DatabaseTree::dropEvent(QDropEvent* event) {
    if (!acceptsDrop || !acceptsDrop(*event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (dropped)
        dropped(*event->mimeData());
}

} // namespace zep
