#include "KwpCrc.h"

#include "ZepError.h"

#include <array>

namespace zep {

namespace {
// Slicing by 8: tables[k][b] is what byte b does to the register with k zero bytes after it, so that
// eight bytes take eight independent look-ups instead of a chain of eight dependent ones.
using Tables = std::array<std::array<std::uint16_t, 256>, 8>;
constexpr Tables makeTables() {
    Tables tables{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
        tables[0][i] = static_cast<std::uint16_t>(crc);
    }
    for (std::size_t k = 1; k < 8; ++k)
        for (unsigned i = 0; i < 256; ++i) {
            const unsigned previous = tables[k - 1][i];
            tables[k][i] = static_cast<std::uint16_t>((previous << 8) ^ tables[0][previous >> 8]);
        }
    return tables;
}
constexpr Tables tables = makeTables();
} // namespace

void KwpCrc::add(std::span<const std::uint8_t> bytes) {
    unsigned crc = crc_;
    const std::uint8_t* p = bytes.data();
    std::size_t n = bytes.size();
    for (; n >= 8; n -= 8, p += 8)
        crc = tables[7][p[0] ^ (crc >> 8)] ^ tables[6][p[1] ^ (crc & 0xFF)] ^ tables[5][p[2]] ^
              tables[4][p[3]] ^ tables[3][p[4]] ^ tables[2][p[5]] ^ tables[1][p[6]] ^ tables[0][p[7]];
    for (; n > 0; --n, ++p)
        crc = ((crc << 8) ^ tables[0][((crc >> 8) ^ *p) & 0xFF]) & 0xFFFF;
    crc_ = static_cast<std::uint16_t>(crc);
}

void KwpCrc::store(std::span<std::uint8_t> block) const {
    if (block.size() < 2)
        throw ZepError(errors::InvalidArgument, "A block of fewer than 2 bytes cannot hold a CRC");
    block[block.size() - 2] = static_cast<std::uint8_t>(crc_ >> 8);
    block[block.size() - 1] = static_cast<std::uint8_t>(crc_ & 0xFF);
}

} // namespace zep
