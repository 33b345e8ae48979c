#include "MemImage.h"

#include "ZepError.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <set>
#include <stdexcept>
#include <string>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace zep {

void MemImage::add(const MemBlock& block) {
    if (block.first() < 0 || block.first() > std::numeric_limits<std::uint32_t>::max())
        throw ZepError(errors::InvalidArgument, "Block address " + std::to_string(block.first()) +
                                                    " is outside the 32-bit address space");
    add(static_cast<std::uint32_t>(block.first()), block.bytes());
}

void MemImage::add(std::uint32_t first, std::span<const std::uint8_t> bytes) {
    if (bytes.empty())
        return;
    if (std::uint64_t{first} + bytes.size() > (std::uint64_t{1} << 32))
        throw ZepError(errors::InvalidArgument, "Block of " + std::to_string(bytes.size()) +
                                                    " bytes at address " + std::to_string(first) +
                                                    " runs past the 32-bit address space");
    const std::size_t offset = pool_.size();
    const bool fromPool =
        !pool_.empty() && bytes.data() >= pool_.data() && bytes.data() < pool_.data() + pool_.size();
    if (fromPool) {
        // the bytes of one of this image's own blocks: inserting would move them under our feet
        const std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
        pool_.insert(pool_.end(), copy.begin(), copy.end());
    } else {
        pool_.insert(pool_.end(), bytes.begin(), bytes.end());
    }
    if (resolved_ && !runs_.empty() && runs_.back().end() > first)
        resolved_ = false;
    append(runs_, {first, static_cast<std::uint32_t>(bytes.size()), offset});
}

void MemImage::append(std::vector<Run>& runs, const Segment& block) {
    if (!runs.empty()) {
        Run& back = runs.back();
        if (back.length == block.length && back.end() == block.first &&
            back.offset + std::size_t{back.length} * back.count == block.offset) {
            ++back.count;
            return;
        }
    }
    const std::size_t index = runs.empty() ? 0 : runs.back().index + runs.back().count;
    runs.push_back({block.first, block.length, 1, block.offset, index});
}

void MemImage::clear() {
    pool_.clear();
    runs_.clear();
    resolved_ = true;
}

namespace {
/** asks for huge pages where the system lets a program choose: fresh memory costs less in 2 MiB pages */
void preferHugePages([[maybe_unused]] const void* data, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t huge = std::uintptr_t{1} << 21;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + huge - 1) & ~(huge - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(huge - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}
} // namespace

void MemImage::reserve(std::size_t bytes, std::size_t blocks) {
    pool_.reserve(bytes);
    runs_.reserve(std::min<std::size_t>(blocks, 1024)); // blocks of one length mostly share a run
    preferHugePages(pool_.data(), pool_.capacity());
}

// Later segments win where segments overlap. A sweep over the segment boundaries keeps, between two
// boundaries, the latest segment that covers them; pieces of one segment that stay contiguous stay
// one block.
void MemImage::resolve() const {
    if (resolved_)
        return;
    std::vector<Segment> segments;
    for (const Run& r : runs_)
        for (std::size_t k = 0; k < r.count; ++k)
            segments.push_back({static_cast<std::uint32_t>(r.first + std::uint64_t{r.length} * k), r.length,
                                r.offset + std::size_t{r.length} * k});
    struct Event {
        std::uint64_t at;
        std::size_t segment; // index in segments, which is also the order of adding
        bool start;
    };
    std::vector<Event> events;
    events.reserve(segments.size() * 2);
    for (std::size_t i = 0; i < segments.size(); ++i) {
        events.push_back({segments[i].first, i, true});
        events.push_back({std::uint64_t{segments[i].first} + segments[i].length, i, false});
    }
    std::sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.at < b.at; });

    std::vector<Segment> out;
    out.reserve(segments.size());
    std::set<std::size_t> active;
    std::size_t e = 0;
    while (e < events.size()) {
        const std::uint64_t at = events[e].at;
        for (; e < events.size() && events[e].at == at; ++e) {
            if (events[e].start)
                active.insert(events[e].segment);
            else
                active.erase(events[e].segment);
        }
        if (active.empty() || e == events.size())
            continue;
        const std::uint64_t next = events[e].at;
        const std::size_t top = *active.rbegin();
        const Segment& s = segments[top];
        const std::size_t offset = s.offset + static_cast<std::size_t>(at - s.first);
        Segment* back = out.empty() ? nullptr : &out.back();
        if (back && back->offset + back->length == offset &&
            std::uint64_t{back->first} + back->length == at && offset > s.offset)
            back->length += static_cast<std::uint32_t>(next - at);
        else
            out.push_back({static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(next - at), offset});
    }
    runs_.clear();
    for (const Segment& segment : out)
        append(runs_, segment);
    resolved_ = true;
}

