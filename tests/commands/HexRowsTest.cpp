#include "commands/HexRows.h"

#include <gtest/gtest.h>

namespace zep {
namespace {

/** "1000" for a row of bytes, "-1010+32" for a gap row (first uncovered byte, bytes), in hexadecimal */
std::vector<std::string> rowsOf(const HexRows& rows) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < rows.count(); ++i) {
        const HexRows::Row r = rows.row(i);
        char text[40];
        if (r.gap)
            std::snprintf(text, sizeof text, "-%llX+%llX", (unsigned long long)r.address,
                          (unsigned long long)r.gapBytes);
        else
            std::snprintf(text, sizeof text, "%llX", (unsigned long long)r.address);
        out.push_back(text);
    }
    return out;
}

TEST(HexRows, CoverOnlyTheCoveredLinesWithOneRowAGap) {
    const struct {
        MemMap covered;
        std::vector<std::string> rows;
        std::uint64_t address; // its row is the next one's:
        std::size_t row;
    } cases[] = {
        // clang-format off
        {{}, {}, 0x1000, 0},
        {{{0x1000, 0x20}}, {"1000", "1010"}, 0x101F, 1},
        {{{0x1005, 2}}, {"1000"}, 0x2000, 0},                                  // past the end: the last row
        {{{0x1000, 0x10}, {0x1018, 4}}, {"1000", "1010"}, 0x1014, 1},          // no whole row between: no gap
        {{{0x1000, 0x10}, {0x1030, 0x10}}, {"1000", "-1010+20", "1030"}, 0x1020, 2}, // in the gap: the row after
        {{{0x100, 1}, {0x0F, 2}}, {"0", "10", "-11+EF", "100"}, 0x10, 1},      // ranges in any order
        {{{0x10, 0x10}, {0x14, 4}, {0xFFFFFFF0, 0x10}}, {"10", "-20+FFFFFFD0", "FFFFFFF0"}, 0xFFFFFFFF, 2},
        // clang-format on
    };
    for (const auto& c : cases) {
        const HexRows rows(c.covered);
        EXPECT_EQ(rowsOf(rows), c.rows);
        EXPECT_EQ(rows.rowOf(c.address), c.row) << c.rows.size();
    }
}

TEST(HexBytes, FindParseAndCopy) {
    MemImage image;
    const auto bytes = [](std::string_view s) { return std::vector<std::uint8_t>(s.begin(), s.end()); };
    image.add(0x1000, bytes("ABCDEF"));
    image.add(0x1006, bytes("GH")); // adjacent: a match may go across
    image.add(0x2000, bytes("CD"));
    const struct {
        std::string pattern;
        std::uint64_t from;
        std::optional<std::uint32_t> found;
    } finds[] = {
        // clang-format off
        {"FG", 0, 0x1005},
        {"CD", 0x1003, 0x2000},
        {"CD", 0x2001, 0x1002},  // wraps round
        {"HC", 0, std::nullopt}, // not across a gap
        {"ZZ", 0, std::nullopt},
        // clang-format on
    };
    for (const auto& f : finds)
        EXPECT_EQ(HexBytes::find(image, bytes(f.pattern), f.from), f.found) << f.pattern;

    EXPECT_EQ(HexBytes::parse("de AD,bE ef"), (std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));
    for (const char* refused : {"", "ABC", "GG", "12 3"})
        EXPECT_EQ(HexBytes::parse(refused), std::nullopt) << refused;
    EXPECT_EQ(HexBytes::text(image, 0x1004, 0x2001), "45 46 47 48 43 44");
    EXPECT_EQ(HexBytes::at(image, 0x1007), std::optional<std::uint8_t>('H'));
    EXPECT_EQ(HexBytes::at(image, 0x1008), std::nullopt);
}

} // namespace
} // namespace zep
