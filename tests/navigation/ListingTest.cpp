#include "support/SmallTree.h"

#include "navigation/Listing.h"

namespace zep::test {
namespace {

using Texts = std::vector<std::string>;

TEST(IdentificationCodes, ShowAsCharactersOrDigitsByIdentificationType) {
    struct Case {
        const char* hex;
        int type;
        const char* supplier;
        const char* partNumber;
    };
    const Case cases[] = {
        // clang-format off
        {"414243", 0, "ABC", "414243"},
        {"414243", 32768, "ABC", "414243"},
        {"414243", 33664, "A4243", "414243"},
        {"414243", 33665, "ABC", "414243"},
        {"414243", 33666, "414243", "414243"},
        {"4142434445", 0, "ABC", "4142434445"},
        {"4142434445", 33664, "A42434445", "ABCDE"},
        {"4142434445", 33665, "ABC", "ABCDE"},
        {"4142434445", 33666, "4142434445", "ABCDE"},
        {"E94142", 0, "\xC3\xA9" "AB", "E94142"}, // Latin-1 E9 is é
        {"", 0, "", ""},
        {"4G4243", 0, "4G4243", "4G4243"}, // not hexadecimal: shown as it is
        {"4142", 33665, "4142", "4142"}, // too short for five characters
        // An application without identification has all-zero codes: control characters are shown as digits.
        {"0000000000", 33664, "0000000000", "0000000000"},
        {"0000000000", 33665, "0000000000", "0000000000"},
        {"0000000000", 33666, "0000000000", "0000000000"},
        {"000000", 0, "000000", "000000"},
        {"0A4243", 33664, "0A4243", "0A4243"},
        {"41421F4445", 33665, "41421F4445", "41421F4445"},
        {"7F4243", 0, "7F4243", "7F4243"},
        {"854243", 0, "854243", "854243"}, // a C1 control code in Latin-1
        {"414200", 33664, "A4200", "414200"},
        {"202020", 33664, " 2020", "202020"}, // blanks are printable
        {"A04142", 0, "\xC2\xA0" "AB", "A04142"},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.hex) + " type " + std::to_string(c.type));
        EXPECT_EQ(supplierText(c.hex, c.type), c.supplier);
        EXPECT_EQ(partNumberText(c.hex, c.type), c.partNumber);
    }
}

