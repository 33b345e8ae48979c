#pragma once

#include "memory/MemMap.h"
#include "memory/MemRange.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zep {

class ZEPEcu;

/**
 * What the memory-map grids of the property dialogs show, without widgets: the cells of a range's
 * row, the ECU's erasing map and the ranges of an image against its write map with their total.
 */
namespace MapRows {

/** the Start, End and Length cells (upper-case hexadecimal, no leading zeros) and the Size (KB) cell */
std::vector<std::string> cells(const MemRange& range);

/** bytes / 1024 in the short kilobyte form: empty below 1, the integer digits when whole, else one decimal */
std::string shortKilobytes(std::uint64_t bytes);

/** bytes / 1024 rounded to the nearest integer, halves to the even one */
std::uint64_t roundedKilobytes(std::uint64_t bytes);

/** How a download treats an address of the ECU's memory. */
enum class Erasing { Tuning, GlobalOnly, Never };

/** One row of the ECU's erasing map: a range of one class, excluded from writing or not. */
struct ErasingRow {
    MemRange range;
    Erasing erasing = Erasing::Never;
    bool excluded = false;

    bool operator==(const ErasingRow&) const = default;
};

/**
 * The span of the ECU's global erase map cut into consecutive rows by erasing class: tuning ranges,
 * ranges only a global download erases, and the gaps no mapping covers ("never"); the excluded parts
 * of the tuning and global-only ranges are rows of their own. Empty without a global erase map.
 */
std::vector<ErasingRow> erasing(const ZEPEcu& ecu);

/**
 * The ranges a tab of the application properties shows, by the tab's key: "Missing" the write ranges
 * the image does not cover, "Exceed" the image's bytes outside the write ranges, any other the image.
 */
MemMap coverage(std::string_view tab, const MemMap& image, const MemMap& write);

/** the localised total under the grid: the byte count of ranges and its rounded kilobytes */
std::string total(const MemMap& ranges);

/** One range of the memory map as the user edits it: a mapping (erased by a global download, and by a
 * tuning download too when it is a tuning range) or an excluded part of one (erased, never written). */
struct MapEntry {
    enum class Kind { Global, Tuning, Exclusion };
    Kind kind = Kind::Global;
    std::uint32_t first = 0;
    std::uint32_t last = 0;

    bool operator==(const MapEntry&) const = default;
};

/** the ECU's mappings, then its exclusions, each in address order */
std::vector<MapEntry> entries(const ZEPEcu& ecu);

/**
 * Why the entries make no memory map, in the user's language: a range that ends before it starts,
 * mappings that overlap, an exclusion outside every mapping or overlapping another one. Nullopt when
 * they make one.
 */
std::optional<std::string> check(const std::vector<MapEntry>& entries);

/** replaces the ECU's maps by the entries (checked first); an exclusion takes its mapping's side */
void apply(const std::vector<MapEntry>& entries, ZEPEcu& ecu);

/** A row of the map editor as the user typed it. */
struct MapEntryText {
    MapEntry::Kind kind = MapEntry::Kind::Global;
    std::string first, last;
};

/** the rows as entries, checked; else why they make no memory map (an address that is none included) */
std::variant<std::vector<MapEntry>, std::string> parse(const std::vector<MapEntryText>& rows);

/** the text of a kind of entry in the editor's list, in the current language */
std::string kindText(MapEntry::Kind kind);

/** an address as typed: hexadecimal digits, with 0x before or H after them or neither */
std::optional<std::uint32_t> parseAddress(std::string_view text);

} // namespace MapRows
} // namespace zep
