#pragma once

#include "database/ItemKey.h"

#include <QtGlobal>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace zep {

class Connection;

/** One node of the database tree: the root, a function, an ECU or an application. */
class TreeNode {
public:
    const std::string& key() const { return key_; }
    char kind() const { return keyKind(key_); }
    /** the number after the kind letter (0 for the root) */
    qint64 id() const { return id_; }
    const std::string& text() const { return text_; }
    const std::string& tag() const { return tag_; }
    /** "root", "function", "ecu" or "application" */
    const char* image() const;
    /** "function_selected" for a function, else image() */
    const char* selectedImage() const;

    const TreeNode* parent() const { return parent_; }
    std::size_t childCount() const { return children_.size(); }
    const TreeNode& child(std::size_t index) const { return *children_[index]; }
    /** the position among the parent's children; 0 for the root */
    std::size_t row() const;

    /** the length of the selection path that ends here: 1 root, 2 function, 3 ECU, 4 application */
    int level() const;
    /** the nodes from the root down to this one */
    std::vector<const TreeNode*> path() const;
    /** the texts from the root down to this one, joined with "\" (the window caption's path) */
    std::string fullPath() const;

private:
    friend class TreeSource;
    TreeNode(std::string key, qint64 id, std::string text, std::string tag, TreeNode* parent)
        : key_(std::move(key)), id_(id), text_(std::move(text)), tag_(std::move(tag)), parent_(parent) {}

    std::string key_;
    qint64 id_;
    std::string text_;
    std::string tag_;
    TreeNode* parent_;
    std::vector<std::unique_ptr<TreeNode>> children_;
};

/**
 * The database tree without widgets: built from the Arborescence view and completed while the user
 * browses. The GUI mirrors each change; every operation says which node it added or changed. Keys
 * are unique: an add whose key exists already is skipped.
 */
class TreeSource {
public:
    TreeSource() = default;
    TreeSource(const TreeSource&) = delete;
    TreeSource& operator=(const TreeSource&) = delete;

    /**
     * Reads Arborescence into a new tree: the root, the functions (sorted by text), their ECUs and
     * the ECUs' applications. Consecutive rows of one ECU name share its node. False when the view
     * cannot be read; the tree is then left as it was.
     */
    bool build(Connection& db);
    void clear();

    /** null before the first build */
    const TreeNode* root() const { return root_.get(); }
    const TreeNode* find(const std::string& key) const;
    /** every node, the root included */
    std::size_t size() const { return index_.size(); }

    /** the root's tag: the kind of database, in the current language */
    static std::string databaseKindText(bool central);
    /** a function's text: its name in the addressing document, else the database's name */
    static std::string functionText(int address, const std::string& databaseName);
    /** a function's tag: the address as two upper-case hexadecimal digits */
    static std::string addressTag(int address);

    // Nodes found while listing: added when the tree lacks the key and has the parent. Each returns
    // the node added, or null when nothing was added.
    const TreeNode* addEcu(qint64 ecuId, const std::string& name, int address, const std::string& comment);
    const TreeNode* addApplication(qint64 appId, const std::string& name, qint64 ecuId,
                                   const std::string& comment);

    /** What the view does after a new item was stored: list parentKey, then select itemKey there. */
    struct Insertion {
        /** the node added (none for a tuning, or when the ECU is not in the tree) */
        const TreeNode* added = nullptr;
        /** the node to make selected and list, unless it is the selected one already */
        std::string parentKey;
        /** the list item to select */
        std::string itemKey;
    };
    /** a new application (after a copy or an import) under the ECU node */
    Insertion insertApplication(qint64 appId, const std::string& name, qint64 ecuId);
    /** a new tuning: no node, only where to list and select it */
    static Insertion insertTuning(qint64 calibId, qint64 appId);

    /** removes the node and its subtree; false when there is no such node (or it is the root) */
    bool remove(const std::string& key);
    /** false when there is no such node */
    bool setText(const std::string& key, const std::string& text);

private:
    TreeNode* node(const std::string& key) const;
    TreeNode* node(char kind, qint64 id) const;
    /** the new node, or null when the key is taken */
    TreeNode* add(TreeNode& parent, char kind, qint64 id, std::string text, std::string tag = {});
    void unindex(const TreeNode& node);

    std::unique_ptr<TreeNode> root_;
    // By kind and number rather than by key text: a tree build looks up every node it adds.
    std::unordered_map<std::uint64_t, TreeNode*> index_;
};

} // namespace zep
