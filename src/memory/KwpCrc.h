#pragma once

#include "MemBlock.h"

#include <cstdint>
#include <span>

namespace zep {

/**
 * Running CRC of KWP download frames: CRC-16/CCITT-FALSE (polynomial 1021, initial FFFF, no reflection,
 * no final XOR), stored high byte first. Because nothing is XORed at the end, bytes followed by their
 * stored CRC leave the register at 0, which is what valid() checks.
 */
class KwpCrc {
public:
    void reset() { crc_ = 0xFFFF; }
    void add(std::span<const std::uint8_t> bytes);
    void add(const MemBlock& block) { add(block.bytes()); }
    bool valid() const { return crc_ == 0; }
    std::uint16_t value() const { return crc_; }
    /** the CRC of the bytes added so far into the last two bytes of block */
    void store(std::span<std::uint8_t> block) const;
    void store(MemBlock& block) const { store(block.bytes()); }

private:
    std::uint16_t crc_ = 0xFFFF;
};

} // namespace zep
