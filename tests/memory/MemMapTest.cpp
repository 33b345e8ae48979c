#include "memory/MemMap.h"
#include "MemoryTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace zep {
namespace {

using test::errorNumber;
using test::rangesOf;
using Ranges = std::vector<MemRange>;

constexpr std::uint64_t Space = std::uint64_t{1} << 32;

MemMap mapOf(const Ranges& ranges) {
    MemMap map;
    for (const MemRange& r : ranges)
        map.add(r);
    return map;
}

TEST(MemMap, KeepsRangesAsAddedInAddressOrder) {
    MemMap map{{0x300, 0x10}, {0x100, 0x10}, {0x110, 0x10}, {0x100, 4}, {0x200, 0}};
    EXPECT_EQ(rangesOf(map), (Ranges{{0x100, 0x10}, {0x100, 4}, {0x110, 0x10}, {0x300, 0x10}}));
    EXPECT_EQ(map.count(), 4u);
    EXPECT_EQ(map.item(1), (MemRange{0x100, 0x10}));
    EXPECT_EQ(map.item(4), (MemRange{0x300, 0x10}));
    EXPECT_EQ(errorNumber([&] { map.item(0); }), errors::OutOfRange);
    EXPECT_EQ(errorNumber([&] { map.item(5); }), errors::OutOfRange);
    EXPECT_EQ(map.byteCount(), 0x30u);
    EXPECT_EQ(map.item(4).last(), 0x30Fu);

    map.clear();
    EXPECT_TRUE(map.empty());
}

TEST(MemMap, RangesMustFitThe32BitAddressSpace) {
    MemMap map;
    map.add(0, Space);
    map.add(0xFFFFFFFF, 1);
    EXPECT_EQ(map.item(1).count, Space);
    EXPECT_EQ(map.item(1).last(), 0xFFFFFFFFu);
    EXPECT_EQ(map.item(2).end(), Space);
    EXPECT_EQ(map.byteCount(), Space);
    EXPECT_EQ(errorNumber([&] { map.add(0xFFFFFFFF, 2); }), errors::InvalidArgument);
    EXPECT_EQ(errorNumber([&] { map.add(1, Space); }), errors::InvalidArgument);
    EXPECT_EQ(map.count(), 2u);
}

// The random model below works in small spaces; these reach across the whole 32-bit space.
TEST(MemMap, SubtractAcrossTheWholeSpace) {
    // clang-format off
    const struct { Ranges map, other, expected; } cases[] = {
        {{{0, Space}}, {{0x1000, 0x1000}}, {{0, 0x1000}, {0x2000, Space - 0x2000}}},
        {{{0, Space}}, {{0, Space}}, {}},
        {{{0x100, 0x10}}, {{0, Space}}, {}},
        {{{0, Space}}, {}, {{0, Space}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        const MemMap map = mapOf(c.map), other = mapOf(c.other);
        EXPECT_EQ(rangesOf(map.subtract(other)), c.expected);
        EXPECT_EQ(map, mapOf(c.map));
        EXPECT_EQ(other, mapOf(c.other));
    }
}

// Small address spaces (at the bottom and at the top of the 32-bit space) checked address by address.
TEST(MemMap, SubtractAgreesWithAnAddressModel) {
    constexpr std::uint32_t Size = 48;
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        auto below = [&](std::uint32_t n) {
            return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(random);
        };
        const std::uint32_t base = seed % 2 ? 0 : static_cast<std::uint32_t>(Space - Size);
        auto randomMap = [&](std::vector<bool>& in) {
            MemMap map;
            for (std::uint32_t n = below(6); n > 0; --n) {
                const std::uint32_t from = below(Size), count = 1 + below(Size - from);
                map.add(base + from, count);
                for (std::uint32_t i = from; i < from + count; ++i)
                    in[i] = true;
            }
            return map;
        };
        std::vector<bool> inA(Size), inB(Size);
        const MemMap a = randomMap(inA), b = randomMap(inB);
        const MemMap before = a;
        const MemMap result = a.subtract(b);

        std::vector<bool> inResult(Size);
        for (const MemRange& r : result) {
            ASSERT_GT(r.count, 0u);
            ASSERT_GE(r.address, base);
            ASSERT_LE(r.end(), std::uint64_t{base} + Size);
            for (std::uint64_t i = r.address - base; i < r.end() - base; ++i)
                inResult[i] = true;
        }
        for (std::uint32_t i = 0; i < Size; ++i)
            ASSERT_EQ(inResult[i], inA[i] && !inB[i]) << "address " << base + i;
        EXPECT_EQ(a, before);
        for (std::size_t i = 1; i < result.count(); ++i)
            ASSERT_LE(result.item(i).address, result.item(i + 1).address);
        const auto covered = static_cast<std::uint64_t>(std::count(inResult.begin(), inResult.end(), true));
        EXPECT_EQ(result.byteCount(), covered);
        std::uint64_t total = 0;
        for (const MemRange& r : result)
            total += r.count;
        if (a.merged() == a) { // ranges that do not touch give ranges that do not overlap
            EXPECT_EQ(total, covered);
        }
    }
}

} // namespace
} // namespace zep
