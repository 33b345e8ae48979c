#include "xml/Base64.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zep::test {
namespace {

std::vector<std::uint8_t> bytesOf(const std::string& s) {
    return {s.begin(), s.end()};
}

/** the bytes of text fed in pieces of the given sizes (the rest in one last piece); nullopt when refused */
std::optional<std::string> decode(const std::string& text, std::vector<std::size_t> pieces = {}) {
    std::string out(base64::maximumDecodedLength(text.size()), '\0');
    base64::Decoder decoder(reinterpret_cast<std::uint8_t*>(out.data()));
    std::size_t at = 0;
    pieces.push_back(text.size());
    for (std::size_t n : pieces) {
        n = std::min(n, text.size() - at);
        if (!decoder.feed(std::string_view(text).substr(at, n)))
            return std::nullopt;
        at += n;
    }
    if (!decoder.finish())
        return std::nullopt;
    out.resize(decoder.size());
    return out;
}

TEST(Base64, EncodesAndDecodesTheStandardVectors) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\xFF\xFE\x00?>", 5), "//4APz4="},
    };
    for (const auto& [bytes, text] : vectors) {
        std::string encoded;
        base64::append(encoded, bytesOf(bytes));
        EXPECT_EQ(encoded, text);
        EXPECT_EQ(decode(text), bytes) << text;
    }
}

TEST(Base64, DecodesTextBrokenIntoLinesAndPiecesAnywhere) {
    std::string bytes;
    for (int i = 0; i < 1000; ++i)
        bytes.push_back(static_cast<char>(i * 7));
    std::string text;
    base64::append(text, bytesOf(bytes));
    std::string lines = "\r\n";
    for (std::size_t i = 0; i < text.size(); i += 76)
        lines += text.substr(i, 76) + "\r\n \t";
    EXPECT_EQ(decode(lines), bytes);
    for (std::size_t split : {1, 2, 3, 5, 77, 1337})
        EXPECT_EQ(decode(lines, {split, split + 3}), bytes) << split;
}

TEST(Base64, RefusesWhatIsNotBase64) {
    for (const char* text :
         {"Zm9", "Zm9vY", "Zg=", "Zm9v=", "Z===", "=Zg=", "Zg==Zg==", "Zg==x", "Zm9v!A==", "Zm9-"})
        EXPECT_EQ(decode(text), std::nullopt) << text;
}

} // namespace
} // namespace zep::test
