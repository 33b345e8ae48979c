#include "support/SmallTree.h"

#include <map>

namespace zep::test {
namespace {

/** one line per node: indentation, key, text and [tag] */
std::string dump(const TreeNode& node, int depth = 0) {
    std::string text = std::string(2 * depth, ' ') + node.key() + " " + node.text();
    if (!node.tag().empty())
        text += " [" + node.tag() + "]";
    text += "\n";
    for (std::size_t i = 0; i < node.childCount(); ++i)
        text += dump(node.child(i), depth + 1);
    return text;
}

/** text with every {name} replaced */
std::string fill(std::string text, const std::map<std::string, std::string>& values) {
    for (const auto& [name, value] : values)
        for (auto at = text.find("{" + name + "}"); at != std::string::npos; at = text.find("{" + name + "}"))
            text.replace(at, name.size() + 2, value);
    return text;
}

class TreeSourceTest : public NavigationTest {
protected:
    std::string rootLine() const {
        return std::string("r ZEP [") + (GetParam() == DatabaseEngine::PostgreSQL ? "Central" : "Local") +
               " Database]\n";
    }
};

TEST_P(TreeSourceTest, BuildsFunctionsEcusAndApplicationsFromArborescence) {
    const SmallTree data(*db);
    TextCatalog::instance().setLanguage("de"); // no German names: English, then the database's
    TreeSource tree;
    ASSERT_TRUE(tree.build(*db));

    // Two ECUs named Injection in a row share a node; the ECU of address 200 has no function row.
    const std::string expected = rootLine() + fill(R"(  g200  [C8]
    h{orphan} Orphan
      a{orphanApp} Orphan SW
  g122 airbag db [7A]
    h{airbag} Airbag
      a{airbagApp} Airbag SW
  g16 Doors [10]
  g7 Engine [07]
    h{injection1} Injection
      a{appA} App A
      a{appB} App B
      a{appC} App C
    h{gearbox} Gearbox
)",
                                                   {{"orphan", std::to_string(data.orphan)},
                                                    {"orphanApp", std::to_string(data.orphanApp)},
                                                    {"airbag", std::to_string(data.airbag)},
                                                    {"airbagApp", std::to_string(data.airbagApp)},
                                                    {"injection1", std::to_string(data.injection1)},
                                                    {"appA", std::to_string(data.appA)},
                                                    {"appB", std::to_string(data.appB)},
                                                    {"appC", std::to_string(data.appC)},
                                                    {"gearbox", std::to_string(data.gearbox)}});
    EXPECT_EQ(dump(*tree.root()), expected);
    EXPECT_EQ(tree.size(), 14u);
    EXPECT_EQ(tree.find("h" + std::to_string(data.injection2)), nullptr);
    EXPECT_STREQ(tree.find("g7")->selectedImage(), "function_selected");
    EXPECT_STREQ(tree.find("h" + std::to_string(data.gearbox))->image(), "ecu");
}

TEST_P(TreeSourceTest, FunctionNamesFollowTheLanguageAndSortCaseBlind) {
    SmallTree data(*db);
    struct Case {
        const char* language;
        bool addressing;
        std::vector<std::string> functions; // the root's children as "key text"
    };
    const Case cases[] = {
        {"fr", true, {"g200 ", "g122 Coussin", "g16 Doors", "g7 Moteur"}},
        {"en", true, {"g200 ", "g122 airbag db", "g16 Doors", "g7 Engine"}},
        {"de", true, {"g200 ", "g122 airbag db", "g16 Doors", "g7 Engine"}},
        {"fr", false, {"g200 ", "g122 airbag db", "g16 Doors", "g7 Engine control"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.language) + (c.addressing ? " with" : " without") +
                     " addressing document");
        TextCatalog::instance().setLanguage(c.language);
        if (c.addressing)
            Addressing::instance().loadFromString(addressingDocument);
        else
            Addressing::instance().unload();
        TreeSource tree;
        ASSERT_TRUE(tree.build(*db));
        std::vector<std::string> functions;
        for (std::size_t i = 0; i < tree.root()->childCount(); ++i)
            functions.push_back(tree.root()->child(i).key() + " " + tree.root()->child(i).text());
        EXPECT_EQ(functions, c.functions);
    }
}

// The grouping rules, on rows the view would not give: a table stands in for it.
TEST_P(TreeSourceTest, GroupsConsecutiveRowsAndSkipsDuplicateKeys) {
    db->execute("DROP VIEW [Arborescence]");
    db->execute("CREATE TABLE [Arborescence] ([seq] INTEGER, [address] INTEGER, [name] VARCHAR(20), [Nom] "
                "VARCHAR(20),"
                " [Ecu Id] INTEGER, [App Name] VARCHAR(20), [App Id] INTEGER)");
    const QVariant null(QMetaType(QMetaType::QString));
    const QVariantList rows[] = {
        {1, "F1", "X", 10, "a", 100},
        {1, "F1", "X", 11, "b", 101},   // same name in a row: the node of ECU 10
        {1, "F1", "Y", 12, null, null}, // an ECU without applications
        {1, "F1", "X", 10, "c", 102},   // X again after Y: a second node h10, skipped with its application
        {2, null, null, null, null, null},
        {1, "F1 again", "Z", 13, "d", 103}, // address 1 again: g1 exists, its rows are skipped
        {3, "F3", null, 14, "e", 104},      // an ECU without a name has no node
        {3, "F3", "W", 15, "f", 100},       // a100 exists already
    };
    int seq = 0;
    for (QVariantList row : rows) {
        row.prepend(++seq);
        db->execute("INSERT INTO [Arborescence] VALUES (?, ?, ?, ?, ?, ?, ?)", row);
    }
    // The build reads the rows in the order the source gives them.
    db->execute("ALTER TABLE [Arborescence] RENAME TO [Rows]");
    db->execute(
        "CREATE VIEW [Arborescence] AS SELECT [address], [name], [Nom], [Ecu Id], [App Name], [App Id]"
        " FROM [Rows] ORDER BY [seq]");

    TreeSource tree;
    ASSERT_TRUE(tree.build(*db));
    EXPECT_EQ(dump(*tree.root()), rootLine() + R"(  g2  [02]
  g1 F1 [01]
    h10 X
      a100 a
      a101 b
    h12 Y
  g3 F3 [03]
    h15 W
)");
}

TEST_P(TreeSourceTest, BuildFailsWithoutArborescenceAndKeepsTheTree) {
    SmallTree data(*db);
    TreeSource tree;
    ASSERT_TRUE(tree.build(*db));
    const std::size_t nodes = tree.size();
    db->execute("DROP VIEW [Arborescence]");
    EXPECT_FALSE(tree.build(*db));
    EXPECT_EQ(tree.size(), nodes);
    EXPECT_NE(tree.find("g7"), nullptr);
}

TEST_P(TreeSourceTest, NodesFoundWhileListingAndNewItemsJoinTheTree) {
    SmallTree data(*db);
    TreeSource tree;
    ASSERT_TRUE(tree.build(*db));
    const std::string injection = "h" + std::to_string(data.injection1);

    const TreeNode* ecu = tree.addEcu(data.injection2, "Injection", 7, "second");
    ASSERT_NE(ecu, nullptr);
    EXPECT_EQ(ecu->parent(), tree.find("g7"));
    EXPECT_EQ(ecu->tag(), "second");
    EXPECT_EQ(tree.addEcu(data.injection2, "Injection", 7, ""), nullptr) << "its key exists";
    EXPECT_EQ(tree.addEcu(999, "Lost", 99, ""), nullptr) << "no function 99";

    const TreeNode* app = tree.addApplication(999, "Found", data.gearbox, "remark");
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app->key(), "a999");
    EXPECT_EQ(app->tag(), "remark");
    EXPECT_EQ(app->fullPath(), "ZEP\\Engine\\Gearbox\\Found");
    EXPECT_EQ(app->level(), 4);
    EXPECT_EQ(tree.addApplication(998, "Lost", 12345, ""), nullptr) << "no ECU 12345";

