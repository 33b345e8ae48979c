#include "database/DatabaseError.h"

#include "text/TextCatalog.h"

#include <QRegularExpression>
#include <QSqlError>

#include <algorithm>
#include <functional>
#include <optional>

namespace zep {

namespace {

/** libpq reports failures to connect without an SQLSTATE: tell the usual ones from the message */
std::string connectionSqlState(const std::string& message) {
    if (message.find("password authentication failed") != std::string::npos ||
        message.find("no password supplied") != std::string::npos)
        return "28P01";
    if (message.find("role \"") != std::string::npos && message.find("does not exist") != std::string::npos)
        return "28000";
    if (message.find("database \"") != std::string::npos &&
        message.find("does not exist") != std::string::npos)
        return "3D000";
    return "08001";
}

std::string trimmed(const QString& text) {
    return text.trimmed().toStdString();
}

/** the first match of pattern in text, its groups from 1 */
QStringList match(const QString& text, const char* pattern) {
    const QRegularExpressionMatch found = QRegularExpression(QString::fromLatin1(pattern)).match(text);
    return found.hasMatch() ? found.capturedTexts().mid(1) : QStringList();
}

/**
 * The column a placeholder of the statement stands for: "[name] = ?" names it, and the n-th "?" of an
 * INSERT's VALUES list is the n-th column of its list. Empty when the statement does not tell.
 */
QString columnOf(const QString& statement, qsizetype placeholder) {
    qsizetype at = -1;
    for (qsizetype n = 0; n <= placeholder; ++n)
        if ((at = statement.indexOf(QLatin1Char('?'), at + 1)) < 0)
            return {};
    if (const QStringList assigned = match(statement.left(at), R"(\[([^\]]+)\]\s*=\s*$)");
        !assigned.isEmpty())
        return assigned[0];
    const QRegularExpressionMatch insert =
        QRegularExpression(
            QStringLiteral(R"(^\s*INSERT\s+INTO\s+\[[^\]]+\]\s*\(([^)]*)\)\s*VALUES\s*\(([^)]*)\))"))
            .match(statement);
    if (!insert.hasMatch())
        return {};
    const QStringList columns = insert.captured(1).split(QLatin1Char(','));
    const QStringList values = insert.captured(2).split(QLatin1Char(','));
    // Only a VALUES list of placeholders alone maps one to one.
    if (values.size() != columns.size() || std::any_of(values.begin(), values.end(), [](const QString& v) {
            return v.trimmed() != QLatin1String("?");
        }))
        return {};
    const qsizetype position = placeholder - statement.left(insert.capturedStart(2)).count(QLatin1Char('?'));
    if (position < 0 || position >= columns.size())
        return {};
    return columns[position].trimmed().remove(QLatin1Char('[')).remove(QLatin1Char(']'));
}

/** the field that holds a value the engine refused: the first value that fits is */
QString fieldOf(const DatabaseError::Statement* statement, const std::function<bool(const QVariant&)>& fits) {
    if (!statement)
        return {};
    for (qsizetype i = 0; i < statement->values.size(); ++i)
        if (fits(statement->values[i]))
            return columnOf(statement->text, i);
    return {};
}

std::string tooLong(const QString& field, const QString& limit) {
    if (field.isEmpty())
        return tr("database/Messages/tooLongText/text",
                  "A text is too long for the database: at most {0} characters.", limit.toStdString());
    return tr("database/Messages/tooLong/text", "The {0} is too long: at most {1} characters.",
              field.toStdString(), limit.toStdString());
}

std::string outOfRange(const QString& field, const QString& low = {}, const QString& high = {}) {
    if (field.isEmpty())
        return tr("database/Messages/numberOutOfRange/text",
                  "A number is outside the range the database accepts.");
    if (low.isEmpty())
        return tr("database/Messages/fieldOutOfRange/text",
                  "The {0} is outside the range the database accepts.", field.toStdString());
    return tr("database/Messages/outOfRange/text", "The {0} must be a number from {1} to {2}.",
              field.toStdString(), low.toStdString(), high.toStdString());
}

std::string required(const QString& field) {
    return tr("database/Messages/required/text", "The {0} must be given.", field.toStdString());
}

std::string duplicate() {
    return tr("database/Messages/duplicate/text",
              "This item exists already in the database: refresh the view.");
}

std::string missingParent() {
    return tr("database/Messages/missingParent/text",
              "The item this belongs to is no longer in the database (another user may have deleted it): "
              "refresh the view and try again.");
}

/** SQLite's refusals: its message names the constraint, which the schema writes in a few shapes */
std::optional<std::string> sqliteMessage(int code, const QString& text, const std::string& source) {
    switch (code & 0xFF) {
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return tr("database/Messages/busy/text",
                  "The database {0} is busy: another user or program is changing it. Try again in a moment.",
                  source);
    case 8: // SQLITE_READONLY
        return tr("database/Messages/readOnly/text",
                  "The database {0} is read-only: it cannot be changed. Check the rights on the file and its "
                  "folder, or ask the one who gave it to you.",
                  source);
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return tr(
            "database/Messages/damaged/text",
            "The database file {0} is damaged: open a copy that is not, or compact it with another tool.",
            source);
    case 13: // SQLITE_FULL
        return tr("database/Messages/diskFull/text",
                  "The disk that holds {0} is full: free some space, then try again.", source);
    case 19: { // SQLITE_CONSTRAINT
        if (const QStringList m = match(text, R"(CHECK constraint failed: length\(\[([^\]]+)\]\) <= (\d+))");
            !m.isEmpty())
            return tooLong(m[0], m[1]);
        if (const QStringList m =
                match(text, R"(CHECK constraint failed: \[([^\]]+)\] BETWEEN (-?\d+) AND (-?\d+))");
            !m.isEmpty())
            return outOfRange(m[0], m[1], m[2]);
        // a column's own check is named after the column
        if (const QStringList m = match(text, R"(CHECK constraint failed: ([^()<>=\[\]]+)$)"); !m.isEmpty())
            return outOfRange(m[0].trimmed());
        if (text.startsWith(QLatin1String("CHECK constraint failed")))
            return outOfRange({});
        if (const QStringList m = match(text, R"(NOT NULL constraint failed: [^.]+\.(.+)$)"); !m.isEmpty())
            return required(m[0]);
        if (text.startsWith(QLatin1String("UNIQUE constraint failed")) ||
            text.startsWith(QLatin1String("PRIMARY KEY")))
            return duplicate();
        if (text.startsWith(QLatin1String("FOREIGN KEY constraint failed")))
            return missingParent();
        return std::nullopt; // a trigger's RAISE: its text is written for the user
    }
    default:
        return std::nullopt;
    }
}

std::optional<std::string> postgresMessage(const std::string& state, const QString& text,
                                           const std::string& source,
                                           const DatabaseError::Statement* statement) {
    const QString cls = QString::fromStdString(state.substr(0, 2));
    if (state == "22001") {
        const QStringList m = match(text, R"(character(?: varying)?\((\d+)\))");
        const QString limit = m.isEmpty() ? QStringLiteral("?") : m[0];
        const int n = limit.toInt();
        return tooLong(fieldOf(statement,
                               [n](const QVariant& v) {
                                   return v.typeId() == QMetaType::QString && v.toString().size() > n;
                               }),
                       limit);
    }
    if (state == "22003") {
        // "integer out of range", "smallint out of range": the first value the type cannot hold
        const qint64 limit = text.startsWith(QLatin1String("smallint")) ? 1 << 15 : qint64(1) << 31;
        return outOfRange(fieldOf(statement, [limit](const QVariant& v) {
            bool number = false;
            const qint64 n = v.toLongLong(&number);
            return number && v.typeId() != QMetaType::QString && (n >= limit || n < -limit);
        }));
    }
    if (state == "23514") {
        // the server names a column's check "<table>_<column>_check"
        const QStringList m =
            match(text, R"re(relation "([^"]+)" violates check constraint "([^"]+)_check")re");
        const QString field =
            m.isEmpty() || !m[1].startsWith(m[0] + QLatin1Char('_')) ? QString() : m[1].mid(m[0].size() + 1);
        return outOfRange(field);
    }
    if (state == "23502") {
        const QStringList m = match(text, R"re(null value in column "([^"]+)")re");
        return required(m.isEmpty() ? QStringLiteral("?") : m[0]);
    }
    if (state == "23505")
        return duplicate();
    if (state == "23503")
        return missingParent();
    if (state == "55P03" || state == "40P01" || state == "40001")
        return sqliteMessage(5, text, source);
    if (state == "25006")
        return sqliteMessage(8, text, source);
    if (state == "42501")
        return tr("database/Messages/notAllowed/text",
                  "You may not change the database {0}: ask its administrator for the rights.", source);
    if (cls == QLatin1String("08") || state == "57P01" || state == "57P02" || state == "57P03")
        return tr(
            "database/Messages/connectionLost/text",
            "The connection to the database server {0} was lost: check that the server is running, then "
            "try again.",
            source);
    if (state == "P0001")
        return std::nullopt; // a trigger's RAISE: its text is written for the user
    return std::nullopt;
}

void (*verboseLog)(const std::string&) = nullptr;

} // namespace

DatabaseError::DatabaseError(int number, const std::string& description, std::string sqlState,
                             std::string detail)
    : ZepError(number, description), sqlState_(std::move(sqlState)), detail_(std::move(detail)) {
    if (verboseLog && !detail_.empty())
        verboseLog(detail_);
}

void DatabaseError::setVerboseLog(void (*log)(const std::string& detail)) {
    verboseLog = log;
}

DatabaseError DatabaseError::fromQt(const QSqlError& error, DatabaseEngine engine, std::string_view secret,
                                    const std::string& dataSource, const Statement* statement) {
    // The engine's first line is its message; what follows (LINE, DETAIL, a caret) is for a log.
    QString raw = error.databaseText().trimmed();
    if (raw.isEmpty())
        raw = error.driverText().trimmed();
    const QString message =
        raw.section(QLatin1Char('\n'), 0, 0).remove(QRegularExpression(QStringLiteral("^ERROR:\\s*")));
    const std::string detail = withoutSecret(trimmed(raw), secret);
    const std::string code = trimmed(error.nativeErrorCode());

    int number = 1; // SQLITE_ERROR
    std::string state;
    std::optional<std::string> told;
    if (engine == DatabaseEngine::PostgreSQL) {
        state = code.size() == 5 ? code : connectionSqlState(detail);
        number = postgresErrorNumber(state);
        told = postgresMessage(state, message, dataSource, statement);
        // A connection Qt holds as closed (the server went away) fails without a word from the server.
        if (!told && error.type() == QSqlError::ConnectionError)
            told = postgresMessage("08006", message, dataSource, statement);
    } else {
        bool ok = false;
        const int native = error.nativeErrorCode().toInt(&ok);
        number = ok ? native : 1;
        told = sqliteMessage(number, message, dataSource);
    }
    if (!told && (state == "P0001" || (engine == DatabaseEngine::SQLite && (number & 0xFF) == 19)))
        told = withoutSecret(message.toStdString(), secret);
    if (!told)
        told = tr(
            "database/Messages/failed/text",
            "The database {0} could not carry out the operation (error {1}). Try again; if it fails again, "
            "give this error to the database's administrator.",
            dataSource, state.empty() ? std::to_string(number) : state);
    return DatabaseError(number, withoutSecret(*told, secret), state, detail);
}

int postgresErrorNumber(std::string_view sqlState) {
    if (sqlState.size() != 5)
        return 0;
    int number = 0;
    for (std::size_t i = 0; i < 5; ++i) {
        const char c = sqlState[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')))
            return 0;
        number += ((c - '0') & 0x3F) << (6 * i);
    }
    return number;
}

std::string postgresSqlState(int number) {
    std::string state(5, '0');
    for (std::size_t i = 0; i < 5; ++i)
        state[i] = static_cast<char>(((number >> (6 * i)) & 0x3F) + '0');
    return state;
}

std::string withoutSecret(std::string text, std::string_view secret) {
    if (secret.size() < 4)
        return text;
    for (std::size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 4))
        text.replace(at, secret.size(), "****");
    return text;
}

} // namespace zep
