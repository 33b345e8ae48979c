#include "commands/EcuCreation.h"
#include "commands/MapRows.h"
#include "database/EcuStore.h"
#include "support/TestDatabase.h"
#include "text/TextCatalog.h"

#include <QSqlQuery>

namespace zep::test {
namespace {

using MapRows::MapEntry;
using Kind = MapEntry::Kind;

TEST(MapEntries, RefuseInvertedOverlappingAndStrayRanges) {
    TextCatalog::instance().setLanguage("en");
    struct Case {
        std::vector<MapEntry> entries;
        const char* error; // nullptr: a memory map
    };
    // clang-format off
    const Case cases[] = {
        {{{Kind::Global, 0x1000, 0x1FFF}, {Kind::Tuning, 0x2000, 0x2FFF}, {Kind::Exclusion, 0x1800, 0x18FF}}, nullptr},
        {{{Kind::Global, 0xFFFFFF00, 0xFFFFFFFF}}, nullptr},
        {{{Kind::Global, 0x2000, 0x1FFF}}, "The range 2000-1FFF ends before it starts: give an end at or after its start."},
        {{{Kind::Global, 0x1000, 0x1FFF}, {Kind::Tuning, 0x1FFF, 0x2FFF}},
         "The ranges 1000-1FFF and 1FFF-2FFF overlap: an address belongs to one mapping and one exclusion at most."},
        {{{Kind::Global, 0x1000, 0x1FFF}, {Kind::Exclusion, 0x1F00, 0x20FF}},
         "The excluded range 1F00-20FF lies outside every mapping: an exclusion must lie inside one mapping."},
        {{{Kind::Global, 0x1000, 0x1FFF}, {Kind::Exclusion, 0x1000, 0x10FF}, {Kind::Exclusion, 0x10FF, 0x1100}},
         "The ranges 1000-10FF and 10FF-1100 overlap: an address belongs to one mapping and one exclusion at most."},
    };
    // clang-format on
    for (const Case& c : cases) {
        const auto error = MapRows::check(c.entries);
        EXPECT_EQ(error.value_or("(none)"), c.error ? c.error : "(none)");
    }
    // clang-format off
    const std::pair<const char*, std::optional<std::uint32_t>> addresses[] = {
        {"1A2b", 0x1A2B}, {"0x10", 0x10}, {" 7AH ", 0x7A}, {"FFFFFFFF", 0xFFFFFFFF},
        {"100000000", std::nullopt}, {"", std::nullopt}, {"0x", std::nullopt}, {"12G", std::nullopt},
    };
    // clang-format on
    for (const auto& [text, value] : addresses)
        EXPECT_EQ(MapRows::parseAddress(text), value) << text;
}

TEST(MapEntries, MakeTheMapsTheWriteMapComesFrom) {
    ZEPEcu ecu;
    const std::vector<MapEntry> entries{
        {Kind::Global, 0x1000, 0x1FFF}, {Kind::Tuning, 0x2000, 0x2FFF}, {Kind::Exclusion, 0x2100, 0x21FF}};
    MapRows::apply(entries, ecu);
    EXPECT_EQ(ecu.WriteMap(true), (MemMap{{0x2000, 0x100}, {0x2200, 0xE00}}));
    EXPECT_EQ(ecu.WriteMap(false), (MemMap{{0x1000, 0x1000}, {0x2000, 0x100}, {0x2200, 0xE00}}));
    EXPECT_EQ(MapRows::entries(ecu), entries);
}

using EcuCreationTest = EngineTest;

TEST_P(EcuCreationTest, StoresANewEcuWithItsMapInLocalDatabasesOnly) {
    TextCatalog::instance().setLanguage("en");
    auto db = database().create();
    db->execute("INSERT INTO [Hardwares] ([Address], [Nom], [IdentificationType]) VALUES (7, 'Old', 33665)");
    ZEPEcu ecu = EcuCreation::defaults(*db, 7);
    EXPECT_EQ(ecu.IdentificationType, 33665);
    EXPECT_EQ(ecu.FillPattern.toHex(), "FF");
    EXPECT_EQ(ecu.WriteGranularity, 256);
    MapRows::apply({{Kind::Tuning, 0x80000000, 0x8000FFFF}, {Kind::Exclusion, 0x80000000, 0x800000FF}}, ecu);

    if (db->isCentral()) {
        ecu.Nom = "New";
        EXPECT_THROW(EcuCreation::create(*db, ecu), ZepError);
        QSqlQuery count = db->execute("SELECT count(*) FROM [Hardwares]");
        ASSERT_TRUE(count.next());
        EXPECT_EQ(count.value(0).toInt(), 1);
        return;
    }
    EXPECT_THROW(EcuCreation::create(*db, ecu), ZepError); // no name
    ecu.Nom = "New";
    const qint64 id = EcuCreation::create(*db, ecu);
    const ZEPEcu stored = EcuStore::Read(*db, id);
    EXPECT_EQ(stored.Nom, "New");
    EXPECT_EQ(stored.Address, 7);
    EXPECT_EQ(stored.WriteMap(true), (MemMap{{0x80000100, 0xFF00}}));

    ZEPEcu changed = stored;
    MapRows::apply({{Kind::Global, 0x100, 0x1FF}}, changed);
    EcuCreation::update(*db, id, changed);
    EXPECT_EQ(EcuStore::Read(*db, id).WriteMap(false), (MemMap{{0x100, 0x100}}));
    MapRows::apply({{Kind::Global, 0x100, 0x1FF}, {Kind::Tuning, 0x180, 0x2FF}}, changed);
    EXPECT_THROW(EcuCreation::update(*db, id, changed), ZepError);
    EXPECT_EQ(EcuStore::Read(*db, id).WriteMap(false), (MemMap{{0x100, 0x100}}));
}

ZEP_ENGINES(EcuCreationTest);

} // namespace
} // namespace zep::test
