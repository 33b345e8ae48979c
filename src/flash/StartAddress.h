#pragma once

#include <cstdint>
#include <string>

namespace zep {

/**
 * Where a program starts, as toolchains write it into flash files: the Intel-hex start segment (03,
 * CS:IP) and start linear (05) records, and the address of an S-record end record. It is kept with the
 * record read from such a file, so that an H86 file written from that record carries it again; the
 * database never stores it, and S-record and KWP files are written without it.
 */
struct StartAddress {
    enum class Kind { Linear, Segment };

    Kind kind = Kind::Linear;
    /** Linear: the address; Segment: CS in the high 16 bits, IP in the low 16 bits */
    std::uint32_t value = 0;

    /** the address the program starts at: CS * 16 + IP for a segment start */
    std::uint32_t address() const;
    /** "00012345", or "1000:2345 (00012345)" for a segment start */
    std::string text() const;

    bool operator==(const StartAddress&) const = default;
};

} // namespace zep