TEST(ListTexts, ComeFromTheCatalogWithEnglishDefaults) {
    TextCatalog& catalog = TextCatalog::instance();
    catalog.unload();
    catalog.setLanguage("en");
    EXPECT_EQ(itemCountText(1), "1 item");
    EXPECT_EQ(itemCountText(2), "2 items");
    EXPECT_EQ(listColumns(2)[7].text(), "Upload With CRC");

    ASSERT_TRUE(catalog.loadFromString(R"(<software>
  <common><yes><text xml:lang="fr">oui</text></yes><no><text xml:lang="fr">non</text></no></common>
  <frmDatabase><Messages>
    <items><text xml:lang="fr">{0} éléments</text></items>
    <item><text xml:lang="fr">{0} élément</text></item>
    <localDB><text xml:lang="fr">Base locale</text></localDB>
    <centralDB><text xml:lang="fr">Base centrale</text></centralDB>
    <partNumber><text xml:lang="fr">Référence</text></partNumber>
  </Messages></frmDatabase>
</software>)"));
    catalog.setLanguage("fr");
    EXPECT_EQ(itemCountText(3), "3 éléments");
    EXPECT_EQ(itemCountText(1), "1 élément");
    EXPECT_EQ(yesNoText(true), "oui");
    EXPECT_EQ(yesNoText(false), "non");
    EXPECT_EQ(TreeSource::databaseKindText(true), "Base centrale");
    EXPECT_EQ(TreeSource::databaseKindText(false), "Base locale");
    EXPECT_EQ(listColumns(4)[2].text(), "Référence");
    catalog.unload();
    catalog.setLanguage("en");
}

using ListingTest = NavigationTest;

const ListRow* rowOf(const Listing& listing, const std::string& key) {
    for (const ListRow& row : listing.rows)
        if (row.key == key)
            return &row;
    return nullptr;
}

TEST_P(ListingTest, FunctionsWithTheirAddresses) {
    SmallTree data(*db);
    TreeSource tree;
    ASSERT_TRUE(tree.build(*db));
    const Listing listing = Listing::of(*db, tree, "r");
    EXPECT_EQ(listing.level, 1);
    ASSERT_EQ(listing.rows.size(), 4u);
    const ListRow& engine = listing.rows[3];
    EXPECT_EQ(engine.key, "g7");
    EXPECT_EQ(engine.text, "Engine");
    EXPECT_EQ(engine.icon, "function");
    EXPECT_EQ(engine.subItems, Texts{"07"});
    EXPECT_EQ(engine.tag, "Address code : 07H");
    EXPECT_EQ(listing.rows[0].subItems, Texts{"C8"});
    EXPECT_EQ(listing.countText(), "4 items");
}

TEST_P(ListingTest, EcusWithTheirParameters) {
    addFunction(*db, 30, "Body");
    TreeSource tree;
    struct Case {
        EcuRow ecu;
        std::string text;
        Texts subItems;
        std::string tag;
    };
    const Case cases[] = {
        // clang-format off
        {{.address = 30, .nom = "Plain", .interByte = 5, .replyToRequest = 20, .writeGranularity = 16}, "Plain", {"   ", "5", "20", "16", "0", "", "yes", ""}, ""},
        {{.address = 30, .nom = "Tolmak", .comment = "see sheet 4", .supplierHex = "414243", .identificationType = 33664, .uploadRL = 132, .fillPattern = QByteArray("\x00\xFF", 2), .repeatPattern = QByteArray("\x55\xAA\x0F")}, "Tolmak", {"A4243", "0", "0", "1", "2", "00FF", "no", "55AA0F"}, "see sheet 4"},
        {{.address = 30, .nom = "Hex", .supplierHex = "414243", .identificationType = 33666, .fillPattern = QByteArray("\xFF")}, "Hex", {"414243", "0", "0", "1", "1", "FF", "yes", ""}, ""},
        {{.address = 30, .nom = std::nullopt, .supplierHex = std::nullopt}, "", {"", "0", "0", "1", "0", "", "yes", ""}, ""},
        // clang-format on
    };
    std::vector<qint64> ids;
    for (const Case& c : cases)
        ids.push_back(addEcu(*db, c.ecu));
    ASSERT_TRUE(tree.build(*db));

    const Listing listing = Listing::of(*db, tree, "g30");
    EXPECT_EQ(listing.level, 2);
    EXPECT_FALSE(listing.error);
    ASSERT_EQ(listing.rows.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].text);
        const ListRow* row = rowOf(listing, "h" + std::to_string(ids[i]));
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->text, cases[i].text);
        EXPECT_EQ(row->icon, "ecu");
        EXPECT_EQ(row->subItems, cases[i].subItems);
        EXPECT_EQ(row->tag, cases[i].tag);
    }
    // The ECU without a name had no node: listing gives it one.
    ASSERT_EQ(listing.added.size(), 1u);
    EXPECT_EQ(listing.added[0]->key(), "h" + std::to_string(ids[3]));
    EXPECT_EQ(listing.added[0]->parent()->key(), "g30");
}

