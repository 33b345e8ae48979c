#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zep::base64 {

/** characters of the encoding of size bytes, "=" padding included */
constexpr std::size_t encodedLength(std::size_t size) {
    return (size + 2) / 3 * 4;
}

/** writes encodedLength(bytes.size()) characters of the RFC 2045 alphabet, with "=" padding, at out */
void encode(std::span<const std::uint8_t> bytes, char* out);
/** appends the encoding of bytes */
void append(std::string& out, std::span<const std::uint8_t> bytes);

/**
 * A decoder fed with text in pieces (the pieces of an XML text may be split anywhere). Blanks
 * (space, tab, CR, LF) are skipped wherever they are. The bytes go to a buffer the caller sizes with
 * maximumDecodedLength; feed and finish return false on a character outside the alphabet, on
 * characters after the padding, and on a last group that is incomplete.
 */
class Decoder {
public:
    explicit Decoder(std::uint8_t* out) : out_(out) {}

    [[nodiscard]] bool feed(std::string_view text);
    [[nodiscard]] bool finish();
    /** bytes written so far */
    std::size_t size() const { return written_; }

private:
    std::uint8_t* out_;
    std::size_t written_ = 0;
    std::uint32_t group_ = 0;
    int count_ = 0;   // characters in group_
    int padding_ = 0; // "=" seen
};

/** enough room for the bytes of text of length characters */
constexpr std::size_t maximumDecodedLength(std::size_t length) {
    return length / 4 * 3 + 3;
}

} // namespace zep::base64
