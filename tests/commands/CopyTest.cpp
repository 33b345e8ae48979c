#include "support/SampleImages.h"

#include "commands/Copy.h"
#include "database/ItemKey.h"
#include "support/RecordingInteraction.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace zep {
namespace {

using test::Rows;
using Owner = ImageStore::Owner;

const std::string QuotedName = "Moteur d'injection « é » \"V6\"";

Rows rowsOf(Connection& db, const std::vector<QString>& statements, const QVariantList& values) {
    Rows all;
    for (const QString& statement : statements) {
        const Rows r = test::rows(db, statement, values);
        all.push_back({statement.toStdString(), std::to_string(r.size())});
        all.insert(all.end(), r.begin(), r.end());
    }
    return all;
}

/** every row of the database: what a failed or refused copy must leave as it was */
Rows snapshot(Connection& db) {
    return rowsOf(
        db,
        {"SELECT * FROM [Fonctions] ORDER BY [Address]", "SELECT * FROM [Hardwares] ORDER BY [Ecu Id]",
         "SELECT * FROM [Mappings] ORDER BY [Ecu Id], [Address]",
         "SELECT * FROM [Exclusions] ORDER BY [Ecu Id], [Address]",
         "SELECT * FROM [Applications] ORDER BY [App Id]", "SELECT * FROM [Calibrations] ORDER BY [Calib Id]",
         "SELECT * FROM [Application Code] ORDER BY [App Id], [Address]",
         "SELECT * FROM [Calibration Data] ORDER BY [Calib Id], [Address]"},
        {});
}

/** the rows of the item of kind and id that a copy reproduces: all but its counter and its owner */
Rows item(Connection& db, char kind, qint64 id) {
    const QString fields =
        "[PIE], [Indice Diag], [Code Fournisseur], [Hardware], [Software], [Version], [Calibration],"
        " [Réserve], [Homologation], [IdentValide], [Commentaire], [SupplierHex]";
    const std::map<char, std::vector<QString>> statements{
        {'g', {"SELECT [Name] FROM [Fonctions] WHERE [Address] = ?"}},
        {'h',
         {"SELECT [Address], [Nom], [Commentaire], [Code Fournisseur], [InterByteDelay], "
          "[ReplyToRequestDelay],"
          " [FillPattern], [RepeatPattern], [WriteGranularity], [UploadRL], [IdentificationType], "
          "[SupplierHex]"
          " FROM [Hardwares] WHERE [Ecu Id] = ?",
          "SELECT [Address], [Count], [Calibration] FROM [Mappings] WHERE [Ecu Id] = ? ORDER BY [Address]",
          "SELECT [ZAddress], [ZCount], [Address], [Count], [Contrôle], [Calibration] FROM [Exclusions]"
          " WHERE [Ecu Id] = ? ORDER BY [Address]"}},
        {'a',
         {"SELECT [App Name], " + fields + " FROM [Applications] WHERE [App Id] = ?",
          "SELECT [Address], [Bytes] FROM [Application Code] WHERE [App Id] = ? ORDER BY [Address]"}},
        {'c',
         {"SELECT [Calib Name], " + fields + " FROM [Calibrations] WHERE [Calib Id] = ?",
          "SELECT [Address], [Bytes] FROM [Calibration Data] WHERE [Calib Id] = ? ORDER BY [Address]"}},
    };
    return rowsOf(db, statements.at(kind), {id});
}

Rows item(Connection& db, const std::string& key) {
    return item(db, key[0], ItemKey::parse(key)->id);
}

struct Keys {
    std::string ecu, application, tuning;
};

/** function 5 with an ECU, an application of 450 code rows (Null comment) and a tuning */
Keys addSource(Connection& db) {
    test::addFunction(db, 5, QString::fromStdString(QuotedName));
    const qint64 e = test::addEcu(db, test::sampleEcu(5, QuotedName));
    MemImage code; // rows of 1 to 64 bytes, more than two batches of the copy
    for (std::uint32_t i = 0, at = test::AppFirst; i < 450; ++i, at += 64)
        code.add(at, test::filled(1 + i % 64, static_cast<std::uint8_t>(i)));
    const qint64 a = test::addItem(db, Owner::Application, e, QuotedName, code, std::nullopt);
    const qint64 c = test::addItem(db, Owner::Tuning, a, "Réglage « d'été »",
                                   test::rowsImage(test::TuningFirst, 8, 32), "tuning comment", false);
    return {"h" + std::to_string(e), "a" + std::to_string(a), "c" + std::to_string(c)};
}

/** the engines a copy reads from and writes to: every value must cross to the other engine's types */
struct Direction {
    DatabaseEngine from, to;
};

void PrintTo(const Direction& d, std::ostream* out) {
    PrintTo(d.from, out);
    *out << " to ";
    PrintTo(d.to, out);
}

class CopyTest : public ::testing::TestWithParam<Direction> {
protected:
    void SetUp() override {
        if ((GetParam().from == DatabaseEngine::PostgreSQL || GetParam().to == DatabaseEngine::PostgreSQL) &&
            !test::TestDatabase::server())
            GTEST_SKIP()
                << "PostgreSQL case skipped: ZEP_TEST_PG is not set (./test starts a server and sets it)";
        sourcePlace = std::make_unique<test::TestDatabase>(GetParam().from);
        source = sourcePlace->create();
        keys = addSource(*source);
        newTarget();
    }

