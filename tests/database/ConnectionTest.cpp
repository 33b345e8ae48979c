#include "database/SchemaUpgrade.h"
#include "support/DatabaseRows.h"
#include "support/TestDatabase.h"

#include "support/RecordingInteraction.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QSqlRecord>
#include <QVariant>

#include <algorithm>
#include <filesystem>
#include <map>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zep {
namespace {

using namespace test;

const QVariant NullText{QMetaType::fromType<QString>()};

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

qint64 addFunction(Connection& db, int address, const std::string& name) {
    db.execute(QStringLiteral("INSERT INTO [Fonctions] ([Address], [Name]) VALUES (?, ?)"),
               {address, q(name)});
    return address;
}
qint64 addEcu(Connection& db, int address, const std::string& name,
              const QVariant& supplier = QStringLiteral("ABC")) {
    return db.insert(
        QStringLiteral("INSERT INTO [Hardwares] ([Address], [Nom], [Code Fournisseur]) VALUES (?, ?, ?) "
                       "RETURNING [Ecu Id]"),
        {address, q(name), supplier});
}
qint64 addApplication(Connection& db, qint64 ecu, const std::string& name,
                      const QVariant& supplier = NullText) {
    return db.insert(QStringLiteral("INSERT INTO [Applications] ([Ecu Id], [App Name], [Code Fournisseur]) "
                                    "VALUES (?, ?, ?) RETURNING [App Id]"),
                     {ecu, q(name), supplier});
}
qint64 addTuning(Connection& db, qint64 application, const std::string& name,
                 const QVariant& supplier = NullText) {
    return db.insert(QStringLiteral("INSERT INTO [Calibrations] ([App Id], [Calib Name], [Code Fournisseur]) "
                                    "VALUES (?, ?, ?) RETURNING [Calib Id]"),
                     {application, q(name), supplier});
}
void addCode(Connection& db, const char* table, const char* owner, qint64 id, int address,
             const QByteArray& bytes) {
    db.execute(
        QStringLiteral("INSERT INTO [%1] ([%2], [Address], [Bytes]) VALUES (?, ?, ?)").arg(table, owner),
        {id, address, bytes});
}
void addMapping(Connection& db, qint64 ecu, int address, int size, const QVariant& calibration) {
    db.execute(
        QStringLiteral(
            "INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (?, ?, ?, ?)"),
        {ecu, address, size, calibration});
}
void addExclusion(Connection& db, qint64 ecu, int zAddress, int zCount, int address) {
    db.execute(QStringLiteral("INSERT INTO [Exclusions] ([Ecu Id], [ZAddress], [ZCount], [Address], [Count], "
                              "[Contrôle]) VALUES (?, ?, ?, ?, ?, ?)"),
               {ecu, zAddress, zCount, address, 4, 0});
}

/** Two functions with ECUs, one without, an ECU whose address has no function; applications, tunings, rows.
 */
struct DataSet {
    qint64 orphan, ecuA, ecuA2, ecuB, app1, app2, appB, tuning1;

