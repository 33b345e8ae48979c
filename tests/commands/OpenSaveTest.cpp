#include "commands/OpenCommand.h"
#include "commands/SaveCommand.h"
#include "database/EcuStore.h"
#include "database/ImageStore.h"
#include "flash/EcuApplication.h"
#include "flash/FlashTestSupport.h"
#include "support/RecordingInteraction.h"
#include "support/TestDatabase.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zep::test {
namespace {

/** One ECU with a global range and a tuning range, and files made from an image in both. */
class OpenSave : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped())
            return;
        db = database().create();
        ZEPEcu ecu;
        ecu.Address = 0x10;
        ecu.Nom = "ECU";
        ecu.FillPattern = MemBlock::fromHex("FFFF");
        ecu.WriteGranularity = 128;
        ecu.InterByteDelay = 2;
        ecu.ReplyToRequestDelay = 5;
        ecuId = EcuStore::Insert(*db, ecu);
        db->execute(
            "INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (?, ?, ?, ?)",
            {ecuId, 0x10000, 0x1000, false});
        db->execute(
            "INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (?, ?, ?, ?)",
            {ecuId, 0x20000, 0x100, true});
    }

    /** an application or tuning file with the stored ECU's parameters unless told otherwise */
    std::string file(const std::string& name, bool tuning, std::uint32_t address, std::size_t size,
                     int interByteDelay = 2) {
        EcuApplication app;
        app.setEstCalibration(tuning);
        app.setPIE("0102030405");
        app.Homologation = "ABCDEF0123";
        app.Ecu().FillPattern = MemBlock::fromHex("FFFF");
        app.Ecu().WriteGranularity = 128;
        app.Ecu().InterByteDelay = interByteDelay;
        app.Ecu().ReplyToRequestDelay = 5;
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
        app.value().add(address, bytes);
        const std::string path = folder.file(name);
        app.ExportToSFile(path);
        return path;
    }

    qint64 rows(const char* table) {
        auto q = db->execute(QString("SELECT COUNT(*) FROM [%1]").arg(table));
        q.next();
        return q.value(0).toLongLong();
    }

    TempDir folder;
    std::unique_ptr<Connection> db;
    qint64 ecuId = 0;
    RecordingInteraction ui;
};

TEST_P(OpenSave, AnApplicationFileOpensAndSavesBackToTheSameBytesInEachFormat) {
    const std::string in = file("app.s", false, 0x10000, 0x1000);
    const OpenResult opened = OpenFlashFile(*db, ecuId, std::nullopt, in, ui);
    ASSERT_TRUE(opened.application);
    EXPECT_FALSE(opened.tuning);
    EXPECT_TRUE(ui.shown.empty()) << ui.texts().front();
    EXPECT_EQ(rows("Application Code"), 128); // one row per S2 record of 32 bytes

    const std::string key = opened.application->text();
    EXPECT_TRUE(SaveImage(*db, key, SaveFormat::SRecord, folder.file("back.s"), ui));
    EXPECT_EQ(readFile(folder.file("back.s")), readFile(in));

    for (const auto& [format, name] :
         {std::pair{SaveFormat::H86, "back.h86"}, std::pair{SaveFormat::Kwp, "back.kwp"}}) {
        ASSERT_TRUE(SaveImage(*db, key, format, folder.file(name), ui));
        const OpenResult again = OpenFlashFile(*db, ecuId, std::nullopt, folder.file(name), ui);
        ASSERT_TRUE(again.application) << name;
        const EcuApplication a = ImageStore::Download(*db, key, false);
        const EcuApplication b = ImageStore::Download(*db, again.application->text(), false);
        EXPECT_TRUE(a.value().sameContent(b.value())) << name;
    }
}

