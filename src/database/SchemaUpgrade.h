#pragma once

#include <optional>
#include <string>

namespace zep {

class Connection;
class Interaction;

/**
 * What a database must hold to be a ZEP database, and the upgrade of a local one made by an older
 * version: UploadRL, IdentificationType and SupplierHex, added where they are missing.
 */
namespace SchemaUpgrade {

/**
 * Looks at the schema without a transaction: nullopt when a table, view or column of a ZEP database is
 * missing (the upgraded columns aside), else whether the upgrade has columns to add.
 */
[[nodiscard]] std::optional<bool> upgradesNeeded(Connection& db);

// Each Add...Column returns false when the table already has a column of exactly that name; otherwise
// it adds it (nullable) and sets every row to value. The types are those of the schema files.
bool AddByteColumn(Connection& db, const std::string& table, const std::string& column, int value);
bool AddLongColumn(Connection& db, const std::string& table, const std::string& column, int value);
bool AddTextColumn(Connection& db, const std::string& table, const std::string& column,
                   const std::string& value, int length);
/** sets SupplierHex of every row of Hardwares, Applications or Calibrations from "Code Fournisseur" */
void FillSupplierHex(Connection& db, const std::string& table);
/**
 * Adds what is missing, each column in its own transaction: a failing step is undone and skipped, and
 * the next one runs; a failing fill is shown through interaction.
 */
void UpgradeSchema(Connection& db, Interaction* interaction);

} // namespace SchemaUpgrade

/** the SupplierHex of a supplier code: two hexadecimal digits per character (Latin-1, else "?"), padded with
 * "20", 6 digits */
std::string supplierHexOf(const std::string& code);

} // namespace zep
