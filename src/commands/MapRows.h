#pragma once

#include "memory/MemMap.h"
#include "memory/MemRange.h"

#include <cstdint>
#include <string>
#include <string_view>
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

} // namespace MapRows
} // namespace zep
