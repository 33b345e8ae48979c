#include "XmlTestData.h"

#include "commands/XmlExport.h"
#include "commands/XmlImport.h"
#include "navigation/Listing.h"
#include "navigation/TreeSource.h"

#include <gtest/gtest.h>

#include <functional>

namespace zep::test {
namespace {

using XmlImportTest = XmlTest;

const std::string ecuName = "Injection & <co>";

std::string golden(const char* file = "ecu.base64.xml") {
    return readFile(dataPath(std::string("xml/") + file));
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

/** the Boot element of the golden document, for documents of several Boots */
std::string goldenBoot() {
    const std::string text = golden();
    const std::size_t first = text.find("<Boot "), end = text.find("</Boot>") + 7;
    return text.substr(first, end - first);
}

class Import : public XmlImportTest {
protected:
    XmlImportResult import(const std::string& text, const TreeSource* tree = nullptr) {
        writeFile(dir.file("in.xml"), text);
        return OpenXmlFile(*db, dir.file("in.xml"), ui, tree);
    }
    std::string exportEcu(Connection& from, qint64 ecuId) {
        EXPECT_TRUE(SaveXml(from, "h" + std::to_string(ecuId), dir.file("out.xml"), ui,
                            {.encoding = SegmentEncoding::Base64}));
        return readFile(dir.file("out.xml"));
    }
};

TEST_P(Import, TheGoldenDocumentGivesBackTheEcuAndExportsTheSameAgain) {
    const XmlImportResult result = import(golden());
    EXPECT_EQ(ui.texts(),
              std::vector<std::string>{"Adding function Engine control unit for address code 10H"});
    ASSERT_EQ(result.ecus.size(), 1u);
    const ImportedEcu& ecu = result.ecus[0];
    EXPECT_TRUE(ecu.added);
    EXPECT_EQ(ecu.functionKey, "g16");
    EXPECT_EQ(ecu.applications.size(), 1u);
    EXPECT_EQ(ecu.tunings.size(), 3u);
    const std::string ecuKey = ecu.ecu.text(), appKey = ecu.applications[0].text();
    ASSERT_EQ(result.nodes.size(), 3u);
    EXPECT_EQ(result.nodes[0].key + result.nodes[0].parentKey + result.nodes[0].text + result.nodes[0].tag,
              "g16rEngine control unit10");
    EXPECT_EQ(result.nodes[1].key + result.nodes[1].parentKey + result.nodes[1].text,
              ecuKey + "g16" + ecuName);
    EXPECT_EQ(result.nodes[2].key + result.nodes[2].parentKey + result.nodes[2].text,
              appKey + ecuKey + "SW 1.0");

    // The code is stored without its excluded bytes, which the export would leave out anyway.
    EXPECT_EQ(lines(*db, "SELECT [Address], [Bytes] FROM [Application Code] ORDER BY [Address]"),
              (std::vector<std::string>{"4096|0x000102030405060708090A0B0C0D0E0F", "7968|0x48494A4B4C4D4E4F",
                                        "8192|0x202122232425262728292A2B2C2D2E2F"}));

    // The parameters, the memory map, the identifications and the tunings came back, as the export tells;
    // the default tuning data came back as a tuning too, so the next export has it once more, and no
    // more after that.
    const std::string defaultData =
        golden().substr(golden().find("\r\n<tuningdata Name=\"default tuning\">"),
                        golden().find("\r\n<tuningdata Name=\"T1\">") -
                            golden().find("\r\n<tuningdata Name=\"default tuning\">"));
    const std::string again = replaced(golden(), "</application>", defaultData + "</application>");
    EXPECT_EQ(exportEcu(*db, ecu.ecu.id), again);
    TestDatabase third(GetParam());
    const auto thirdDb = third.create();
    writeFile(dir.file("again.xml"), again);
    ImportXmlFile(*thirdDb, dir.file("again.xml"), ui);
    EXPECT_EQ(exportEcu(*thirdDb, 1), again);
}

TEST(XmlImportEngines, SameRowsOnSqliteAndPostgreSqlFromEitherEncoding) {
    if (!TestDatabase::server())
        GTEST_SKIP()
            << "PostgreSQL case skipped: ZEP_TEST_PG is not set (./test starts a server and sets it)";
    useXmlTexts();
    std::vector<std::vector<std::string>> dumps;
    for (const auto& [engine, file] : {std::pair{DatabaseEngine::SQLite, "ecu.base64.xml"},
                                       {DatabaseEngine::PostgreSQL, "ecu.base64.xml"},
                                       {DatabaseEngine::SQLite, "ecu.binhex.xml"}}) {
        TestDatabase place(engine);
        const auto db = place.create();
        RecordingInteraction ui;
        ImportXmlFile(*db, dataPath(std::string("xml/") + file), ui);
        dumps.push_back(importedRows(*db));
    }
    Addressing::instance().unload();
    EXPECT_GT(dumps[0].size(), 7u + 8u);
    EXPECT_EQ(dumps[1], dumps[0]);
    EXPECT_EQ(dumps[2], dumps[0]);
}

TEST_P(Import, AnExistingEcuIsUpdatedKeptOrLeftAsTheUserSays) {
    import(golden());
    const std::vector<std::string> before = importedRows(*db);
    const std::string question = "Update existing ECU?";
    const std::string existing[] = {"Application SW 1.0 code already exists. Not updated",
                                    "Tuning default tuning data already exists. Not updated",
                                    "Tuning T1 data already exists. Not updated",
                                    "Tuning T2 data already exists. Not updated"};
    const std::string changed =
        replaced(replaced(golden(), "<InterByte Delay=\"10\"/>", "<InterByte Delay=\"99\"/>"),
                 "<tuningdata Name=\"T2\">", "<tuningdata Name=\"T3\">");
    const auto unchanged = [&](Connection& c) { EXPECT_EQ(importedRows(c), before); };
    const auto updated = [&](Connection& c) {
        EXPECT_EQ(EcuStore::Read(c, 1).InterByteDelay, 99);
        EXPECT_EQ((std::vector{count(c, "Mappings"), count(c, "Exclusions"), count(c, "Calibrations")}),
                  (std::vector<long long>{2, 2, 4}));
    };
    const std::string address17 = replaced(golden(), "<Address Value=\"16\"/>", "<Address Value=\"17\"/>");
    const std::vector<std::string> cannotChange = {
        "Adding function Engine control unit for address code 11H",
        "Boot " + ecuName + " already present with address code 10H. Can't change to 11H"};
    // clang-format off
    const struct { std::string document; Answer answer; std::vector<std::string> shown; std::size_t ecus; std::function<void(Connection&)> check; } cases[] = {
        {golden(), Answer::Cancel, {question}, 0, unchanged},
        {golden(), Answer::No, {question, existing[0], existing[1], existing[2], existing[3]}, 1, unchanged},
        {address17, Answer::Yes, cannotChange, 0, unchanged},
        {changed, Answer::Yes, {question, existing[0], existing[1], existing[2]}, 1, updated},
    };
    // clang-format on
    for (const auto& c : cases) {
        ui.shown.clear();
        ui.answers = {c.answer};
        EXPECT_EQ(import(c.document).ecus.size(), c.ecus);
        EXPECT_EQ(ui.texts(), c.shown);
        c.check(*db);
    }
}

TEST_P(Import, AFunctionOfTheTreeKeepsItsNameAndIsNotAddedAgain) {
    Addressing::instance().unload();
    db->execute("INSERT INTO [Fonctions] ([Address], [Name]) VALUES (16, 'Moteur')");
    TreeSource tree;
    ASSERT_TRUE(tree.build(*db));
    const XmlImportResult result = import(golden(), &tree);
    EXPECT_EQ(ui.texts(),
              std::vector<std::string>{
                  "Adding to function Moteur instead of Engine control unit (same address code : 10H)"});
    ASSERT_EQ(result.nodes.size(), 2u);
    EXPECT_EQ(result.nodes[0].parentKey, "g16");
}

TEST_P(Import, ABootThatFailsLeavesNoneOfItsRowsAndTheOthersAreImported) {
    const std::string second =
        replaced(replaced(goldenBoot(), ecuName.substr(0, 9), "Second"),
                 "<segment at=\"8192\" repeat=\"128\">FFFF", "<segment at=\"8192\" repeat=\"128\">ffff");
    const std::string noFunction = replaced(replaced(goldenBoot(), ecuName.substr(0, 9), "Third"),
                                            "<Function Name=\"Engine control unit\"/>", "<Function/>");
    const XmlImportResult result = import(replaced(golden(), "</xml>", second + noFunction + "</xml>"));
    EXPECT_EQ(ui.texts(), (std::vector<std::string>{
                              "Adding function Engine control unit for address code 10H",
                              "Different values for erasing not handled by ZEP", "Missing function name"}));
    EXPECT_EQ(result.failed, 2);
    EXPECT_EQ(result.ecus.size(), 1u);
    EXPECT_EQ(lines(*db, "SELECT [Nom] FROM [Hardwares]"), std::vector<std::string>{ecuName});
    EXPECT_EQ(count(*db, "Mappings"), 2);
    EXPECT_EQ(count(*db, "Applications"), 1);
}

// Base64 text broken over lines is the decoder's business (Base64Test).
TEST_P(Import, UnnamedDefaultTuningDataIsTheApplicationsOwn) {
    import(replaced(golden(), "<tuningdata Name=\"default tuning\">", "<tuningdata Name=\"\">"));
    EXPECT_EQ(lines(*db, "SELECT [Bytes] FROM [Application Code] ORDER BY [Address]"),
              (std::vector<std::string>{"0x000102030405060708090A0B0C0D0E0F", "0x48494A4B4C4D4E4F",
                                        "0x202122232425262728292A2B2C2D2E2F"}));
    EXPECT_EQ(lines(*db, "SELECT [Calib Name] FROM [Calibrations] ORDER BY [Calib Id]"),
              (std::vector<std::string>{"T1", "T2"}));
}

TEST_P(Import, SupplierCodesOfTheIdentificationsShowInTheList) {
    // clang-format off
    const struct { std::string identification; const char* supplierHex; const char* shown; } cases[] = {
        {"<Identification Supplier=\"ZEP\"/>", "5A4550", "ZEP"},
        {"<Identification Supplier=\"AB\"/>", "414220", "AB "},
        {"<Identification Supplier=\"\"/>", "202020", "   "},
        {"<Identification Version=\"0001\"/>", "202020", "   "},
        {"<Identification Supplier=\"Zé1\"/>", "5AE931", "Zé1"},
        {"<Identification Supplier=\"Z€1\"/>", "5A3F31", "Z?1"},
        {"<Identification Supplier=\"ABCD\"/>", "414243", "ABC"},
        {"", "202020", "   "},
    };
    // clang-format on
    // One application a case, whose default tuning data and tuning carry the case's identification.
    std::string applications;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string data =
            "<ProgrammingStamp>" + cases[i].identification + "</ProgrammingStamp></tuningdata>";
        applications += "<application Name=\"A" + std::to_string(i) + "\"><tuningdata Name=\"\">" + data +
                        "<tuningdata Name=\"T\">" + data + "</application>";
    }
    const XmlImportResult result = import(replaced(golden(), "</Boot>", applications + "</Boot>"));
    ASSERT_EQ(result.ecus.size(), 1u);
    ASSERT_EQ(result.ecus[0].applications.size(), std::size(cases) + 1);
    TreeSource tree;
    ASSERT_TRUE(tree.build(*db));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].identification);
        const qint64 appId = result.ecus[0].applications[i + 1].id;
        EXPECT_EQ(
            lines(*db, QString("SELECT [SupplierHex] FROM [Applications] WHERE [App Id] = %1"
                               " UNION ALL SELECT [SupplierHex] FROM [Calibrations] WHERE [App Id] = %1")
                           .arg(appId)),
            (std::vector<std::string>{cases[i].supplierHex, cases[i].supplierHex}));
        // The default tuning shows the application's row, the tuning its own.
        const Listing listing = Listing::of(*db, tree, "a" + std::to_string(appId));
        ASSERT_EQ(listing.rows.size(), 2u);
        for (const ListRow& row : listing.rows)
            EXPECT_EQ(row.subItems[3], cases[i].shown) << row.text;
    }
    EXPECT_EQ(lines(*db, "SELECT [SupplierHex] FROM [Calibrations] WHERE [App Id] = " +
                             QString::number(result.ecus[0].applications[0].id) + " ORDER BY [Calib Id]"),
              (std::vector<std::string>{"5A4550", "414243", "414243"}));
}