    const TreeSource::Insertion inserted = tree.insertApplication(1000, "New", data.injection1);
    ASSERT_NE(inserted.added, nullptr);
    EXPECT_EQ(inserted.added->parent()->key(), injection);
    EXPECT_EQ(inserted.parentKey, injection);
    EXPECT_EQ(inserted.itemKey, "a1000");
    const TreeSource::Insertion tuning = TreeSource::insertTuning(55, data.appA);
    EXPECT_EQ(tuning.added, nullptr);
    EXPECT_EQ(tuning.parentKey, "a" + std::to_string(data.appA));
    EXPECT_EQ(tuning.itemKey, "c55");

    EXPECT_TRUE(tree.setText(injection, "Injection 2"));
    EXPECT_EQ(tree.find("a1000")->fullPath(), "ZEP\\Engine\\Injection 2\\New");
    const std::size_t nodes = tree.size();
    EXPECT_TRUE(tree.remove(injection));
    EXPECT_EQ(tree.size(), nodes - 5) << "the ECU goes with its four applications";
    EXPECT_FALSE(tree.remove("r"));
    EXPECT_EQ(tree.insertApplication(1001, "Nowhere", data.injection1).added, nullptr);
}

ZEP_ENGINES(TreeSourceTest);

} // namespace
} // namespace zep::test