TEST_P(OpenSave, SavingClipsToTheWriteMapOfTheKind) {
    // one block over the global range's end and into nothing, one in the tuning range
    EcuApplication app;
    app.setPIE("0000000000");
    const std::string in = folder.file("wide.s");
    app.Ecu().FillPattern = MemBlock::fromHex("FF");
    app.value().add(0x10F00, std::vector<std::uint8_t>(0x200, 0x11));
    app.value().add(0x20000, std::vector<std::uint8_t>(0x100, 0x22));
    app.ExportToSFile(in);
    const OpenResult opened = OpenFlashFile(*db, ecuId, std::nullopt, in, ui);
    ASSERT_TRUE(opened.application);

    struct Case {
        bool defaultTuning;
        MemMap expected;
        bool tuningMarker;
    };
    for (const Case& c : {Case{false, MemMap{{0x10F00, 0x100}, {0x20000, 0x100}}, false},
                          Case{true, MemMap{{0x20000, 0x100}}, true}}) {
        const std::string out = folder.file("out.s");
        ASSERT_TRUE(
            SaveImage(*db, opened.application->text(), SaveFormat::SRecord, out, ui, c.defaultTuning));
        EcuApplication back;
        back.ImportFromSFile(out, ui);
        EXPECT_EQ(back.value().map(), c.expected);
        EXPECT_EQ(back.EstCalibration(), c.tuningMarker);
    }
}

TEST_P(OpenSave, DifferingParametersAreWarnedAboutAndTheStoredEcuStays) {
    const std::string in = file("slow.s", false, 0x10000, 64, 9);
    ASSERT_TRUE(OpenFlashFile(*db, ecuId, std::nullopt, in, ui).application);
    EXPECT_EQ(ui.texts(), std::vector<std::string>{"Erroneous Interbyte delay : 9 ms"});
    EXPECT_EQ(EcuStore::Read(*db, ecuId).InterByteDelay, 2);
}

TEST_P(OpenSave, ATuningGoesUnderTheGivenApplicationOrADummyOne) {
    const std::string app = file("app.s", false, 0x10000, 64);
    const std::string tuning = file("tuning.s", true, 0x20000, 64);
    const OpenResult a = OpenFlashFile(*db, ecuId, std::nullopt, app, ui);
    ASSERT_TRUE(a.application);

    const OpenResult under = OpenFlashFile(*db, ecuId, a.application->id, tuning, ui);
    EXPECT_FALSE(under.application);
    ASSERT_TRUE(under.tuning);
    EXPECT_TRUE(ui.shown.empty());

    const OpenResult dummy = OpenFlashFile(*db, ecuId, std::nullopt, tuning, ui);
    ASSERT_TRUE(dummy.application && dummy.tuning);
    EXPECT_EQ(ui.texts(), std::vector<std::string>{"Tuning file will be located under a dummy Global file."});
    auto q = db->execute("SELECT [App Name], [PIE], [IdentValide] FROM [Applications] WHERE [App Id] = ?",
                         {dummy.application->id});
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), "tuning.s");
    EXPECT_EQ(q.value(1).toString(), "0102030405");
    EXPECT_FALSE(q.value(2).toBool());
}

TEST_P(OpenSave, FileTitlesOfFiftyCharactersAreRefused) {
    const std::string ok = file(std::string(47, 'x') + ".s", false, 0x10000, 32);
    const std::string tooLong = file(std::string(48, 'y') + ".s", false, 0x10000, 32);
    EXPECT_TRUE(OpenFlashFile(*db, ecuId, std::nullopt, ok, ui).application);
    EXPECT_FALSE(OpenFlashFile(*db, ecuId, std::nullopt, tooLong, ui).opened());
    EXPECT_EQ(ui.texts(),
              std::vector<std::string>{"Filename is too long (50 char max).\r\nPlease rename-it."});
    EXPECT_EQ(rows("Applications"), 1);
}

