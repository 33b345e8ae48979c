#include "commands/MapRows.h"
#include "flash/EcuApplication.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace zep {
namespace {

using Texts = std::vector<std::string>;

/** a row's cells joined by "|" */
std::string rowText(const MemRange& range, const std::string& further = {}) {
    std::string text;
    for (const std::string& cell : MapRows::cells(range))
        text += cell + "|";
    return text + further;
}

TEST(MapRows, Kilobytes) {
    struct Case {
        std::uint64_t bytes;
        const char* shortForm;
        std::uint64_t rounded;
    };
    // clang-format off
    const Case cases[] = {
        {0, "", 0},
        {512, "", 0},               // halves to the even integer
        {1023, "", 1},
        {1024, "1", 1},
        {1280, "1.3", 1},
        {1536, "1.5", 2},
        {2047, "2.0", 2},
        {2048, "2", 2},
        {2560, "2.5", 2},
        {0x100000000, "4194304", 4194304},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(MapRows::shortKilobytes(c.bytes), c.shortForm) << c.bytes;
        EXPECT_EQ(MapRows::roundedKilobytes(c.bytes), c.rounded) << c.bytes;
    }
}

TEST(MapRows, ErasingMapCutsTheSpanByClass) {
    struct Case {
        const char* name;
        std::function<void(ZEPEcu&)> map;
        Texts rows; // cells, class (t tuning, g global only, n never), "x" when excluded
    };
    // clang-format off
    const Case cases[] = {
        {"no mapping", [](ZEPEcu&) {}, {}},
        {"application, gap, tuning with a hole, gap, application with a hole", [](ZEPEcu& e) {
            e.addMapping(0x0000, 0x1000, false);
            e.addMapping(0x2000, 0x800, true);
            e.addExclusion(0x2200, 0x100, true);
            e.addMapping(0x3000, 0x400, false);
            e.addExclusion(0x3000, 0x10, false);
         }, {"0|FFF|1000|4|g", "1000|1FFF|1000|4|n", "2000|21FF|200||t", "2200|22FF|100||t|x", "2300|27FF|500|1.3|t",
             "2800|2FFF|800|2|n", "3000|300F|10||g|x", "3010|33FF|3F0||g"}},
        {"tuning inside an application range", [](ZEPEcu& e) {
            e.addMapping(0x1000, 0x1000, false);
            e.addMapping(0x1400, 0x400, true);
         }, {"1000|13FF|400|1|g", "1400|17FF|400|1|t", "1800|1FFF|800|2|g"}},
        {"up to the top of the address space", [](ZEPEcu& e) { e.addMapping(0xFFFFF000, 0x1000, false); },
         {"FFFFF000|FFFFFFFF|1000|4|g"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZEPEcu ecu;
        c.map(ecu);
        Texts rows;
        for (const MapRows::ErasingRow& row : MapRows::erasing(ecu)) {
            const char* kind = row.erasing == MapRows::Erasing::Tuning       ? "t"
                               : row.erasing == MapRows::Erasing::GlobalOnly ? "g"
                                                                             : "n";
            rows.push_back(rowText(row.range, kind) + (row.excluded ? "|x" : ""));
        }
        EXPECT_EQ(rows, c.rows);
    }
}

TEST(MapRows, ImageAgainstItsWriteMap) {
    struct Case {
        bool tuning;
        const char* tab;
        Texts rows;
        const char* total;
    };
    // ECU: 1000-1FFF global, 8000-85FF tuning. The global image covers 1000-17FF and 9000-91FF, the
    // tuning image exactly its write map.
    // clang-format off
    const Case cases[] = {
        {false, "Mapping", {"1000|17FF|800|2|", "9000|91FF|200||"}, "2560 bytes - 2 KBytes"},
        {false, "Missing", {"1800|1FFF|800|2|", "8000|85FF|600|1.5|"}, "3584 bytes - 4 KBytes"},
        {false, "Exceed", {"9000|91FF|200||"}, "512 bytes - 0 KBytes"},
        {true, "Mapping", {"8000|85FF|600|1.5|"}, "1536 bytes - 2 KBytes"},
        {true, "Missing", {}, "0 bytes - 0 KBytes"},
        {true, "Exceed", {}, "0 bytes - 0 KBytes"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tuning ? "tuning " : "global ") + c.tab);
        EcuApplication image;
        image.Ecu().addMapping(0x1000, 0x1000, false);
        image.Ecu().addMapping(0x8000, 0x600, true);
        image.setEstCalibration(c.tuning);
        if (c.tuning) {
            image.value().add(0x8000, std::vector<std::uint8_t>(0x600, 1));
        } else {
            image.value().add(0x1000, std::vector<std::uint8_t>(0x800, 1));
            image.value().add(0x9000, std::vector<std::uint8_t>(0x200, 1));
        }
        const MemMap ranges =
            MapRows::coverage(c.tab, image.value().map(), image.Ecu().WriteMap(image.EstCalibration()));
        Texts rows;
        for (const MemRange& range : ranges)
            rows.push_back(rowText(range));
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(MapRows::total(ranges), c.total);
    }
}

} // namespace
} // namespace zep
