#pragma once

#include "database/ConnectionString.h"
#include "database/DatabaseError.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

class QSqlError;

namespace zep {

class Interaction;

/** which DDL makes a new database: the current one, or the one before the upgraded columns */
enum class SchemaVersion { Current, Legacy };

/** what a command does with the database it opens */
enum class Access {
    /** looks: the database is opened for writing when it may be (so that an older schema is upgraded),
       read-only otherwise */
    Read,
    /** changes it: a database that cannot be written is refused */
    Write,
};

/**
 * One open database: a local SQLite file or a central PostgreSQL database. Several may be open at
 * once. Statements name tables and columns in brackets ("SELECT [Nom] FROM [Hardwares] WHERE
 * [Ecu Id] = ?"), which the connection turns into the engine's quoting, and take their values as
 * bound parameters, never as text. Every failure raises DatabaseError.
 */
class Connection {
public:
    /**
     * OpenConnection: opens the ZEP database the connection string names and, for a local one whose
     * schema lacks the upgraded columns, runs SchemaUpgrade::UpgradeSchema (whose failures do not stop the
     * open; interaction, if any, shows those the user must see). The schema is looked at without a
     * transaction: the write lock is taken only for a real upgrade. Never creates a file. A missing
     * file, a file that is not an SQLite database (a Jet file included), a database that is not a ZEP
     * one (checked once, here), a server that does not answer or refuses the login, and, for
     * Access::Write, a database that cannot be written raise DatabaseError and write nothing.
     */
    static std::unique_ptr<Connection> open(const std::string& connectionString,
                                            Interaction* interaction = nullptr,
                                            Access access = Access::Write);

    /**
     * Opens the database the connection string names only to look at it, as a connection test does:
     * a local file is opened read-only and not upgraded, a central database's session is read-only.
     * Creates and changes nothing; fails as open does, but takes a database that is not a ZEP one.
     */
    static std::unique_ptr<Connection> probe(const std::string& connectionString);

    /** a PostgreSQL database as it is, ZEP or not: for the work around ZEP schemas (making, dropping) */
    static std::unique_ptr<Connection> openServer(const std::string& connectionString);

    /**
     * Makes a new database from the DDL in schemaFolder (default: the schema folder of the installed
     * data): a new SQLite file, which must not exist yet, or the schema in an existing PostgreSQL
     * database that holds no ZEP tables yet. Nothing stays behind when it fails.
     */
    static std::unique_ptr<Connection> create(const std::string& connectionString,
                                              SchemaVersion version = SchemaVersion::Current,
                                              const std::string& schemaFolder = {});

    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const ConnectionString& connectionString() const { return connectionString_; }
    DatabaseEngine engine() const { return connectionString_.engine(); }
    /** IsCentralDatabase */
    bool isCentral() const { return connectionString_.isCentral(); }
    /** the "Data Source" property: the file, or host:port/database */
    std::string dataSource() const { return connectionString_.dataSource(); }

    /** every table, view and column of a ZEP database is there, but perhaps those the upgrade adds */
    bool isZepDatabase();
    /** the database may not be changed: its file or folder cannot be written, or "Mode=Read" */
    bool isReadOnly() const { return readOnly_; }

    /** the statement with its [names] in the engine's quoting */
    QString sql(const QString& statement) const;
    /** one name in the engine's quoting */
    QString quote(const QString& name) const;

    /**
     * Runs the statement with values bound to its ? in order; the query is positioned before its
     * first row. On SQLite the query steps through the result (read it before the next statement
     * changes the same rows); on PostgreSQL the whole result is fetched at once.
     */
    QSqlQuery execute(const QString& statement, const QVariantList& values = {});
    /** runs an INSERT ... RETURNING [counter] and gives the new row's counter */
    qint64 insert(const QString& statement, const QVariantList& values);

    /**
     * Runs work in one transaction: committed when work returns, rolled back when it throws (the
     * exception goes on). Inside another transaction it runs as a savepoint of it, so a caught
     * failure undoes only its own part.
     */
    template <class Work> std::invoke_result_t<Work&> transaction(Work&& work);

    /** the column names of a table, in table order; empty for a table that does not exist */
    std::vector<std::string> columns(const std::string& table);

    /** the Qt connection, for the operations that read record by record */
    QSqlDatabase& database() { return db_; }

    /** raises the error of a failed Qt step as this connection's DatabaseError (without the password) */
    [[noreturn]] void raise(const QSqlError& error) const;

private:
    explicit Connection(ConnectionString connectionString);

    /** what a connection may do to a local file; AsAllowed: write it if this process may */
    enum class FileAccess { ReadWrite, Create, ReadOnly, AsAllowed };
    void connect(FileAccess access);
    DatabaseError readOnlyError() const;
    void connectSqlite(FileAccess access);
    void connectPostgres();
    void enableWal();
    /** PostgreSQL: the statement with each ? replaced by the driver's literal of its value */
    QString withValues(const QString& statement, const QVariantList& values) const;

    void beginLevel();
    void commitLevel();
    void rollbackLevel() noexcept;

    ConnectionString connectionString_;
    QSqlDatabase db_;
    int transactionDepth_ = 0;
    bool readOnly_ = false;
};

template <class Work> std::invoke_result_t<Work&> Connection::transaction(Work&& work) {
    beginLevel();
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<Work&>>) {
            work();
            commitLevel();
        } else {
            auto result = work();
            commitLevel();
            return result;
        }
    } catch (...) {
        rollbackLevel();
        throw;
    }
}

} // namespace zep
