#include "commands/DemoDatabase.h"
#include "commands/SaveCommand.h"
#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/ImageStore.h"
#include "flash/EcuApplication.h"
#include "memory/Hex.h"
#include "memory/ZepError.h"
#include "navigation/Listing.h"
#include "navigation/TreeSource.h"
#include "support/RecordingInteraction.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace zep::test {
namespace {

/** One demo database for the suite, made once: making it is what most cases look at. */
class DemoDatabaseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempDir;
        ui_ = new RecordingInteraction;
        try {
            makeDemoDatabase(path(), *ui_);
        } catch (const ZepError& e) {
            failure_ = e.description();
        }
    }
    static void TearDownTestSuite() {
        delete ui_;
        delete folder_;
    }
    void SetUp() override {
        ASSERT_EQ(failure_, "");
        db = Connection::open(ConnectionString::forFile(path()));
        ASSERT_TRUE(tree.build(*db));
    }

    static std::string path() { return folder_->file("demo.zdb"); }

    /** the nodes of one kind ("ecu", "application") in tree order */
    std::vector<const TreeNode*> nodes(const std::string& image) const {
        std::vector<const TreeNode*> found;
        const auto walk = [&](const TreeNode& node, auto& self) -> void {
            if (node.image() == image)
                found.push_back(&node);
            for (std::size_t i = 0; i < node.childCount(); ++i)
                self(node.child(i), self);
        };
        walk(*tree.root(), walk);
        return found;
    }

    static TempDir* folder_;
    static RecordingInteraction* ui_;
    static std::string failure_;

    std::unique_ptr<Connection> db;
    TreeSource tree;
};

TempDir* DemoDatabaseTest::folder_ = nullptr;
RecordingInteraction* DemoDatabaseTest::ui_ = nullptr;
std::string DemoDatabaseTest::failure_;

TEST_F(DemoDatabaseTest, HoldsEveryFunctionEcuApplicationAndTuningOfTheDemo) {
    EXPECT_TRUE(ui_->shown.empty()) << ui_->texts().front();

    std::vector<std::string> functions;
    for (std::size_t i = 0; i < tree.root()->childCount(); ++i)
        functions.push_back(tree.root()->child(i).tag());
    std::sort(functions.begin(), functions.end());
    EXPECT_EQ(functions, (std::vector<std::string>{"10", "18", "20", "50", "70", "7A"}));

    using Counts =
        std::tuple<std::string, std::string, std::size_t, std::size_t>; // function, ECU, apps, tunings
    std::vector<Counts> counts;
    for (const TreeNode* ecu : nodes("ecu")) {
        std::size_t tunings = 0;
        for (std::size_t i = 0; i < ecu->childCount(); ++i) {
            const Listing listing = Listing::of(*db, tree, ecu->child(i).key());
            ASSERT_FALSE(listing.error) << *listing.error;
            tunings += listing.rows.size() - 1; // the application's own default tuning is listed first
        }
        counts.emplace_back(ecu->parent()->tag(), ecu->text(), ecu->childCount(), tunings);
    }
    std::sort(counts.begin(), counts.end());
    // clang-format off
    const std::vector<Counts> expected{
        {"10", "CMM EDC16 Vx", 3, 5},
        {"10", "CMM Kavex 2.0 Diesel", 1, 0},
        {"10", "Calculateur moteur Élan 2", 2, 1},
        {"18", "BVA Tordal AT6", 2, 2},
        {"18", "BVA Tordal AT8 Sport", 1, 1},
        {"20", "ABS 8.1 Brakon", 2, 2},
        {"20", "ABS Brakon 9 Premium", 2, 0}, // one of them the dummy data set
        {"50", "BSI 2004 Série", 3, 2},
        {"50", "BSI Tolmak 3", 2, 0},
        {"50", "BSI Tolmak 4 évolution", 0, 0},
        {"70", "Airbag Sécuris 6", 4, 2},
        {"70", "Airbag Sécuris 7", 1, 2},
    };
    // clang-format on
    EXPECT_EQ(counts, expected);
}

TEST_F(DemoDatabaseTest, EveryApplicationSavesToTheBytesItHoldsWithinItsWriteMap) {
    const auto applications = nodes("application");
    ASSERT_EQ(applications.size(), 23U);
    RecordingInteraction ui;
    for (const TreeNode* node : applications) {
        SCOPED_TRACE(node->text());
        const std::string out = folder_->file("saved.s");
        ASSERT_TRUE(SaveImage(*db, node->key(), SaveFormat::SRecord, out, ui));
        EcuApplication saved;
        saved.ImportFromSFile(out, ui);
        EXPECT_TRUE(ui.shown.empty());

        const ZEPEcu ecu = EcuStore::Read(*db, node->parent()->id());
        EcuApplication stored = ImageStore::Download(*db, node->key(), false);
        ecu.Intersect(stored.value(), false);
        EXPECT_FALSE(saved.value().empty());
        EXPECT_TRUE(saved.value().sameContent(stored.value()));
        EXPECT_TRUE(saved.value().map().subtract(ecu.WriteMap(false)).empty());

        // An identified image carries its identification block right after the boot area.
        if (stored.PIE() == "0000000000")
            continue;
        const MemBlock identification = stored.Identification();
        const auto partNumber = identification.bytes().first(5);
        bool found = false;
        for (const MemRange& range : saved.value().map()) {
            const MemBlock block = saved.value().extract(range.address, range.count);
            const auto bytes = block.bytes();
            found = found || std::search(bytes.begin(), bytes.end(), partNumber.begin(), partNumber.end()) !=
                                 bytes.end();
        }
        EXPECT_TRUE(found) << stored.PIE();
    }
}

TEST_F(DemoDatabaseTest, RefusesAnExistingFileAndLeavesItAsItWas) {
    const std::string other = folder_->file("notes.txt");
    writeFile(other, "not a database");
    db.reset();
    for (const std::string& existing : {path(), other}) {
        SCOPED_TRACE(existing);
        const std::string before = readFile(existing);
        RecordingInteraction ui;
        EXPECT_THROW(makeDemoDatabase(existing, ui), ZepError);
        EXPECT_EQ(readFile(existing), before);
    }
}

} // namespace
} // namespace zep::test