    explicit DataSet(Connection& db) {
        addFunction(db, 0x10, "Moteur");
        addFunction(db, 0x20, "Freins");
        addFunction(db, 0x30, "Vide");
        orphan = addEcu(db, 0x05, "Orphelin");
        ecuA = addEcu(db, 0x10, "ECU A");
        ecuA2 = addEcu(db, 0x10, "ECU A2");
        ecuB = addEcu(db, 0x20, "ECU B");
        app2 = addApplication(db, ecuA, "b app"); // inserted first, listed second: names sort
        app1 = addApplication(db, ecuA, "App 1");
        appB = addApplication(db, ecuB, "App B");
        tuning1 = addTuning(db, app1, "Tuning 1");
        addCode(db, "Application Code", "App Id", app1, 0x1000, QByteArray("\x01\x02", 2));
        addCode(db, "Application Code", "App Id", app1, 0x2000, QByteArray("\x03", 1));
        addCode(db, "Application Code", "App Id", app2, 0x1000, QByteArray("\x04", 1));
        addCode(db, "Application Code", "App Id", appB, 0x1000, QByteArray("\x05", 1));
        addCode(db, "Calibration Data", "Calib Id", tuning1, 0x1000, QByteArray("\x06", 1));
        addCode(db, "Calibration Data", "Calib Id", tuning1, 0x1010, QByteArray("\x07", 1));
        addMapping(db, ecuA, 0x1000, 0x100, true);
        addExclusion(db, ecuA, 0x1000, 0x100, 0x1010);
        addExclusion(db, ecuA, 0x1000, 0x100, 0x1020);
        addMapping(db, ecuA, 0x2000, 0x100, false);
        addExclusion(db, ecuA, 0x2000, 0x100, 0x2010);
        // The same range on another ECU: its exclusion must not go with ECU A's mapping.
        addMapping(db, ecuB, 0x1000, 0x100, false);
        addExclusion(db, ecuB, 0x1000, 0x100, 0x1010);
    }
};

const std::vector<std::string> Tables{"Fonctions",        "Hardwares",        "Applications", "Calibrations",
                                      "Application Code", "Calibration Data", "Mappings",     "Exclusions"};

std::map<std::string, long long> counts(Connection& db) {
    std::map<std::string, long long> result;
    for (const std::string& table : Tables)
        result[table] = count(db, QString::fromStdString(table));
    return result;
}

using Conformance = test::EngineTest;

TEST_P(Conformance, CreateRefusesADatabaseThatExists) {
    database().create();
    const std::string before = GetParam() == DatabaseEngine::SQLite ? test::readFile(database().path()) : "";
    try {
        database().create();
        FAIL() << "a second create succeeded";
    } catch (const ZepError& error) {
        EXPECT_EQ(error.number(),
                  GetParam() == DatabaseEngine::SQLite ? errors::File : postgresErrorNumber("42P07"));
    }
    if (GetParam() == DatabaseEngine::SQLite) {
        EXPECT_EQ(test::readFile(database().path()), before);
    }
    EXPECT_TRUE(database().open()->isZepDatabase());
}

TEST_P(Conformance, OpenedDatabaseIsReadyForUse) {
    database().create();
    const auto db = database().open();
    EXPECT_EQ(db->isCentral(), GetParam() == DatabaseEngine::PostgreSQL);
    if (GetParam() == DatabaseEngine::SQLite) {
        EXPECT_EQ(rows(*db, QStringLiteral("PRAGMA foreign_keys")), std::vector<Row>{{"1"}});
        EXPECT_EQ(rows(*db, QStringLiteral("PRAGMA journal_mode")), std::vector<Row>{{"wal"}});
        EXPECT_EQ(db->dataSource(), database().path());
    }
    // Several connections live at once and see each other's committed work.
    const auto other = database().open();
    addFunction(*db, 1, "un");
    EXPECT_EQ(count(*other, "Fonctions"), 1);
    other->transaction([&] { addFunction(*other, 2, "deux"); });
    EXPECT_EQ(count(*db, "Fonctions"), 2);
}

TEST_P(Conformance, ArborescenceListsTheTreeInOrder) {
    const auto db = database().create();
    const DataSet d(*db);
    const auto id = [](qint64 n) { return std::to_string(n); };
    const std::vector<Row> expected{
        {"5", "NULL", "Orphelin", id(d.orphan), "NULL", "NULL"},
        {"16", "Moteur", "ECU A", id(d.ecuA), "App 1", id(d.app1)},
        {"16", "Moteur", "ECU A", id(d.ecuA), "b app", id(d.app2)},
        {"16", "Moteur", "ECU A2", id(d.ecuA2), "NULL", "NULL"},
        {"32", "Freins", "ECU B", id(d.ecuB), "App B", id(d.appB)},
        {"48", "Vide", "NULL", "NULL", "NULL", "NULL"},
    };
    EXPECT_EQ(rows(*db, QStringLiteral("SELECT [address], [name], [Nom], [Ecu Id], [App Name], [App Id] "
                                       "FROM [Arborescence]")),
              expected);
}

TEST_P(Conformance, DeletingAParentDeletesItsDependentRows) {
    const std::map<std::string, long long> full{
        {"Fonctions", 3},        {"Hardwares", 4},        {"Applications", 3}, {"Calibrations", 1},
        {"Application Code", 4}, {"Calibration Data", 2}, {"Mappings", 3},     {"Exclusions", 4}};
    const auto less = [&](std::map<std::string, long long> changes) {
        std::map<std::string, long long> result = full;
        for (const auto& [table, n] : changes)
            result[table] -= n;
        return result;
    };
    const auto withoutEcuA = std::map<std::string, long long>{
        {"Hardwares", 1},        {"Applications", 2}, {"Calibrations", 1}, {"Application Code", 3},
        {"Calibration Data", 2}, {"Mappings", 2},     {"Exclusions", 3}};
    const struct {
        const char* what;
        QString statement;
        qint64 DataSet::*id; // the bound identifier, or null for an address
        int address;
        std::map<std::string, long long> expected;
    } cases[] = {
        {"function", QStringLiteral("DELETE FROM [Fonctions] WHERE [Address] = ?"), nullptr, 0x10, less([&] {
             auto c = withoutEcuA;
             c["Fonctions"] = 1;
             c["Hardwares"] = 2; // ECU A2 goes too
             return c;
         }())},
        {"function without ECUs", QStringLiteral("DELETE FROM [Fonctions] WHERE [Address] = ?"), nullptr,
         0x30, less({{"Fonctions", 1}})},
        {"ECU", QStringLiteral("DELETE FROM [Hardwares] WHERE [Ecu Id] = ?"), &DataSet::ecuA, 0,
         less(withoutEcuA)},
        {"application", QStringLiteral("DELETE FROM [Applications] WHERE [App Id] = ?"), &DataSet::app1, 0,
         less({{"Applications", 1}, {"Calibrations", 1}, {"Application Code", 2}, {"Calibration Data", 2}})},
        {"tuning", QStringLiteral("DELETE FROM [Calibrations] WHERE [Calib Id] = ?"), &DataSet::tuning1, 0,
         less({{"Calibrations", 1}, {"Calibration Data", 2}})},
        {"mapping", QStringLiteral("DELETE FROM [Mappings] WHERE [Ecu Id] = ? AND [Address] = 4096"),
         &DataSet::ecuA, 0, less({{"Mappings", 1}, {"Exclusions", 2}})},
        {"mappings of an ECU", QStringLiteral("DELETE FROM [Mappings] WHERE [Ecu Id] = ?"), &DataSet::ecuA, 0,
         less({{"Mappings", 2}, {"Exclusions", 3}})},
    };
    for (const auto& c : cases) {
        test::TestDatabase place(GetParam());
        const auto db = place.create();
        const DataSet d(*db);
        ASSERT_EQ(counts(*db), full);
        db->execute(c.statement, {c.id ? QVariant(d.*(c.id)) : QVariant(c.address)});
        EXPECT_EQ(counts(*db), c.expected) << "deleting a " << c.what;
    }
}

TEST_P(Conformance, EqualMappingsShareTheirExclusions) {
    const auto db = database().create();
    const qint64 ecu = addEcu(*db, 1, "ECU");
    addMapping(*db, ecu, 0x1000, 0x100, false);
    addMapping(*db, ecu, 0x1000, 0x100, NullText); // the same range again, Calibration Null
    addExclusion(*db, ecu, 0x1000, 0x100, 0x1010);
    db->execute(QStringLiteral("DELETE FROM [Mappings] WHERE [Calibration] IS NULL"));
    EXPECT_EQ(count(*db, "Exclusions"), 1);
    db->execute(QStringLiteral("DELETE FROM [Mappings] WHERE [Ecu Id] = ?"), {ecu});
    EXPECT_EQ(count(*db, "Exclusions"), 0);
}

TEST_P(Conformance, UpgradeAddsTheMissingColumnsAndFillsSupplierHex) {
    qint64 first = 0;
    {
        const auto legacy = database().create(SchemaVersion::Legacy);
        EXPECT_EQ(legacy->columns("Hardwares").size(), 10u);
        first = addEcu(*legacy, 1, "AB", QStringLiteral("AB"));
        addEcu(*legacy, 1, "empty", QStringLiteral(""));
        addEcu(*legacy, 1, "null", NullText);
        const qint64 accent = addEcu(*legacy, 1, "accent", QStringLiteral("é€"));
        addTuning(*legacy, addApplication(*legacy, accent, "app", QStringLiteral("ABCD")), "tuning",
                  QStringLiteral("xyz"));
    }
    test::RecordingInteraction ui;
    auto db = database().open(&ui);
    if (db->isCentral()) {
        // A central database is never changed by opening it; the upgrade itself still works there.
        EXPECT_EQ(db->columns("Hardwares").size(), 10u);
        SchemaUpgrade::UpgradeSchema(*db, &ui);
    }
    EXPECT_TRUE(ui.shown.empty());

    test::TestDatabase fresh(GetParam());
    const auto current = fresh.create();
    for (const char* table : {"Hardwares", "Applications", "Calibrations"})
        EXPECT_EQ(db->columns(table), current->columns(table)) << table;

    const auto hardwares = [&] {
        return rows(*db, QStringLiteral(
                             "SELECT [UploadRL], [IdentificationType], TRIM([SupplierHex]) FROM [Hardwares] "
                             "ORDER BY [Ecu Id]"));
    };
    const std::vector<Row> filled{{"128", "32768", "414220"},
                                  {"128", "32768", "202020"},
                                  {"128", "32768", "202020"},
                                  {"128", "32768", "E93F20"}};
    EXPECT_EQ(hardwares(), filled);
    EXPECT_EQ(rows(*db, QStringLiteral("SELECT TRIM([SupplierHex]) FROM [Applications]")),
              std::vector<Row>{{"414243"}});
    EXPECT_EQ(rows(*db, QStringLiteral("SELECT TRIM([SupplierHex]) FROM [Calibrations]")),
              std::vector<Row>{{"78797A"}});

    // Once the columns are there, their values are the user's: a second upgrade changes nothing.
    db->execute(
        QStringLiteral("UPDATE [Hardwares] SET [UploadRL] = 7, [SupplierHex] = 'FFFFFF' WHERE [Ecu Id] = ?"),
        {first});
    db.reset();
    db = database().open(&ui);
    SchemaUpgrade::UpgradeSchema(*db, &ui);
    auto changed = filled;
    changed[0] = {"7", "32768", "FFFFFF"};
    EXPECT_EQ(hardwares(), changed);
    EXPECT_FALSE(SchemaUpgrade::AddByteColumn(*db, "Hardwares", "UploadRL", 128));
    EXPECT_FALSE(SchemaUpgrade::AddTextColumn(*db, "Calibrations", "SupplierHex", "202020", 6));
    EXPECT_TRUE(ui.shown.empty());
}

TEST_P(Conformance, AFailingFillIsShownAndUndoneWhileTheOtherTablesUpgrade) {
    {
        const auto legacy = database().create(SchemaVersion::Legacy);
        addTuning(*legacy, addApplication(*legacy, addEcu(*legacy, 1, "ECU"), "app", QStringLiteral("AB")),
                  "t");
        // Refuses every SupplierHex but the default, as a table that cannot be written would.
        if (GetParam() == DatabaseEngine::SQLite) {
            legacy->execute(QStringLiteral("CREATE TRIGGER [refuse] BEFORE UPDATE ON [Applications] "
                                           "WHEN NEW.[SupplierHex] <> '202020' "
                                           "BEGIN SELECT RAISE(ABORT, 'SupplierHex refused'); END"));
        } else {
            legacy->execute(
                QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                               "IF NEW.\"SupplierHex\" <> '202020' THEN "
                               "RAISE EXCEPTION 'SupplierHex refused'; END IF; RETURN NEW; END $$"));
            legacy->execute(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON [Applications] "
                                           "FOR EACH ROW EXECUTE FUNCTION refuse()"));
        }
    }
    test::RecordingInteraction ui;
    const auto db = database().open(&ui);
    if (db->isCentral())
        SchemaUpgrade::UpgradeSchema(*db, &ui);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].kind, "inform");
    EXPECT_NE(ui.shown[0].text.find("SupplierHex refused"), std::string::npos) << ui.shown[0].text;
    const auto has = [&](const std::string& table, const std::string& column) {
        const auto columns = db->columns(table);
        return std::find(columns.begin(), columns.end(), column) != columns.end();
    };
    EXPECT_FALSE(has("Applications", "SupplierHex"));
    EXPECT_TRUE(has("Hardwares", "UploadRL"));
    EXPECT_TRUE(has("Hardwares", "SupplierHex"));
    EXPECT_TRUE(has("Calibrations", "SupplierHex"));
}

