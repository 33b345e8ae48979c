#include "support/SmallTree.h"

#include "commands/ItemEdit.h"
#include "support/RecordingInteraction.h"

#include <map>

namespace zep::test {
namespace {

class ItemEditTest : public NavigationTest {
protected:
    void SetUp() override {
        NavigationTest::SetUp();
        if (IsSkipped())
            return;
        data.emplace(*db);
        ASSERT_TRUE(tree.build(*db));
    }

    bool central() const { return GetParam() == DatabaseEngine::PostgreSQL; }

    /** the name column of the item of key, or "(none)" when the row is gone */
    std::string nameOf(const std::string& key) {
        static const std::map<char, QString> statements{
            {'g', "SELECT [Name] FROM [Fonctions] WHERE [Address] = ?"},
            {'h', "SELECT [Nom] FROM [Hardwares] WHERE [Ecu Id] = ?"},
            {'a', "SELECT [App Name] FROM [Applications] WHERE [App Id] = ?"},
            {'c', "SELECT [Calib Name] FROM [Calibrations] WHERE [Calib Id] = ?"},
        };
        QSqlQuery q = db->execute(statements.at(key[0]), {std::stoll(key.substr(1))});
        return q.next() ? q.value(0).toString().toStdString() : "(none)";
    }

    std::optional<SmallTree> data;
    TreeSource tree;
    RecordingInteraction ui;
};

std::string key(char kind, qint64 id) {
    return kind + std::to_string(id);
}

TEST_P(ItemEditTest, DeletesAfterTheQuestionAndRefusesEcusAndFunctionsOfACentralDatabase) {
    struct Case {
        std::string key;
        std::string name;
        std::string shown; // the question, or the message of a refusal
        bool deletedLocally;
        bool deletedCentrally;
    };
    // In this order each case leaves the items of the next ones in place.
    const Case cases[] = {
        // clang-format off
        {key('c', data->tuning), "Tuning 1", "Delete tuning Tuning 1 ?", true, true},
        {key('a', data->appB), "App B", "Delete application App B ?", true, true},
        {key('h', data->gearbox), "Gearbox", central() ? "ECU deletion not allowed in central database. " : "Delete ECU Gearbox ?", true, false},
        {"g16", "Doors", central() ? "" : "Delete Function Doors ?", true, false},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        ui.shown.clear();
        ui.answers = {Answer::Yes};
        const bool deleted = central() ? c.deletedCentrally : c.deletedLocally;
        EXPECT_EQ(ItemEdit::DeleteItem(*db, c.key, c.name, ui, &tree), deleted);
        EXPECT_EQ(ui.texts(),
                  c.shown.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.shown});
        EXPECT_EQ(nameOf(c.key) == "(none)", deleted);
        // Tunings are not in the tree; the other nodes go with their rows.
        if (c.key[0] != 'c') {
            EXPECT_EQ(tree.find(c.key) == nullptr, deleted);
        }
    }
}

TEST_P(ItemEditTest, DeletingAnItemDeletesItsDependentRows) {
    const qint64 ecu = data->injection1;
    db->execute("INSERT INTO [Mappings] ([Ecu Id], [Address], [Count], [Calibration]) VALUES (?, 0, 256, ?)",
                {ecu, false});
    db->execute("INSERT INTO [Exclusions] ([Ecu Id], [ZAddress], [ZCount], [Address], [Count], [Contrôle])"
                " VALUES (?, 0, 256, 16, 4, 0)",
                {ecu});
    db->execute("INSERT INTO [Application Code] ([App Id], [Address], [Bytes]) VALUES (?, 0, ?)",
                {data->appA, QByteArray("\x01\x02")});
    db->execute("INSERT INTO [Calibration Data] ([Calib Id], [Address], [Bytes]) VALUES (?, 0, ?)",
                {data->tuning, QByteArray("\x03")});
    const auto rows = [&] {
        return std::vector<qint64>{
            count(*db, "SELECT count(*) FROM [Applications] WHERE [Ecu Id] = ?", {ecu}),
            count(*db, "SELECT count(*) FROM [Calibrations]"),
            count(*db, "SELECT count(*) FROM [Application Code]"),
            count(*db, "SELECT count(*) FROM [Calibration Data]"),
            count(*db, "SELECT count(*) FROM [Mappings]"),
            count(*db, "SELECT count(*) FROM [Exclusions]"),
        };
    };
    ASSERT_EQ(rows(), (std::vector<qint64>{2, 1, 1, 1, 1, 1}));

    ui.answers = {Answer::Yes};
    // A central database keeps its ECUs: there the application goes, with its tuning and code.
    const std::string item = central() ? key('a', data->appA) : key('h', ecu);
    ASSERT_TRUE(ItemEdit::DeleteItem(*db, item, "x", ui, &tree));
    EXPECT_EQ(rows(),
              central() ? (std::vector<qint64>{1, 0, 0, 0, 1, 1}) : (std::vector<qint64>{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(tree.find(key('a', data->appA)), nullptr);
}

TEST_P(ItemEditTest, AnsweringNoOrAnUnknownKeyChangesNothing) {
    const std::size_t nodes = tree.size();
    for (const std::string& k : {key('a', data->appA), key('c', data->tuning)}) {
        ui.answers = {Answer::No};
        EXPECT_FALSE(ItemEdit::DeleteItem(*db, k, "it", ui, &tree));
        EXPECT_NE(nameOf(k), "(none)");
    }
    ui.shown.clear();
    for (const char* k : {"r", "", "x5", "h"})
        EXPECT_FALSE(ItemEdit::DeleteItem(*db, k, "it", ui, &tree)) << k;
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(tree.size(), nodes);
}

TEST_P(ItemEditTest, FailingDeleteLeavesEveryRowInPlace) {
    if (central()) {
        db->execute("CREATE FUNCTION keep_tunings() RETURNS trigger LANGUAGE plpgsql AS"
                    " $$BEGIN RAISE EXCEPTION 'tunings are kept'; END$$");
        db->execute("CREATE TRIGGER [keep] BEFORE DELETE ON [Calibrations] FOR EACH ROW EXECUTE FUNCTION "
                    "keep_tunings()");
    } else {
        db->execute("CREATE TRIGGER [keep] BEFORE DELETE ON [Calibrations] BEGIN SELECT RAISE(ABORT, "
                    "'tunings are kept'); END");
    }
    ui.answers = {Answer::Yes};
    EXPECT_THROW(ItemEdit::DeleteItem(*db, key('a', data->appA), "App A", ui, &tree), DatabaseError);
    EXPECT_EQ(nameOf(key('a', data->appA)), "App A");
    EXPECT_EQ(nameOf(key('c', data->tuning)), "Tuning 1");
    EXPECT_NE(tree.find(key('a', data->appA)), nullptr);
}

TEST_P(ItemEditTest, RenamesByLevelWithNamesAsTyped) {
    enum Where { List, Tree };
    struct Case {
        Where where;
        int level;
        std::string key;
        std::string newText;
        bool cancel;
        bool stored;
        std::string name;     // the name column afterwards
        std::string treeText; // the node's text afterwards ("" when not in the tree)
    };
    const std::string injection = key('h', data->injection1), appA = key('a', data->appA);
    const std::string gearbox = key('h', data->gearbox), appB = key('a', data->appB);
    const std::string tuning = key('c', data->tuning);
    const Case cases[] = {
        // clang-format off
        {List, 2, injection, "  Injection d'Été  ", false, true, "Injection d'Été", "Injection d'Été"},
        {List, 3, appA, "Logiciel \"ß\" 'n' ; --", false, true, "Logiciel \"ß\" 'n' ; --", "Logiciel \"ß\" 'n' ; --"},
        {List, 4, tuning, "Réglage", false, true, "Réglage", ""},
        {List, 4, appA, "default", true, false, "Logiciel \"ß\" 'n' ; --", "Logiciel \"ß\" 'n' ; --"},
        {List, 2, injection, "   ", true, false, "Injection d'Été", "Injection d'Été"},
        {List, 1, "g7", "Motor", false, false, "Engine control", "Engine"},
        {Tree, 3, gearbox, " Boîte ", false, true, "Boîte", "Boîte"},
        {Tree, 4, appB, "B²", false, true, "B²", "B²"},
        {Tree, 4, appB, "", true, false, "B²", "B²"},
        {Tree, 2, "g7", "Motor", false, false, "Engine control", "Engine"},
        {List, 3, key('a', 99999), "Gone", true, false, "(none)", ""},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.where == List ? "list " : "tree ") + std::to_string(c.level) + " " +
                     c.key + " '" + c.newText + "'");
        const ItemEdit::Rename r = c.where == List
                                       ? ItemEdit::renameListItem(*db, c.level, c.key, c.newText, &tree)
                                       : ItemEdit::renameTreeNode(*db, c.level, c.key, c.newText, &tree);
        EXPECT_EQ(r.cancel, c.cancel);
        EXPECT_EQ(r.stored, c.stored);
        EXPECT_EQ(r.treeKey, c.stored && !c.treeText.empty() ? c.key : "");
        EXPECT_EQ(nameOf(c.key), c.name);
        const TreeNode* node = tree.find(c.key);
        EXPECT_EQ(node ? node->text() : "", c.treeText);
    }
}

TEST_P(ItemEditTest, FailingRenameLeavesTheOldName) {
    const std::string ecu = key('h', data->gearbox);
    EXPECT_THROW(ItemEdit::renameListItem(*db, 2, ecu, std::string(300, 'x'), &tree), DatabaseError);
    EXPECT_EQ(nameOf(ecu), "Gearbox");
    EXPECT_EQ(tree.find(ecu)->text(), "Gearbox");
    // The connection is still usable.
    EXPECT_TRUE(ItemEdit::renameListItem(*db, 2, ecu, "Gearbox 2", &tree).stored);
    EXPECT_EQ(nameOf(ecu), "Gearbox 2");
}

ZEP_ENGINES(ItemEditTest);

} // namespace
} // namespace zep::test
