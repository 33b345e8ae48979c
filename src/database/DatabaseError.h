#pragma once

#include "memory/ZepError.h"

#include <QString>
#include <QVariantList>

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
 * The description says, in the user's language, what went wrong and what to do; the engine's own
 * words are kept apart in detail(), for a verbose log. Neither holds a password.
 */
class DatabaseError : public ZepError {
public:
    /** a detail goes to the verbose log, if one is set */
    DatabaseError(int number, const std::string& description, std::string sqlState = {},
                  std::string detail = {});

    /** PostgreSQL's five-character code; empty for SQLite */
    const std::string& sqlState() const { return sqlState_; }
    /** the engine's own text, untranslated; empty when the description is all there is */
    const std::string& detail() const { return detail_; }

    /** what a failed statement was asked, so that a refusal can name the field it concerns */
    struct Statement {
        QString text;
        QVariantList values;
    };

    /**
     * The error of a failed Qt step, told in the user's words: refusals of the schema's rules name the
     * field and its limit, a busy, read-only or lost database says so and what to do. dataSource names
     * the database in those texts; secret (a password) is blotted out of everything.
     */
    static DatabaseError fromQt(const QSqlError& error, DatabaseEngine engine, std::string_view secret,
                                const std::string& dataSource, const Statement* statement = nullptr);

    /** where the engines' own texts go as they arise (zep --verbose); null: nowhere */
    static void setVerboseLog(void (*log)(const std::string& detail));

private:
    std::string sqlState_;
    std::string detail_;
};

/** PostgreSQL's integer form of a five-character SQLSTATE; 0 for anything else */
int postgresErrorNumber(std::string_view sqlState);
/** the SQLSTATE of such a number */
std::string postgresSqlState(int number);

/** text with every occurrence of secret replaced by "****" (secrets shorter than 4 characters are left) */
std::string withoutSecret(std::string text, std::string_view secret);

namespace errors {
inline constexpr int SqliteBusy = 5;
inline constexpr int SqliteReadOnly = 8;
inline constexpr int SqliteCantOpen = 14;
inline constexpr int SqliteNotADatabase = 26;
} // namespace errors

} // namespace zep