TEST_P(Conformance, NamesAreStoredAsTyped) {
    const auto db = database().create();
    for (const std::string name : {"L'ECU d'essai", "Contrôle « spécial » \"x\" ; [y]",
                                   "'; DROP TABLE Hardwares; --", "Zürich ÆØÅ 日本 🚗", "  blanks  "}) {
        const qint64 ecu = addEcu(*db, 1, name);
        const qint64 app = addApplication(*db, ecu, name);
        EXPECT_EQ(rows(*db, QStringLiteral("SELECT [Nom] FROM [Hardwares] WHERE [Ecu Id] = ?"), {ecu}),
                  std::vector<Row>{{name}});
        EXPECT_EQ(
            rows(*db,
                 QStringLiteral("SELECT [App Id] FROM [Arborescence] WHERE [Nom] = ? AND [App Name] = ?"),
                 {q(name), q(name)}),
            std::vector<Row>{{std::to_string(app)}});
    }
    EXPECT_EQ(count(*db, "Hardwares"), 5);
}

TEST_P(Conformance, BytesComeBackAsStored) {
    const auto db = database().create();
    const qint64 app = addApplication(*db, addEcu(*db, 1, "ECU"), "app");
    QByteArray big(1 << 20, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 7) ^ (i >> 8));
    const QByteArray values[] = {QByteArray("\x00\xFF\\'\"", 5), big, QByteArray()};
    for (int i = 0; i < 3; ++i)
        addCode(*db, "Application Code", "App Id", app, i, values[i]);
    QSqlQuery query =
        db->execute(QStringLiteral("SELECT [Bytes] FROM [Application Code] ORDER BY [Address]"));
    for (const QByteArray& value : values) {
        ASSERT_TRUE(query.next());
        EXPECT_EQ(query.value(0).toByteArray(), value);
    }
}

