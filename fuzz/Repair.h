#pragma once

#include <cstddef>
#include <cstdint>

namespace zep::fuzz {

// Random mutations almost never keep a record's count, checksum or CRC right, so without help the
// fuzzer would only explore the first check of each reader. These put them right in place, without
// changing the input's size, so that a mutated input reaches the code behind the checks.

/** count and checksum of every S-record line whose digits can be read */
void repairSRecord(std::uint8_t* data, std::size_t size);
/** count and checksum of every Intel-hex line whose digits can be read */
void repairH86(std::uint8_t* data, std::size_t size);
/** length byte, CRC and checksum of every whole KWP frame */
void repairKwp(std::uint8_t* data, std::size_t size);

} // namespace zep::fuzz
