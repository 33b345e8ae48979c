#include "support/SampleImages.h"

#include "commands/DataSet.h"

#include <gtest/gtest.h>

namespace zep {
namespace {

using test::Rows;
using test::rows;
using Layout = std::vector<std::pair<std::uint32_t, std::size_t>>;

const QDateTime NewYearsEve(QDate(2005, 12, 31), QTime(23, 59, 58));

ZEPEcu mappedEcu() {
    ZEPEcu ecu = test::sampleEcu(5, "ecu");
    ecu.addMapping(test::AppFirst, test::AppCount, false);
    ecu.addMapping(test::TuningFirst, test::TuningCount, true);
    ecu.addExclusion(test::ExcludedFirst, test::ExcludedCount, true);
    return ecu;
}

TEST(DataSet, ImageHasTheRequestedLengthOneBlockPerRangeUsed) {
    const MemMap tuningWrite = mappedEcu().WriteMap(true); // 8000-800F, 8020-80FF
    const struct {
        std::uint64_t length;
        Layout blocks;
    } cases[] = {
        {240, {{0x8000, 16}, {0x8020, 224}}}, // the maximum fills every range
        {10, {{0x8000, 10}}},
        {16, {{0x8000, 16}}},
        {17, {{0x8000, 16}, {0x8020, 1}}},
        {0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const MemImage image = DataSet::BuildImage(tuningWrite, c.length, 0xA5);
        Layout layout;
        for (const ImageBlock b : image) {
            layout.emplace_back(b.first, b.size());
            EXPECT_TRUE(
                std::all_of(b.bytes.begin(), b.bytes.end(), [](std::uint8_t x) { return x == 0xA5; }));
        }
        EXPECT_EQ(layout, c.blocks);
        EXPECT_EQ(image.byteCount(), c.length);
    }
    EXPECT_EQ(DataSet::MaxSize(mappedEcu(), true), 240u);
    EXPECT_EQ(DataSet::MaxSize(mappedEcu(), false), 0x1000u + 0x100u - 0x10u);
    EXPECT_EQ(DataSet::EraseByteValue(mappedEcu()), "FF");
}

TEST(DataSet, DummyNameTellsTimeSizeAndByte) {
    EXPECT_EQ(DataSet::DummyName(NewYearsEve, 4096, 5), "DUMMY_20051231_235958_of_4096_bytes_0x05");
    EXPECT_EQ(DataSet::DummyName(QDateTime(QDate(2024, 2, 9), QTime(8, 5, 1)), 1, 0xAB),
              "DUMMY_20240209_080501_of_1_bytes_0xAB");
}

TEST(DataSet, InputsAreCheckedInTheDialogsOrder) {
    const struct {
        std::string length, byte;
        std::string error;
        DataSet::Field field;
        std::uint64_t value = 0;
        std::uint8_t byteValue = 0;
    } cases[] = {
        {"240", "a5", "", DataSet::Field::Length, 240, 0xA5},
        {" 16 ", "5", "", DataSet::Field::Length, 16, 5},
        {"0", "00", "", DataSet::Field::Length, 0, 0},
        {"12x", "5", "Length should be numeric", DataSet::Field::Length},
        {"", "5", "Length should be numeric", DataSet::Field::Length},
        {"-1", "5", "Length should be numeric", DataSet::Field::Length},
        {"241", "zz", "Length should be less or equal to max size (240).", DataSet::Field::Length},
        {"99999999999999999999999", "5", "Length should be less or equal to max size (240).",
         DataSet::Field::Length},
        {"10", "zz", "Byte value should be numeric.", DataSet::Field::ByteValue},
        {"10", "", "Byte value should be numeric.", DataSet::Field::ByteValue},
        {"10", "1FF", "Error: 6\r\nOverflow", DataSet::Field::ByteValue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length + " / " + c.byte);
        const DataSet::Input input = DataSet::CheckInput(c.length, 240, c.byte);
        EXPECT_EQ(input.error, c.error);
        if (!c.error.empty()) {
            EXPECT_EQ(input.field, c.field);
            continue;
        }
        EXPECT_EQ(input.length, c.value);
        EXPECT_EQ(input.byte, c.byteValue);
    }
}

class DataSetTest : public test::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped())
            return;
        db = database().create();
        ecu = test::addEcu(*db, test::sampleEcu(5, "ecu"));
        app = test::addItem(*db, ImageStore::Owner::Application, ecu, "app",
                            test::rowsImage(test::AppFirst, 2, 16));
        tuning = test::addItem(*db, ImageStore::Owner::Tuning, app, "tuning", {});
    }

