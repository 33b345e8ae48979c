#include "EcuMapRows.h"

#include "flash/ZEPEcu.h"

#include <algorithm>
#include <cstdint>

namespace zep {

namespace {

MemRange between(std::uint64_t first, std::uint64_t end) {
    return {static_cast<std::uint32_t>(first), end - first};
}

} // namespace

std::vector<ErasingRow> erasingRows(const ZEPEcu& ecu) {
    std::vector<ErasingRow> rows;
    const MemMap& global = ecu.EraseMap(false);
    if (global.empty())
        return rows;
    const MemMap tuningRanges = ecu.EraseMap(true);
    const MemMap globalOnly = global.subtract(tuningRanges);
    const MemMap tuningWrite = ecu.WriteMap(true);
    const MemMap globalWrite = ecu.WriteMap(false);

    // c: the first address not shown yet; 64 bits, since a range may end at the top of the space
    std::uint64_t c = global.ranges().front().address;
    auto t = tuningRanges.begin();
    auto g = globalOnly.begin();
    while (t != tuningRanges.end() || g != globalOnly.end()) {
        const bool isTuning = g == globalOnly.end() || (t != tuningRanges.end() && t->address <= g->address);
        const MemRange range = isTuning ? *t++ : *g++;
        const Erasing erasing = isTuning ? Erasing::Tuning : Erasing::GlobalOnly;
        if (range.end() <= c)
            continue; // overlapping mappings: already shown
        if (c < range.address)
            rows.push_back({between(c, range.address), Erasing::Never, false});
        std::uint64_t p = std::max<std::uint64_t>(c, range.address);
        const MemMap excluded =
            MemMap{between(p, range.end())}.subtract(isTuning ? tuningWrite : globalWrite).merged();
        for (const MemRange& part : excluded) {
            if (p < part.address)
                rows.push_back({between(p, part.address), erasing, false});
            rows.push_back({part, erasing, true});
            p = part.end();
        }
        if (p < range.end())
            rows.push_back({between(p, range.end()), erasing, false});
        c = range.end();
    }
    return rows;
}

} // namespace zep
