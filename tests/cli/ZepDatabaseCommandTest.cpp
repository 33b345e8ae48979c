// The zep db subcommands run on real databases: each one's good case, refusal and usage error, and
// what a shared database asks of them (escaped listings, read-only files, a writer at work).
#include "ZepRun.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zep::test {
namespace {

namespace fs = std::filesystem;

/** every file of a folder with its bytes */
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = readFile(entry.path().string());
    return files;
}

/** A database of one function g16 with an ECU h1, its application a1 and tunings c1 to c3, made once. */
class ZepDatabaseSubcommand : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempDir;
        ASSERT_EQ(zep({"db", "create", fixture()}).code, 0);
        const Outcome imported = zep({"db", "import", fixture(), dataPath("xml/ecu.base64.xml")});
        ASSERT_EQ(imported.code, 0);
        ASSERT_EQ(imported.out, "h1\na1\nc1\nc2\nc3\n"); // the keys of what was added
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    static std::string fixture() { return folder_->file("fixture.zdb"); }

private:
    static TempDir* folder_;
};

TempDir* ZepDatabaseSubcommand::folder_ = nullptr;

TEST_F(ZepDatabaseSubcommand, EachRunsRefusesAndSaysHowToCallIt) {
    // DB is a copy of the fixture, OUT a file to write, NEW a file that does not exist yet
    const std::string longName(256, 'n');
    // clang-format off
    const struct { std::vector<std::string> args; int code; std::string says; /* on stdout for exit 0 (all of it when empty), else on stderr */ } cases[] = {
        {{"db", "create", "NEW"}, 0, ""},
        {{"db", "create", "DB"}, 1, "already exists"},
        {{"db", "create"}, 2, "usage: zep db create DB"},
        {{"db", "demo", "DB"}, 1, "already exists"},
        {{"db", "demo", "DB", "x"}, 2, "too many arguments"},
        {{"db", "tree", "DB"}, 0, "    h1\tInjection & <co>\n      a1\tSW 1.0\n"},
        {{"db", "tree", "OUT"}, 1, "Database file not found"},
        {{"db", "tree"}, 2, "missing arguments"},
        {{"db", "list", "DB", "g0x10"}, 0, "h1\tInjection & <co>\t"},
        {{"db", "list", "DB", "g10H"}, 0, "h1\tInjection & <co>\t"},
        {{"db", "list", "DB", "h9"}, 1, "There is no item h9"},
        {{"db", "list", "DB", "x"}, 2, "not a key of the form r, gADDRESS (g112, g0x70 or g70H), hID, aID"},
        {{"db", "open", "DB", dataPath("flash/valdore.s"), "--into", "h1"}, 0, "a2\n"},
        {{"db", "open", "DB", "OUT", "--into", "h1"}, 1, "Unable to read file"},
        {{"db", "open", "DB", dataPath("xml/ecu.base64.xml"), "--into", "h1"}, 1, "import it with zep db import"},
        {{"db", "open", "DB", dataPath("flash/valdore.s")}, 2, "--into"},
        {{"db", "save", "DB", "a1", "OUT.h86"}, 0, ""},
        {{"db", "save", "DB", "h1", "OUT.xml", "--encoding", "base64"}, 0, ""},
        {{"db", "save", "DB", "a9", "OUT.s"}, 1, "Application 9 does not exist"},
        {{"db", "save", "DB", "a1", "OUT.bin"}, 2, "give --format"},
        {{"db", "save", "DB", "h1", "OUT.xml", "--format", "srec"}, 2, "not a key of the form aID, cID"},
        {{"db", "save", "DB", "a1", "OUT.s", "--encoding", "base64"}, 2, "go with XML"},
        {{"db", "save", "DB", "h9", "OUT.xml", "--format", "xml"}, 1, "ECU 9 does not exist"},
        {{"db", "import", "DB", dataPath("xml/ecu.base64.xml"), "--update-existing", "no"}, 0, "h1\n"},
        {{"db", "import", "DB", dataPath("xml/ecu.base64.xml"), "--update-existing", "cancel"}, 0, ""},
        {{"db", "import", "DB", dataPath("flash/valdore.s")}, 1, "is not a valid XML file"},
        {{"db", "import", "DB", "OUT.xml"}, 1, "Unable to read file"},
        {{"db", "import", "DB", "x.xml", "--update-existing", "ok"}, 2, "--update-existing takes"},
        {{"db", "compare", "DB", "c1", "c1"}, 0, ""},
        {{"db", "compare", "DB", "c1", "c1", "--summary"}, 0, "0 differing byte(s) in 0 range(s), "},
        {{"db", "compare", "DB", "a1", "c9"}, 1, "There is no item c9"},
        {{"db", "compare", "DB", "a1", "h1"}, 2, "not a key of the form aID, cID"},
        {{"db", "info", "DB", "c1"}, 0, "  tuning\n  00"},
        {{"db", "info", "DB", "c9"}, 1, "There is no item c9"},
        {{"db", "info", "DB", "h1"}, 2, "not a key of the form aID, cID"},
        {{"db", "map", "DB", "c1", "OUT.png"}, 0, ""},
        {{"db", "map", "DB", "a1", "OUT.gif"}, 1, "ending in .png or .svg"},
        {{"db", "map", "DB", "h1", "OUT.svg"}, 2, "not a key of the form aID, cID"},
        {{"db", "copy", "DB", "c1", "DB", "--into", "a1"}, 0, "c4\n"},
        {{"db", "copy", "DB", "c9", "DB", "--into", "a1"}, 1, "Tuning 9 does not exist"},
        {{"db", "copy", "DB", "c1", "DB"}, 2, "--into KEY or --update hID"},
        {{"db", "delete", "DB", "c1", "--answer", "yes"}, 0, ""}, // an option after the arguments
        {{"db", "delete", "DB", "h9"}, 1, "There is no item h9"},
        {{"db", "delete", "DB"}, 2, "missing arguments"},
        {{"db", "rename", "DB", "h1", "New name"}, 0, ""},
        {{"db", "rename", "DB", "h1", longName}, 1, "The Nom is too long: at most 255 characters."},
        {{"db", "rename", "DB", "g16", "x"}, 2, "not a key of the form hID, aID, cID"},
        {{"db", "dummy", "DB", "a1", "--size", "16", "--byte", "AA"}, 0, "a2\n"},
        {{"db", "dummy", "DB", "a1", "--size", "16", "--byte", "ZZ"}, 1, "Byte value should be numeric"},
        {{"db", "dummy", "DB", "a1", "--byte", "AA"}, 2, "--size and --byte"},
        {{"db", "compact", "DB", "NEW"}, 0, ""},
        {{"db", "compact", "DB", "DB"}, 1, "cannot replace"},
        {{"db", "compact", "DB"}, 2, "missing arguments"},
        {{"db", "mark", "DB", "a1"}, 0, ""},
        {{"db", "mark", "DB", "a9"}, 1, "Application 9 does not exist"},
        {{"db", "mark", "DB", "h1"}, 2, "aID, cID"},
        {{"db", "find", "DB", "INJECT"}, 0, "h1\t"},
        {{"db", "find", "DB", "--text", "no such text"}, 1, "Nothing matches"},
        {{"db", "find", "DB", "inject", "--at", "0"}, 2, "--at goes with --bytes or --text"},
        {{"db", "new-ecu", "DB", "g16", "--name", "New", "--map", "global:8000-FFFF"}, 0, "h2\n"},
        {{"db", "new-ecu", "DB", "g16", "--name", "New", "--map", "global:FFFF-8000"},
         1,
         "ends before it starts"},
        {{"db", "new-ecu", "DB", "g16"}, 2, "--name"},
        {{"db", "bogus", "DB"}, 2, "unknown subcommand db bogus"},
    };
    // clang-format on
    for (const auto& c : cases) {
        TempDir dir;
        fs::copy_file(fixture(), dir.file("db.zdb"));
        std::vector<std::string> args = c.args;
        for (std::string& a : args) {
            if (a == "DB")
                a = dir.file("db.zdb");
            else if (a.rfind("OUT", 0) == 0)
                a = dir.file("out" + a.substr(3));
            else if (a == "NEW")
                a = dir.file("new.zdb");
        }
        const auto before = snapshot(dir.path());
        const Outcome r = zep(args);
        const std::string line =
            c.args[0] + " " + c.args[1] + " ... -> " + std::to_string(r.code) + "\n" + r.err;
        EXPECT_EQ(r.code, c.code) << line;
        EXPECT_TRUE(contains(c.code == 0 ? r.out : r.err, c.says)) << line << r.out;
        if (c.code == 0 && c.says.empty()) {
            EXPECT_EQ(r.out, "") << line;
        }
        if (c.code != 0) {
            EXPECT_FALSE(r.err.empty()) << line;
            EXPECT_EQ(snapshot(dir.path()), before) << line << "something was written";
        }
    }
}

