#include "MapRows.h"

#include "flash/ZEPEcu.h"
#include "memory/Hex.h"
#include "text/TextCatalog.h"

#include <algorithm>
#include <cstdint>

namespace zep::MapRows {

namespace {

MemRange between(std::uint64_t first, std::uint64_t end) {
    return {static_cast<std::uint32_t>(first), end - first};
}

} // namespace

std::vector<std::string> cells(const MemRange& range) {
    return {hex::number(range.address), hex::number(range.address + range.count - 1),
            hex::number(range.count), shortKilobytes(range.count)};
}

std::string shortKilobytes(std::uint64_t bytes) {
    if (bytes < 1024)
        return {};
    if (bytes % 1024 == 0)
        return std::to_string(bytes / 1024);
    // tenths of a kilobyte, computed on integers so that 1280 bytes are 1.3 and not a binary accident
    const std::uint64_t tenths = (bytes * 10 + 512) / 1024;
    return std::to_string(tenths / 10) + '.' + std::to_string(tenths % 10);
}

std::uint64_t roundedKilobytes(std::uint64_t bytes) {
    const std::uint64_t whole = bytes / 1024;
    const std::uint64_t rest = bytes % 1024;
    if (rest > 512 || (rest == 512 && whole % 2 == 1))
        return whole + 1;
    return whole;
}

std::vector<ErasingRow> erasing(const ZEPEcu& ecu) {
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

MemMap coverage(std::string_view tab, const MemMap& image, const MemMap& write) {
    if (tab == "Missing")
        return write.subtract(image);
    if (tab == "Exceed")
        return image.subtract(write);
    return image;
}

std::string total(const MemMap& ranges) {
    std::uint64_t bytes = 0;
    for (const MemRange& range : ranges)
        bytes += range.count;
    return tr("frmPropAppli/Messages/bytesCount/text", "{0} bytes - {1} KBytes", bytes,
              roundedKilobytes(bytes));
}

} // namespace zep::MapRows
