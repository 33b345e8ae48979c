#pragma once

#include "database/ItemKey.h"
#include "flash/EcuApplication.h"

#include <QSqlRecord>

#include <optional>
#include <string>

namespace zep {

class Connection;
class Interaction;

/**
 * Applications and tunings in the database: a row of Applications or Calibrations with its
 * identification, and image rows in [Application Code] or [Calibration Data], one row per block.
 * Failures raise DatabaseError, or ZepError 1000 for an item that does not exist.
 */
namespace ImageStore {

enum class Owner { Application, Tuning };

/** the names of the tables and columns of one kind of item */
struct ItemTables {
    const char* items; // Applications or Calibrations
    const char* id;    // its counter
    const char* owner; // the column naming its owner
    const char* name;  // App Name or Calib Name
    const char* rows;  // the image rows' table
};
const ItemTables& TablesOf(Owner owner);

/**
 * ReadFrom: the identification properties from a row of Applications or Calibrations. A Null or blank
 * column leaves the record's default (Homologation: a Null one only); a hexadecimal column holding
 * anything else than its digits raises ZepError.
 */
void ReadFrom(const QSqlRecord& row, EcuApplication& app);

/**
 * The item of key "a.." or "c.." with its Ecu and image. A tuning with tuningOnly false is the
 * global image: the application's blocks, then the tuning's written over them. Any other kind of key
 * gives a new record. checked receives IdentValide.
 */
EcuApplication Download(Connection& db, const std::string& key, bool tuningOnly, bool* checked = nullptr,
                        Interaction* ui = nullptr);

/** marks the identification of the item as checked */
void Marquage(Connection& db, const std::string& key);
/** stores the identification of app into the item and marks it checked */
void UpdateIdent(Connection& db, const std::string& key, const EcuApplication& app);

/**
 * stores the comment (an empty one as one blank, as the column has always held) and the approval
 * number of the item, together
 */
void UpdateComment(Connection& db, const std::string& key, const std::string& comment,
                   const std::string& homologation);

/** the fields of a new Applications or Calibrations row besides its owner */
struct NewItem {
    std::string name;
    bool identValide = false;
    std::optional<std::string> commentaire = std::string();
};

/** adds an Applications row (owner = Ecu Id) or a Calibrations row (owner = App Id); its new id */
qint64 AddItemRow(Connection& db, Owner owner, qint64 ownerId, const NewItem& item,
                  const EcuApplication& app);

/** one row per block of image, in its order; progress is reported when a ui is given */
void StoreImageRows(Connection& db, Owner owner, qint64 ownerId, const MemImage& image,
                    Interaction* ui = nullptr);
/** every row of the item into image, by add or by write */
/** ui, when given, hears how far the load is (the rows are counted first) */
void LoadImageRows(Connection& db, Owner owner, qint64 ownerId, MemImage& image, bool write,
                   Interaction* ui = nullptr);

} // namespace ImageStore
} // namespace zep
