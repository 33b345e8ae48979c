#include "KwpCrc.h"

#include "ZepError.h"

#include <array>

namespace zep {

namespace {
constexpr std::array<std::uint16_t, 256> makeTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
        table[i] = static_cast<std::uint16_t>(crc);
    }
    return table;
}
constexpr auto table = makeTable();
} // namespace

void KwpCrc::add(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = crc_;
    for (std::uint8_t b : bytes)
        crc = static_cast<std::uint16_t>((crc << 8) ^ table[((crc >> 8) ^ b) & 0xFF]);
    crc_ = crc;
}

void KwpCrc::store(std::span<std::uint8_t> block) const {
    if (block.size() < 2)
        throw ZepError(errors::InvalidArgument, "A block of fewer than 2 bytes cannot hold a CRC");
    block[block.size() - 2] = static_cast<std::uint8_t>(crc_ >> 8);
    block[block.size() - 1] = static_cast<std::uint8_t>(crc_ & 0xFF);
}

} // namespace zep
