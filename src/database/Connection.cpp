#include "database/Connection.h"

#include "database/SchemaUpgrade.h"
#include "database/SearchIndex.h"
#include "database/SqlScript.h"
#include "flash/FlashFile.h"
#include "text/Documents.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace zep {

namespace {

std::string message(std::string_view key, std::string_view def, const std::vector<std::string>& args) {
    return TextCatalog::instance().text("database/Messages/" + std::string(key) + "/text", def, args);
}

QString uniqueConnectionName() {
    static std::atomic<unsigned> counter{0};
    return QStringLiteral("zep-connection-%1").arg(++counter);
}

/** Refuses, before SQLite sees it, a path that is not an SQLite database: SQLite would take an empty file. */
void checkSqliteFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 && errno == ENOENT)
        throw DatabaseError(errors::SqliteCantOpen,
                            message("fileNotFound", "Database file not found : {0}", {path}));
    if (S_ISDIR(info.st_mode))
        throw DatabaseError(errors::SqliteCantOpen,
                            message("notAFile", "{0} is a folder, not a database file", {path}));
    char header[100] = {};
    std::size_t read = 0;
    try {
        const int fd = openRegularFile(path);
        const ssize_t n = ::read(fd, header, sizeof header);
        ::close(fd);
        if (n < 0)
            throw std::system_error(errno, std::generic_category());
        read = static_cast<std::size_t>(n);
    } catch (const std::exception& error) {
        throw DatabaseError(errors::SqliteCantOpen,
                            message("fileUnreadable", "Unable to open database file : {0}", {path}), {},
                            error.what());
    }
    const std::string_view bytes(header, read);
    if (bytes.size() >= 16 && bytes.substr(0, 16) == std::string_view("SQLite format 3\0", 16))
        return;
    const std::string_view signature = bytes.size() >= 19 ? bytes.substr(4, 15) : std::string_view();
    if (signature == "Standard Jet DB" || signature == "Standard ACE DB")
        throw DatabaseError(errors::SqliteNotADatabase,
                            message("jetFile",
                                    "{0} is a Jet (Microsoft Access) database. This program opens SQLite "
                                    "databases: convert the file first.",
                                    {path}));
    throw DatabaseError(errors::SqliteNotADatabase, message("notADatabase", "{0} is not a database", {path}));
}

/**
 * Whether this process may change the file: write the file itself, and make the -wal and -shm files
 * beside it (or write those that are there). A file that cannot be changed is opened read-only.
 */
bool sqliteWritable(const std::string& path) {
    const auto may = [](const std::string& p) { return ::access(p.c_str(), W_OK) == 0; };
    if (!may(path))
        return false;
    const std::filesystem::path folder = std::filesystem::absolute(path).parent_path();
    return may(folder.string()) || (may(path + "-wal") && may(path + "-shm"));
}

std::string readSchema(const std::string& folder, DatabaseEngine engine, SchemaVersion version) {
    const std::string base = folder.empty() ? defaultBaseLocation() + "/schema" : folder;
    const std::string file = base + "/" + (engine == DatabaseEngine::PostgreSQL ? "postgresql" : "sqlite") +
                             (version == SchemaVersion::Legacy ? "-legacy" : "") + ".sql";
    std::ifstream in(file, std::ios::binary);
    std::string text;
    if (in)
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (text.empty())
        throw ZepError(errors::File, message("schemaUnreadable", "Unable to read schema file : {0}", {file}));
    return text;
}

/** a word that may stand in libpq's options as it is */
bool isOptionWord(const std::string& value) {
    return !value.empty() && std::all_of(value.begin(), value.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '_' || c == '-' || c == '.';
    });
}

void removeSqliteFiles(const std::string& path) {
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        std::filesystem::remove(path + suffix, ec);
}

} // namespace

Connection::Connection(ConnectionString connectionString) : connectionString_(std::move(connectionString)) {}

Connection::~Connection() {
    const QString name = db_.connectionName();
    db_.close();
    db_ = QSqlDatabase();
    if (!name.isEmpty())
        QSqlDatabase::removeDatabase(name);
}

