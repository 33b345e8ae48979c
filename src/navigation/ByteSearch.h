#pragma once

#include "memory/MemImage.h"
#include "navigation/ItemSearch.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace zep {

class Connection;

/** Bytes looked for in the images of applications and tunings. */
struct ByteQuery {
    std::vector<std::uint8_t> bytes;
    /** only where the bytes start at this address */
    std::optional<std::uint32_t> at;
    /** which items: kinds ("a", "c" or both; others are ignored), function and checked state; not text */
    SearchQuery items;
};

namespace ByteSearch {

/**
 * told how many items have been looked through, of how many; false stops the search, which then
 * returns what it found so far
 */
using Progress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

/**
 * The applications and tunings whose own image holds the bytes (a tuning: its own rows, not the
 * application's under them), each with the first address they were found at in its "found in" column.
 * Bytes spanning adjacent blocks are found too.
 */
SearchResult find(Connection& db, const ByteQuery& query, const Progress& progress = {});

/** the first address at or after from where the image's bytes hold pattern */
std::optional<std::uint32_t> firstAddress(const MemImage& image, const std::vector<std::uint8_t>& pattern,
                                          std::optional<std::uint32_t> at = std::nullopt);

/** "0x0A 0x1b", "0A1B", "0a 1b": the bytes; nullopt for anything else, or no digits */
std::optional<std::vector<std::uint8_t>> parseHexBytes(const std::string& text);

} // namespace ByteSearch
} // namespace zep
