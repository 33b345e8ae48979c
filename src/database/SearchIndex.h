#pragma once

#include <QString>

namespace zep {

class Connection;

/**
 * The indexes behind the search of names and identification codes of applications and tunings, the
 * rows counted by hundreds of thousands. SQLite: an FTS5 trigram table per image table ("Applications
 * Search", "Calibrations Search", rowid = the row's counter), kept in step by triggers. PostgreSQL: a
 * pg_trgm index on the searched text of each image table, when the extension is there or may be made;
 * without it the same statements scan the table.
 */
namespace SearchIndex {

/**
 * The searched text of a row of Applications or Calibrations: its name and identification columns
 * joined by line feeds. Each column is prefixed by prefix ("a." or "NEW."). PostgreSQL's text is lower
 * case, so that it is the expression its index holds; SQLite's is as stored.
 */
QString text(const Connection& db, const QString& table, const QString& prefix = {});

/** the name of the SQLite search table of an image table: "Applications Search" */
QString searchTable(const QString& table);

/** whether the search tables of SQLite are there (PostgreSQL: whether the trigram indexes are) */
bool present(Connection& db);

/**
 * Makes what is missing and fills it from the rows already there, in one transaction. False when the
 * engine cannot have it (SQLite without FTS5, PostgreSQL without pg_trgm): the search then scans.
 */
bool create(Connection& db);

} // namespace SearchIndex
} // namespace zep