std::unique_ptr<Connection> Connection::open(const std::string& text, Interaction* interaction,
                                             Access access) {
    std::unique_ptr<Connection> connection(new Connection(ConnectionString::parse(text)));
    connection->connect(access == Access::Write ? FileAccess::ReadWrite : FileAccess::AsAllowed);
    const auto upgrades = SchemaUpgrade::upgradesNeeded(*connection);
    if (!upgrades)
        throw DatabaseError(connection->isCentral() ? postgresErrorNumber("42P01")
                                                    : errors::SqliteNotADatabase,
                            message("notZepDatabase", "{0} is not a ZEP database: {1}",
                                    {connection->dataSource(), tr("frmDatabase/Messages/invalidDatabase/text",
                                                                  "Invalid ZEP database. Please check ! ")}));
    if (connection->isCentral())
        return connection;
    // Readers never wait for the write lock: it is taken only when the schema really lacks something.
    if (*upgrades && connection->readOnly_)
        throw DatabaseError(
            errors::SqliteReadOnly,
            message("upgradeReadOnly",
                    "The database {0} was made by an older version and must be upgraded, but it "
                    "is read-only: open it once where it can be written.",
                    {connection->dataSource()}));
    if (!connection->readOnly_)
        connection->enableWal();
    if (*upgrades)
        SchemaUpgrade::UpgradeSchema(*connection, interaction);
    if (!connection->readOnly_ && !SearchIndex::present(*connection))
        SearchIndex::create(*connection);
    return connection;
}

std::unique_ptr<Connection> Connection::probe(const std::string& text) {
    std::unique_ptr<Connection> connection(new Connection(ConnectionString::parse(text)));
    connection->connect(FileAccess::ReadOnly);
    return connection;
}

std::unique_ptr<Connection> Connection::openServer(const std::string& text) {
    std::unique_ptr<Connection> connection(new Connection(ConnectionString::parse(text)));
    if (!connection->isCentral())
        throw ZepError(errors::InvalidArgument,
                       message("notAServer", "{0} names no database server", {connection->dataSource()}));
    connection->connect(FileAccess::ReadWrite);
    return connection;
}

std::unique_ptr<Connection> Connection::create(const std::string& text, SchemaVersion version,
                                               const std::string& schemaFolder) {
    std::unique_ptr<Connection> connection(new Connection(ConnectionString::parse(text)));
    const ConnectionString& target = connection->connectionString_;
    if (target.engine() == DatabaseEngine::Unsupported)
        connection->connect(FileAccess::ReadWrite); // raises the reason
    const QString script = QString::fromStdString(readSchema(schemaFolder, target.engine(), version));

    if (target.engine() == DatabaseEngine::PostgreSQL) {
        connection->connect(FileAccess::ReadWrite);
        if (!connection->columns("Hardwares").empty())
            throw DatabaseError(postgresErrorNumber("42P07"),
                                message("databaseNotEmpty", "The database {0} already holds a ZEP database",
                                        {target.dataSource()}),
                                "42P07");
        connection->transaction([&] {
            for (const QString& statement : splitSqlScript(script))
                connection->execute(statement);
            if (version == SchemaVersion::Current)
                SearchIndex::create(*connection);
        });
        return connection;
    }

    const std::string path = target.path();
    std::error_code ec;
    if (!path.empty() && (std::filesystem::exists(path, ec) || std::filesystem::is_symlink(path, ec)))
        throw ZepError(errors::File, message("fileExists", "The file {0} already exists", {path}));
    try {
        connection->connect(FileAccess::Create);
        connection->transaction([&] {
            for (const QString& statement : splitSqlScript(script))
                connection->execute(statement);
            if (version == SchemaVersion::Current)
                SearchIndex::create(*connection);
        });
        connection->enableWal();
    } catch (...) {
        connection.reset();
        removeSqliteFiles(path);
        throw;
    }
    return connection;
}

