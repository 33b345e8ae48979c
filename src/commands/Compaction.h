#pragma once

#include <optional>
#include <string>

namespace zep {

class Interaction;

/**
 * Compaction of a local database file into a new file: SQLite's VACUUM INTO, reading the source
 * opened read-only (so a database open elsewhere, this program's windows included, can be
 * compacted). The destination appears only once it is complete: the copy is written beside it under
 * another name, then renamed.
 */
namespace Compaction {

struct Outcome {
    bool succeeded = false;
    /** "DB compact sucess!..." with the destination, or the error text with SQLite's number and message */
    std::string message;
};

/** CompactDatabase: writes the compacted copy of the file source to destination, which must not exist */
Outcome CompactDatabase(const std::string& source, const std::string& destination);

/**
 * The checks before compacting. "*" and "?" in the destination become "/"; a destination equal to
 * the source stops without a message; an existing destination is deleted once the user answers Yes
 * (No stops; a destination that cannot be deleted stops with its error shown). The destination to
 * write, or nullopt when the command stops.
 */
[[nodiscard]] std::optional<std::string> PrepareDestination(const std::string& source,
                                                            std::string destination, Interaction& ui);

/**
 * The compact command without its file dialogs: PrepareDestination, then CompactDatabase, whose
 * message is shown. nullopt when nothing was compacted because the command stopped before.
 */
std::optional<Outcome> Compact(const std::string& source, const std::string& destination, Interaction& ui);

} // namespace Compaction
} // namespace zep