    void newTarget() {
        target.reset();
        targetPlace = std::make_unique<test::TestDatabase>(GetParam().to);
        target = targetPlace->create();
    }

public: // the table-driven cases reach the databases through the fixture
    std::unique_ptr<test::TestDatabase> sourcePlace;
    std::unique_ptr<Connection> source;
    Keys keys;
    std::unique_ptr<test::TestDatabase> targetPlace;
    std::unique_ptr<Connection> target;
};

TEST_P(CopyTest, EachKindIsCopiedByteForByte) {
    if (target->isCentral()) { // functions go into local databases only
        EXPECT_THROW(Copy::CopyInto(*source, "g5", *target, "r"), ZepError);
    } else {
        EXPECT_TRUE(Copy::CopyInto(*source, "g5", *target, "r").rebuildTree);
        EXPECT_FALSE(Copy::CopyInto(*source, "g5", *target, "r").rebuildTree);
        EXPECT_EQ(item(*target, "g5"), item(*source, "g5"));
        // An existing function is left as it is.
        test::addFunction(*source, 6, "Six");
        test::addFunction(*target, 6, "Autre");
        EXPECT_FALSE(Copy::CopyFunction(*source, 6, *target));
        EXPECT_EQ(test::rows(*target, "SELECT [Name] FROM [Fonctions] WHERE [Address] = 6"), Rows{{"Autre"}});
    }
    const std::string e = Copy::CopyInto(*source, keys.ecu, *target, "g5").key;
    const std::string a = Copy::CopyInto(*source, keys.application, *target, e).key;
    const std::string c = Copy::CopyInto(*source, keys.tuning, *target, a).key;

    EXPECT_EQ(item(*target, e), item(*source, keys.ecu));
    EXPECT_EQ(item(*target, a), item(*source, keys.application)); // the Null comment included
    EXPECT_EQ(item(*target, c), item(*source, keys.tuning));
    // An ECU copy takes no application, an application copy no tuning.
    EXPECT_EQ(test::count(*target, "Applications"), 1);
    EXPECT_EQ(test::count(*target, "Calibrations"), 1);

    // Applications may be copied within one database.
    const std::string again = Copy::CopyInto(*source, keys.application, *source, keys.ecu).key;
    EXPECT_EQ(item(*source, again), item(*source, keys.application));
}

TEST_P(CopyTest, RefusedCopiesChangeNothing) {
    test::addFunction(*target, 6, "Autre");
    test::addEcu(*target, test::sampleEcu(6, "six"));
    const Rows before = snapshot(*target);
    const std::string& h = keys.ecu;
    const std::string& a = keys.application;
    const struct {
        std::string dragged, selection;
        Connection* into;
    } refused[] = {
        {h, "g6", target.get()},           {h, "r", target.get()},
        {a, "g5", target.get()},           {a, "c1", target.get()},
        {keys.tuning, "h1", target.get()}, {"x5", "r", target.get()},
        {"g5", "", target.get()},          {"g5", "r", source.get()},
        {h, "g5", source.get()},           {"g7", "r", target.get()}, // a function the source lacks
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.dragged + " into " + r.selection);
        EXPECT_THROW(Copy::CopyInto(*source, r.dragged, *r.into, r.selection), ZepError);
    }
    EXPECT_EQ(snapshot(*target), before);
}