std::size_t MemImage::count() const {
    resolve();
    return runs_.empty() ? 0 : runs_.back().index + runs_.back().count;
}

std::uint64_t MemImage::byteCount() const {
    resolve();
    std::uint64_t total = 0;
    for (const Run& r : runs_)
        total += std::uint64_t{r.length} * r.count;
    return total;
}

ImageBlock MemImage::operator[](std::size_t index) const {
    if (index >= count())
        throw std::out_of_range("MemImage: block " + std::to_string(index) + " of " +
                                std::to_string(count()));
    const auto run = std::prev(std::upper_bound(runs_.begin(), runs_.end(), index,
                                                [](std::size_t i, const Run& r) { return i < r.index; }));
    const std::size_t k = index - run->index;
    return {static_cast<std::uint32_t>(run->first + std::uint64_t{run->length} * k),
            {pool_.data() + run->offset + std::size_t{run->length} * k, run->length}};
}

MemBlock MemImage::item(std::size_t index) const {
    if (index < 1 || index > count())
        throw ZepError(errors::OutOfRange, "Block " + std::to_string(index) + " is not in the image");
    const ImageBlock b = (*this)[index - 1];
    return MemBlock(b.first, b.bytes);
}

MemMap MemImage::map() const {
    resolve();
    MemMap out;
    std::uint64_t runStart = 0, runEnd = 0;
    bool open = false;
    for (const Run& s : runs_) {
        if (open && s.first == runEnd) {
            runEnd = s.end();
            continue;
        }
        if (open)
            out.add(static_cast<std::uint32_t>(runStart), runEnd - runStart);
        runStart = s.first;
        runEnd = s.end();
        open = true;
    }
    if (open)
        out.add(static_cast<std::uint32_t>(runStart), runEnd - runStart);
    return out;
}

MemBlock MemImage::extract(std::uint32_t address, std::uint64_t count) const {
    resolve();
    if (count > std::numeric_limits<std::uint32_t>::max())
        throw ZepError(errors::InvalidArgument, "Cannot extract " + std::to_string(count) + " bytes at once");
    MemBlock out(static_cast<std::size_t>(count));
    out.setFirst(address);
    const std::uint64_t end = std::uint64_t{address} + count;
    // A run's blocks follow each other in addresses and in the pool: a run copies as one piece.
    auto it = std::upper_bound(runs_.begin(), runs_.end(), std::uint64_t{address},
                               [](std::uint64_t a, const Run& r) { return a < r.end(); });
    std::uint8_t* dst = out.bytes().data();
    for (; it != runs_.end() && it->first < end; ++it) {
        const std::uint64_t from = std::max<std::uint64_t>(it->first, address);
        const std::uint64_t to = std::min<std::uint64_t>(it->end(), end);
        std::memcpy(dst + (from - address), pool_.data() + it->offset + (from - it->first), to - from);
    }
    return out;
}

bool MemImage::operator==(const MemImage& other) const {
    const std::size_t n = count();
    if (n != other.count())
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        const ImageBlock a = (*this)[i], b = other[i];
        if (a.first != b.first || !std::ranges::equal(a.bytes, b.bytes))
            return false;
    }
    return true;
}

bool MemImage::sameContent(const MemImage& other) const {
    if (!(map() == other.map()))
        return false;
    for (const MemRange& r : map())
        if (!(extract(r.address, r.count) == other.extract(r.address, r.count)))
            return false;
    return true;
}

} // namespace zep
