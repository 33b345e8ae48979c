#pragma once

#include <cstdint>

namespace zep {

/** One address range: count bytes from address. Counts are 64-bit: a full 32-bit space has 2^32 bytes. */
struct MemRange {
    std::uint32_t address = 0;
    std::uint64_t count = 0;

    /** last address (inclusive) */
    std::uint32_t last() const { return static_cast<std::uint32_t>(address + count - 1); }
    /** one past the last address */
    std::uint64_t end() const { return address + count; }

    bool operator==(const MemRange&) const = default;
};

} // namespace zep
