#pragma once

#include "KwpCrc.h"
#include "MemImage.h"
#include "MemRange.h"

#include <cstdint>
#include <span>
#include <vector>

namespace zep {

/**
 * The three checksums engineers match an image against: the KWP CRC the download uses
 * (CRC-16/CCITT-FALSE), CRC-32 (IEEE, as zlib and most tools give it) and the sum of the bytes (modulo
 * 2^32). Bytes are taken in address order; addresses no block covers are skipped, not read as 0.
 */
struct Checksums {
    std::uint64_t bytes = 0;
    std::uint16_t kwpCrc = 0xFFFF;
    std::uint32_t crc32 = 0;
    std::uint32_t sum = 0;

    bool operator==(const Checksums&) const = default;
};

/** Adds bytes in pieces; the result is that of their concatenation. */
class ChecksumRun {
public:
    void add(std::span<const std::uint8_t> bytes);
    Checksums result() const;

private:
    KwpCrc kwp_;
    std::uint32_t crc32_ = 0xFFFFFFFF;
    std::uint32_t sum_ = 0;
    std::uint64_t bytes_ = 0;
};

Checksums checksumsOf(std::span<const std::uint8_t> bytes);
/** the whole image */
Checksums checksumsOf(const MemImage& image);

struct RangeChecksums {
    MemRange range;
    Checksums checksums;
};
/** one entry per covered range of the image (its map: adjacent blocks make one range) */
std::vector<RangeChecksums> rangeChecksumsOf(const MemImage& image);

} // namespace zep
