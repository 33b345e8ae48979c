#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zep::hex {

/** value of one hexadecimal digit (either case), or -1 */
constexpr int digitValue(int c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

/** decodes text.size()/2 bytes into out; false on an odd length or a character that is not a digit */
bool decode(std::string_view text, std::uint8_t* out);
/** decode, adding the bytes to sum on the way (the record checksums of the flash files) */
bool decode(std::string_view text, std::uint8_t* out, unsigned& sum);

/** writes two upper-case digits per byte from out on; where they end */
char* put(char* out, std::span<const std::uint8_t> bytes);

/** appends two upper-case digits per byte */
void append(std::string& out, std::span<const std::uint8_t> bytes);
void appendByte(std::string& out, std::uint8_t byte);

std::string encode(std::span<const std::uint8_t> bytes);

/** upper-case digits of value without leading zeros ("0" for zero) */
std::string number(std::uint64_t value);

/** the digits of value left-padded with "0" to width; when longer, its width rightmost digits */
std::string withWidth(std::uint64_t value, int width);

} // namespace zep::hex
