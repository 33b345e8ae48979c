#include "TreeSource.h"

#include "database/Connection.h"
#include "database/Sql.h"
#include "memory/Hex.h"
#include "text/Addressing.h"
#include "text/TextCatalog.h"

#include <QSqlQuery>

#include <algorithm>
#include <optional>

namespace zep {

namespace {

std::string keyOf(char kind, qint64 id) {
    return kind + std::to_string(id);
}

std::uint64_t indexOf(char kind, qint64 id) {
    return static_cast<std::uint64_t>(static_cast<unsigned char>(kind)) << 56 |
           (static_cast<std::uint64_t>(id) & 0x00FF'FFFF'FFFF'FFFFu);
}

/** the order of the root's children: case-blind, then by code point, so that equal texts keep their order */
bool textBefore(const std::unique_ptr<TreeNode>& a, const std::unique_ptr<TreeNode>& b) {
    const QString x = QString::fromStdString(a->text());
    const QString y = QString::fromStdString(b->text());
    const int blind = x.compare(y, Qt::CaseInsensitive);
    return blind != 0 ? blind < 0 : x < y;
}

} // namespace

const char* TreeNode::image() const {
    switch (kind()) {
    case ItemKey::Root:
        return "root";
    case ItemKey::Function:
        return "function";
    case ItemKey::Ecu:
        return "ecu";
    default:
        return "application";
    }
}

const char* TreeNode::selectedImage() const {
    return kind() == ItemKey::Function ? "function_selected" : image();
}

std::size_t TreeNode::row() const {
    if (!parent_)
        return 0;
    const auto& siblings = parent_->children_;
    const auto at =
        std::find_if(siblings.begin(), siblings.end(), [this](const auto& n) { return n.get() == this; });
    return static_cast<std::size_t>(at - siblings.begin());
}

int TreeNode::level() const {
    int level = 1;
    for (const TreeNode* n = parent_; n; n = n->parent_)
        ++level;
    return level;
}

std::vector<const TreeNode*> TreeNode::path() const {
    std::vector<const TreeNode*> nodes;
    for (const TreeNode* n = this; n; n = n->parent_)
        nodes.insert(nodes.begin(), n);
    return nodes;
}

std::string TreeNode::fullPath() const {
    std::string text;
    for (const TreeNode* n : path()) {
        if (n->parent_)
            text += '\\';
        text += n->text_;
    }
    return text;
}

std::string TreeSource::databaseKindText(bool central) {
    return central ? tr("frmDatabase/Messages/centralDB/text", "Central Database")
                   : tr("frmDatabase/Messages/localDB/text", "Local Database");
}

std::string TreeSource::functionText(int address, const std::string& databaseName) {
    return Addressing::instance().functionName(address, databaseName);
}

std::string TreeSource::addressTag(int address) {
    return hex::withWidth(static_cast<std::uint64_t>(address), 2);
}

bool TreeSource::build(Connection& db) {
    QSqlQuery rows;
    try {
        rows = db.execute(QStringLiteral(
            "SELECT [address], [name], [Nom], [Ecu Id], [App Name], [App Id] FROM [Arborescence]"));
    } catch (const ZepError&) {
        return false;
    }

    clear();
    root_.reset(new TreeNode("r", 0, "ZEP", {}, nullptr));
    index_.emplace(indexOf(ItemKey::Root, 0), root_.get());

    TreeNode* function = nullptr;
    TreeNode* ecu = nullptr;
    std::optional<int> address;
    while (rows.next()) {
        const int rowAddress = rows.value(0).toInt();
        if (address != rowAddress) {
            ecu = nullptr;
            address = rowAddress;
            function = add(*root_, ItemKey::Function, rowAddress,
                           functionText(rowAddress, sql::text(rows.value(1))), addressTag(rowAddress));
        }
        if (!function)
            continue; // its key was taken: the function's rows have no place

        const QVariant nom = rows.value(2);
        if (nom.isNull()) {
            // An ECU without a name gets its node when its function is listed.
            ecu = nullptr;
            continue;
        }
        const std::string name = nom.toString().toStdString();
        if (ecu && ecu->text_ != name)
            ecu = nullptr;
        if (!ecu) {
            const qint64 ecuId = rows.value(3).toLongLong();
            ecu = add(*function, ItemKey::Ecu, ecuId, name);
        }
        if (ecu && !rows.value(4).isNull()) {
            const qint64 appId = rows.value(5).toLongLong();
            add(*ecu, ItemKey::Application, appId, rows.value(4).toString().toStdString());
        }
    }
    rows.finish();

    std::stable_sort(root_->children_.begin(), root_->children_.end(), textBefore);
    root_->tag_ = databaseKindText(db.isCentral());
    return true;
}

void TreeSource::clear() {
    index_.clear();
    root_.reset();
}

const TreeNode* TreeSource::find(const std::string& key) const {
    return node(key);
}

TreeNode* TreeSource::node(const std::string& key) const {
    const auto k = ItemKey::parse(key);
    TreeNode* n = k ? node(k->kind, k->id) : nullptr;
    // "h007" reads as 7 but is not the key "h7".
    return n && n->key_ == key ? n : nullptr;
}

TreeNode* TreeSource::node(char kind, qint64 id) const {
    const auto at = index_.find(indexOf(kind, id));
    return at == index_.end() ? nullptr : at->second;
}

TreeNode* TreeSource::add(TreeNode& parent, char kind, qint64 id, std::string text, std::string tag) {
    const auto [at, added] = index_.try_emplace(indexOf(kind, id), nullptr);
    if (!added)
        return nullptr;
    parent.children_.emplace_back(
        new TreeNode(keyOf(kind, id), id, std::move(text), std::move(tag), &parent));
    at->second = parent.children_.back().get();
    return at->second;
}

const TreeNode* TreeSource::addEcu(qint64 ecuId, const std::string& name, int address,
                                   const std::string& comment) {
    TreeNode* function = node(ItemKey::Function, address);
    return function ? add(*function, ItemKey::Ecu, ecuId, name, comment) : nullptr;
}

const TreeNode* TreeSource::addApplication(qint64 appId, const std::string& name, qint64 ecuId,
                                           const std::string& comment) {
    TreeNode* ecu = node(ItemKey::Ecu, ecuId);
    return ecu ? add(*ecu, ItemKey::Application, appId, name, comment) : nullptr;
}

TreeSource::Insertion TreeSource::insertApplication(qint64 appId, const std::string& name, qint64 ecuId) {
    Insertion insertion;
    insertion.parentKey = keyOf(ItemKey::Ecu, ecuId);
    insertion.itemKey = keyOf(ItemKey::Application, appId);
    if (TreeNode* ecu = node(ItemKey::Ecu, ecuId))
        insertion.added = add(*ecu, ItemKey::Application, appId, name);
    return insertion;
}

TreeSource::Insertion TreeSource::insertTuning(qint64 calibId, qint64 appId) {
    Insertion insertion;
    insertion.parentKey = keyOf(ItemKey::Application, appId);
    insertion.itemKey = keyOf(ItemKey::Tuning, calibId);
    return insertion;
}

void TreeSource::unindex(const TreeNode& n) {
    for (const auto& child : n.children_)
        unindex(*child);
    index_.erase(indexOf(n.kind(), n.id_));
}

bool TreeSource::remove(const std::string& key) {
    TreeNode* n = node(key);
    if (!n || !n->parent_)
        return false;
    unindex(*n);
    auto& siblings = n->parent_->children_;
    siblings.erase(
        std::find_if(siblings.begin(), siblings.end(), [n](const auto& c) { return c.get() == n; }));
    return true;
}

bool TreeSource::setText(const std::string& key, const std::string& text) {
    TreeNode* n = node(key);
    if (!n)
        return false;
    n->text_ = text;
    return true;
}

} // namespace zep
