#pragma once

#include "navigation/TreeSource.h"

#include <QAbstractItemModel>
#include <QTreeView>

#include <functional>
#include <vector>

namespace zep {

/**
 * The tree source as a Qt model: one row per node, the node's text, icon and tool tip. The model
 * reads the source's nodes in place; whoever changes the source tells the model through the
 * notifying members below.
 */
class DatabaseTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit DatabaseTreeModel(TreeSource& source, QObject* parent = nullptr);

    const TreeNode* node(const QModelIndex& index) const;
    QModelIndex indexOf(const TreeNode* node) const;
    QModelIndex indexOf(const std::string& key) const;

    /** the source was rebuilt */
    void reset();
    /** runs a change of the source that may add nodes (adding keeps every existing node's row) */
    void adding(const std::function<void()>& change);
    /** removes the node of key from the source; false when there is none */
    bool remove(const std::string& key);
    void setText(const std::string& key, const std::string& text);

    /** whether label edits may start: set by the view from the selection path */
    void setEditable(bool editable) { editable_ = editable; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    /** a label was edited; the change is the listener's to store (the model shows the old text until told) */
    void renameRequested(const QString& key, const QString& text);

private:
    TreeSource& source_;
    bool editable_ = false;
};

/**
 * The tree pane tvMain: the database as root, functions, ECUs and applications, and the selection
 * path that the rest of the window reads as the selected function, ECU and application.
 */
class DatabaseTree : public QTreeView {
    Q_OBJECT
public:
    explicit DatabaseTree(TreeSource& source, QWidget* parent = nullptr);

    DatabaseTreeModel& treeModel() { return model_; }

    /** the nodes from the root to the node last clicked */
    const std::vector<const TreeNode*>& selectionPath() const { return path_; }
    const TreeNode* selectedFunction() const { return path_.size() >= 2 ? path_[1] : nullptr; }
    const TreeNode* selectedEcu() const { return path_.size() >= 3 ? path_[2] : nullptr; }
    const TreeNode* selectedApplication() const { return path_.size() >= 4 ? path_[3] : nullptr; }
    /** the node that has the tree's selection (not always the path's last node) */
    const TreeNode* currentNode() const;

    /** after a build: the root is the whole path, selected and expanded */
    void rebuilt();
    /** makes the node of key the selected node; false when there is none */
    bool select(const std::string& key);
    /** the node click: makes node the end of the path and asks for its listing; nothing when it ends the path
     * already */
    void clickNode(const TreeNode* node);
    /** forgets the path (the node is going away); the next click lists again */
    void resetPath(const TreeNode* node);

    /** a drop that the window handles: whether it takes the data, and what it does with it */
    std::function<bool(const QMimeData&)> acceptsDrop;
    std::function<void(const QMimeData&)> dropped;
    /** a drag coming in: the window records where it comes from */
    std::function<void()> dragEntered;

signals:
    /** the path changed to end at node: list its children */
    void nodeClicked(const zep::TreeNode* node);
    /** the right button was released over a node other than the root, after that node was clicked */
    void popupRequested(const QPoint& globalPosition);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    DatabaseTreeModel model_;
    std::vector<const TreeNode*> path_;
};

} // namespace zep
