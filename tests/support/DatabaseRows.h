#pragma once

#include "database/Connection.h"
#include "memory/Hex.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <string>
#include <vector>

namespace zep::test {

using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

/** a value as text, alike on both engines: Null "NULL", booleans 0/1, bytes in hex after "0x" */
inline std::string cellText(const QVariant& v) {
    if (v.isNull())
        return "NULL";
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? "1" : "0";
    if (v.typeId() == QMetaType::QByteArray) {
        const QByteArray b = v.toByteArray();
        return "0x" +
               hex::encode({reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size())});
    }
    return v.toString().toStdString();
}

inline Rows rows(Connection& db, const QString& statement, const QVariantList& values = {}) {
    QSqlQuery q = db.execute(statement, values);
    Rows out;
    while (q.next()) {
        Row row;
        for (int i = 0; i < q.record().count(); ++i)
            row.push_back(cellText(q.value(i)));
        out.push_back(std::move(row));
    }
    return out;
}

/** the rows as lines, their cells joined by "|" */
inline std::vector<std::string> lines(Connection& db, const QString& statement,
                                      const QVariantList& values = {}) {
    std::vector<std::string> out;
    for (const Row& row : rows(db, statement, values)) {
        std::string line;
        for (const std::string& cell : row)
            line += (line.empty() && &cell == &row.front() ? "" : "|") + cell;
        out.push_back(line);
    }
    return out;
}

/** the rows of a table, or the first value of a SELECT statement */
inline long long count(Connection& db, const QString& tableOrSelect, const QVariantList& values = {}) {
    const QString statement = tableOrSelect.startsWith(QLatin1String("SELECT"))
                                  ? tableOrSelect
                                  : QStringLiteral("SELECT count(*) FROM [%1]").arg(tableOrSelect);
    QSqlQuery q = db.execute(statement, values);
    return q.next() ? q.value(0).toLongLong() : -1;
}

} // namespace zep::test
