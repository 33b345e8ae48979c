#include "Hex.h"

namespace zep::hex {

namespace {
constexpr char digits[] = "0123456789ABCDEF";

// One look-up per pair of digits (indexed by the two characters as they lie in memory) and one per
// byte written: the flash files are mostly hexadecimal text, and these loops are most of their cost.
struct PairTable {
    std::int16_t value[65536];
    constexpr PairTable() : value() {
        for (int first = 0; first < 256; ++first)
            for (int second = 0; second < 256; ++second) {
                const int hi = digitValue(first), lo = digitValue(second);
                value[first | second << 8] = static_cast<std::int16_t>(hi < 0 || lo < 0 ? -1 : hi << 4 | lo);
            }
    }
};
constexpr PairTable pairs;

struct ByteTable {
    char text[256][2];
    constexpr ByteTable() : text() {
        for (int b = 0; b < 256; ++b) {
            text[b][0] = digits[b >> 4];
            text[b][1] = digits[b & 0x0F];
        }
    }
};
constexpr ByteTable bytesText;
} // namespace

bool decode(std::string_view text, std::uint8_t* out) {
    if (text.size() % 2 != 0)
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size() / 2;
    int bad = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int v = pairs.value[p[2 * i] | p[2 * i + 1] << 8];
        bad |= v;
        out[i] = static_cast<std::uint8_t>(v);
    }
    return bad >= 0;
}

bool decode(std::string_view text, std::uint8_t* out, unsigned& sum) {
    if (text.size() % 2 != 0)
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size() / 2;
    int bad = 0;
    unsigned total = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int v = pairs.value[p[2 * i] | p[2 * i + 1] << 8];
        bad |= v;
        out[i] = static_cast<std::uint8_t>(v);
        total += static_cast<std::uint8_t>(v);
    }
    sum += total;
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
        p[0] = bytesText.text[b][0];
        p[1] = bytesText.text[b][1];
        p += 2;
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
