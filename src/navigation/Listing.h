#pragma once

#include <QSqlRecord>

#include <optional>
#include <string>
#include <vector>

namespace zep {

class Connection;
class EcuApplication;
class TreeNode;
class TreeSource;
class ZEPEcu;

/** One column of the list in details view. */
struct ListColumn {
    const char* key;
    const char* textKey;
    const char* defaultText;

    /** the header text in the current language */
    std::string text() const;
};

/** One item of the list: its first column is text, the further columns subItems. */
struct ListRow {
    std::string key;
    std::string text;
    /** "function", "ecu", "application" or "tuning" */
    std::string icon;
    std::vector<std::string> subItems;
    /** shown while the pointer rests on the item */
    std::string tag;
};

/**
 * The list of one level: the children of a tree node, as rows of display texts. Listing is forgiving:
 * a query that fails ends it with the rows found so far and its description in error.
 */
struct Listing {
    /** 1 functions (the root's children), 2 ECUs of a function, 3 applications of an ECU, 4 tunings of an
     * application; 0 for a key that lists nothing */
    int level = 0;
    /** the node listed */
    std::string nodeKey;
    std::vector<ListRow> rows;
    /** the ECU or application nodes the tree lacked and got while listing, for the view to mirror */
    std::vector<const TreeNode*> added;
    std::optional<std::string> error;

    /**
     * Lists the children of the node of key ("r", "g" + address, "h" + Ecu Id, "a" + App Id). The
     * ECUs and applications listed that the tree lacks are added to it.
     */
    static Listing of(Connection& db, TreeSource& tree, const std::string& key);
    /** the functions: the root's children in tree order */
    static Listing functions(const TreeSource& tree);

    /** "{0} items", or "{0} item" for 0 or 1 */
    std::string countText() const;
};

/** the columns of a level (1 to 4; any other level has none) */
const std::vector<ListColumn>& listColumns(int level);
/** the function columns of the listing that follows a tree build: the same texts, other keys */
const std::vector<ListColumn>& treeBuildColumns();

/** the item count text for count items */
std::string itemCountText(std::size_t count);
/** "yes" or "no" in the current language */
std::string yesNoText(bool value);

/** an ECU item with its parameters as sub-items */
ListRow ecuRow(const ZEPEcu& ecu, qint64 ecuId);
std::vector<std::string> ecuSubItems(const ZEPEcu& ecu);

/** items of rows of Applications and Calibrations; identificationType is the ECU's */
ListRow applicationRow(const QSqlRecord& row, int identificationType);
/** the image the application itself carries, listed among its tunings */
ListRow defaultTuningRow(const QSqlRecord& row, int identificationType);
ListRow tuningRow(const QSqlRecord& row, int identificationType);
std::vector<std::string> identificationSubItems(const QSqlRecord& row, int identificationType);
/** the same sub-items from a record whose identification has just changed */
std::vector<std::string> identificationSubItems(const EcuApplication& app, bool checked);

/**
 * Identification types whose codes are held as hexadecimal text of characters: the supplier text
 * and the part number text turn such digits into characters. Text that cannot be read so, or whose
 * digits code a character that cannot be shown (a control character, as in an all-zero code), is shown
 * as it is.
 */
std::string supplierText(const std::string& hex, int identificationType);
std::string partNumberText(const std::string& hex, int identificationType);

} // namespace zep