TEST_P(Conformance, ValuesOutsideTheirColumnAreRefusedAlikeInTheUsersWords) {
    const auto db = database().create();
    const std::string longName(256, 'n');
    const struct {
        const char* what;
        QString statement;
        QVariantList values;
        const char* says; // null: accepted
    } cases[] = {
        // clang-format off
        {"a name of 255 characters", QStringLiteral("INSERT INTO [Hardwares] ([Address], [Nom]) VALUES (?, ?)"), {1, q(std::string(255, 'e'))}, nullptr},
        {"a name of 256 characters", QStringLiteral("INSERT INTO [Hardwares] ([Address], [Nom]) VALUES (?, ?)"), {1, q(longName)}, "The Nom is too long: at most 255 characters."},
        {"a supplier code of 4 characters", QStringLiteral("INSERT INTO [Hardwares] ([Address], [Code Fournisseur]) VALUES (?, ?)"), {1, "ABCD"}, "The Code Fournisseur is too long: at most 3 characters."},
        {"address 256", QStringLiteral("INSERT INTO [Hardwares] ([Address]) VALUES (?)"), {256}, "The Address is outside the range the database accepts."},
        {"a SupplierHex of 7 characters", QStringLiteral("INSERT INTO [Hardwares] ([Address], [SupplierHex]) VALUES (?, ?)"), {1, "1234567"}, "at most 6 characters"},
        {"an application of no ECU", QStringLiteral("INSERT INTO [Applications] ([Ecu Id]) VALUES (?)"), {999}, "another user may have deleted it"},
        {"code of no application", QStringLiteral("INSERT INTO [Application Code] ([App Id], [Address], [Bytes]) VALUES (?, ?, ?)"), {999, 0, QByteArray("\x01", 1)}, "another user may have deleted it"},
        {"a function twice", QStringLiteral("INSERT INTO [Fonctions] ([Address]) VALUES (?), (?)"), {7, 7}, "exists already"},
        {"no address", QStringLiteral("INSERT INTO [Hardwares] ([Nom]) VALUES (?)"), {"x"}, "The Address must be given."},
        {"a mapping above 32 bits", QStringLiteral("INSERT INTO [Mappings] ([Ecu Id], [Address], [Count]) VALUES (?, ?, ?)"), {1, qint64(0x80000000), 1}, "The Address is outside the range the database accepts."},
        // clang-format on
    };
    long long expected = 0;
    for (const auto& c : cases) {
        const long long before =
            count(*db, "Hardwares") + count(*db, "Applications") + count(*db, "Mappings");
        if (!c.says) {
            EXPECT_NO_THROW(db->execute(c.statement, c.values)) << c.what;
            ++expected;
        } else {
            try {
                db->execute(c.statement, c.values);
                ADD_FAILURE() << c.what << " was accepted";
            } catch (const DatabaseError& error) {
                EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos)
                    << c.what << ": " << error.what();
                // The engine's own words are kept for a verbose log, not shown.
                for (const char* engineWords : {"constraint", "violates", "character varying", "ERROR"})
                    EXPECT_EQ(std::string(error.what()).find(engineWords), std::string::npos) << error.what();
                EXPECT_FALSE(error.detail().empty()) << c.what;
            }
        }
        EXPECT_EQ(count(*db, "Hardwares") + count(*db, "Applications") + count(*db, "Mappings") - before,
                  c.says ? 0 : 1)
            << c.what;
    }
    EXPECT_EQ(count(*db, "Hardwares"), expected);
}

