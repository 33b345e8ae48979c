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

std::vector<MapEntry> entries(const ZEPEcu& ecu) {
    std::vector<MapEntry> list;
    const auto add = [&](const MemMap& map, MapEntry::Kind kind) {
        for (const MemRange& range : map)
            list.push_back({kind, range.address, range.last()});
    };
    add(ecu.GlobalMap(), MapEntry::Kind::Global);
    const MemMap tuning = ecu.TuningMap();
    for (MapEntry& entry : list)
        for (const MemRange& range : tuning)
            if (range.address == entry.first && range.last() == entry.last)
                entry.kind = MapEntry::Kind::Tuning;
    add(ecu.GlobalExclusions(), MapEntry::Kind::Exclusion);
    return list;
}

namespace {

std::string rangeText(const MapEntry& entry) {
    return hex::number(entry.first) + "-" + hex::number(entry.last);
}

/** the mapping that holds the exclusion whole, or null */
const MapEntry* owner(const std::vector<MapEntry>& entries, const MapEntry& exclusion) {
    for (const MapEntry& entry : entries)
        if (entry.kind != MapEntry::Kind::Exclusion && entry.first <= exclusion.first &&
            exclusion.last <= entry.last)
            return &entry;
    return nullptr;
}

} // namespace

std::optional<std::string> check(const std::vector<MapEntry>& entries) {
    for (const MapEntry& entry : entries)
        if (entry.first > entry.last)
            return tr("frmPropEcu/Messages/mapInverted/text",
                      "The range {0} ends before it starts: give an end at or after its start.",
                      rangeText(entry));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const MapEntry& a = entries[i];
        if (a.kind == MapEntry::Kind::Exclusion && !owner(entries, a))
            return tr("frmPropEcu/Messages/mapExclusionOutside/text",
                      "The excluded range {0} lies outside every mapping: an exclusion must lie inside one "
                      "mapping.",
                      rangeText(a));
        for (std::size_t j = i + 1; j < entries.size(); ++j) {
            const MapEntry& b = entries[j];
            const bool sameSide =
                (a.kind == MapEntry::Kind::Exclusion) == (b.kind == MapEntry::Kind::Exclusion);
            if (sameSide && a.first <= b.last && b.first <= a.last)
                return tr("frmPropEcu/Messages/mapOverlap/text",
                          "The ranges {0} and {1} overlap: an address belongs to one mapping and one "
                          "exclusion at most.",
                          rangeText(a), rangeText(b));
        }
    }
    return std::nullopt;
}

void apply(const std::vector<MapEntry>& entries, ZEPEcu& ecu) {
    ecu.clearMaps();
    std::vector<MapEntry> sorted = entries;
    std::sort(sorted.begin(), sorted.end(),
              [](const MapEntry& a, const MapEntry& b) { return a.first < b.first; });
    for (const MapEntry& entry : sorted) {
        if (entry.first > entry.last)
            continue; // refused by check
        const std::uint64_t count = std::uint64_t{entry.last} - entry.first + 1;
        if (entry.kind != MapEntry::Kind::Exclusion)
            ecu.addMapping(entry.first, count, entry.kind == MapEntry::Kind::Tuning);
        else if (const MapEntry* mapping = owner(sorted, entry))
            ecu.addExclusion(entry.first, count, mapping->kind == MapEntry::Kind::Tuning);
    }
}

std::optional<std::uint32_t> parseAddress(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    else if (text.size() > 1 && (text.back() == 'H' || text.back() == 'h'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : text) {
        const int digit = hex::digitValue(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::variant<std::vector<MapEntry>, std::string> parse(const std::vector<MapEntryText>& rows) {
    std::vector<MapEntry> list;
    for (const MapEntryText& row : rows) {
        MapEntry entry{row.kind};
        for (const auto& [text, address] : {std::pair{&row.first, &entry.first}, {&row.last, &entry.last}}) {
            const auto value = parseAddress(*text);
            if (!value)
                return tr("frmPropEcu/Messages/mapAddress/text",
                          "\"{0}\" is no address: type up to 8 hexadecimal digits.", *text);
            *address = *value;
        }
        list.push_back(entry);
    }
    if (auto wrong = check(list))
        return std::move(*wrong);
    return list;
}

std::string kindText(MapEntry::Kind kind) {
    switch (kind) {
    case MapEntry::Kind::Tuning:
        return tr("frmPropEcu/Messages/tuning/text", "tuning");
    case MapEntry::Kind::Exclusion:
        return tr("frmPropEcu/Messages/mapKindExclusion/text", "excluded");
    case MapEntry::Kind::Global:
        break;
    }
    return tr("frmPropEcu/Messages/mapKindGlobal/text", "global");
}

} // namespace zep::MapRows
