#include "database/DatabaseError.h"

#include <QSqlError>

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

} // namespace

DatabaseError DatabaseError::fromQt(const QSqlError& error, DatabaseEngine engine, std::string_view secret) {
    std::string description = trimmed(error.databaseText());
    if (description.empty())
        description = trimmed(error.driverText());
    description = withoutSecret(description, secret);
    const std::string code = trimmed(error.nativeErrorCode());

    if (engine == DatabaseEngine::PostgreSQL) {
        const std::string state = code.size() == 5 ? code : connectionSqlState(description);
        return DatabaseError(postgresErrorNumber(state), description, state);
    }
    bool ok = false;
    const int number = error.nativeErrorCode().toInt(&ok);
    return DatabaseError(ok ? number : 1 /* SQLITE_ERROR */, description);
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
