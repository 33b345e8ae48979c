#pragma once

#include "MemRange.h"

#include <cstddef>
#include <vector>

namespace zep {

/**
 * An ordered set of address ranges. Ranges are kept as added (adjacent ones are not merged, so a map
 * lists its mappings one by one) and enumerate in ascending address order, in the order of adding for
 * equal addresses.
 */
class MemMap {
public:
    MemMap() = default;
    MemMap(std::initializer_list<MemRange> ranges);

    /** a range of 0 bytes is not added */
    void add(std::uint32_t address, std::uint64_t count);
    void add(const MemRange& range) { add(range.address, range.count); }
    void clear();

    std::size_t count() const { return ranges_.size(); }
    bool empty() const { return ranges_.empty(); }
    /** 1-based */
    const MemRange& item(std::size_t index) const;
    const std::vector<MemRange>& ranges() const;
    auto begin() const { return ranges().begin(); }
    auto end() const { return ranges().end(); }

    /** the addresses of this map that are not in other; a range is split around an excluded middle */
    MemMap subtract(const MemMap& other) const;
    /** the covered addresses as disjoint ranges, adjacent ones merged */
    MemMap merged() const;
    /** number of addresses covered, each counted once */
    std::uint64_t byteCount() const;

    bool operator==(const MemMap& other) const { return ranges() == other.ranges(); }

private:
    void sort() const;

    mutable std::vector<MemRange> ranges_;
    mutable bool sorted_ = true;
};

} // namespace zep
