#pragma once

#include <QtGlobal>

#include <string>

namespace zep {

class Connection;
class Interaction;

/**
 * Copies between two databases (or within one): the rows an item is made of are read from the
 * source connection and written to the target connection byte for byte, keeping image rows'
 * addresses and sizes and the source's identification, IdentValide included. Each copy writes all
 * its rows in one transaction on the target, so a failure leaves the target as it was; failures
 * raise ZepError (DatabaseError for the engines' own).
 */
namespace Copy {

/** what a copy made: the key of the new item (of the function for a function) and whether the tree must be
 * rebuilt */
struct Copied {
    std::string key;
    bool rebuildTree = false;
};

/**
 * Adds the Fonctions row of address to the target when the target has none, and says whether it did
 * (the tree must then be rebuilt). An existing function is left unchanged. A central target is
 * refused: functions are only made in local databases.
 */
bool CopyFunction(Connection& source, int address, Connection& target);

/** CopyEcu: a new Hardwares row with the source ECU's twelve parameters, mappings and exclusions; its Ecu Id
 */
qint64 CopyEcu(Connection& source, qint64 sourceEcuId, Connection& target);

/** a new application under targetEcuId with the source's fourteen fields and code rows; its App Id */
qint64 CopyApplication(Connection& source, qint64 sourceAppId, Connection& target, qint64 targetEcuId,
                       Interaction* ui = nullptr);

/** a new tuning under targetAppId with the source's fourteen fields and data rows; its Calib Id */
qint64 CopyTuning(Connection& source, qint64 sourceCalibId, Connection& target, qint64 targetAppId,
                  Interaction* ui = nullptr);

enum class Update { Done, NotCorrespondingFunction, NotCorrespondingEcuName, Cancelled };

/**
 * UpdateEcuParameters: replaces the twelve parameters, mappings and exclusions of the target ECU by
 * the source ECU's; its applications stay. Refused, with a message through ui, when targetSelection
 * (the key of the target tree's selected node) is not the source ECU's function, or when the two ECUs'
 * names differ; the user confirms with OK or Cancel. Refusals and Cancel change nothing.
 */
Update UpdateEcuParameters(Connection& source, qint64 sourceEcuId, Connection& target, qint64 targetEcuId,
                           const std::string& targetSelection, Interaction& ui);

/**
 * The drop of a dragged item on the empty part of the target's list: the copy that the dragged kind
 * and the target's selected node call for (a function into the root, an ECU into its own function,
 * an application into an ECU, a tuning into an application). Other combinations, a function into a
 * central database, and functions or ECUs copied onto their own connection are refused with ZepError
 * and change nothing.
 */
Copied CopyInto(Connection& source, const std::string& draggedKey, Connection& target,
                const std::string& targetSelection, Interaction* ui = nullptr);

} // namespace Copy
} // namespace zep
