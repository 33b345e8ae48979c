#pragma once

#include "memory/MemImage.h"
#include "memory/MemMap.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zep {

/**
 * The rows of a hex view, without widgets: 16 bytes a row, aligned on 16, over the covered addresses
 * only; a stretch of addresses that leaves at least one whole row empty becomes one gap row. The rows
 * are computed from the ranges alone (one entry per stretch of covered rows), so that a 16 MiB image
 * costs no more than its count of ranges.
 */
class HexRows {
public:
    static constexpr int Width = 16;

    struct Row {
        /** a gap row stands for the uncovered bytes between two stretches */
        bool gap = false;
        /** the row's first address; for a gap row, its first uncovered byte */
        std::uint64_t address = 0;
        /** for a gap row: how many bytes it stands for */
        std::uint64_t gapBytes = 0;
    };

    HexRows() = default;
    /** covered: the addresses shown (any order, overlaps allowed) */
    explicit HexRows(const MemMap& covered);

    std::size_t count() const { return count_; }
    Row row(std::size_t index) const;
    /** the row that shows address; an address no row shows gives the row of the next covered one */
    std::size_t rowOf(std::uint64_t address) const;

private:
    struct Stretch {
        std::uint64_t first; // line-aligned
        std::uint64_t lines;
        std::size_t row;        // index of its first line row
        std::uint64_t gapBytes; // uncovered bytes before it (0 for the first)
        std::uint64_t gapFirst; // first of those
    };
    std::vector<Stretch> stretches_;
    std::size_t count_ = 0;
};

namespace HexBytes {

/** the byte of image at address; nullopt where no block covers it */
std::optional<std::uint8_t> at(const MemImage& image, std::uint64_t address);

/**
 * The first address at or after from where image holds pattern (on consecutive covered addresses,
 * across block boundaries); the search wraps round to the start once. nullopt when nowhere.
 */
std::optional<std::uint32_t> find(const MemImage& image, std::span<const std::uint8_t> pattern,
                                  std::uint64_t from);

/** "DE AD be ef" or "DEADBEEF" as bytes; nullopt for an odd count of digits, another character or none */
std::optional<std::vector<std::uint8_t>> parse(std::string_view text);

/** the covered bytes from first to last (inclusive) as upper-case pairs, a blank between, 16 a line */
std::string text(const MemImage& image, std::uint64_t first, std::uint64_t last);

} // namespace HexBytes
} // namespace zep
