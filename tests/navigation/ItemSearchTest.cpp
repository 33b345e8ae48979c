#include "support/SmallTree.h"

#include "database/ImageStore.h"
#include "database/SearchIndex.h"
#include "navigation/ByteSearch.h"
#include "navigation/ItemSearch.h"

#include <algorithm>

namespace zep::test {
namespace {

using ItemSearchTest = NavigationTest;

/** the small tree with identification codes: a hexadecimal-text ECU, a checked application, comments */
struct SearchData : SmallTree {
    qint64 hexEcu, hexApp, approved;
    explicit SearchData(Connection& db) : SmallTree(db) {
        hexEcu = addEcu(db, {.address = 122, .nom = "Belt 50%", .comment = "front_left"});
        hexApp = addItem(db, false, hexEcu,
                         {.name = "Belt SW", .pie = "5A4B31", .supplierHex = "414243", .hardware = "HW-77"});
        db.execute("UPDATE [Hardwares] SET [IdentificationType] = 33665 WHERE [Ecu Id] = ?", {hexEcu});
        db.execute("UPDATE [Applications] SET [PIE] = '5A4B313233' WHERE [App Id] = ?", {hexApp});
        approved = addItem(db, true, appA, {.name = "Tuning 2", .identValide = true, .comment = "Road test"});
        db.execute("UPDATE [Calibrations] SET [Homologation] = 'E2*0042' WHERE [Calib Id] = ?", {approved});
    }
};

SearchQuery q(std::string text, std::string kinds = {}, std::optional<int> function = {},
              std::optional<bool> checked = {}) {
    SearchQuery query;
    query.text = std::move(text);
    query.kinds = std::move(kinds);
    query.function = function;
    query.checked = checked;
    return query;
}

std::vector<std::string> keysOf(const SearchResult& result) {
    std::vector<std::string> keys;
    for (const SearchHit& hit : result.hits)
        keys.push_back(hit.row.key);
    std::sort(keys.begin(), keys.end());
    return keys;
}

TEST_P(ItemSearchTest, FindsItemsOfEveryKindByTheirShownTexts) {
    SearchData d(*db);
    const auto k = [](char kind, qint64 id) { return ItemKey{kind, id}.text(); };
    struct Case {
        SearchQuery query;
        std::vector<std::string> keys;
    };
    // clang-format off
    const Case cases[] = {
        {q("engine"), {"g7"}},                                    // the addressing document's name
        {q("7a"), {"g122"}},                                      // an address as the list shows it
        {q("INJECT"), {k('h', d.injection1), k('h', d.injection2)}},
        {q("front_l"), {k('h', d.hexEcu)}},                       // a comment; _ is no wildcard
        {q("50%"), {k('h', d.hexEcu)}},                           // nor is %
        {q("zk1"), {k('a', d.hexApp)}},                           // the part number ZK123 its ECU shows as characters
        {q("5A4B"), {}},                                          // ... and not by its digits
        {q("ABC"), {k('a', d.hexApp)}},                           // the supplier code shown as characters
        {q("hw-77"), {k('a', d.hexApp)}},
        {q("2*004"), {k('c', d.approved)}},                       // an approval number
        {q("road"), {k('c', d.approved)}},
        {q("tuning", "c", std::nullopt, true), {k('c', d.approved)}},
        {q("tuning", "c", std::nullopt, false), {k('c', d.tuning)}},
        {q("sw", "a", 122), {k('a', d.airbagApp), k('a', d.hexApp)}},
        {q("app", "ha"), {k('a', d.appA), k('a', d.appB), k('a', d.appC)}},
        {q("  orphan "), {k('h', d.orphan), k('a', d.orphanApp)}},
        {q("nothing like it"), {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query.text + " kinds " + c.query.kinds);
        std::vector<std::string> expected = c.keys;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(keysOf(ItemSearch::find(*db, c.query)), expected);
    }

    SearchQuery few = q("a");
    few.limit = 3;
    const SearchResult limited = ItemSearch::find(*db, few);
    EXPECT_EQ(limited.hits.size(), 3u);
    EXPECT_TRUE(limited.more);
}

TEST_P(ItemSearchTest, HitsTellTheirPathAndWhereTheTextWasFound) {
    SearchData d(*db);
    const SearchResult result = ItemSearch::find(*db, q("road test"));
    ASSERT_EQ(result.hits.size(), 1u);
    const SearchHit& hit = result.hits[0];
    EXPECT_EQ(hit.row.text, "Tuning 2");
    EXPECT_EQ(hit.row.icon, "tuning");
    EXPECT_EQ(hit.path(), "Engine\\Injection\\App A");
    EXPECT_EQ(hit.row.subItems[1], "Comment: Road test");
    EXPECT_EQ(hit.pathKeys, (std::vector<std::string>{"g7", ItemKey{'h', d.injection1}.text(),
                                                      ItemKey{'a', d.appA}.text()}));
    EXPECT_EQ(ItemSearch::countText(result), "1 item found");
}

TEST_P(ItemSearchTest, TheIndexFollowsRenamesAndDeletions) {
    SearchData d(*db);
    EXPECT_TRUE(SearchIndex::present(*db) || db->engine() == DatabaseEngine::PostgreSQL);
    db->execute("UPDATE [Applications] SET [App Name] = 'Renamed' WHERE [App Id] = ?", {d.appB});
    db->execute("DELETE FROM [Hardwares] WHERE [Ecu Id] = ?", {d.injection2});
    const std::vector<std::string> renamed{ItemKey{'a', d.appB}.text()}, none;
    EXPECT_EQ(keysOf(ItemSearch::find(*db, q("renamed"))), renamed);
    EXPECT_EQ(keysOf(ItemSearch::find(*db, q("App C"))), none);
    EXPECT_EQ(keysOf(ItemSearch::find(*db, q("App B"))), none);
}

TEST(ByteSearchText, HexBytesInTheUsualForms) {
    using Bytes = std::optional<std::vector<std::uint8_t>>;
    // clang-format off
    const std::pair<const char*, Bytes> cases[] = {
        {"0A1b", Bytes{{0x0A, 0x1B}}}, {"0x0A 0x1B", Bytes{{0x0A, 0x1B}}}, {"0a, 1b", Bytes{{0x0A, 0x1B}}},
        {"", std::nullopt}, {"0A1", std::nullopt}, {"GG", std::nullopt},
    };
    // clang-format on
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(ByteSearch::parseHexBytes(text), bytes) << text;
}

TEST_P(ItemSearchTest, FindsBytesAcrossRowsAtAnyOrAGivenAddress) {
    SearchData d(*db);
    // The application's image as rows of 4 bytes from 0x100, and a tuning of its own bytes at 0x200.
    MemImage app, tuning;
    for (std::uint32_t i = 0; i < 4; ++i) {
        const std::uint8_t row[] = {std::uint8_t(4 * i), std::uint8_t(4 * i + 1), std::uint8_t(4 * i + 2),
                                    std::uint8_t(4 * i + 3)};
        app.add(0x100 + 4 * i, row);
    }
    const std::uint8_t text[] = {'Z', 'E', 'P', '!'};
    tuning.add(0x200, text);
    ImageStore::StoreImageRows(*db, ImageStore::Owner::Application, d.appA, app);
    ImageStore::StoreImageRows(*db, ImageStore::Owner::Tuning, d.tuning, tuning);
    const std::string a = ItemKey{'a', d.appA}.text(), c = ItemKey{'c', d.tuning}.text();
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::optional<std::uint32_t> at;
        std::vector<std::string> keys;
        const char* address;
    };
    // clang-format off
    const Case cases[] = {
        {{0x02, 0x03, 0x04, 0x05}, std::nullopt, {a}, "Address: 102H"},    // across two rows
        {{0x02, 0x03, 0x04, 0x05}, 0x102, {a}, "Address: 102H"},
        {{0x02, 0x03, 0x04, 0x05}, 0x103, {}, ""},
        {{'E', 'P'}, std::nullopt, {c}, "Address: 201H"},                   // the tuning's own rows only
        {{0x0F, 0x10}, std::nullopt, {}, ""},                               // past the end
    };
    // clang-format on
    for (const Case& cs : cases) {
        ByteQuery query;
        query.bytes = cs.bytes;
        query.at = cs.at;
        const SearchResult result = ByteSearch::find(*db, query);
        EXPECT_EQ(keysOf(result), cs.keys);
        if (!result.hits.empty()) {
            EXPECT_EQ(result.hits[0].row.subItems[1], cs.address);
        }
    }
    ByteQuery stopped;
    stopped.bytes = {'E', 'P'};
    EXPECT_TRUE(
        ByteSearch::find(*db, stopped, [](std::uint64_t, std::uint64_t) { return false; }).hits.empty());
}

ZEP_ENGINES(ItemSearchTest);

} // namespace
} // namespace zep::test
