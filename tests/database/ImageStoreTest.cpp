#include "support/SampleImages.h"

#include "database/DatabaseError.h"
#include "text/Interaction.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>
#include <utility>

namespace zep {
namespace {

using test::count;
using test::rows;
using test::Rows;
using Owner = ImageStore::Owner;

/** records the steps of progress; with stopAt, throws at that step, as a failure in the middle would */
struct ProgressRecorder : SilentInteraction {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> steps; // done, total
    std::size_t stopAt = 0;
    void progress(std::string_view, std::uint64_t done, std::uint64_t total) override {
        steps.emplace_back(done, total);
        if (steps.size() == stopAt)
            throw std::runtime_error("stopped");
    }
};

Rows operator+(Rows a, const Rows& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class ImageStoreTest : public test::EngineTest {
protected:
    void SetUp() override {
        test::EngineTest::SetUp();
        if (IsSkipped())
            return;
        db = database().create();
        ecu = test::addEcu(*db, test::sampleEcu(0x10, "ECU"));
    }

    qint64 addApplication(const MemImage& image = {}) {
        return test::addItem(*db, Owner::Application, ecu, "app.h86", image);
    }

    std::unique_ptr<Connection> db;
    qint64 ecu = 0;
};

TEST_P(ImageStoreTest, ALargeImageComesBackBlockForBlockWithItsProgress) {
    // Enough rows for several pieces of a copy and a last, partial batch; blocks of every size, and
    // addresses above 2^31 that the signed column holds as negative numbers.
    MemImage image = test::rowsImage(0x10000, 40'001, 32);
    image.add(0x7FFFFFF0, test::filled(1, 0xAA));
    image.add(0x80000000, test::filled(200, 0x55));
    image.add(0xFFFFFFE0, test::filled(32, 0x01));
    const qint64 app = test::addItem(*db, Owner::Application, ecu, "app.h86", {});
    ProgressRecorder ui;
    db->transaction([&] { ImageStore::StoreImageRows(*db, Owner::Application, app, image, &ui); });

    EXPECT_EQ(count(*db, "Application Code"), 40'004);
    MemImage back;
    ImageStore::LoadImageRows(*db, Owner::Application, app, back, false);
    EXPECT_EQ(back, image);
    ASSERT_GT(ui.steps.size(), 1u);
    EXPECT_EQ(ui.steps.back(), (std::pair<std::uint64_t, std::uint64_t>(40'004, 40'004)));
}

TEST_P(ImageStoreTest, AStoreStoppedInTheMiddleLeavesNothingAndTheConnectionWorks) {
    const qint64 app = addApplication(test::rowsImage(0x1000, 10, 32));
    ProgressRecorder ui;
    ui.stopAt = 2; // rows were sent, more were to come
    EXPECT_THROW(db->transaction([&] {
        const qint64 added =
            ImageStore::AddItemRow(*db, Owner::Application, ecu, {"added"}, test::identified());
        ImageStore::StoreImageRows(*db, Owner::Application, added, test::rowsImage(0x10000, 40'000, 32), &ui);
    }),
                 std::runtime_error);
    EXPECT_EQ(count(*db, "Applications"), 1);
    EXPECT_EQ(count(*db, "Application Code"), 10);
    const qint64 tuning =
        test::addItem(*db, Owner::Tuning, app, "tuning.h86", test::rowsImage(0x8000, 3, 16));
    MemImage back;
    ImageStore::LoadImageRows(*db, Owner::Tuning, tuning, back, false);
    EXPECT_EQ(back, test::rowsImage(0x8000, 3, 16));
}

TEST_P(ImageStoreTest, RowsOfAMissingOwnerAreRefusedAndLeaveEverythingAsItWas) {
    const qint64 app = addApplication(test::rowsImage(0x1000, 10, 32));
    const qint64 tuning =
        test::addItem(*db, Owner::Tuning, app, "tuning.h86", test::rowsImage(0x8000, 4, 16));
    const MemImage image = test::rowsImage(0x2000, 3000, 32);
    const struct {
        const char* what;
        Owner owner;
        bool nested; // inside a transaction that goes on
    } cases[] = {
        {"application", Owner::Application, false},
        {"tuning", Owner::Tuning, false},
        {"application, nested", Owner::Application, true},
        {"tuning, nested", Owner::Tuning, true},
    };
    for (const auto& c : cases) {
        const auto store = [&] {
            const qint64 owner = ImageStore::AddItemRow(
                *db, c.owner, c.owner == Owner::Application ? ecu : app, {"added"}, test::identified());
            ImageStore::StoreImageRows(*db, c.owner, owner, image);
            ImageStore::StoreImageRows(*db, c.owner, owner + 1000, image); // no such owner
        };
        if (c.nested) {
            db->transaction([&] {
                EXPECT_THROW(db->transaction(store), DatabaseError) << c.what;
                db->execute(QStringLiteral("UPDATE [Applications] SET [Commentaire] = ?"),
                            {QStringLiteral("still here")});
            });
        } else {
            try {
                db->transaction(store);
                ADD_FAILURE() << c.what << ": stored";
            } catch (const DatabaseError& error) {
                if (GetParam() == DatabaseEngine::PostgreSQL) {
                    EXPECT_EQ(error.sqlState(), "23503") << c.what;
                }
            }
        }
        EXPECT_EQ(count(*db, "Applications"), 1) << c.what;
        EXPECT_EQ(count(*db, "Calibrations"), 1) << c.what;
        EXPECT_EQ(count(*db, "Application Code"), 10) << c.what;
        EXPECT_EQ(count(*db, "Calibration Data"), 4) << c.what;
        MemImage back;
        ImageStore::LoadImageRows(*db, Owner::Tuning, tuning, back, false);
        EXPECT_EQ(back, test::rowsImage(0x8000, 4, 16)) << c.what;
    }
    EXPECT_EQ(rows(*db, QStringLiteral("SELECT [Commentaire] FROM [Applications]")), (Rows{{"still here"}}));
}

TEST_P(ImageStoreTest, AnItemWithImageRowsKeepsItsId) {
    const qint64 withCode = addApplication(test::rowsImage(0x1000, 2, 32));
    const qint64 withTuning = addApplication();
    const qint64 tuning =
        test::addItem(*db, Owner::Tuning, withTuning, "tuning.h86", test::rowsImage(0x8000, 2, 16));
    const qint64 bare = addApplication();
    // The counters are identity columns on PostgreSQL: the only new value they take is the next one.
    const auto changeId = [&](const char* table, const char* id, qint64 key) {
        const QString value = GetParam() == DatabaseEngine::PostgreSQL ? QStringLiteral("DEFAULT")
                                                                       : QStringLiteral("[%1] + 100").arg(id);
        db->execute(QStringLiteral("UPDATE [%1] SET [%2] = %3 WHERE [%2] = ?").arg(table, id, value), {key});
    };
    EXPECT_THROW(changeId("Applications", "App Id", withCode), DatabaseError);
    EXPECT_THROW(changeId("Calibrations", "Calib Id", tuning), DatabaseError);
    EXPECT_EQ(rows(*db, QStringLiteral("SELECT [App Id] FROM [Application Code] GROUP BY [App Id]")),
              (Rows{{std::to_string(withCode)}}));
    EXPECT_EQ(rows(*db, QStringLiteral("SELECT [Calib Id] FROM [Calibration Data] GROUP BY [Calib Id]")),
              (Rows{{std::to_string(tuning)}}));
    EXPECT_NO_THROW(changeId("Applications", "App Id", bare)) << "an application without rows";
    EXPECT_EQ(count(*db, "Applications"), 3);
}

TEST_P(ImageStoreTest, NullOrEmptyIdentificationColumnsReadAsTheirDefault) {
    const qint64 app = addApplication(test::rowsImage(0x1000, 1, 32));
    const std::string key = "a" + std::to_string(app);
    const EcuApplication blank;
    const struct {
        const char* column;
        std::string (*read)(const EcuApplication&);
    } columns[] = {
        {"PIE", [](const EcuApplication& a) { return a.PIE(); }},
        {"Hardware", [](const EcuApplication& a) { return a.Hardware(); }},
        {"Software", [](const EcuApplication& a) { return a.Software(); }},
        {"Version", [](const EcuApplication& a) { return a.Version(); }},
        {"Calibration", [](const EcuApplication& a) { return a.Calibration(); }},
        {"Réserve", [](const EcuApplication& a) { return a.Reserve(); }},
    };
    const QVariant null{QMetaType::fromType<QString>()};
    for (const auto& c : columns) {
        const QString set =
            QStringLiteral("UPDATE [Applications] SET [%1] = ?").arg(QString::fromUtf8(c.column));
        for (const QVariant& value : {null, QVariant(QString("")), QVariant(QStringLiteral("  "))}) {
            db->execute(set, {value});
            EcuApplication read;
            ASSERT_NO_THROW(read = ImageStore::Download(*db, key, false)) << c.column;
            EXPECT_EQ(c.read(read), c.read(blank)) << c.column << " " << value.toString().toStdString();
            EXPECT_EQ(read.Hardware(), c.column == std::string("Hardware") ? blank.Hardware() : "1122334455");
            EXPECT_EQ(read.value(), test::rowsImage(0x1000, 1, 32));
        }
        db->execute(set, {QStringLiteral("12345G789A")});
        EXPECT_THROW(ImageStore::Download(*db, key, false), ZepError) << c.column;
        db->execute(set, {QString::fromStdString(c.read(test::identified()))});
    }

    // The approval number is free text: only a Null one is the default.
    for (const auto& [value, expected] :
         {std::pair{null, blank.Homologation}, std::pair{QVariant(QString("")), std::string()},
          std::pair{QVariant(QStringLiteral("HOMOL 1")), std::string("HOMOL 1")}}) {
        db->execute(QStringLiteral("UPDATE [Applications] SET [Homologation] = ?"), {value});
        EXPECT_EQ(ImageStore::Download(*db, key, false).Homologation, expected);
    }

    // Without SupplierHex the supplier code gives the bytes.
    for (const QVariant& value : {null, QVariant(QString("")), QVariant(QStringLiteral("      "))}) {
        db->execute(QStringLiteral("UPDATE [Applications] SET [SupplierHex] = ?"), {value});
        EXPECT_EQ(ImageStore::Download(*db, key, false).FournisseurHex(), "56414C");
    }
}

TEST_P(ImageStoreTest, UpdateCommentStoresTheCommentAndTheApprovalNumberOfOneItem) {
    const qint64 app = addApplication();
    addApplication(); // stays as it is
    const qint64 tuning = test::addItem(*db, Owner::Tuning, app, "tuning.h86", {});
    const auto state = [&] {
        return rows(*db, QStringLiteral(
                             "SELECT [Commentaire], [Homologation] FROM [Applications] ORDER BY [App Id]")) +
               rows(*db, QStringLiteral("SELECT [Commentaire], [Homologation] FROM [Calibrations]"));
    };
    const std::string a = "a" + std::to_string(app), c = "c" + std::to_string(tuning);
    const struct {
        std::string key, comment, homologation;
        Rows expected;
    } cases[] = {
        {a,
         "Réglage « été »",
         "0123456789",
         {{"Réglage « été »", "0123456789"}, {"commentaire", "HOMOL-42"}, {"commentaire", "HOMOL-42"}}},
        {c,
         "l'essai",
         "ABCDEF0123",
         {{"Réglage « été »", "0123456789"}, {"commentaire", "HOMOL-42"}, {"l'essai", "ABCDEF0123"}}},
        {a, "", "", {{" ", ""}, {"commentaire", "HOMOL-42"}, {"l'essai", "ABCDEF0123"}}},
        {"h" + std::to_string(ecu),
         "not an image",
         "1",
         {{" ", ""}, {"commentaire", "HOMOL-42"}, {"l'essai", "ABCDEF0123"}}},
    };
    for (const auto& k : cases) {
        ImageStore::UpdateComment(*db, k.key, k.comment, k.homologation);
        EXPECT_EQ(state(), k.expected) << k.key << " " << k.comment;
    }
    EXPECT_EQ(ImageStore::Download(*db, c, true).Homologation, "ABCDEF0123");
}

ZEP_ENGINES(ImageStoreTest);

} // namespace
} // namespace zep
