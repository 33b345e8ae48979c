#include "Hex.h"

namespace zep::hex {

namespace {
constexpr char digits[] = "0123456789ABCDEF";

// One look-up per digit in a table of 256 small entries that stays in the first-level cache: a digit's
// value, or a bit above the byte for any other character, so that one test per record finds a bad digit.
struct DigitTable {
    std::uint16_t value[256];
    constexpr DigitTable() : value() {
        for (int c = 0; c < 256; ++c)
            value[c] = static_cast<std::uint16_t>(digitValue(c) < 0 ? 0x100 : digitValue(c));
    }
};
constexpr DigitTable digitTable;

inline unsigned pair(const unsigned char* p) {
    return static_cast<unsigned>(digitTable.value[p[0]]) << 4 | digitTable.value[p[1]];
}

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
    unsigned bad = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned v = pair(p + 2 * i);
        bad |= v;
        out[i] = static_cast<std::uint8_t>(v);
    }
    return (bad & 0x1100) == 0;
}

bool decode(std::string_view text, std::uint8_t* out, unsigned& sum) {
    if (text.size() % 2 != 0)
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size() / 2;
    unsigned bad = 0;
    unsigned total = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned v = pair(p + 2 * i);
        bad |= v;
        out[i] = static_cast<std::uint8_t>(v);
        total += v & 0xFF;
    }
    sum += total;
    return (bad & 0x1100) == 0;
}

void appendByte(std::string& out, std::uint8_t byte) {
    out.push_back(digits[byte >> 4]);
    out.push_back(digits[byte & 0x0F]);
}

char* put(char* out, std::span<const std::uint8_t> bytes) {
    for (std::uint8_t b : bytes) {
        out[0] = bytesText.text[b][0];
        out[1] = bytesText.text[b][1];
        out += 2;
    }
    return out;
}

void append(std::string& out, std::span<const std::uint8_t> bytes) {
    const std::size_t start = out.size();
    out.resize(start + 2 * bytes.size());
    put(out.data() + start, bytes);
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
