#pragma once

#include "flash/ZEPEcu.h"

#include <QSqlRecord>

namespace zep {

class Connection;

/**
 * ECU records in the database: one Hardwares row with the ECU's Mappings and Exclusions rows.
 * Failures raise DatabaseError (or ZepError 1000 for an ECU that does not exist).
 */
namespace EcuStore {

/** ReadFrom: the record gets the row's values and its maps are rebuilt from the memory map rows */
void ReadFrom(Connection& db, const QSqlRecord& row, ZEPEcu& ecu);
/** reads "select * from Hardwares where [Ecu Id]=id" into ecu */
void Read(Connection& db, qint64 ecuId, ZEPEcu& ecu);
ZEPEcu Read(Connection& db, qint64 ecuId);

/** WriteTo a new Hardwares row; the new Ecu Id */
qint64 Insert(Connection& db, const ZEPEcu& ecu);
/** WriteTo the existing row ecuId (its twelve parameter columns) */
void Update(Connection& db, qint64 ecuId, const ZEPEcu& ecu);

/**
 * Copies the Mappings and Exclusions rows of one ECU to another one, possibly of another database,
 * row for row.
 */
void CopyMemoryMap(Connection& source, qint64 sourceEcuId, Connection& target, qint64 targetEcuId);

} // namespace EcuStore
} // namespace zep
