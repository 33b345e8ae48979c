#pragma once

#include <string>

namespace zep {

class Connection;
class Interaction;
class TreeSource;

/**
 * Deleting and renaming the items of the tree and the list. Each change is one statement in its own
 * transaction, with the name as a bound value (quotes and accents are stored as typed). A failing
 * statement leaves the database as it was and raises DatabaseError; the tree then does not change.
 * Dependent rows go with their parent by the schema's cascades.
 */
namespace ItemEdit {

/**
 * DeleteItem: deletes the function, ECU, application or tuning of key after asking the user (name
 * fills the question). A central database refuses ECUs (with a message) and functions (without one).
 * On success the item's tree node goes too, when tree is given. True when a row was deleted.
 */
bool DeleteItem(Connection& db, const std::string& key, const std::string& name, Interaction& interaction,
                TreeSource* tree = nullptr);

/** What a label edit came to. */
struct Rename {
    /** the edit is undone and the old label stays: the new text was blank */
    bool cancel = false;
    /** the new name was stored */
    bool stored = false;
    /** the name as stored: the new text without its leading and trailing blanks */
    std::string text;
    /** the tree node whose text changed with it, empty when none */
    std::string treeKey;
};

/**
 * A label edited in the list. level is what the list shows (the selection path's length): 2 ECUs,
 * 3 applications, 4 tunings; at other levels nothing is stored and the edit stands. Renaming an ECU
 * or an application renames its tree node too (tree, when given, is changed).
 */
Rename renameListItem(Connection& db, int level, const std::string& key, const std::string& newText,
                      TreeSource* tree = nullptr);

/** A label edited in the tree: the node's level is 3 for an ECU, 4 for an application; others store nothing.
 */
Rename renameTreeNode(Connection& db, int level, const std::string& key, const std::string& newText,
                      TreeSource* tree = nullptr);

} // namespace ItemEdit
} // namespace zep
