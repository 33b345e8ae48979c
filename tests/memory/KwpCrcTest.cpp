#include "memory/KwpCrc.h"
#include "MemoryTestUtil.h"

#include <gtest/gtest.h>

#include <string_view>

namespace zep {
namespace {

std::vector<std::uint8_t> ascii(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(KwpCrc, IsCrc16CcittFalse) {
    // clang-format off
    const struct { std::string_view text; std::uint16_t crc; } cases[] = {
        {"", 0xFFFF},
        {"123456789", 0x29B1},
        {"A", 0xB915},
    };
    // clang-format on
    for (const auto& c : cases) {
        KwpCrc crc;
        crc.add(ascii(c.text));
        EXPECT_EQ(crc.value(), c.crc) << c.text;
    }
    KwpCrc pieces; // frames add up to the CRC of their concatenation
    pieces.add(ascii("1234"));
    pieces.add(MemBlock(1, ascii("56789")));
    EXPECT_EQ(pieces.value(), 0x29B1);
    pieces.reset();
    EXPECT_EQ(pieces.value(), 0xFFFF);
}

TEST(KwpCrc, StoredChecksumChecksOutAndAFlippedBitDoesNot) {
    MemBlock frame = MemBlock::fromHex("3132333435363738390000");
    KwpCrc crc;
    crc.add(frame.sub(1, frame.length() - 2));
    crc.store(frame);
    EXPECT_EQ(frame.toHex(), "31323334353637383929B1"); // high byte first
    crc.reset();
    crc.add(frame);
    EXPECT_TRUE(crc.valid());

    for (std::size_t bit = 0; bit < frame.length() * 8; ++bit) {
        MemBlock damaged = frame;
        const auto position = static_cast<MemBlock::Position>(1 + bit / 8);
        damaged.set(position, static_cast<std::uint8_t>(damaged.at(position) ^ (1u << (bit % 8))));
        crc.reset();
        crc.add(damaged);
        EXPECT_FALSE(crc.valid()) << "bit " << bit;
    }
    MemBlock tooShort(1);
    EXPECT_EQ(test::errorNumber([&] { crc.store(tooShort); }), errors::InvalidArgument);
}

} // namespace
} // namespace zep
