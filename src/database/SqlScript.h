#pragma once

#include <QString>
#include <QStringList>

namespace zep {

/**
 * The statements of an SQL script, without their final ";" and without comments that stand between
 * statements. A ";" ends a statement only outside quotes ('...', "...", [...]), comments, PostgreSQL
 * dollar-quoted bodies ($$...$$, $tag$...$tag$) and the BEGIN ... END body of an SQLite trigger.
 */
QStringList splitSqlScript(const QString& script);

} // namespace zep
