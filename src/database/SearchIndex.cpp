#include "database/SearchIndex.h"

#include "database/Connection.h"

#include <QSqlQuery>
#include <QStringList>

namespace zep::SearchIndex {

namespace {

const QString ImageTables[] = {QStringLiteral("Applications"), QStringLiteral("Calibrations")};

QString counter(const QString& table) {
    return table == QLatin1String("Applications") ? QStringLiteral("[App Id]") : QStringLiteral("[Calib Id]");
}

QString indexName(const QString& table) {
    return table + QStringLiteral(" search");
}

/** the schema pg_trgm lives in, made there (or in public) when the session may; empty without it */
QString trigramSchema(Connection& db) {
    const auto installed = [&db] {
        QSqlQuery q =
            db.execute("SELECT n.nspname FROM pg_extension AS e "
                       "JOIN pg_namespace AS n ON n.oid = e.extnamespace WHERE e.extname = 'pg_trgm'");
        return q.next() ? q.value(0).toString() : QString();
    };
    QString schema = installed();
    // In public it outlives the schemas of the sessions that made it and serves them all.
    for (const char* statement :
         {"CREATE EXTENSION IF NOT EXISTS pg_trgm SCHEMA public", "CREATE EXTENSION IF NOT EXISTS pg_trgm"}) {
        if (!schema.isEmpty())
            break;
        try {
            db.transaction([&] { db.execute(QString::fromLatin1(statement)); });
            schema = installed();
        } catch (const DatabaseError&) {
            // not installed on the server, or not allowed: the search scans
        }
    }
    return schema;
}

bool createSqlite(Connection& db) {
    for (const QString& table : ImageTables) {
        const QString search = db.quote(searchTable(table));
        const QString t = db.quote(table);
        const QString id = counter(table);
        const QString insert = QStringLiteral("INSERT INTO %1 (rowid, [Text]) VALUES (NEW.%2, %3);")
                                   .arg(search, id, text(db, table, QStringLiteral("NEW.")));
        const QString remove = QStringLiteral("DELETE FROM %1 WHERE rowid = OLD.%2;").arg(search, id);
        db.execute(
            QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5([Text], tokenize = 'trigram')").arg(search));
        db.execute(QStringLiteral("CREATE TRIGGER [%1 search insert] AFTER INSERT ON %2 BEGIN %3 END")
                       .arg(table, t, insert));
        db.execute(QStringLiteral("CREATE TRIGGER [%1 search update] AFTER UPDATE ON %2 BEGIN %3 %4 END")
                       .arg(table, t, remove, insert));
        db.execute(QStringLiteral("CREATE TRIGGER [%1 search delete] AFTER DELETE ON %2 BEGIN %3 END")
                       .arg(table, t, remove));
        db.execute(QStringLiteral("INSERT INTO %1 (rowid, [Text]) SELECT %2, %3 FROM %4")
                       .arg(search, id, text(db, table), t));
    }
    return true;
}

bool createPostgres(Connection& db) {
    const QString schema = trigramSchema(db);
    if (schema.isEmpty())
        return false;
    for (const QString& table : ImageTables)
        db.execute(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 USING gin ((%3) %4.gin_trgm_ops)")
                       .arg(db.quote(indexName(table)), db.quote(table), text(db, table), db.quote(schema)));
    return true;
}

} // namespace

QString searchTable(const QString& table) {
    return table + QStringLiteral(" Search");
}

QString text(const Connection& db, const QString& table, const QString& prefix) {
    const bool postgres = db.engine() == DatabaseEngine::PostgreSQL;
    const QString name =
        table == QLatin1String("Applications") ? QStringLiteral("App Name") : QStringLiteral("Calib Name");
    QStringList parts;
    for (const QString& column :
         {name, QStringLiteral("PIE"), QStringLiteral("Indice Diag"), QStringLiteral("Code Fournisseur"),
          QStringLiteral("SupplierHex"), QStringLiteral("Hardware"), QStringLiteral("Software"),
          QStringLiteral("Version"), QStringLiteral("Calibration"), QStringLiteral("Réserve"),
          QStringLiteral("Homologation"), QStringLiteral("Commentaire")}) {
        QString value = prefix + db.quote(column);
        if (postgres && column == QLatin1String("Indice Diag"))
            value += QStringLiteral("::text");
        parts << QStringLiteral("coalesce(%1, '')").arg(value);
    }
    const QString joined =
        parts.join(postgres ? QStringLiteral(" || chr(10) || ") : QStringLiteral(" || char(10) || "));
    return postgres ? QStringLiteral("lower(%1)").arg(joined) : joined;
}

bool present(Connection& db) {
    if (db.engine() == DatabaseEngine::PostgreSQL) {
        QSqlQuery q = db.execute("SELECT count(*) FROM pg_indexes WHERE schemaname = current_schema() "
                                 "AND indexname IN ('Applications search', 'Calibrations search')");
        return q.next() && q.value(0).toInt() == 2;
    }
    return !db.columns(searchTable(ImageTables[0]).toStdString()).empty() &&
           !db.columns(searchTable(ImageTables[1]).toStdString()).empty();
}

bool create(Connection& db) {
    if (present(db))
        return true;
    try {
        return db.transaction([&] {
            return db.engine() == DatabaseEngine::PostgreSQL ? createPostgres(db) : createSqlite(db);
        });
    } catch (const DatabaseError&) {
        return false; // an SQLite without FTS5: nothing was made, the search scans
    }
}

} // namespace zep::SearchIndex
