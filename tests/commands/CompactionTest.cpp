#include "support/SampleImages.h"

#include "commands/Compaction.h"
#include "support/RecordingInteraction.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zep {
namespace {

namespace fs = std::filesystem;
using test::Rows;
using test::rows;

std::string success(const std::string& destination) {
    return "DB compact sucess!\r\nCompacted database filename is:\r\n" + destination;
}

/** A local database with rows left and rows deleted, kept open while it is compacted. */
class CompactionTest : public ::testing::Test {
protected:
    void SetUp() override {
        db = place.create();
        const qint64 ecu = test::addEcu(*db, test::sampleEcu(5, "Moteur d'été"));
        kept =
            test::addItem(*db, ImageStore::Owner::Application, ecu, "kept", test::rowsImage(0x1000, 50, 32));
        const qint64 gone = test::addItem(*db, ImageStore::Owner::Application, ecu, "gone",
                                          test::rowsImage(0x1000, 5000, 32));
        db->execute("DELETE FROM [Applications] WHERE [App Id] = ?", {gone});
    }

    /** the folder's entries: a compaction leaves nothing of its own behind */
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    Rows content(Connection& c) {
        return rows(c, "SELECT a.[App Name], r.[Address], r.[Bytes] FROM [Applications] a"
                       " JOIN [Application Code] r ON r.[App Id] = a.[App Id] ORDER BY r.[Address]");
    }

    test::TestDatabase place{DatabaseEngine::SQLite};
    test::TempDir folder;
    std::unique_ptr<Connection> db;
    qint64 kept = 0;
};

TEST_F(CompactionTest, WritesACompactedCopyOfTheOpenDatabase) {
    fs::create_directories(folder.file("sub/deeper"));
    const std::string destination = folder.file("sub/deeper/compacted.zdb");
    test::RecordingInteraction ui;

    // "*" and "?" in the destination are folder separators.
    const auto outcome = Compaction::Compact(place.path(), folder.file("sub*deeper?compacted.zdb"), ui);

    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(outcome->succeeded);
    EXPECT_EQ(ui.texts(), std::vector<std::string>{success(destination)});
    const auto copy = Connection::open(destination);
    EXPECT_EQ(content(*copy), content(*db));
    EXPECT_EQ(content(*copy).size(), 50u);
    EXPECT_LT(fs::file_size(destination), 1024u * 1024u); // the 5,000 deleted rows are not copied
    // The source stays usable.
    db->execute("DELETE FROM [Applications] WHERE [App Id] = ?", {kept});
    EXPECT_EQ(test::count(*copy, "Applications"), 1);
}

TEST_F(CompactionTest, DestinationEqualToTheSourceDoesNothing) {
    for (const std::string& same :
         {place.path(), (fs::path(place.path()).parent_path() / "." / "test.zdb").string()}) {
        SCOPED_TRACE(same);
        test::RecordingInteraction ui;
        EXPECT_FALSE(Compaction::Compact(place.path(), same, ui).has_value());
        EXPECT_TRUE(ui.shown.empty());
    }
}

TEST_F(CompactionTest, AsksBeforeOverwritingAnExistingDestination) {
    const std::string destination = folder.file("existing.zdb");
    const std::string question =
        "Destination filename\r\n" + destination + "\r\nalready exist!\r\n\r\nOverwrite-it ?";

    test::writeFile(destination, "keep me");
    test::RecordingInteraction no;
    no.answers = {Answer::No};
    EXPECT_FALSE(Compaction::Compact(place.path(), destination, no).has_value());
    EXPECT_EQ(no.texts(), std::vector<std::string>{question});
    EXPECT_EQ(test::readFile(destination), "keep me");

    test::RecordingInteraction yes;
    yes.answers = {Answer::Yes};
    const auto outcome = Compaction::Compact(place.path(), destination, yes);
    ASSERT_TRUE(outcome && outcome->succeeded) << (outcome ? outcome->message : "");
    EXPECT_EQ(yes.texts(), (std::vector<std::string>{question, success(destination)}));
    EXPECT_EQ(content(*Connection::open(destination)), content(*db));
}

TEST_F(CompactionTest, FailuresReportSQLitesNumberAndLeaveNoDestination) {
    const std::string text = folder.file("notes.txt");
    test::writeFile(text, std::string(4096, 'x'));
    const std::string jet = folder.file("old.mdb");
    test::writeFile(jet, std::string("\0\1\0\0Standard Jet DB\0", 20) + std::string(2048, '\0'));
    const std::string missing = folder.file("missing.zdb");
    const struct {
        std::string source, destination, message;
    } cases[] = {
        {text, folder.file("a.zdb"), "DB compact error!\r\nError number: 26\r\nfile is not a database"},
        {jet, folder.file("b.zdb"), "DB compact error!\r\nError number: 26\r\nfile is not a database"},
        {missing, folder.file("c.zdb"),
         "DB compact error!\r\nError number: 14\r\nunable to open database file"},
        {place.path(), folder.file("no/such/folder.zdb"),
         "DB compact error!\r\nError number: 2\r\nNo such file or directory"},
    };
    const std::vector<std::string> before = entries();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        test::RecordingInteraction ui;
        const auto outcome = Compaction::Compact(c.source, c.destination, ui);
        ASSERT_TRUE(outcome.has_value());
        EXPECT_FALSE(outcome->succeeded);
        EXPECT_EQ(outcome->message, c.message);
        EXPECT_EQ(ui.texts(), std::vector<std::string>{c.message});
        EXPECT_FALSE(fs::exists(c.destination));
    }
    EXPECT_EQ(entries(), before);
}

} // namespace
} // namespace zep
