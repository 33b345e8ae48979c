#pragma once

#include "database/ItemKey.h"

#include <optional>
#include <string>

namespace zep {

class Connection;
class Interaction;

/** What an Open added, so that the views can show it. */
struct OpenResult {
    /** the new application: the file's, or the dummy one made for a tuning opened under an ECU */
    std::optional<ItemKey> application;
    std::optional<ItemKey> tuning;
    /** Ecu Id of the ECU the items belong to */
    qint64 ecuId = 0;

    bool opened() const { return application || tuning; }
};

/**
 * Opens a flash file (S-record, KWP or H86, told by its content) as a new application or tuning of the
 * ECU ecuId; a tuning goes under the application `application` when one is given, else under a dummy
 * application named after the file. The ECU parameters the file carries are compared with the stored
 * ones and every difference is warned about; the stored ECU never changes. Every message and question
 * goes through ui. Nothing is written when the file is refused; what is written is written in one
 * transaction, so a failure leaves the database as it was (and is shown as a critical message).
 */
OpenResult OpenFlashFile(Connection& db, qint64 ecuId, std::optional<qint64> application,
                         const std::string& path, Interaction& ui);

/** the longest file title (file name without folder) a new application or tuning may have */
inline constexpr int MaxFileTitleLength = 49;

} // namespace zep