TEST_P(OpenSave, RefusedOrUnknownFilesWriteNothing) {
    const std::string bad = folder.file("bad.s");
    writeFile(bad, "S00600000381FF\r\nS1\r\n");
    const std::string unknown = folder.file("notes.txt");
    writeFile(unknown, "hello world\r\n");
    const std::string tiny = folder.file("tiny.s");
    writeFile(tiny, "S9030");

    EXPECT_FALSE(OpenFlashFile(*db, ecuId, std::nullopt, bad, ui).opened());
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].kind, "critical");
    EXPECT_EQ(ui.shown[0].text, "Checksum error at line 1");
    ui.shown.clear();
    EXPECT_FALSE(OpenFlashFile(*db, ecuId, std::nullopt, unknown, ui).opened());
    EXPECT_FALSE(OpenFlashFile(*db, ecuId, std::nullopt, tiny, ui).opened());
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(rows("Applications"), 0);
}

TEST_P(OpenSave, AToolchainFileOpensWithItsDataOnly) {
    // a header, a count and a start address around the data, as srec_cat writes them
    const std::string in = folder.file("tool.s19");
    writeFile(in, srec("S0", bytesOf("0000484452")) + srec("S2", {0x01, 0x00, 0x00, 0xA1, 0xB2}) +
                      srec("S5", {0, 1}) + srec("S9", {0x12, 0x34}));
    const OpenResult opened = OpenFlashFile(*db, ecuId, std::nullopt, in, ui);
    ASSERT_TRUE(opened.application);
    EXPECT_TRUE(ui.shown.empty()) << ui.texts().front();
    const EcuApplication stored = ImageStore::Download(*db, opened.application->text(), false);
    EXPECT_EQ(blocksOf(stored.value()), (Blocks{{0x10000, {0xA1, 0xB2}}}));
    EXPECT_EQ(stored.Identification(), EcuApplication().Identification());
}

TEST_P(OpenSave, AFailureWhileWritingLeavesTheDatabaseAsItWas) {
    // A tuning under an application that does not exist: the tuning row is refused by its relation.
    const std::string tuning = file("tuning.s", true, 0x20000, 64);
    EXPECT_FALSE(OpenFlashFile(*db, ecuId, 999999, tuning, ui).opened());
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].kind, "critical");
    EXPECT_EQ(rows("Calibrations"), 0);
    EXPECT_EQ(rows("Calibration Data"), 0);
}

TEST_P(OpenSave, ASaveTheFormatRefusesWritesNoFile) {
    const OpenResult opened = OpenFlashFile(*db, ecuId, std::nullopt, file("app.s", false, 0x10000, 64), ui);
    ASSERT_TRUE(opened.application);
    db->execute("UPDATE [Hardwares] SET [FillPattern] = NULL");
    const std::string out = folder.file("refused.s");
    EXPECT_FALSE(SaveImage(*db, opened.application->text(), SaveFormat::SRecord, out, ui));
    EXPECT_FALSE(std::filesystem::exists(out));
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].kind, "critical");
}

ZEP_ENGINES(OpenSave);

TEST(SaveFormatOf, TheFilterChoosesAndAllFilesTakesTheExtension) {
    const struct {
        int filter;
        const char* path;
        SaveFormat format;
    } cases[] = {
        {1, "a.h86", SaveFormat::SRecord}, {2, "a", SaveFormat::Kwp},         {3, "a.s", SaveFormat::Xml},
        {4, "a.kwp", SaveFormat::H86},     {5, "a.S19", SaveFormat::SRecord}, {5, "a.ihx", SaveFormat::H86},
        {5, "a.kwp", SaveFormat::Kwp},     {5, "a.XML", SaveFormat::Xml},     {5, "a.bin", SaveFormat::None},
        {0, "a.mot", SaveFormat::SRecord},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SaveFormatOf(c.filter, c.path), c.format) << c.filter << " " << c.path;
}

TEST(SuggestedFileName, KeepsThePortableCharacters) {
    const std::pair<std::string, std::string> cases[] = {
        {"APP_V1.2", "APP_V1.2"},
        {"a/b:c*d?e", "a_b_c_d_e"},
        {"Réglage 3", "R_glage_3"},
        {"x[1]{2}(3)~%$", "x[1]{2}(3)~%$"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(SuggestedFileName(text), expected) << text;
}

} // namespace
} // namespace zep::test
