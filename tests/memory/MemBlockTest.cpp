#include "memory/MemBlock.h"
#include "MemoryTestUtil.h"

#include <gtest/gtest.h>

#include <vector>

namespace zep {
namespace {

using test::errorNumber;

TEST(MemBlock, NewBlockStartsAtPositionOneAndHoldsZeros) {
    MemBlock block(4);
    EXPECT_EQ(block.first(), 1);
    EXPECT_EQ(block.last(), 4);
    EXPECT_EQ(block.toHex(), "00000000");

    block.setFirst(0x1000);
    block.set(0x1003, 0xAB);
    EXPECT_EQ(block.last(), 0x1003);
    EXPECT_EQ(block.toHex(), "000000AB");
    EXPECT_EQ(errorNumber([&] { block.at(0x0FFF); }), errors::OutOfRange);
    EXPECT_EQ(errorNumber([&] { block.set(0x1004, 1); }), errors::OutOfRange);

    block.setLength(6);
    EXPECT_EQ(block.toHex(), "000000AB0000");
    block.setLength(2);
    EXPECT_EQ(block.toHex(), "0000");
    EXPECT_EQ(MemBlock().last(), 0);
}

TEST(MemBlock, SubBlockWritesThroughToItsParent) {
    MemBlock parent = MemBlock::fromHex("00112233445566");
    MemBlock view = parent.sub(3, 2);
    EXPECT_EQ(view.first(), 1);
    EXPECT_EQ(view.toHex(), "2233");

    view.set(2, 0xAA);
    EXPECT_EQ(parent.toHex(), "001122AA445566");
    parent.set(3, 0xBB);
    EXPECT_EQ(view.toHex(), "BBAA");

    MemBlock inner = view.sub(2); // a view of a view reaches the same bytes
    inner.fill(0xCC);
    EXPECT_EQ(parent.toHex(), "0011BBCC445566");

    view.copyFrom(MemBlock::fromHex("DDEE")); // same length: through to the parent
    EXPECT_EQ(parent.toHex(), "0011DDEE445566");

    EXPECT_EQ(parent.sub(6).toHex(), "5566"); // count 0: to the end
    EXPECT_EQ(errorNumber([&] { parent.sub(6, 3); }), errors::OutOfRange);
    EXPECT_EQ(errorNumber([&] { parent.sub(8); }), errors::OutOfRange);
}

TEST(MemBlock, CopiesHaveBytesOfTheirOwn) {
    MemBlock parent = MemBlock::fromHex("01020304");
    MemBlock view = parent.sub(2, 2);
    MemBlock copied(view), assigned, from;
    assigned = parent;
    from.copyFrom(parent);
    for (MemBlock* b : {&copied, &assigned, &from})
        b->fill(0xFF);
    EXPECT_EQ(parent.toHex(), "01020304");

    MemBlock source(0x8000, std::vector<std::uint8_t>{9, 8, 7});
    from.copyFrom(source);
    EXPECT_EQ(from, source);
    EXPECT_EQ(from.first(), 0x8000);

    view.copyFrom(source); // another length: the view is cut loose from its parent
    EXPECT_EQ(view.toHex(), "090807");
    EXPECT_EQ(parent.toHex(), "01020304");
}

TEST(MemBlock, HexTextIsUpperCaseAndBadTextIsAnError) {
    // clang-format off
    const struct { const char* text; const char* hex; /* nullptr: an invalid-argument error */ } cases[] = {
        {"", ""},
        {"00", "00"},
        {"0aFf", "0AFF"},
        {"DEADbeef", "DEADBEEF"},
        {"ABC", nullptr},
        {"0", nullptr},
        {"0G", nullptr},
        {"12 4", nullptr},
        {"-1", nullptr},
        {"0x12", nullptr},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        MemBlock block = MemBlock::fromHex("77");
        if (c.hex) {
            block.setHex(c.text);
            EXPECT_EQ(block.toHex(), c.hex);
            EXPECT_EQ(block.length(), std::string(c.hex).size() / 2);
        } else {
            EXPECT_EQ(errorNumber([&] { block.setHex(c.text); }), errors::InvalidArgument);
        }
    }
    const std::vector<std::uint8_t> bytes{0x00, 0x7F, 0x80, 0xFF};
    MemBlock block;
    block.setBytes(bytes);
    EXPECT_EQ(block.toHex(), "007F80FF");
    EXPECT_EQ(std::vector<std::uint8_t>(block.bytes().begin(), block.bytes().end()), bytes);
}

TEST(MemBlock, SumRunLengthAndFill) {
    EXPECT_EQ(MemBlock::fromHex("").sum(), 0);
    EXPECT_EQ(MemBlock::fromHex("FF02").sum(), 0x01);
    EXPECT_EQ(MemBlock::fromHex("80808080").sum(), 0x00);

    MemBlock block = MemBlock::fromHex("AAAAAA00AAFF");
    block.setFirst(10);
    // clang-format off
    const struct { MemBlock::Position position; std::uint8_t value; std::size_t run; } cases[] = {
        {10, 0xAA, 3},
        {11, 0xAA, 2},
        {13, 0xAA, 0},
        {13, 0x00, 1},
        {15, 0xFF, 1},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(block.runLength(c.position, c.value), c.run) << c.position;
    EXPECT_EQ(MemBlock::fromHex("FFFF").runLength(1, 0xFF), 2u);

    block.fill(0x5A);
    EXPECT_EQ(block.toHex(), "5A5A5A5A5A5A");
    EXPECT_EQ(block.first(), 10);
}

TEST(MemBlock, OverlapMeansSharingAPosition) {
    // clang-format off
    const struct { MemBlock::Position first1; std::size_t length1; MemBlock::Position first2; std::size_t length2; bool overlaps; } cases[] = {
        {10, 4, 14, 4, false},
        {10, 4, 13, 4, true},
        {10, 4, 6, 4, false},
        {10, 4, 7, 4, true},
        {10, 8, 12, 2, true},
        {10, 4, 10, 4, true},
        {10, 4, 11, 0, false},
        {10, 1, 10, 1, true},
    };
    // clang-format on
    for (const auto& c : cases) {
        MemBlock a(c.length1), b(c.length2);
        a.setFirst(c.first1);
        b.setFirst(c.first2);
        EXPECT_EQ(a.overlaps(b), c.overlaps)
            << c.first1 << "+" << c.length1 << " / " << c.first2 << "+" << c.length2;
        EXPECT_EQ(b.overlaps(a), c.overlaps);
    }
}

} // namespace
} // namespace zep
