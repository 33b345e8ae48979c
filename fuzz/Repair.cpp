#include "Repair.h"

#include "memory/Hex.h"
#include "memory/KwpCrc.h"

#include <span>
#include <string_view>
#include <vector>

namespace zep::fuzz {

namespace {

constexpr char digits[] = "0123456789ABCDEF";

void putByte(std::uint8_t* at, std::uint8_t value) {
    at[0] = static_cast<std::uint8_t>(digits[value >> 4]);
    at[1] = static_cast<std::uint8_t>(digits[value & 0x0F]);
}

/**
 * Calls repair(bytes) for every line whose text from `from` on (less a CR and trailing blanks) is
 * an even number of hex digits, then writes the bytes back.
 */
template <typename Repair>
void eachHexLine(std::uint8_t* data, std::size_t size, std::size_t from, Repair repair) {
    std::size_t start = 0;
    std::vector<std::uint8_t> bytes;
    while (start < size) {
        std::size_t end = start;
        while (end < size && data[end] != '\n')
            ++end;
        std::size_t stop = end;
        while (stop > start && (data[stop - 1] == '\r' || data[stop - 1] == ' '))
            --stop;
        if (stop >= start + from) {
            const std::string_view text(reinterpret_cast<const char*>(data + start + from),
                                        stop - start - from);
            bytes.resize(text.size() / 2);
            if (!bytes.empty() && hex::decode(text, bytes.data())) {
                repair(bytes);
                for (std::size_t i = 0; i < bytes.size(); ++i)
                    putByte(data + start + from + 2 * i, bytes[i]);
            }
        }
        start = end + 1;
    }
}

std::uint8_t sum(std::span<const std::uint8_t> bytes) {
    unsigned s = 0;
    for (std::uint8_t b : bytes)
        s += b;
    return static_cast<std::uint8_t>(s);
}

} // namespace

void repairSRecord(std::uint8_t* data, std::size_t size) {
    eachHexLine(data, size, 2, [](std::vector<std::uint8_t>& b) {
        b[0] = static_cast<std::uint8_t>(b.size() - 1);
        b.back() = static_cast<std::uint8_t>(~sum({b.data(), b.size() - 1}));
    });
}

void repairH86(std::uint8_t* data, std::size_t size) {
    eachHexLine(data, size, 1, [](std::vector<std::uint8_t>& b) {
        if (b.size() < 5)
            return;
        b[0] = static_cast<std::uint8_t>(b.size() - 5);
        b.back() = static_cast<std::uint8_t>(0x100 - sum({b.data(), b.size() - 1}));
    });
}

void repairKwp(std::uint8_t* data, std::size_t size) {
    std::size_t p = 0;
    bool header = true;
    while (p < size) {
        std::size_t length = data[p] & 0x3F;
        std::size_t first = p + 3;
        if (length == 0) {
            if (p + 3 >= size)
                return;
            length = data[p + 3];
            first = p + 4;
        }
        const std::size_t checksum = first + length;
        if (checksum >= size)
            return;
        if (!header && length >= 8) {
            std::uint8_t* d = data + first;
            d[5] = static_cast<std::uint8_t>(length - 8);
            KwpCrc crc;
            crc.add({d, length - 2});
            crc.store(std::span<std::uint8_t>(d, length));
        }
        data[checksum] = sum({data + p, checksum - p});
        header = false;
        p = checksum + 1;
    }
}

} // namespace zep::fuzz
