#include "HexRows.h"

#include "memory/Hex.h"

#include <algorithm>
#include <functional>

namespace zep {

namespace {
constexpr std::uint64_t lineOf(std::uint64_t address) {
    return address / HexRows::Width * HexRows::Width;
}
} // namespace

HexRows::HexRows(const MemMap& covered) {
    std::uint64_t lastEnd = 0; // one past the last covered address so far
    for (const MemRange& r : covered.merged()) {
        const std::uint64_t first = lineOf(r.address), lastLine = lineOf(r.end() - 1);
        if (!stretches_.empty()) {
            Stretch& s = stretches_.back();
            const std::uint64_t end = s.first + s.lines * Width;
            // no whole row between: the same stretch goes on, the bytes between are blank cells
            if (first <= end) {
                s.lines = std::max(end, lastLine + Width) / Width - s.first / Width;
                lastEnd = r.end();
                continue;
            }
        }
        // a stretch after another stands behind its gap row
        const std::size_t row = stretches_.empty() ? 0 : stretches_.back().row + stretches_.back().lines + 1;
        const std::uint64_t gap = stretches_.empty() ? 0 : r.address - lastEnd;
        stretches_.push_back({first, (lastLine - first) / Width + 1, row, gap, lastEnd});
        lastEnd = r.end();
    }
    if (!stretches_.empty())
        count_ = stretches_.back().row + stretches_.back().lines;
}

HexRows::Row HexRows::row(std::size_t index) const {
    auto it = std::upper_bound(stretches_.begin(), stretches_.end(), index,
                               [](std::size_t i, const Stretch& s) { return i < s.row; });
    if (it == stretches_.begin())
        return {};
    --it;
    const std::size_t offset = index - it->row;
    if (offset >= it->lines) { // the gap row before the next stretch
        const Stretch& next = *(it + 1);
        return {true, next.gapFirst, next.gapBytes};
    }
    return {false, it->first + offset * Width, 0};
}

std::size_t HexRows::rowOf(std::uint64_t address) const {
    if (stretches_.empty())
        return 0;
    auto it = std::upper_bound(stretches_.begin(), stretches_.end(), address,
                               [](std::uint64_t a, const Stretch& s) { return a < s.first; });
    if (it == stretches_.begin())
        return 0;
    --it;
    const std::uint64_t line = (lineOf(address) - it->first) / Width;
    if (line < it->lines)
        return it->row + line;
    return (it + 1 == stretches_.end()) ? count_ - 1 : (it + 1)->row;
}

namespace HexBytes {

namespace {
/** index of the block that covers address or, when none does, of the first one after it */
std::size_t blockFrom(const MemImage& image, std::uint64_t address) {
    std::size_t low = 0, high = image.count();
    while (low < high) {
        const std::size_t mid = (low + high) / 2;
        if (image[mid].end() <= address)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

/** whether pattern stands at address, read byte by byte across blocks */
bool matchesAt(const MemImage& image, std::span<const std::uint8_t> pattern, std::uint64_t address) {
    for (std::size_t k = 0; k < pattern.size(); ++k) {
        const auto b = at(image, address + k);
        if (!b || *b != pattern[k])
            return false;
    }
    return true;
}

std::optional<std::uint32_t> findFrom(const MemImage& image, std::span<const std::uint8_t> pattern,
                                      std::uint64_t from, std::uint64_t until) {
    const std::boyer_moore_horspool_searcher searcher(pattern.begin(), pattern.end());
    for (std::size_t i = blockFrom(image, from); i < image.count(); ++i) {
        const ImageBlock b = image[i];
        if (b.first >= until)
            break;
        const std::size_t skip = from > b.first ? static_cast<std::size_t>(from - b.first) : 0;
        const auto found =
            std::search(b.bytes.begin() + static_cast<std::ptrdiff_t>(skip), b.bytes.end(), searcher);
        if (found != b.bytes.end())
            return static_cast<std::uint32_t>(b.first + static_cast<std::uint64_t>(found - b.bytes.begin()));
        // a match may start near the end and go on into the next block, when that one is adjacent
        if (i + 1 == image.count() || image[i + 1].first != b.end())
            continue;
        const std::size_t tail = std::min(b.size() - std::min(skip, b.size()), pattern.size() - 1);
        for (std::uint64_t a = b.end() - tail; a < b.end(); ++a)
            if (b.bytes[static_cast<std::size_t>(a - b.first)] == pattern[0] && matchesAt(image, pattern, a))
                return static_cast<std::uint32_t>(a);
    }
    return std::nullopt;
}
} // namespace

std::optional<std::uint8_t> at(const MemImage& image, std::uint64_t address) {
    const std::size_t i = blockFrom(image, address);
    if (i >= image.count() || image[i].first > address)
        return std::nullopt;
    const ImageBlock b = image[i];
    return b.bytes[static_cast<std::size_t>(address - b.first)];
}

std::optional<std::uint32_t> find(const MemImage& image, std::span<const std::uint8_t> pattern,
                                  std::uint64_t from) {
    if (pattern.empty())
        return std::nullopt;
    if (auto found = findFrom(image, pattern, from, UINT64_MAX))
        return found;
    return from > 0 ? findFrom(image, pattern, 0, from) : std::nullopt;
}

std::optional<std::vector<std::uint8_t>> parse(std::string_view text) {
    std::string digits;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == ',')
            continue;
        if (hex::digitValue(c) < 0)
            return std::nullopt;
        digits += c;
    }
    if (digits.empty() || digits.size() % 2)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(digits.size() / 2);
    hex::decode(digits, bytes.data());
    return bytes;
}

std::string text(const MemImage& image, std::uint64_t first, std::uint64_t last) {
    std::string out;
    int onLine = 0;
    for (std::size_t i = blockFrom(image, first); i < image.count() && image[i].first <= last; ++i) {
        const ImageBlock b = image[i];
        const std::uint64_t from = std::max<std::uint64_t>(first, b.first);
        const std::uint64_t to = std::min<std::uint64_t>(last, b.end() - 1);
        for (std::uint64_t a = from; a <= to; ++a) {
            if (onLine == HexRows::Width) {
                out += '\n';
                onLine = 0;
            } else if (onLine) {
                out += ' ';
            }
            hex::appendByte(out, b.bytes[static_cast<std::size_t>(a - b.first)]);
            ++onLine;
        }
    }
    return out;
}

} // namespace HexBytes
} // namespace zep