void Connection::connect(FileAccess access) {
    switch (engine()) {
    case DatabaseEngine::SQLite:
        connectSqlite(access);
        return;
    case DatabaseEngine::PostgreSQL: {
        const bool readOnly = access == FileAccess::ReadOnly || connectionString_.readOnly();
        if (readOnly && access == FileAccess::ReadWrite)
            throw readOnlyError();
        connectPostgres();
        if (readOnly)
            execute(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
        readOnly_ = readOnly;
        return;
    }
    case DatabaseEngine::Unsupported:
        break;
    }
    if (connectionString_.empty())
        throw ZepError(errors::InvalidArgument, message("noDatabase", "No database is named", {}));
    if (connectionString_.provider().empty())
        throw ZepError(errors::InvalidArgument,
                       message("noProvider", "The connection string names no database: {0}",
                               {connectionString_.displayText()}));
    throw ZepError(errors::InvalidArgument,
                   message("unsupportedProvider",
                           "The provider {0} is not supported: use SQLite or PostgreSQL",
                           {connectionString_.provider()}));
}

void Connection::connectSqlite(FileAccess access) {
    const std::string& path = connectionString_.path();
    if (path.empty())
        throw ZepError(errors::InvalidArgument,
                       message("noDataSource", "The connection string names no database file: {0}",
                               {connectionString_.displayText()}));
    if (access != FileAccess::Create) {
        checkSqliteFile(path);
        const bool writable = !connectionString_.readOnly() && sqliteWritable(path);
        if (access == FileAccess::ReadWrite && !writable)
            throw readOnlyError();
        if (access == FileAccess::AsAllowed)
            access = writable ? FileAccess::ReadWrite : FileAccess::ReadOnly;
    }
    readOnly_ = access == FileAccess::ReadOnly;
    // The URI's mode says whether SQLite may make the file or write to it; rw never makes it.
    const char* mode = access == FileAccess::Create     ? "?mode=rwc"
                       : access == FileAccess::ReadOnly ? "?mode=ro"
                                                        : "?mode=rw";
    QString uri = QUrl::fromLocalFile(QFileInfo(QString::fromStdString(path)).absoluteFilePath())
                      .toString(QUrl::FullyEncoded) +
                  QLatin1String(mode);
    // Even a read-only connection makes the -wal and -shm files of a WAL database and leaves them. With
    // no log or journal beside it, the file holds the whole database: reading it as immutable makes
    // nothing (a writer that starts meanwhile is not seen, which a look at the database can bear).
    std::error_code ec;
    if (access == FileAccess::ReadOnly && !std::filesystem::exists(path + "-wal", ec) &&
        !std::filesystem::exists(path + "-journal", ec))
        uri += QStringLiteral("&immutable=1");
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), uniqueConnectionName());
    db_.setConnectOptions(
        access == FileAccess::ReadOnly
            ? QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000")
            : QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
    db_.setDatabaseName(uri);
    if (!db_.open()) {
        const DatabaseError error = DatabaseError::fromQt(db_.lastError(), engine(), {}, path);
        throw DatabaseError(error.number(),
                            message("fileUnreadable", "Unable to open database file : {0}", {path}), {},
                            error.detail());
    }
    execute(QStringLiteral("PRAGMA foreign_keys = ON"));
    // Reads the first page: a damaged file fails here rather than in the first command.
    try {
        execute(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    } catch (const DatabaseError& error) {
        if ((error.number() & 0xFF) == errors::SqliteBusy)
            throw;
        throw DatabaseError(error.number(), message("notADatabase", "{0} is not a database", {path}), {},
                            error.detail());
    }
}

DatabaseError Connection::readOnlyError() const {
    return DatabaseError(
        errors::SqliteReadOnly,
        tr("database/Messages/readOnly/text",
           "The database {0} is read-only: it cannot be changed. Check the rights on the file and "
           "its folder, or ask the one who gave it to you.",
           dataSource()));
}

void Connection::connectPostgres() {
    const ConnectionString& cs = connectionString_;
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), uniqueConnectionName());
    // Qt quotes the host, database, user and password it is given; the other keywords go to its options,
    // which it passes on as they stand, so that only fixed words and numbers may go there.
    QStringList options;
    for (const auto& [keyword, value] : cs.serverParameters()) {
        const QString v = QString::fromStdString(value);
        if (keyword == "host")
            db_.setHostName(v);
        else if (keyword == "port")
            db_.setPort(v.toInt());
        else if (keyword == "dbname")
            db_.setDatabaseName(v);
        else if (keyword == "user")
            db_.setUserName(v);
        else if (keyword == "password")
            db_.setPassword(v);
        else if (isOptionWord(value))
            options << QString::fromStdString(keyword) + QLatin1Char('=') + v;
        else
            throw ZepError(errors::InvalidArgument, tr("database/Messages/badConnectionString/text",
                                                       "Invalid connection string: {0}", keyword));
    }
    db_.setConnectOptions(options.join(QLatin1Char(';')));
    if (!db_.open()) {
        const DatabaseError error =
            DatabaseError::fromQt(db_.lastError(), engine(), cs.password(), dataSource());
        const std::string& state = error.sqlState();
        std::string text;
        if (state == "28P01" || state == "28000")
            text =
                message("loginRefused",
                        "The server {0} refused the login of user {1}: check the user name and the password.",
                        {cs.host() + ":" + std::to_string(cs.port()), cs.user()});
        else if (state == "3D000")
            text = message("noSuchDatabase",
                           "The database server {0} has no database named {1}: check the name.",
                           {cs.host() + ":" + std::to_string(cs.port()), cs.database()});
        else
            text =
                message("serverUnreachable",
                        "Unable to reach the database server {0}: check the host name and the port, and that "
                        "the server is running.",
                        {cs.host() + ":" + std::to_string(cs.port())});
        throw DatabaseError(error.number(), text, state, error.detail());
    }
    execute(QStringLiteral("SET client_min_messages TO warning"));
    if (!cs.searchPath().empty()) {
        QStringList schemas;
        for (const QString& schema : QString::fromStdString(cs.searchPath()).split(QLatin1Char(',')))
            schemas << quote(schema.trimmed());
        execute(QStringLiteral("SET search_path TO ") + schemas.join(QStringLiteral(", ")));
    }
}

