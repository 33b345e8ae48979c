#pragma once

#include "flash/ZEPEcu.h"

#include <QtGlobal>

namespace zep {

class Connection;

/**
 * New ECUs and the memory maps of existing ones, made by hand in a local database. A central
 * database refuses both, as it refuses the deletion of an ECU. Failures raise ZepError in the user's
 * language and leave the database as it was.
 */
namespace EcuCreation {

/**
 * A new ECU of the function at address: the identification type most of the function's ECUs have
 * (else most of the database's), erased state FF, write granularity 1, requests of 256 bytes, no
 * delays, upload with CRC, no memory map.
 */
ZEPEcu defaults(Connection& db, int address);

/** stores the ECU (its name must not be blank) with its memory map in one transaction; its Ecu Id */
qint64 create(Connection& db, const ZEPEcu& ecu);

/** stores the ECU's parameters and replaces its memory map, in one transaction */
void update(Connection& db, qint64 ecuId, const ZEPEcu& ecu);

} // namespace EcuCreation
} // namespace zep
