#pragma once

#include "navigation/Listing.h"

#include <optional>
#include <string>
#include <vector>

namespace zep {

class Connection;

/** What the user looks for. */
struct SearchQuery {
    /** a part of a name, identification code, approval number, comment or address; empty: any item */
    std::string text;
    /** the kinds of items wanted, as key letters ("g", "h", "a", "c" in any order); empty: every kind */
    std::string kinds;
    /** only the items of the function at this address */
    std::optional<int> function;
    /** only the applications and tunings whose identification is checked (true) or not (false) */
    std::optional<bool> checked;
    /** the most items returned */
    std::size_t limit = 500;
};

/** One item found, as the search list shows it, with the way to it in the tree. */
struct SearchHit {
    /** key, name and icon of the item; sub-items: its path, and the column where the text was found */
    ListRow row;
    /** the keys of the tree nodes above it, from its function down ("g7", "h3", "a12") */
    std::vector<std::string> pathKeys;

    /** the texts of the nodes above it joined by "\" */
    const std::string& path() const { return row.subItems[0]; }
};

struct SearchResult {
    /** functions, then ECUs, applications and tunings */
    std::vector<SearchHit> hits;
    /** more items match than the limit let through */
    bool more = false;
};

/**
 * The search of a database: items of every kind whose texts, in the forms the list shows them,
 * contain the query's text, whatever the case. Applications and tunings are found through the search
 * indexes (SearchIndex) where there are some.
 */
namespace ItemSearch {

/** raises DatabaseError when the database cannot be read */
SearchResult find(Connection& db, const SearchQuery& query);

/** the list's columns for search results: Name, Path, Found in */
const std::vector<ListColumn>& columns();

/** the listing the list shows for a result: its level is Level */
Listing listing(const SearchResult& result);
constexpr int Level = 5;

/** "{0} items found", with a hint to narrow the search when there are more */
std::string countText(const SearchResult& result);

} // namespace ItemSearch
} // namespace zep