void Connection::enableWal() {
    // A read-only file keeps its journal: not worth failing the open for. With WAL, NORMAL
    // synchronisation keeps the file consistent through any crash; only the last commits may be lost
    // to a power failure.
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("PRAGMA journal_mode")) || !query.next() ||
        query.value(0).toString() != QLatin1String("wal"))
        query.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    query.finish();
    query.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
}

bool Connection::isZepDatabase() {
    return SchemaUpgrade::upgradesNeeded(*this).has_value();
}

QString Connection::quote(const QString& name) const {
    if (engine() == DatabaseEngine::SQLite && !name.contains(QLatin1Char(']')))
        return QLatin1Char('[') + name + QLatin1Char(']');
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString Connection::sql(const QString& statement) const {
    if (engine() != DatabaseEngine::PostgreSQL)
        return statement;
    // Brackets become double quotes, outside quoted texts and names.
    QString result;
    result.reserve(statement.size());
    QChar inside; // the quote being read, or null
    for (const QChar c : statement) {
        if (inside.isNull()) {
            if (c == QLatin1Char('\'') || c == QLatin1Char('"'))
                inside = c;
            else if (c == QLatin1Char('[')) {
                inside = QLatin1Char(']');
                result += QLatin1Char('"');
                continue;
            }
            result += c;
        } else if (c == inside) {
            result += inside == QLatin1Char(']') ? QChar(QLatin1Char('"')) : c;
            inside = QChar();
        } else {
            if (inside == QLatin1Char(']') && c == QLatin1Char('"'))
                result += c;
            result += c;
        }
    }
    return result;
}

QSqlQuery Connection::execute(const QString& statement, const QVariantList& values) {
    const auto fail = [&](const QSqlError& error) {
        const DatabaseError::Statement asked{statement, values};
        throw DatabaseError::fromQt(error, engine(), connectionString_.password(), dataSource(), &asked);
    };
    // A connection the driver gave up (the server went away) is not asked again: Qt would only complain.
    if (!db_.isOpen())
        fail(QSqlError(QStringLiteral("connection closed"), {}, QSqlError::ConnectionError));
    QSqlQuery query(db_);
    if (engine() == DatabaseEngine::PostgreSQL) {
        // QPSQL "prepares" by sending the driver's escaped literals in an EXECUTE, and leaves a
        // server-side statement behind when a transaction fails; the same literals in the statement
        // itself cost one round trip instead of three. Whole results are fetched, so that other
        // statements may run while a result is read.
        if (!query.exec(values.isEmpty() ? sql(statement) : withValues(sql(statement), values)))
            fail(query.lastError());
        return query;
    }
    // SQLite steps through a result row by row; its values are bound, never written into the text.
    query.setForwardOnly(true);
    if (values.isEmpty()) {
        if (!query.exec(statement))
            fail(query.lastError());
        return query;
    }
    if (!query.prepare(statement))
        fail(query.lastError());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        fail(query.lastError());
    return query;
}

QString Connection::withValues(const QString& statement, const QVariantList& values) const {
    QString result;
    result.reserve(statement.size());
    qsizetype next = 0;
    bool tooFew = false;
    QChar inside; // the quote being read, or null
    for (const QChar c : statement) {
        if (!inside.isNull()) {
            if (c == inside)
                inside = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            inside = c;
        } else if (c == QLatin1Char('?')) {
            if (next >= values.size()) {
                tooFew = true;
                break;
            }
            const QVariant& value = values[next++];
            QSqlField field(QString(), value.metaType());
            if (!value.isNull())
                field.setValue(value);
            result += db_.driver()->formatValue(field);
            continue;
        }
        result += c;
    }
    if (tooFew || next != values.size())
        throw ZepError(errors::InvalidArgument,
                       message("badValueCount", "The statement takes another number of values: {0}",
                               {statement.toStdString()}));
    return result;
}

qint64 Connection::insert(const QString& statement, const QVariantList& values) {
    QSqlQuery query = execute(statement, values);
    if (!query.next())
        raise(query.lastError());
    const qint64 counter = query.value(0).toLongLong();
    query.finish();
    return counter;
}

void Connection::raise(const QSqlError& error) const {
    throw DatabaseError::fromQt(error, engine(), connectionString_.password(), dataSource());
}

void Connection::beginLevel() {
    if (transactionDepth_ == 0)
        // IMMEDIATE takes SQLite's write lock at once, so that a busy database makes this wait
        // instead of failing in the middle of the work.
        execute(engine() == DatabaseEngine::SQLite ? QStringLiteral("BEGIN IMMEDIATE")
                                                   : QStringLiteral("BEGIN"));
    else
        execute(QStringLiteral("SAVEPOINT zep_%1").arg(transactionDepth_));
    ++transactionDepth_;
}

void Connection::commitLevel() {
    if (transactionDepth_ == 1)
        execute(QStringLiteral("COMMIT"));
    else
        execute(QStringLiteral("RELEASE SAVEPOINT zep_%1").arg(transactionDepth_ - 1));
    --transactionDepth_;
}

void Connection::rollbackLevel() noexcept {
    if (transactionDepth_ == 0)
        return;
    --transactionDepth_;
    QSqlQuery query(db_);
    if (transactionDepth_ == 0) {
        query.exec(QStringLiteral("ROLLBACK"));
    } else {
        query.exec(QStringLiteral("ROLLBACK TO SAVEPOINT zep_%1").arg(transactionDepth_));
        query.exec(QStringLiteral("RELEASE SAVEPOINT zep_%1").arg(transactionDepth_));
    }
}

std::vector<std::string> Connection::columns(const std::string& table) {
    const QString statement =
        engine() == DatabaseEngine::PostgreSQL
            ? QStringLiteral(
                  "SELECT column_name FROM information_schema.columns "
                  "WHERE table_schema = current_schema() AND table_name = ? ORDER BY ordinal_position")
            : QStringLiteral("SELECT name FROM pragma_table_info(?) ORDER BY cid");
    QSqlQuery query = execute(statement, {QString::fromStdString(table)});
    std::vector<std::string> names;
    while (query.next())
        names.push_back(query.value(0).toString().toStdString());
    return names;
}

} // namespace zep
