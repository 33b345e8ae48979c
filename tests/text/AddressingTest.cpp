#include "ProcessTexts.h"
#include "memory/ZepError.h"
#include "support/TestFiles.h"
#include "text/Documents.h"

namespace zep {
namespace {

class AddressingTest : public test::ProcessTexts {
protected:
    static Addressing& addressing() { return Addressing::instance(); }
};

TEST_F(AddressingTest, FunctionNamesFallBackToEnglishThenToTheGivenName) {
    EXPECT_EQ(addressing().functionName(122, "kept"), "kept"); // no document
    ASSERT_TRUE(addressing().load(test::dataPath("text/Functions.xml")));
    // clang-format off
    const struct { const char* language; std::int32_t address; const char* expected; } cases[] = {
        {"en", 122, "Engine"},
        {"fr", 122, "Moteur"},
        {"de", 122, "Engine"},
        {"fr", 7, "Freins"},
        {"en", 7, "kept"},
        {"de", 8, "Nur deutsch"},
        {"fr", 8, "kept"}, // no English name: not the first name of another language
        {"en", 9, "kept"},
        {"en", -1, "kept"},
        {"x'y", 122, "Engine"},
    };
    // clang-format on
    for (const auto& c : cases) {
        texts().setLanguage(c.language);
        EXPECT_EQ(addressing().functionName(c.address, "kept"), c.expected) << c.language << " " << c.address;
    }
}

TEST_F(AddressingTest, IdentifiersAreZeroWhenMissingOrNotANumber) {
    // clang-format off
    const struct { std::uint8_t address; std::int32_t rid, xid; } cases[] = {
        {122, 17, -3},
        {7, 0, 2147483647},
        {8, 0, 0},
        {9, 0, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(addressing().rid(c.address), 0);
        EXPECT_EQ(addressing().xid(c.address), 0);
    }
    ASSERT_TRUE(addressing().load(test::dataPath("text/Functions.xml")));
    for (const auto& c : cases) {
        EXPECT_EQ(addressing().rid(c.address), c.rid) << int(c.address);
        EXPECT_EQ(addressing().xid(c.address), c.xid) << int(c.address);
    }
    EXPECT_FALSE(addressing().load(test::dataPath("text/missing.xml")));
    EXPECT_EQ(addressing().functionName(122, "kept"), "kept");
    EXPECT_EQ(addressing().rid(122), 0);
}

TEST_F(AddressingTest, LoadingTheDocumentsReadsTheAddressingFileTheConfigurationNames) {
    loadDocuments(test::dataPath("text"), "fr");
    EXPECT_EQ(texts().language(), "fr");
    EXPECT_EQ(texts().text("msg/hello/text", "Hi {0}", {"x"}), "Bonjour x");
    EXPECT_EQ(addressing().functionName(122, "kept"), "Moteur");

    loadDocuments(test::dataPath("text"), "");
    EXPECT_EQ(texts().language(), "en");
    EXPECT_EQ(addressing().functionName(122, "kept"), "Engine");
}

TEST_F(AddressingTest, AMissingAddressingFileLeavesNamesToFallBack) {
    test::TempDir base;
    std::filesystem::create_directory(base.path() / "lang");
    test::writeFile(base.file("lang/ZEPViewer.xml"), "<software><m><text>t</text></m></software>");
    loadDocuments(base.path().string(), "en");
    EXPECT_TRUE(texts().loaded());
    EXPECT_FALSE(addressing().loaded());
    EXPECT_EQ(addressing().functionName(122, "kept"), "kept");

    // without a configured name the file is VALDOREAddressing.xml
    test::writeFile(base.file("VALDOREAddressing.xml"), test::readFile(test::dataPath("text/Functions.xml")));
    loadDocuments(base.path().string(), "en");
    EXPECT_EQ(addressing().functionName(122, "kept"), "Engine");
}

TEST_F(AddressingTest, AnUnreadableLanguageFileLoadsNeitherDocument) {
    loadDocuments(test::dataPath("text"), "fr");
    const std::string base = test::dataPath("text/missing");
    try {
        loadDocuments(base, "fr");
        FAIL() << "the documents were loaded";
    } catch (const ZepError& e) {
        EXPECT_EQ(e.number(), 1);
        EXPECT_EQ(e.description(), "Unable to read language file : " + base + "/lang/ZEPViewer.xml");
    }
    EXPECT_FALSE(texts().loaded());
    EXPECT_FALSE(addressing().loaded());
    EXPECT_EQ(texts().text("msg/hello/text", "Hi {0}", {"x"}), "Hi x");
    EXPECT_EQ(addressing().functionName(122, "kept"), "kept");
}

} // namespace
} // namespace zep