TEST_P(Conformance, TransactionsCommitOrLeaveNothing) {
    const auto db = database().create();
    EXPECT_THROW(db->transaction([&] {
        addFunction(*db, 1, "un");
        throw std::runtime_error("stop");
    }),
                 std::runtime_error);
    EXPECT_EQ(count(*db, "Fonctions"), 0);

    const qint64 ecu = db->transaction([&] {
        addFunction(*db, 2, "deux");
        try {
            db->transaction([&] {
                addFunction(*db, 3, "trois");
                addFunction(*db, 2, "duplicate"); // fails: the inner part goes, the outer goes on
            });
        } catch (const DatabaseError&) {
        }
        return addEcu(*db, 2, "ECU");
    });
    EXPECT_EQ(rows(*db, QStringLiteral("SELECT [Address], [Name] FROM [Fonctions] ORDER BY [Address]")),
              (std::vector<Row>{{"2", "deux"}}));
    EXPECT_EQ(rows(*db, QStringLiteral("SELECT [Ecu Id] FROM [Hardwares]")),
              std::vector<Row>{{std::to_string(ecu)}});
}

ZEP_ENGINES(Conformance);

// --- Refusals: what cannot be opened says why, and nothing is written. ---

/** every file of a folder with its bytes */
std::map<std::string, std::string> snapshot(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        files[entry.path().string()] =
            entry.is_regular_file() ? test::readFile(entry.path().string()) : "<dir>";
    return files;
}

