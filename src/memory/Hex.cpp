#include "Hex.h"

namespace zep::hex {

namespace {
constexpr char digits[] = "0123456789ABCDEF";

struct DecodeTable {
    std::int8_t value[256];
    constexpr DecodeTable() : value() {
        for (int i = 0; i < 256; ++i)
            value[i] = -1;
        for (int i = 0; i < 10; ++i)
            value['0' + i] = static_cast<std::int8_t>(i);
        for (int i = 0; i < 6; ++i) {
            value['A' + i] = static_cast<std::int8_t>(10 + i);
            value['a' + i] = static_cast<std::int8_t>(10 + i);
        }
    }
};
constexpr DecodeTable table;
} // namespace

bool decode(std::string_view text, std::uint8_t* out) {
    if (text.size() % 2 != 0)
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size() / 2;
    int bad = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int hi = table.value[p[2 * i]];
        const int lo = table.value[p[2 * i + 1]];
        bad |= hi | lo;
        out[i] = static_cast<std::uint8_t>((hi << 4) | (lo & 0x0F));
    }
    return bad >= 0;
}

void appendByte(std::string& out, std::uint8_t byte) {
    out.push_back(digits[byte >> 4]);
    out.push_back(digits[byte & 0x0F]);
}

void append(std::string& out, std::span<const std::uint8_t> bytes) {
    const std::size_t start = out.size();
    out.resize(start + 2 * bytes.size());
    char* p = out.data() + start;
    for (std::uint8_t b : bytes) {
        *p++ = digits[b >> 4];
        *p++ = digits[b & 0x0F];
    }
}

std::string encode(std::span<const std::uint8_t> bytes) {
    std::string out;
    append(out, bytes);
    return out;
}

std::string number(std::uint64_t value) {
    std::string out;
    do {
        out.insert(out.begin(), digits[value & 0x0F]);
        value >>= 4;
    } while (value != 0);
    return out;
}

std::string withWidth(std::uint64_t value, int width) {
    std::string out = number(value);
    if (width <= 0)
        return {};
    const auto w = static_cast<std::size_t>(width);
    if (out.size() > w)
        return out.substr(out.size() - w);
    return std::string(w - out.size(), '0') + out;
}

} // namespace zep::hex