TEST_P(Import, MalformedAndForeignDocumentsAreRefusedAndWriteNothing) {
    const std::string broken =
        "<?xml version=\"1.0\"?>\r\n<xml>\r\n<Boot Name=\"a\">\r\n  <K></Kx>\r\n</xml>\r\n";
    const std::string adding = "Adding function Engine control unit for address code 10H";
    // clang-format off
    const struct { std::string text; std::vector<std::string> shown; } cases[] = {
        {broken, {"Start-end tags mismatch (line 4, column 8)\r\n  <K></Kx>"}},
        {replaced(golden(), "AAECAwQFBgcICQoLDA0ODw==", "AAECAwQFBgcICQoLDA0ODw"), {adding, "Invalid value \"\r\nAAECAwQFBgcICQoLDA0ODw\r\n\" for segment (bin.base64)"}},
        {"<?xml version=\"1.0\"?><html><body><Boot/></body></html>", {"This is not an ECU file: its root element <html> holds no Boot element."}},
        {"<?xml version=\"1.0\"?><xml><Boot Name=\"other\"><Function Name=\"f\"/></Boot></xml>", {"Missing K"}},
        {"<?xml version=\"1.0\"?>", {"No document element found (line 1, column 21)\r\n<?xml version=\"1.0\"?>"}},
        {"S00600004844521B", {dir.file("in.xml") + " is not a valid XML file"}},
    };
    // clang-format on
    for (const auto& c : cases) {
        ui.shown.clear();
        EXPECT_FALSE(import(c.text).imported());
        EXPECT_EQ(ui.texts(), c.shown);
        EXPECT_EQ(count(*db, "Hardwares") + count(*db, "Applications"), 0);
    }
}

ZEP_ENGINES(Import);

} // namespace
} // namespace zep::test
