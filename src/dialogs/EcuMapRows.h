#pragma once

#include "memory/MemRange.h"

#include <vector>

namespace zep {

class ZEPEcu;

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
std::vector<ErasingRow> erasingRows(const ZEPEcu& ecu);

} // namespace zep
