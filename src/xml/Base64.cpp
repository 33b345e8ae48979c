#include "Base64.h"

#include <array>

namespace zep::base64 {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::uint8_t Blank = 0xFE;
constexpr std::uint8_t Invalid = 0xFF;
constexpr std::uint8_t Pad = 0xFD;

constexpr std::array<std::uint8_t, 256> makeValues() {
    std::array<std::uint8_t, 256> values{};
    for (auto& v : values)
        v = Invalid;
    for (int i = 0; i < 64; ++i)
        values[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
    values[' '] = values['\t'] = values['\r'] = values['\n'] = Blank;
    values['='] = Pad;
    return values;
}

constexpr std::array<std::uint8_t, 256> values = makeValues();

} // namespace

void encode(std::span<const std::uint8_t> bytes, char* out) {
    const std::uint8_t* in = bytes.data();
    std::size_t n = bytes.size();
    for (; n >= 3; n -= 3, in += 3, out += 4) {
        const std::uint32_t v = std::uint32_t{in[0]} << 16 | std::uint32_t{in[1]} << 8 | in[2];
        out[0] = alphabet[v >> 18];
        out[1] = alphabet[(v >> 12) & 63];
        out[2] = alphabet[(v >> 6) & 63];
        out[3] = alphabet[v & 63];
    }
    if (n == 0)
        return;
    const std::uint32_t v = std::uint32_t{in[0]} << 16 | (n == 2 ? std::uint32_t{in[1]} << 8 : 0);
    out[0] = alphabet[v >> 18];
    out[1] = alphabet[(v >> 12) & 63];
    out[2] = n == 2 ? alphabet[(v >> 6) & 63] : '=';
    out[3] = '=';
}

void append(std::string& out, std::span<const std::uint8_t> bytes) {
    const std::size_t at = out.size();
    out.resize(at + encodedLength(bytes.size()));
    encode(bytes, out.data() + at);
}

bool Decoder::feed(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        // Whole groups of four alphabet characters go the fast way.
        if (count_ == 0 && padding_ == 0) {
            while (end - p >= 4) {
                const std::uint8_t a = values[p[0]], b = values[p[1]], c = values[p[2]], d = values[p[3]];
                if ((a | b | c | d) & 0xC0)
                    break;
                const std::uint32_t v =
                    std::uint32_t{a} << 18 | std::uint32_t{b} << 12 | std::uint32_t{c} << 6 | d;
                out_[written_] = static_cast<std::uint8_t>(v >> 16);
                out_[written_ + 1] = static_cast<std::uint8_t>(v >> 8);
                out_[written_ + 2] = static_cast<std::uint8_t>(v);
                written_ += 3;
                p += 4;
            }
            if (p == end)
                break;
        }
        const std::uint8_t v = values[*p++];
        if (v == Blank)
            continue;
        if (v == Invalid)
            return false;
        if (v == Pad) {
            // "=" only completes a group of two or three characters
            if (count_ + padding_ < 2)
                return false;
            ++padding_;
            if (count_ + padding_ == 4) {
                const int bytes = count_ - 1;
                group_ <<= 6 * padding_;
                out_[written_++] = static_cast<std::uint8_t>(group_ >> 16);
                if (bytes == 2)
                    out_[written_++] = static_cast<std::uint8_t>(group_ >> 8);
                group_ = 0;
                count_ = 0;
                padding_ = 4; // nothing may follow but blanks
            }
            continue;
        }
        if (padding_ > 0)
            return false;
        group_ = group_ << 6 | v;
        if (++count_ == 4) {
            out_[written_] = static_cast<std::uint8_t>(group_ >> 16);
            out_[written_ + 1] = static_cast<std::uint8_t>(group_ >> 8);
            out_[written_ + 2] = static_cast<std::uint8_t>(group_);
            written_ += 3;
            group_ = 0;
            count_ = 0;
        }
    }
    return true;
}

bool Decoder::finish() {
    return count_ == 0 && (padding_ == 0 || padding_ == 4);
}

} // namespace zep::base64