TEST_P(CopyTest, FailureInTheMiddleLeavesTargetAsItWas) {
    // Each case makes the target refuse, by a unique index, a row that the copy writes after others.
    const auto id = [](const std::string& key) { return ItemKey::parse(key)->id; };
    const struct {
        const char* what;
        const char* index;
        std::function<void(CopyTest&, qint64 ecu, qint64 app)> prepare, copy;
    } cases[] = {
        {"ECU",
         "CREATE UNIQUE INDEX [one] ON [Exclusions] ([Address])",
         {},
         [&](CopyTest& t, qint64, qint64) { Copy::CopyEcu(*t.source, id(t.keys.ecu), *t.target); }},
        {"application", "CREATE UNIQUE INDEX [one] ON [Application Code] ([Address])",
         [](CopyTest& t, qint64 e, qint64) { // row 300 of the source's code
             test::addItem(*t.target, Owner::Application, e, "o",
                           test::rowsImage(test::AppFirst + 300 * 64, 1, 4));
         },
         [&](CopyTest& t, qint64 e, qint64) {
             Copy::CopyApplication(*t.source, id(t.keys.application), *t.target, e);
         }},
        {"tuning", "CREATE UNIQUE INDEX [one] ON [Calibration Data] ([Address])",
         [](CopyTest& t, qint64, qint64 a) {
             test::addItem(*t.target, Owner::Tuning, a, "o",
                           test::rowsImage(test::TuningFirst + 5 * 32, 1, 4));
         },
         [&](CopyTest& t, qint64, qint64 a) {
             Copy::CopyTuning(*t.source, id(t.keys.tuning), *t.target, a);
         }},
        {"ECU update", "CREATE UNIQUE INDEX [one] ON [Mappings] ([Address])",
         [](CopyTest& t, qint64 e, qint64) { // another ECU holds the tuning mapping the update copies
             t.target->execute("DELETE FROM [Mappings] WHERE [Ecu Id] = ? AND [Address] = ?",
                               {e, test::TuningFirst});
             const qint64 other = EcuStore::Insert(*t.target, test::sampleEcu(9, "other"));
             t.target->execute("INSERT INTO [Mappings] ([Ecu Id], [Address], [Count]) VALUES (?, ?, ?)",
                               {other, test::TuningFirst, 1});
         },
         [&](CopyTest& t, qint64 e, qint64) {
             test::RecordingInteraction ui;
             ui.answers = {Answer::Ok};
             Copy::UpdateEcuParameters(*t.source, id(t.keys.ecu), *t.target, e, "g5", ui);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        newTarget();
        ZEPEcu old = test::sampleEcu(5, QuotedName);
        old.WriteGranularity = 1; // the update would change it
        const qint64 e = test::addEcu(*target, old);
        const qint64 a = test::addItem(*target, Owner::Application, e, "app", {});
        if (c.prepare)
            c.prepare(*this, e, a);
        target->execute(QString::fromUtf8(c.index));
        const Rows before = snapshot(*target);

        EXPECT_THROW(c.copy(*this, e, a), DatabaseError);
        EXPECT_EQ(snapshot(*target), before);
    }
}

TEST_P(CopyTest, UpdateEcuParametersChecksThenReplacesParametersAndMap) {
    const std::string query = "Do you want to update ECU parameters ?";
    const struct {
        std::string selection, targetName;
        Answer answer;
        Copy::Update expected;
        std::string shown;
    } cases[] = {
        {"g6", QuotedName, Answer::Ok, Copy::Update::NotCorrespondingFunction, "Not corresponding function."},
        {"r", QuotedName, Answer::Ok, Copy::Update::NotCorrespondingFunction, "Not corresponding function."},
        {"g5", "Autre", Answer::Ok, Copy::Update::NotCorrespondingEcuName, "Not corresponding ECU name."},
        {"g5", QuotedName, Answer::Cancel, Copy::Update::Cancelled, query},
        {"g5", QuotedName, Answer::Ok, Copy::Update::Done, query},
    };
    const qint64 from = ItemKey::parse(keys.ecu)->id;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selection + " " + c.targetName);
        newTarget();
        ZEPEcu old;
        old.Address = 5;
        old.Nom = c.targetName;
        const qint64 e = EcuStore::Insert(*target, old);
        target->execute(
            "INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (?, ?, ?, ?)",
            {e, 0x40000, 0x100, true});
        target->execute(
            "INSERT INTO [Exclusions] ([Ecu Id], [ZAddress], [ZCount], [Address], [Count], [Contrôle])"
            " VALUES (?, ?, ?, ?, ?, ?)",
            {e, 0x40000, 0x100, 0x40010, 4, 0});
        test::addItem(*target, Owner::Application, e, "stays", test::rowsImage(0x40000, 2, 16));
        const Rows before = snapshot(*target);
        test::RecordingInteraction ui;
        ui.answers = {c.answer};

        EXPECT_EQ(Copy::UpdateEcuParameters(*source, from, *target, e, c.selection, ui), c.expected);
        EXPECT_EQ(ui.texts(), std::vector<std::string>{c.shown});
        if (c.expected == Copy::Update::Done) {
            EXPECT_EQ(item(*target, 'h', e), item(*source, keys.ecu));
            EXPECT_EQ(test::count(*target, "Application Code"), 2);
        } else {
            EXPECT_EQ(snapshot(*target), before);
        }
    }
}

constexpr auto SQLite = DatabaseEngine::SQLite, PostgreSQL = DatabaseEngine::PostgreSQL;

INSTANTIATE_TEST_SUITE_P(Directions, CopyTest,
                         ::testing::Values(Direction{SQLite, SQLite}, Direction{SQLite, PostgreSQL},
                                           Direction{PostgreSQL, SQLite}, Direction{PostgreSQL, PostgreSQL}),
                         [](const ::testing::TestParamInfo<Direction>& info) {
                             const auto name = [](DatabaseEngine e) {
                                 return e == PostgreSQL ? std::string("PostgreSQL") : std::string("SQLite");
                             };
                             return name(info.param.from) + "To" + name(info.param.to);
                         });

} // namespace
} // namespace zep
