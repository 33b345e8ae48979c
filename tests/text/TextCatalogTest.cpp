#include "ProcessTexts.h"
#include "memory/ZepError.h"
#include "support/TestFiles.h"

#include <optional>

namespace zep {
namespace {

using Args = std::vector<std::string>;

class TextCatalogTest : public test::ProcessTexts {
protected:
    static void loadSample() { texts().load(test::dataPath("text/lang/ZEPViewer.xml")); }
};

TEST_F(TextCatalogTest, WithoutADocumentEveryLookupGivesItsDefault) {
    EXPECT_FALSE(texts().loaded());
    EXPECT_EQ(texts().text("frmDatabase/Messages/items/text", "{0} items", {"12"}), "12 items");
    EXPECT_EQ(tr("frmDatabase/Messages/items/text", "{0} items", 12), "12 items");
    EXPECT_EQ(texts().config("Parameters/valdoreAddressingFile", "VALDOREAddressing.xml"),
              "VALDOREAddressing.xml");
    EXPECT_EQ(texts().config("Parameters/count", 5), 5);
    EXPECT_TRUE(texts().config("Parameters/zero", true));
    EXPECT_FALSE(texts().element("frmTest/Controls"));
    EXPECT_EQ(texts().controlText(texts().element("frmTest/Controls"), "cmdOk/caption"), std::nullopt);
    EXPECT_TRUE(texts().select("Parameters/availableLanguages/item").empty());
}

TEST_F(TextCatalogTest, PlaceholdersAreReplacedInOrder) {
    // clang-format off
    const struct { const char* text; Args args; const char* expected; } cases[] = {
        {"{0} items", {"12"}, "12 items"},
        {"{0}-{0}", {"a"}, "a-a"},
        {"{5}{4}{3}{2}{1}{0}", {"0", "1", "2", "3", "4", "5"}, "543210"},
        {"[{0}|{5}|{6}]", {"a"}, "[a||{6}]"},
        {"{0}{1}", {"{1}", "x"}, "xx"}, // an argument takes part in the later replacements
        {"{1}", {"a", "{0}"}, "{0}"},   // but not in the earlier ones
        {"{0}", {"{0}"}, "{0}"},
        {"x{crlf}y{tab}z", {}, "x\r\ny\tz"},
        {"{0}", {"{crlf}{tab}"}, "\r\n\t"},
        {"{CRLF}{Tab}{ 0}", {"a"}, "{CRLF}{Tab}{ 0}"},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(texts().text("no/such/key", c.text, c.args), c.expected) << c.text;
}

TEST_F(TextCatalogTest, TextsComeInTheCurrentLanguageElseTheFirstOneFound) {
    loadSample();
    // clang-format off
    const struct { const char* language; const char* key; const char* expected; } cases[] = {
        {"en", "msg/hello/text", "Hello x"},
        {"fr", "msg/hello/text", "Bonjour x"},
        {"de", "msg/hello/text", "Hello x"},
        {"en", "msg/frOnly/text", "Seulement x"},
        {"de", "msg/frOnly/text", "Nur x"},
        {"en", "msg/neutral/text", "neutral"},
        {"fr", "msg/neutral/text", "neutre"},
        {"en", "msg/lines/text", "a\r\nb\tc"},
        {"en", "msg/empty/text", ""},
        {"en", "msg/missing/text", "Default x"},
        {"en", "msg/hello/text[", "Default x"},
        {"en", "msg//", "Default x"},
    };
    // clang-format on
    for (const auto& c : cases) {
        texts().setLanguage(c.language);
        EXPECT_EQ(texts().text(c.key, "Default {0}", {"x"}), c.expected) << c.language << " " << c.key;
    }
    texts().setLanguage("");
    EXPECT_EQ(texts().language(), "en");
}

// A comment or a CDATA section inside a text does not cut it short.
TEST_F(TextCatalogTest, TheTextIsTheWholeTextContentOfTheElement) {
    ASSERT_TRUE(texts().loadFromString("<software><a><text>x<!-- note -->y</text></a>"
                                       "<b><text><![CDATA[a < b]]> and {0}</text></b></software>"));
    EXPECT_EQ(texts().text("a/text", "D"), "xy");
    EXPECT_EQ(texts().text("b/text", "D", {"c"}), "a < b and c");
    EXPECT_EQ(texts().config("b/text", ""), "a < b and {0}");
    EXPECT_EQ(texts().controlText(texts().element("a"), "text"), std::optional<std::string>("xy"));
    ASSERT_TRUE(
        Addressing::instance().loadFromString("<Functions><Function Address='5'><Name xml:lang='en'>x<!-- "
                                              "note -->y</Name></Function></Functions>"));
    EXPECT_EQ(Addressing::instance().functionName(5, ""), "xy");
}

TEST_F(TextCatalogTest, ConfigurationValuesConvertByTheTypeOfTheirDefault) {
    loadSample();
    texts().setLanguage("en");
    EXPECT_EQ(texts().config("Parameters/valdoreAddressingFile", "VALDOREAddressing.xml"), "Functions.xml");
    EXPECT_EQ(texts().config("Parameters/missing", "kept"), "kept");
    EXPECT_EQ(texts().config("Parameters/raw", ""), "{0}{crlf}");          // no placeholders
    EXPECT_EQ(texts().config("Parameters/localized/text", ""), "premier"); // no language

    // clang-format off
    const struct { const char* key; std::int32_t expected; } numbers[] = {
        {"Parameters/count", 42},
        {"Parameters/negative", -7},
        {"Parameters/word", 5},
        {"Parameters/tooBig", 5},
        {"Parameters/empty", 5},
        {"Parameters/missing", 5},
    };
    // clang-format on
    for (const auto& c : numbers) {
        EXPECT_EQ(texts().config(c.key, std::int32_t{5}), c.expected) << c.key;
        EXPECT_EQ(texts().config(c.key, std::int16_t{5}), c.expected) << c.key;
    }
    EXPECT_EQ(texts().config("Parameters/ratio", 1.0), 2.5);
    EXPECT_EQ(texts().config("Parameters/word", 1.0), 1.0);

    // clang-format off
    const struct { const char* key; bool def, expected; } booleans[] = {
        {"Parameters/faux", true, false},
        {"Parameters/falseWord", true, false},
        {"Parameters/zero", true, false},
        {"Parameters/no", false, true},
        {"Parameters/word", false, true},
        {"Parameters/empty", false, true},
        {"Parameters/missing", false, false},
        {"Parameters/missing", true, true},
    };
    // clang-format on
    for (const auto& c : booleans)
        EXPECT_EQ(texts().config(c.key, c.def), c.expected) << c.key;
    EXPECT_FALSE(parseBoolean(" 0 "));
    EXPECT_TRUE(parseBoolean("00"));
}

TEST_F(TextCatalogTest, ControlTextsComeInTheCurrentLanguageElseAnyLanguage) {
    loadSample();
    const pugi::xml_node controls = texts().element("frmTest/Controls");
    ASSERT_TRUE(controls);
    // clang-format off
    const struct { const char* language; const char* path; std::optional<std::string> expected; } cases[] = {
        {"en", "cmdOk/caption", "OK"},
        {"fr", "cmdOk/caption", "Valider"},
        {"de", "cmdOk/caption", "OK"},
        {"en", "cmdOk/toolTip", "Confirm {0}"},
        {"en", "mnuFile/item3/caption", "Troisième"},
        {"en", "cmdCancel/caption", std::nullopt},
        {"en", "cmdOk/[", std::nullopt},
    };
    // clang-format on
    for (const auto& c : cases) {
        texts().setLanguage(c.language);
        EXPECT_EQ(texts().controlText(controls, c.path), c.expected) << c.language << " " << c.path;
    }
    EXPECT_FALSE(texts().element("frmMissing/Controls"));
}

TEST_F(TextCatalogTest, AnUnreadableLanguageFileIsError1AndDropsTheDocument) {
    test::TempDir dir;
    test::writeFile(dir.file("broken.xml"), "<software><msg>");
    for (const std::string& path : {dir.file("missing.xml"), dir.file("broken.xml")}) {
        loadSample();
        try {
            texts().load(path);
            ADD_FAILURE() << path << " was read";
        } catch (const ZepError& e) {
            EXPECT_EQ(e.number(), 1);
            EXPECT_EQ(e.description(), "Unable to read language file : " + path);
        }
        EXPECT_FALSE(texts().loaded());
        EXPECT_EQ(texts().text("msg/hello/text", "Default"), "Default");
    }
    EXPECT_FALSE(texts().loadFromString("<software>"));
    EXPECT_FALSE(texts().loaded());
    ASSERT_TRUE(texts().loadFromString("<software><m><text>a\r\nb</text></m></software>"));
    EXPECT_EQ(texts().text("m/text", ""), "a\r\nb"); // CR LF is kept as written
}

TEST_F(TextCatalogTest, WithDocumentLendsTheCatalogAnotherFileAndPutsTheKeptOneBack) {
    const std::string userFile = test::dataPath("text/user/ZEPViewer.xml");
    auto caption = [] { return texts().controlText(texts().element("frmTest/Controls"), "cmdOk/caption"); };

    loadSample();
    bool called = false;
    texts().withDocument(userFile, [&] {
        called = true;
        EXPECT_EQ(caption(), "Go");
        EXPECT_EQ(texts().text("msg/hello/text", "Default"), "Default");
    });
    EXPECT_TRUE(called);
    EXPECT_EQ(caption(), "OK");

    EXPECT_THROW(texts().withDocument(userFile, [] { throw std::runtime_error("failed"); }),
                 std::runtime_error);
    EXPECT_EQ(caption(), "OK");

    called = false;
    texts().withDocument(test::dataPath("text/user/missing.xml"), [&] { called = true; });
    EXPECT_FALSE(called);
    EXPECT_EQ(caption(), "OK");

    texts().unload();
    texts().withDocument(userFile, [&] { EXPECT_EQ(caption(), "Go"); });
    EXPECT_FALSE(texts().loaded());
    EXPECT_EQ(caption(), std::nullopt);
}

} // namespace
} // namespace zep
