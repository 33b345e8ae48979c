#include "database/SchemaUpgrade.h"

#include "database/Connection.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <QSqlQuery>
#include <QString>

#include <algorithm>
#include <set>

namespace zep {

namespace {

/**
 * The tables and views of a ZEP database with the columns the programs use. The upgrade adds those
 * marked; a database that lacks any other is not a ZEP database and is never written.
 */
struct SchemaColumn {
    const char* table;
    const char* column;
    bool upgraded;
};
constexpr SchemaColumn Identification[] = {
    {"", "PIE", false},         {"", "Indice Diag", false}, {"", "Code Fournisseur", false},
    {"", "Hardware", false},    {"", "Software", false},    {"", "Version", false},
    {"", "Calibration", false}, {"", "Réserve", false},     {"", "Homologation", false},
    {"", "IdentValide", false}, {"", "Commentaire", false}, {"", "SupplierHex", true},
};
constexpr SchemaColumn Required[] = {
    {"Fonctions", "Address", false},
    {"Fonctions", "Name", false},
    {"Hardwares", "Ecu Id", false},
    {"Hardwares", "Address", false},
    {"Hardwares", "Nom", false},
    {"Hardwares", "Commentaire", false},
    {"Hardwares", "Code Fournisseur", false},
    {"Hardwares", "InterByteDelay", false},
    {"Hardwares", "ReplyToRequestDelay", false},
    {"Hardwares", "FillPattern", false},
    {"Hardwares", "RepeatPattern", false},
    {"Hardwares", "WriteGranularity", false},
    {"Hardwares", "UploadRL", true},
    {"Hardwares", "IdentificationType", true},
    {"Hardwares", "SupplierHex", true},
    {"Mappings", "Ecu Id", false},
    {"Mappings", "Address", false},
    {"Mappings", "Count", false},
    {"Mappings", "Calibration", false},
    {"Exclusions", "Ecu Id", false},
    {"Exclusions", "ZAddress", false},
    {"Exclusions", "ZCount", false},
    {"Exclusions", "Address", false},
    {"Exclusions", "Count", false},
    {"Exclusions", "Contrôle", false},
    {"Applications", "App Id", false},
    {"Applications", "Ecu Id", false},
    {"Applications", "App Name", false},
    {"Calibrations", "Calib Id", false},
    {"Calibrations", "App Id", false},
    {"Calibrations", "Calib Name", false},
    {"Application Code", "App Id", false},
    {"Application Code", "Address", false},
    {"Application Code", "Bytes", false},
    {"Calibration Data", "Calib Id", false},
    {"Calibration Data", "Address", false},
    {"Calibration Data", "Bytes", false},
    {"Arborescence", "address", false},
    {"Arborescence", "name", false},
    {"Arborescence", "Nom", false},
    {"Arborescence", "Ecu Id", false},
    {"Arborescence", "App Name", false},
    {"Arborescence", "App Id", false},
};

} // namespace

namespace SchemaUpgrade {

std::optional<bool> upgradesNeeded(Connection& db) {
    const auto ascii = [&db](std::string name) {
        // SQLite matches names without regard to the case of ASCII letters
        if (db.engine() == DatabaseEngine::SQLite)
            std::transform(name.begin(), name.end(), name.begin(), [](char c) {
                return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            });
        return name;
    };
    std::set<std::pair<std::string, std::string>> present;
    try {
        std::string table;
        for (const SchemaColumn& required : Required) {
            if (required.table == table)
                continue;
            table = required.table;
            for (const std::string& column : db.columns(table))
                present.emplace(ascii(table), ascii(column));
        }
    } catch (const DatabaseError&) {
        return std::nullopt; // a view over a table that is gone
    }
    bool upgrades = false;
    const auto check = [&](const char* table, const SchemaColumn& column) {
        if (present.count({ascii(table), ascii(column.column)}))
            return true;
        upgrades = upgrades || column.upgraded;
        return column.upgraded;
    };
    for (const SchemaColumn& column : Required)
        if (!check(column.table, column))
            return std::nullopt;
    for (const char* table : {"Applications", "Calibrations"})
        for (const SchemaColumn& column : Identification)
            if (!check(table, column))
                return std::nullopt;
    return upgrades;
}

bool addColumn(Connection& db, const std::string& table, const std::string& column, const QString& type,
               const QVariant& value) {
    const std::vector<std::string> existing = db.columns(table);
    if (std::find(existing.begin(), existing.end(), column) != existing.end())
        return false;
    const QString t = db.quote(QString::fromStdString(table));
    const QString c = db.quote(QString::fromStdString(column));
    db.transaction([&] {
        db.execute(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 ").arg(t, c) +
                   QString(type).replace(QLatin1String("{}"), c));
        db.execute(QStringLiteral("UPDATE %1 SET %2 = ?").arg(t, c), {value});
    });
    return true;
}

// The types are those of the schema files, so that an upgraded database is one made new.
bool AddByteColumn(Connection& db, const std::string& table, const std::string& column, int value) {
    const QString type = db.engine() == DatabaseEngine::PostgreSQL
                             ? QStringLiteral("smallint CHECK ({} BETWEEN 0 AND 255)")
                             : QStringLiteral("INTEGER CHECK ({} BETWEEN 0 AND 255)");
    return addColumn(db, table, column, type, value);
}

bool AddLongColumn(Connection& db, const std::string& table, const std::string& column, int value) {
    const QString type = db.engine() == DatabaseEngine::PostgreSQL
                             ? QStringLiteral("integer")
                             : QStringLiteral("INTEGER CHECK ({} BETWEEN -2147483648 AND 2147483647)");
    return addColumn(db, table, column, type, value);
}

bool AddTextColumn(Connection& db, const std::string& table, const std::string& column,
                   const std::string& value, int length) {
    const QString type = db.engine() == DatabaseEngine::PostgreSQL
                             ? QStringLiteral("char(%1)").arg(length)
                             : QStringLiteral("TEXT CHECK (length({}) <= %1)").arg(length);
    return addColumn(db, table, column, type, QString::fromStdString(value));
}

void FillSupplierHex(Connection& db, const std::string& table) {
    static const std::vector<std::pair<std::string, QString>> keys{
        {"Hardwares", QStringLiteral("Ecu Id")},
        {"Applications", QStringLiteral("App Id")},
        {"Calibrations", QStringLiteral("Calib Id")},
    };
    const auto key = std::find_if(keys.begin(), keys.end(), [&](const auto& k) { return k.first == table; });
    if (key == keys.end())
        throw ZepError(errors::InvalidArgument,
                       tr("database/Messages/noSupplierHex/text", "The table {0} has no SupplierHex", table));
    const QString t = db.quote(QString::fromStdString(table));
    const QString k = db.quote(key->second);

    db.transaction([&] {
        std::vector<std::pair<QVariant, QString>> rows;
        QSqlQuery select = db.execute(QStringLiteral("SELECT %1, [Code Fournisseur] FROM %2").arg(k, t));
        while (select.next())
            rows.emplace_back(select.value(0), select.value(1).toString());
        select.finish();

        const QString update = QStringLiteral("UPDATE %1 SET [SupplierHex] = ? WHERE %2 = ?").arg(t, k);
        for (const auto& [id, code] : rows)
            db.execute(update, {QString::fromStdString(supplierHexOf(code.toStdString())), id});
    });
}

void UpgradeSchema(Connection& db, Interaction* interaction) {
    const auto step = [&](auto&& work) {
        try {
            db.transaction(work);
        } catch (const ZepError&) {
            // The step is undone; the next one runs.
        }
    };
    step([&] { AddByteColumn(db, "Hardwares", "UploadRL", 128); });
    step([&] { AddLongColumn(db, "Hardwares", "IdentificationType", 32768); });
    for (const char* table : {"Hardwares", "Applications", "Calibrations"}) {
        step([&] {
            if (!AddTextColumn(db, table, "SupplierHex", "202020", 6))
                return;
            try {
                FillSupplierHex(db, table);
            } catch (const ZepError& error) {
                if (interaction)
                    interaction->inform(error.description());
                throw;
            }
        });
    }
}

} // namespace SchemaUpgrade

std::string supplierHexOf(const std::string& code) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (const char32_t c : QString::fromStdString(code).toUcs4()) {
        const unsigned byte = c <= 0xFF ? static_cast<unsigned>(c) : static_cast<unsigned>('?');
        hex += digits[byte >> 4];
        hex += digits[byte & 0xF];
        if (hex.size() >= 6)
            break;
    }
    if (hex.size() < 6)
        hex += "202020";
    return hex.substr(0, 6);
}

} // namespace zep
