#pragma once

#include "memory/ZepError.h"

#include <string>
#include <string_view>

class QSqlError;

namespace zep {

enum class DatabaseEngine { Unsupported, SQLite, PostgreSQL };

/**
 * A failure of a database engine, or one found before the engine was asked. Its number is the
 * engine's own:
 * - SQLite: the result code (extended codes included), e.g. 14 "unable to open database file",
 *   19 or 275 for a constraint. The checks made before SQLite opens a file use SQLite's codes too:
 *   14 for a missing file, 26 for a file that is not an SQLite database (a Jet file included).
 * - PostgreSQL: the SQLSTATE in PostgreSQL's own integer form (six bits a character, first character
 *   lowest, as the server's MAKE_SQLSTATE packs it); sqlState() gives the five characters back.
 *   A connection that fails on the client side (no server, refused, timeout) is 08001.
 * Descriptions never hold a password.
 */
class DatabaseError : public ZepError {
public:
    DatabaseError(int number, const std::string& description, std::string sqlState = {})
        : ZepError(number, description), sqlState_(std::move(sqlState)) {}

    /** PostgreSQL's five-character code; empty for SQLite */
    const std::string& sqlState() const { return sqlState_; }

    /** the error of a failed Qt step; secret (a password) is blotted out of the description */
    static DatabaseError fromQt(const QSqlError& error, DatabaseEngine engine, std::string_view secret);

private:
    std::string sqlState_;
};

/** PostgreSQL's integer form of a five-character SQLSTATE; 0 for anything else */
int postgresErrorNumber(std::string_view sqlState);
/** the SQLSTATE of such a number */
std::string postgresSqlState(int number);

/** text with every occurrence of secret replaced by "****" (secrets shorter than 4 characters are left) */
std::string withoutSecret(std::string text, std::string_view secret);

namespace errors {
inline constexpr int SqliteCantOpen = 14;
inline constexpr int SqliteNotADatabase = 26;
} // namespace errors

} // namespace zep