    std::unique_ptr<Connection> db;
    qint64 ecu = 0, app = 0, tuning = 0;
};

TEST_P(DataSetTest, TargetFollowsTheSelectedItem) {
    const std::string a = "a" + std::to_string(app);
    const struct {
        std::string item, selection;
        bool found, tuning;
    } cases[] = {
        {"c" + std::to_string(tuning), "", true, true}, // a tuning: its application
        {a, a, true, true},                             // the application's own tuning item
        {a, "h" + std::to_string(ecu), true, false},    // an application of the selected ECU
        {a, "", false, false},
        {"h" + std::to_string(ecu), "g5", false, false},
        {"c999999", "", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item + " / " + c.selection);
        const auto target = DataSet::FindTarget(*db, c.item, c.selection);
        ASSERT_EQ(target.has_value(), c.found);
        if (!target)
            continue;
        EXPECT_EQ(target->ecuId, ecu);
        EXPECT_EQ(target->appId, app);
        EXPECT_EQ(target->tuning, c.tuning);
        EXPECT_EQ(target->ecu.Nom, "ecu");
        EXPECT_EQ(DataSet::MaxSize(target->ecu, true), 240u);
    }
}

TEST_P(DataSetTest, DummyRowAndImageAreStored) {
    const ZEPEcu record = EcuStore::Read(*db, ecu);
    const QString fields =
        "[PIE], [Indice Diag], [Code Fournisseur], [Hardware], [Software], [Version], [Calibration],"
        " [Réserve], [Homologation], [IdentValide], [Commentaire], [SupplierHex]";
    for (const bool dummyTuning : {false, true}) {
        SCOPED_TRACE(dummyTuning);
        const MemImage image = DataSet::BuildImage(record.WriteMap(dummyTuning), 100, 0x05);
        const qint64 id =
            DataSet::AddDummyDataSet(*db, ecu, app, image, record, 0x05, dummyTuning, NewYearsEve);
        const Rows row = rows(
            *db,
            dummyTuning
                ? "SELECT [Calib Name], [App Id], " + fields + " FROM [Calibrations] WHERE [Calib Id] = ?"
                : "SELECT [App Name], [Ecu Id], " + fields + " FROM [Applications] WHERE [App Id] = ?",
            {id});
        const std::string comment =
            dummyTuning ? "This is a dummy tuning data set! Use only for tool performance test."
                        : "This is a dummy global data set! Use only for tool performance test.";
        EXPECT_EQ(row, (Rows{{"DUMMY_20051231_235958_of_100_bytes_0x05",
                              std::to_string(dummyTuning ? app : ecu), "0000000000", "0", "VAL", "0000000000",
                              "0000", "0000", "0000", "00000000", "0000000000", "0", comment, "56414C"}}));
        EcuApplication stored =
            ImageStore::Download(*db, (dummyTuning ? "c" : "a") + std::to_string(id), true);
        EXPECT_EQ(stored.value(), image);
    }
}

TEST_P(DataSetTest, FailureStoresNothing) {
    const ZEPEcu record = EcuStore::Read(*db, ecu);
    // The second block's first row collides with a row already there.
    const MemImage image = DataSet::BuildImage(record.WriteMap(true), 200, 0x05);
    test::addItem(*db, ImageStore::Owner::Tuning, app, "other", test::rowsImage(0x8020, 1, 1));
    db->execute("CREATE UNIQUE INDEX [one data row] ON [Calibration Data] ([Address])");
    const long long tunings = test::count(*db, "Calibrations"),
                    rowsBefore = test::count(*db, "Calibration Data");

    EXPECT_THROW(DataSet::AddDummyDataSet(*db, ecu, app, image, record, 0x05, true, NewYearsEve),
                 DatabaseError);
    EXPECT_EQ(test::count(*db, "Calibrations"), tunings);
    EXPECT_EQ(test::count(*db, "Calibration Data"), rowsBefore);
}

ZEP_ENGINES(DataSetTest);

} // namespace
} // namespace zep
