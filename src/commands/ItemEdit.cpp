#include "ItemEdit.h"

#include "database/Connection.h"
#include "database/ItemKey.h"
#include "database/Sql.h"
#include "navigation/TreeSource.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <QSqlQuery>

namespace zep::ItemEdit {

namespace {

struct Table {
    char kind;
    const char* table;
    const char* id;
    /** the name column; null for functions, which are not renamed */
    const char* name;
    const char* question;
    const char* defaultQuestion;
};

constexpr Table tables[] = {
    {ItemKey::Function, "Fonctions", "Address", nullptr, "frmDatabase/Messages/doDelete/deleteFunction/text",
     "Delete Function {0} ?"},
    {ItemKey::Ecu, "Hardwares", "Ecu Id", "Nom", "frmDatabase/Messages/doDelete/deleteHardware/text",
     "Delete ECU {0} ?"},
    {ItemKey::Application, "Applications", "App Id", "App Name",
     "frmDatabase/Messages/doDelete/deleteApplication/text", "Delete application {0} ?"},
    {ItemKey::Tuning, "Calibrations", "Calib Id", "Calib Name",
     "frmDatabase/Messages/doDelete/deleteTuning/text", "Delete tuning {0} ?"},
};

const Table* tableOf(char kind) {
    for (const Table& t : tables)
        if (t.kind == kind)
            return &t;
    return nullptr;
}

/** runs the statement in its own transaction; the rows it changed */
int change(Connection& db, const QString& statement, const QVariantList& values) {
    return db.transaction([&] {
        QSqlQuery query = db.execute(statement, values);
        return query.numRowsAffected();
    });
}

/** the kind of item a label edit at level stores, or 0 when that level stores nothing */
char listedKind(int level) {
    switch (level) {
    case 2:
        return ItemKey::Ecu;
    case 3:
        return ItemKey::Application;
    case 4:
        return ItemKey::Tuning;
    default:
        return 0;
    }
}

Rename rename(Connection& db, char kind, const std::string& key, const std::string& newText) {
    Rename result;
    result.text = sql::trimmed(newText);
    if (result.text.empty()) {
        result.cancel = true;
        return result;
    }
    if (!kind)
        return result; // the edit stands, nothing is stored
    const auto k = ItemKey::parse(key);
    const Table* t = tableOf(kind);
    if (!k || k->kind != kind || !t || !t->name) {
        // An item of another kind than the level shows would store its name in the wrong table.
        result.cancel = true;
        return result;
    }
    const int rows =
        change(db, QStringLiteral("UPDATE [%1] SET [%2] = ? WHERE [%3] = ?").arg(t->table, t->name, t->id),
               {sql::text(result.text), k->id});
    result.stored = rows > 0;
    result.cancel = !result.stored; // the item is gone: its old label goes with the next listing
    return result;
}

} // namespace

bool DeleteItem(Connection& db, const std::string& key, const std::string& name, Interaction& interaction,
                TreeSource* tree) {
    const auto k = ItemKey::parse(key);
    const Table* t = k ? tableOf(k->kind) : nullptr;
    if (!t)
        return false;
    if (db.isCentral() && k->kind == ItemKey::Ecu) {
        interaction.inform(tr("frmDatabase/Messages/doDelete/deleteHardwareNotAllowed/text",
                              "ECU deletion not allowed in central database. "));
        return false;
    }
    if (db.isCentral() && k->kind == ItemKey::Function)
        return false;
    // No is the safe answer for a caller that cannot ask.
    if (!interaction.askYesNo(tr(t->question, t->defaultQuestion, name), false))
        return false;

    const bool deleted =
        change(db, QStringLiteral("DELETE FROM [%1] WHERE [%2] = ?").arg(t->table, t->id), {k->id}) > 0;
    if (deleted && tree && k->kind != ItemKey::Tuning)
        tree->remove(key);
    return deleted;
}

Rename renameListItem(Connection& db, int level, const std::string& key, const std::string& newText,
                      TreeSource* tree) {
    Rename result = rename(db, listedKind(level), key, newText);
    // ECUs and applications are in the tree too: tree and list keep one name.
    if (result.stored && (level == 2 || level == 3)) {
        result.treeKey = key;
        if (tree)
            tree->setText(key, result.text);
    }
    return result;
}

Rename renameTreeNode(Connection& db, int level, const std::string& key, const std::string& newText,
                      TreeSource* tree) {
    const char kind = level == 3 ? ItemKey::Ecu : level == 4 ? ItemKey::Application : 0;
    Rename result = rename(db, kind, key, newText);
    if (result.stored) {
        result.treeKey = key;
        if (tree)
            tree->setText(key, result.text);
    }
    return result;
}

} // namespace zep::ItemEdit
