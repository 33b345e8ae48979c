#include "MemMap.h"

#include "ZepError.h"

#include <algorithm>
#include <string>

namespace zep {

MemMap::MemMap(std::initializer_list<MemRange> ranges) {
    for (const MemRange& r : ranges)
        add(r);
}

void MemMap::add(std::uint32_t address, std::uint64_t count) {
    if (count == 0)
        return;
    if (address + count > (std::uint64_t{1} << 32))
        throw ZepError(errors::InvalidArgument, "Range of " + std::to_string(count) + " bytes from address " +
                                                    std::to_string(address) +
                                                    " runs past the 32-bit address space");
    if (!ranges_.empty() && address < ranges_.back().address)
        sorted_ = false;
    ranges_.push_back({address, count});
}

void MemMap::clear() {
    ranges_.clear();
    sorted_ = true;
}

void MemMap::sort() const {
    if (sorted_)
        return;
    std::stable_sort(ranges_.begin(), ranges_.end(),
                     [](const MemRange& a, const MemRange& b) { return a.address < b.address; });
    sorted_ = true;
}

const std::vector<MemRange>& MemMap::ranges() const {
    sort();
    return ranges_;
}

const MemRange& MemMap::item(std::size_t index) const {
    if (index < 1 || index > ranges_.size())
        throw ZepError(errors::OutOfRange, "Range " + std::to_string(index) + " is not in the map");
    return ranges()[index - 1];
}

MemMap MemMap::merged() const {
    MemMap out;
    for (const MemRange& r : ranges()) {
        if (!out.ranges_.empty() && r.address <= out.ranges_.back().end()) {
            MemRange& back = out.ranges_.back();
            back.count = std::max(back.end(), r.end()) - back.address;
        } else {
            out.ranges_.push_back(r);
        }
    }
    return out;
}

std::uint64_t MemMap::byteCount() const {
    std::uint64_t total = 0;
    for (const MemRange& r : merged())
        total += r.count;
    return total;
}

MemMap MemMap::subtract(const MemMap& other) const {
    const MemMap cut = other.merged();
    const std::vector<MemRange>& holes = cut.ranges_;
    MemMap out;
    for (const MemRange& r : ranges()) {
        std::uint64_t from = r.address;
        const std::uint64_t end = r.end();
        // first hole that ends after the range starts
        auto h = std::upper_bound(holes.begin(), holes.end(), from,
                                  [](std::uint64_t a, const MemRange& hole) { return a < hole.end(); });
        for (; h != holes.end() && h->address < end && from < end; ++h) {
            if (h->address > from)
                out.ranges_.push_back({static_cast<std::uint32_t>(from), h->address - from});
            from = std::max(from, h->end());
        }
        if (from < end)
            out.ranges_.push_back({static_cast<std::uint32_t>(from), end - from});
    }
    out.sorted_ = std::is_sorted(out.ranges_.begin(), out.ranges_.end(),
                                 [](const MemRange& a, const MemRange& b) { return a.address < b.address; });
    return out;
}

} // namespace zep
