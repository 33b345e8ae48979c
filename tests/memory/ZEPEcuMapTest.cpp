#include "MemoryTestUtil.h"
#include "flash/ZEPEcu.h"

#include <gtest/gtest.h>

namespace zep {
namespace {

using test::blocksOf;
using test::rangesOf;
using Ranges = std::vector<MemRange>;

/** an image covering ranges, one block per range, each byte telling its address */
MemImage imageOver(const Ranges& ranges) {
    MemImage image;
    for (const MemRange& r : ranges) {
        MemBlock block(r.count);
        block.setFirst(r.address);
        for (std::uint64_t a = r.address; a < r.end(); ++a)
            block.set(static_cast<MemBlock::Position>(a), static_cast<std::uint8_t>(a ^ (a >> 8)));
        image.add(block);
    }
    return image;
}

// Application: two adjacent ranges and one excluded entirely. Tuning: one range with an excluded middle.
ZEPEcu sampleEcu() {
    ZEPEcu ecu;
    ecu.addMapping(0x0000, 0x1000, false);
    ecu.addMapping(0x8000, 0x800, true);
    ecu.addMapping(0x1000, 0x1000, false);
    ecu.addMapping(0x2000, 0x100, false);
    ecu.addExclusion(0x8200, 0x100, true);
    ecu.addExclusion(0x2000, 0x100, false);
    return ecu;
}

TEST(ZEPEcuMap, WriteMapIsTheEraseMapLessItsExclusions) {
    ZEPEcu ecu = sampleEcu();
    EXPECT_EQ(rangesOf(ecu.EraseMap(true)), (Ranges{{0x8000, 0x800}}));
    EXPECT_EQ(rangesOf(ecu.EraseMap(false)),
              (Ranges{{0, 0x1000}, {0x1000, 0x1000}, {0x2000, 0x100}, {0x8000, 0x800}}));
    EXPECT_EQ(rangesOf(ecu.WriteMap(true)), (Ranges{{0x8000, 0x200}, {0x8300, 0x500}}));
    EXPECT_EQ(rangesOf(ecu.WriteMap(false)),
              (Ranges{{0, 0x1000}, {0x1000, 0x1000}, {0x8000, 0x200}, {0x8300, 0x500}}));

    // the erase map is the record's own, the write map a new one each time
    MemMap write = ecu.WriteMap(true);
    write.clear();
    ecu.EraseMap(true).add(0x9000, 0x10);
    EXPECT_EQ(rangesOf(ecu.WriteMap(true)), (Ranges{{0x8000, 0x200}, {0x8300, 0x500}, {0x9000, 0x10}}));
}

TEST(ZEPEcuMap, AnEcuWithoutMappingsKeepsNothing) {
    ZEPEcu filled = sampleEcu();
    filled.clearMaps();
    for (const ZEPEcu& ecu : {ZEPEcu(), filled}) {
        for (bool tuning : {true, false}) {
            EXPECT_TRUE(ecu.EraseMap(tuning).empty());
            EXPECT_TRUE(ecu.WriteMap(tuning).empty());
            MemImage image = imageOver({{0, 0x100}, {0x8000, 0x100}});
            ecu.Intersect(image, tuning);
            EXPECT_TRUE(image.empty());
        }
        MemImage image = imageOver({{0, 0x100}});
        ecu.NoCalib(image);
        EXPECT_TRUE(image.empty());
    }
}

TEST(ZEPEcuMap, ImagesAreClippedToTheWriteMap) {
    // clang-format off
    const struct { const char* name; bool tuning; Ranges image, expected; } cases[] = {
        {"excluded middle gives two blocks", true, {{0x8000, 0x800}}, {{0x8000, 0x200}, {0x8300, 0x500}}},
        {"cut at the range's end", true, {{0x8700, 0x200}}, {{0x8700, 0x100}}},
        {"cut at the range's start", true, {{0x7F00, 0x200}}, {{0x8000, 0x100}}},
        {"no tuning byte", true, {{0, 0x1000}, {0x9000, 0x10}}, {}},
        {"global drops exclusions", false, {{0x0F00, 0x80}, {0x1FF0, 0x20}, {0x81F0, 0x120}}, {{0x0F00, 0x80}, {0x1FF0, 0x10}, {0x81F0, 0x10}, {0x8300, 0x10}}},
        {"split where two mappings meet", false, {{0x0F00, 0x200}}, {{0x0F00, 0x100}, {0x1000, 0x100}}},
        {"adjacent blocks of one mapping come out as one", false, {{0x10, 0x10}, {0x20, 0x10}}, {{0x10, 0x20}}},
        {"nothing mapped", false, {{0x3000, 0x100}}, {}},
    };
    // clang-format on
    const ZEPEcu ecu = sampleEcu();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const MemImage input = imageOver(c.image);
        const MemImage kept = ZEPEcu::IntersectMap(input, ecu.WriteMap(c.tuning));
        EXPECT_EQ(blocksOf(kept), blocksOf(imageOver(c.expected)));
        EXPECT_EQ(blocksOf(input), blocksOf(imageOver(c.image)));
        MemImage image = input;
        ecu.Intersect(image, c.tuning);
        EXPECT_EQ(blocksOf(image), blocksOf(kept));
    }
}

TEST(ZEPEcuMap, NoCalibKeepsTheApplicationRangesExclusionsIncluded) {
    MemImage image = imageOver({{0x0F00, 0x200}, {0x1F80, 0x100}, {0x7F00, 0x200}});
    sampleEcu().NoCalib(image);
    EXPECT_EQ(blocksOf(image),
              blocksOf(imageOver({{0x0F00, 0x100}, {0x1000, 0x100}, {0x1F80, 0x80}, {0x2000, 0x80}})));
}

} // namespace
} // namespace zep