TEST_P(ListingTest, ApplicationsWithIdentificationReadByTheEcuType) {
    addFunction(*db, 40, "Display");
    TreeSource tree;
    ASSERT_TRUE(tree.build(*db));
    const qint64 ecu = addEcu(*db, {.address = 40, .nom = "ECU", .identificationType = 33664});
    tree.addEcu(ecu, "ECU", 40, "");
    const qint64 app = addItem(*db, false, ecu,
                               {.name = "Software 1",
                                .pie = "4142434445",
                                .indiceDiag = 3,
                                .supplierHex = "414243",
                                .identValide = true,
                                .comment = "tested",
                                .hardware = "HW1"});
    const qint64 other = addItem(*db, false, ecu, {.name = "Software 2", .indiceDiag = std::nullopt});
    // a column whose name is not ASCII
    db->execute("UPDATE [Applications] SET [Réserve] = ? WHERE [App Id] = ?", {"0A0B0C0D", app});

    const Listing listing = Listing::of(*db, tree, "h" + std::to_string(ecu));
    EXPECT_EQ(listing.level, 3);
    ASSERT_EQ(listing.rows.size(), 2u);
    const ListRow* row = rowOf(listing, "a" + std::to_string(app));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->text, "Software 1");
    EXPECT_EQ(row->icon, "application");
    EXPECT_EQ(row->subItems, (Texts{"yes", "ABCDE", "3", "A4243", "HW1", "", "", "", "0A0B0C0D", ""}));
    EXPECT_EQ(row->tag, "tested");
    const ListRow* unchecked = rowOf(listing, "a" + std::to_string(other));
    ASSERT_NE(unchecked, nullptr);
    EXPECT_EQ(unchecked->subItems[0], "no");
    EXPECT_EQ(unchecked->subItems[2], "") << "a Null Indice Diag";
    EXPECT_EQ(unchecked->subItems[1], "0000000000") << "no identification: the digits, not NUL characters";

    // Both applications join the tree under their ECU, once.
    ASSERT_EQ(listing.added.size(), 2u);
    EXPECT_EQ(tree.find("a" + std::to_string(app))->tag(), "tested");
    EXPECT_TRUE(Listing::of(*db, tree, "h" + std::to_string(ecu)).added.empty());
}

TEST_P(ListingTest, TuningsFollowTheDefaultTuning) {
    addFunction(*db, 50, "Cluster");
    const qint64 ecu = addEcu(*db, {.address = 50, .nom = "ECU", .identificationType = 33665});
    const qint64 app =
        addItem(*db, false, ecu, {.name = "Base", .pie = "4142434445", .comment = "base image"});
    const qint64 t1 = addItem(*db, true, app, {.name = "Économie", .identValide = true, .comment = "eco"});
    const qint64 t2 = addItem(*db, true, app, {.name = "Sport"});
    TreeSource tree;
    ASSERT_TRUE(tree.build(*db));

    const Listing listing = Listing::of(*db, tree, "a" + std::to_string(app));
    EXPECT_EQ(listing.level, 4);
    ASSERT_EQ(listing.rows.size(), 3u);
    const ListRow& base = listing.rows[0];
    EXPECT_EQ(base.key, "a" + std::to_string(app));
    EXPECT_EQ(base.text, "default tuning");
    EXPECT_EQ(base.icon, "tuning");
    EXPECT_EQ(base.subItems[1], "ABCDE");
    EXPECT_EQ(base.tag, "base image");
    const ListRow* eco = rowOf(listing, "c" + std::to_string(t1));
    ASSERT_NE(eco, nullptr);
    EXPECT_EQ(eco->text, "Économie");
    EXPECT_EQ(eco->icon, "tuning");
    EXPECT_EQ(eco->subItems[0], "yes");
    EXPECT_EQ(eco->tag, "eco");
    EXPECT_NE(rowOf(listing, "c" + std::to_string(t2)), nullptr);
    EXPECT_EQ(listing.countText(), "3 items");
    EXPECT_TRUE(listing.added.empty());
}

TEST_P(ListingTest, EmptyLevelsAndMissingItems) {
    SmallTree data(*db);
    TreeSource tree;
    ASSERT_TRUE(tree.build(*db));

    const Listing doors = Listing::of(*db, tree, "g16");
    EXPECT_EQ(doors.level, 2);
    EXPECT_TRUE(doors.rows.empty());
    EXPECT_FALSE(doors.error);
    EXPECT_EQ(doors.countText(), "0 item");
    EXPECT_EQ(Listing::of(*db, tree, "h" + std::to_string(data.gearbox)).countText(), "0 item");

    const Listing gone = Listing::of(*db, tree, "h99999");
    EXPECT_EQ(gone.level, 3);
    EXPECT_TRUE(gone.rows.empty());
    EXPECT_TRUE(gone.error);
    EXPECT_TRUE(Listing::of(*db, tree, "a99999").error);
    EXPECT_EQ(Listing::of(*db, tree, "c" + std::to_string(data.tuning)).level, 0);
    EXPECT_EQ(Listing::of(*db, tree, "x1").level, 0);
}

ZEP_ENGINES(ListingTest);

} // namespace
} // namespace zep::test