TEST_P(Conformance, ProbeLooksWithoutUpgradingOrWriting) {
    const auto columnsOf = [](Connection& db) {
        std::vector<std::string> all;
        for (const char* table : {"Hardwares", "Applications", "Calibrations"})
            for (const std::string& column : db.columns(table))
                all.push_back(std::string(table) + "." + column);
        return all;
    };
    std::vector<std::string> legacyColumns;
    {
        const auto legacy = database().create(SchemaVersion::Legacy);
        addEcu(*legacy, 1, "ECU");
        legacyColumns = columnsOf(*legacy);
    }
    const bool local = GetParam() == DatabaseEngine::SQLite;
    // Each file by name, with its size and a hash of its bytes: a difference stays readable.
    const auto files = [&] {
        std::map<std::string, std::string> fingerprints;
        if (local)
            for (const auto& [name, bytes] : snapshot(std::filesystem::path(database().path()).parent_path()))
                fingerprints[std::filesystem::path(name).filename().string()] =
                    std::to_string(bytes.size()) + " bytes, hash " +
                    std::to_string(std::hash<std::string>()(bytes));
        return fingerprints;
    };
    const auto before = files();
    {
        const auto probed = Connection::probe(database().connectionString());
        EXPECT_TRUE(probed->isZepDatabase());
        EXPECT_EQ(columnsOf(*probed), legacyColumns);
        EXPECT_EQ(rows(*probed, QStringLiteral("SELECT [Nom] FROM [Hardwares]")), std::vector<Row>{{"ECU"}});
        EXPECT_THROW(addEcu(*probed, 2, "written"), DatabaseError);
    }
    EXPECT_EQ(files(), before);

    // Opening still upgrades a local file; a probe beside that connection reads what it wrote.
    const auto db = database().open();
    EXPECT_EQ(columnsOf(*db) == legacyColumns, !local);
    addEcu(*db, 3, "while open");
    EXPECT_EQ(rows(*Connection::probe(database().connectionString()),
                   QStringLiteral("SELECT [Nom] FROM [Hardwares] ORDER BY [Ecu Id]")),
              (std::vector<Row>{{"ECU"}, {"while open"}}));
}

TEST(Refusals, LocalFilesThatAreNoDatabaseAreNotTouched) {
    test::TempDir dir;
    std::string jet(2048, '\0');
    jet.replace(4, 15, "Standard Jet DB");
    std::string ace = jet;
    ace.replace(4, 15, "Standard ACE DB");
    std::string damaged = std::string("SQLite format 3\0", 16) + std::string(4080, '\x5A');
    const struct {
        const char* file;
        const char* content; // null: no such file
        std::string bytes;
        int number;
        const char* says;
    } cases[] = {
        {"missing.zdb", nullptr, "", errors::SqliteCantOpen, "not found"},
        {"notes.txt", "", "just some text\n", errors::SqliteNotADatabase, "is not a database"},
        {"empty.zdb", "", "", errors::SqliteNotADatabase, "is not a database"},
        {"old.mdb", "", jet, errors::SqliteNotADatabase, "Jet"},
        {"new.accdb", "", ace, errors::SqliteNotADatabase, "Jet"},
        {"damaged.zdb", "", damaged, errors::SqliteNotADatabase, "not a database"},
    };
    // Opening for use and a connection test refuse alike.
    const std::pair<const char*, void (*)(const std::string&)> connections[] = {
        {"opened", [](const std::string& text) { Connection::open(text); }},
        {"probed", [](const std::string& text) { Connection::probe(text); }},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file(c.file);
        if (c.content)
            test::writeFile(path, c.bytes);
        const auto before = snapshot(dir.path());
        for (const std::string& text : {path, ConnectionString::forFile(path),
                                        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path}) {
            for (const auto& [done, connect] : connections) {
                try {
                    connect(text);
                    ADD_FAILURE() << text << " was " << done;
                } catch (const ZepError& error) {
                    EXPECT_EQ(error.number(), c.number) << text << ": " << error.what();
                    EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
                }
                EXPECT_EQ(snapshot(dir.path()), before) << text << " " << done;
            }
        }
    }
    std::filesystem::create_directory(dir.file("folder.zdb"));
    for (const auto& [done, connect] : connections)
        EXPECT_THROW(connect(dir.file("folder.zdb")), DatabaseError) << done;
}