// The XML export's questions answered by flags: what the saved document holds tells which answers it got.
TEST_F(ZepDatabaseSubcommand, XmlSaveAnswersTheQuestionsFromItsFlags) {
    TempDir dir;
    // clang-format off
    const struct { std::vector<std::string> args; int tuningData, codeSegments; bool base64; /* the default answer: base64 */ } cases[] = {
        {{"a1", "--only-default-tuning", "yes"}, 1, 2, true},
        {{"a1", "--only-default-tuning", "no", "--encoding", "base64"}, 4, 2, true},
        {{"a1", "--default-tuning"}, 1, 0, true},
        {{"c2", "--tuning-only", "yes"}, 1, 0, true},
        {{"c2", "--tuning-only", "no", "--encoding", "binhex"}, 1, 2, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        std::vector<std::string> args{"db",       "save", fixture(), c.args[0], dir.file("s.xml"),
                                      "--format", "xml"};
        args.insert(args.end(), c.args.begin() + 1, c.args.end());
        ASSERT_EQ(zep(args).code, 0);
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_file(dir.file("s.xml").c_str()));
        const pugi::xml_node application = doc.document_element().child("Boot").child("application");
        const auto count = [](const auto& range) {
            return static_cast<int>(std::distance(range.begin(), range.end()));
        };
        EXPECT_EQ(count(application.children("tuningdata")), c.tuningData);
        EXPECT_EQ(count(application.children("segment")), c.codeSegments);
        EXPECT_EQ(contains(readFile(dir.file("s.xml")), "bin.base64"), c.base64);
    }
}