TEST(Refusals, CreateNeedsAnExistingFolder) {
    test::TempDir dir;
    const std::string path = dir.file("no/such/folder/new.zdb");
    try {
        Connection::create(path, SchemaVersion::Current, std::string(ZEP_SHARE_DIR) + "/schema");
        FAIL() << "created " << path;
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.number(), errors::SqliteCantOpen);
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_P(Conformance, DatabasesThatAreNotZepOnesAreRefusedAndNotWritten) {
    const QString breaks[] = {
        QStringLiteral("DROP VIEW [Arborescence]"),
        QStringLiteral("DROP TABLE [Exclusions]"),
        QStringLiteral("ALTER TABLE [Calibrations] DROP COLUMN [IdentValide]"), // a column no trigger names
        // another program's database that happens to have a table of the same name
        QStringLiteral(
            "DROP VIEW [Arborescence]; DROP TABLE [Calibration Data]; DROP TABLE [Calibrations]; "
            "DROP TABLE [Application Code]; DROP TABLE [Applications]; DROP TABLE [Mappings]; "
            "DROP TABLE [Exclusions]; DROP TABLE [Hardwares]; CREATE TABLE [Hardwares] (x INTEGER)"),
    };
    for (const QString& broken : breaks) {
        test::TestDatabase place(GetParam());
        {
            const auto db = place.create();
            for (const QString& statement : broken.split(QStringLiteral("; ")))
                db->execute(statement);
        }
        const auto before = GetParam() == DatabaseEngine::SQLite
                                ? snapshot(std::filesystem::path(place.path()).parent_path())
                                : std::map<std::string, std::string>();
        for (const Access access : {Access::Read, Access::Write}) {
            try {
                place.open(nullptr, access);
                ADD_FAILURE() << broken.toStdString() << ": opened";
            } catch (const DatabaseError& error) {
                EXPECT_NE(std::string(error.what()).find("Invalid ZEP database"), std::string::npos)
                    << error.what();
            }
        }
        if (GetParam() == DatabaseEngine::SQLite) {
            EXPECT_EQ(snapshot(std::filesystem::path(place.path()).parent_path()), before)
                << broken.toStdString();
        }
    }
}

TEST_P(Conformance, ReadOnlyDatabasesAreLookedAtAndNotWritten) {
    addFunction(*database().create(), 1, "un");
    const std::string readOnly = database().connectionString() + ";Mode=Read";
    const auto db = Connection::open(readOnly, nullptr, Access::Read);
    EXPECT_TRUE(db->isReadOnly());
    EXPECT_EQ(count(*db, "Fonctions"), 1);
    try {
        addFunction(*db, 2, "deux");
        ADD_FAILURE() << "wrote into a read-only database";
    } catch (const DatabaseError& error) {
        EXPECT_NE(std::string(error.what()).find("is read-only"), std::string::npos) << error.what();
    }
    try {
        Connection::open(readOnly, nullptr, Access::Write);
        ADD_FAILURE() << "opened a read-only database for writing";
    } catch (const DatabaseError& error) {
        EXPECT_NE(std::string(error.what()).find("is read-only"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(database().open(nullptr, Access::Read)->isReadOnly());
}

TEST(Refusals, BusyDatabaseSaysSoAndReadersDoNotWait) {
    test::TestDatabase place(DatabaseEngine::SQLite);
    addFunction(*place.create(), 1, "un");
    const auto writer = place.open();
    writer->execute(QStringLiteral("BEGIN IMMEDIATE"));
    addFunction(*writer, 2, "deux");
    // The schema is looked at without the write lock; the reader sees what was committed.
    const auto reader = place.open(nullptr, Access::Read);
    EXPECT_EQ(count(*reader, "Fonctions"), 1);
    try {
        reader->transaction([&] { addFunction(*reader, 3, "trois"); });
        ADD_FAILURE() << "wrote beside another writer";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.number() & 0xFF, errors::SqliteBusy);
        EXPECT_NE(std::string(error.what()).find("is busy"), std::string::npos) << error.what();
    }
    writer->execute(QStringLiteral("COMMIT"));
    EXPECT_EQ(count(*reader, "Fonctions"), 2);
}

TEST(Refusals, ServerConnectionsCarryTheirValuesAsTheyAre) {
    const auto server = test::TestDatabase::server();
    if (!server)
        GTEST_SKIP()
            << "PostgreSQL case skipped: ZEP_TEST_PG is not set (./test starts a server and sets it)";
    const ConnectionString at = ConnectionString::parse(*server);
    const auto admin = Connection::openServer(*server);
    const std::string password = R"(it's a "p;w" \ x=1 host=elsewhere)";
    const QString role = QStringLiteral("zep_quotes_%1").arg(getpid());
    admin->execute(QStringLiteral("DROP ROLE IF EXISTS %1").arg(role));
    admin->execute(
        QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'").arg(role, q(password).replace("'", "''")));
    EXPECT_NO_THROW(Connection::openServer(
        ConnectionString::forServer(at.host(), at.port(), at.database(), role.toStdString(), password)));
    // A database name that tries to name another host names a database that does not exist.
    try {
        Connection::openServer(ConnectionString::forServer(
            at.host(), at.port(), at.database() + "' host='elsewhere", at.user(), at.password()));
        ADD_FAILURE() << "connected to a database of another name";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.sqlState(), "3D000") << error.what();
    }
    admin->execute(QStringLiteral("DROP ROLE %1").arg(role));
}

TEST(Refusals, LostServerConnectionSaysSo) {
    const auto server = test::TestDatabase::server();
    if (!server)
        GTEST_SKIP()
            << "PostgreSQL case skipped: ZEP_TEST_PG is not set (./test starts a server and sets it)";
    const auto lost = Connection::openServer(*server);
    QSqlQuery pid = lost->execute(QStringLiteral("SELECT pg_backend_pid()"));
    pid.next();
    Connection::openServer(*server)->execute(QStringLiteral("SELECT pg_terminate_backend(?)"),
                                             {pid.value(0)});
    for (int attempt = 0; attempt < 2; ++attempt) { // the first notices the loss, the second finds it closed
        try {
            lost->execute(QStringLiteral("SELECT 1"));
            ADD_FAILURE() << "a terminated connection answered";
        } catch (const DatabaseError& error) {
            EXPECT_NE(std::string(error.what()).find("was lost"), std::string::npos) << error.what();
        }
    }
}

TEST(Refusals, StringsThatNameNoDatabase) {
    for (const std::string text : {"", "Provider=SQLOLEDB;Data Source=server", "Mode=Read"}) {
        try {
            Connection::open(text);
            ADD_FAILURE() << text << " was opened";
        } catch (const ZepError& error) {
            EXPECT_EQ(error.number(), errors::InvalidArgument) << text << ": " << error.what();
        }
    }
}

int portWhereNothingListens() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    close(s);
    return ntohs(address.sin_port);
}

TEST(Refusals, ServersThatRefuseTheConnectionSaySoWithoutThePassword) {
    const std::string password = "never-shown-4711";
    const auto server = test::TestDatabase::server();
    const ConnectionString right = ConnectionString::parse(server.value_or("Host=localhost;Database=zep"));
    const std::string wrong = "wrong-" + right.password() + "-x";
    const struct {
        std::string text;
        const char* sqlState;
        std::string says;
        const char* detail;
    } cases[] = {
        {ConnectionString::forServer("127.0.0.1", portWhereNothingListens(), "zep", "zep", password), "08001",
         "127.0.0.1", ""},
        {ConnectionString::forServer(right.host(), right.port(), right.database(), right.user(), wrong),
         "28P01", "refused the login of user " + right.user(), "password authentication failed"},
    };
    for (const auto& c : cases) {
        if (c.sqlState == std::string("28P01") && !server)
            continue; // needs ZEP_TEST_PG, which ./test sets
        try {
            Connection::open(c.text);
            ADD_FAILURE() << "opened " << c.sqlState;
        } catch (const DatabaseError& error) {
            EXPECT_EQ(error.sqlState(), c.sqlState) << error.what();
            EXPECT_EQ(error.number(), postgresErrorNumber(c.sqlState));
            EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
            EXPECT_NE(error.detail().find(c.detail), std::string::npos) << error.detail();
            for (const std::string& secret : {password, wrong})
                EXPECT_EQ(std::string(error.what()).find(secret), std::string::npos) << error.what();
        }
    }
}

TEST(SupplierHex, IsTheCodeInHexadecimalPaddedToThreeCharacters) {
    const struct {
        const char* code;
        const char* hex;
    } cases[] = {{"AB", "414220"}, {"", "202020"},  {"ABCD", "414243"},
                 {"A", "412020"},  {"é", "E92020"}, {"€x", "3F7820"}};
    for (const auto& c : cases)
        EXPECT_EQ(supplierHexOf(c.code), c.hex) << c.code;
}

} // namespace
} // namespace zep