// --- Databases shared with others: what zep prints, who may write, who waits. ---

/** a new local database holding one ECU named name, made with the sqlite3 tool */
std::string databaseWithEcu(const TempDir& dir, const std::string& nameExpression) {
    const std::string path = dir.file("base.zdb");
    EXPECT_EQ(zep({"db", "create", path}).code, 0);
    EXPECT_EQ(std::system(("sqlite3 '" + path + "' \"INSERT INTO Hardwares (Address, Nom) VALUES (16, " +
                           nameExpression + ")\"")
                              .c_str()),
              0);
    return path;
}

TEST(ZepDatabaseCommand, ListingsEscapeControlCharacters) {
    TempDir dir;
    const std::string db =
        databaseWithEcu(dir, "'evil' || char(10) || char(27) || '[31mRED' || char(9) || 'x'");
    const Outcome tree = zep({"db", "tree", db});
    EXPECT_EQ(tree.code, 0) << tree.err;
    EXPECT_TRUE(contains(tree.out, "\n    h1\tevil\\x0A\\x1B[31mRED\\x09x\n")) << tree.out;
    EXPECT_EQ(std::count(tree.out.begin(), tree.out.end(), '\n'), 3) << "a name forged a line";
    const Outcome list = zep({"db", "list", db, "g16"});
    EXPECT_TRUE(contains(list.out, "h1\tevil\\x0A\\x1B[31mRED\\x09x\t")) << list.out;
}

TEST(ZepDatabaseCommand, ReadOnlyDatabasesAreReadAndSayWhyTheyAreNotWritten) {
    TempDir dir;
    const std::string db = databaseWithEcu(dir, "'ECU'");
    // As root every file may be written: the commands run as a user who may not.
    const std::string asUser = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
    ::chmod(db.c_str(), 0444);
    ::chmod(dir.path().c_str(), 0555);
    const Outcome tree = zep({"db", "tree", db}, asUser);
    EXPECT_EQ(tree.code, 0) << tree.err;
    EXPECT_TRUE(contains(tree.out, "h1\tECU"));
    const Outcome rename = zep({"db", "rename", db, "h1", "other"}, asUser);
    EXPECT_EQ(rename.code, 1);
    EXPECT_TRUE(contains(rename.err, "is read-only")) << rename.err;
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(zep({"db", "tree", db}, asUser).code, 0);
    // Reading left nothing beside the file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(ZepDatabaseCommand, ReadersDoNotWaitForAWriterAndWritersSayTheDatabaseIsBusy) {
    TempDir dir;
    const std::string db = databaseWithEcu(dir, "'ECU'");
    const std::string locked = dir.file("locked");
    std::FILE* writer = ::popen(("sqlite3 '" + db + "' >/dev/null").c_str(), "w");
    ASSERT_NE(writer, nullptr);
    std::fprintf(writer, "BEGIN IMMEDIATE;\nINSERT INTO Fonctions VALUES (1, 'x');\n.shell touch '%s'\n",
                 locked.c_str());
    std::fflush(writer);
    while (!std::filesystem::exists(locked))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // A reader that waited for the lock would still be waiting at the deadline.
    const Outcome tree = zep({"db", "tree", db}, "timeout 10");
    EXPECT_EQ(tree.code, 0) << tree.err;
    EXPECT_TRUE(contains(tree.out, "h1\tECU"));
    const Outcome rename = zep({"db", "rename", db, "h1", "other"});
    EXPECT_EQ(rename.code, 1);
    EXPECT_TRUE(contains(rename.err, "is busy")) << rename.err;
    ::pclose(writer);
}

} // namespace
} // namespace zep::test
