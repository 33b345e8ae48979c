#include "ZepRun.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <sys/wait.h>

#include <iterator>
#include <string>
#include <vector>

namespace zep::test {
namespace {

/** zep with the language file of this tree */
Outcome zepHere(std::vector<std::string> args) {
    args.insert(args.begin(), {"--base", ZEP_SHARE_DIR});
    return zep(args);
}

/** the golden ECU as it comes back after an import: its default tuning data once more, as a tuning */
std::string exportedAgain(const std::string& file) {
    std::string text = readFile(dataPath("xml/" + file));
    const std::size_t first = text.find("\r\n<tuningdata Name=\"default tuning\">");
    const std::string defaultData = text.substr(first, text.find("\r\n<tuningdata Name=\"T1\">") - first);
    return text.insert(text.find("</application>"), defaultData);
}

TEST(ZepXmlCommands, ImportAndSaveAnswerTheQuestionsFromTheirFlags) {
    TempDir dir;
    const std::string db = dir.file("x.zdb");
    ASSERT_EQ(zepHere({"db", "create", db}).code, 0);
    const struct {
        std::vector<std::string> args;
        int code;
        std::string out;
    } steps[] = {
        {{"db", "import", db, dataPath("xml/ecu.base64.xml")}, 0, "h1\na1\nc1\nc2\nc3\n"},
        {{"db", "import", db, dataPath("xml/ecu.base64.xml"), "--update-existing", "cancel"}, 0, ""},
        {{"db", "import", db, dataPath("xml/ecu.base64.xml"), "--update-existing", "no"}, 0, "h1\n"},
        {{"db", "import", db, dataPath("flash/valdore.s")}, 1, ""},
        {{"db", "import", db, dataPath("xml/ecu.base64.xml"), "--update-existing", "ok"}, 2, ""},
        {{"db", "save", db, "h1", dir.file("b.xml"), "--format", "xml", "--encoding", "binhex"}, 0, ""},
        {{"db", "save", db, "h1", dir.file("c.xml"), "--format", "srec"}, 2, ""},
        {{"db", "save", db, "a1", dir.file("c.s"), "--encoding", "base64"}, 2, ""},
        {{"db", "save", db, "h9", dir.file("c.xml"), "--format", "xml"}, 1, ""},
    };
    for (const auto& step : steps) {
        const Outcome o = zepHere(step.args);
        EXPECT_EQ(o.code, step.code) << step.args[1] << " " << step.args.back();
        EXPECT_EQ(o.out, step.out) << step.args[1] << " " << step.args.back();
    }
    EXPECT_EQ(readFile(dir.file("b.xml")), exportedAgain("ecu.binhex.xml"));
}

TEST(ZepXmlCommands, AnApplicationOrTuningIsSavedAsTheFlagsSay) {
    TempDir dir;
    const std::string db = dir.file("x.zdb");
    ASSERT_EQ(zepHere({"db", "create", db}).code, 0);
    ASSERT_EQ(zepHere({"db", "import", db, dataPath("xml/ecu.base64.xml")}).code, 0);
    const struct {
        std::vector<std::string> args;
        int tuningData;
        int codeSegments;
    } cases[] = {
        {{"a1", "--only-default-tuning", "yes"}, 1, 2},
        {{"a1", "--only-default-tuning", "no"}, 4, 2},
        {{"a1", "--default-tuning"}, 1, 0},
        {{"c2", "--tuning-only", "yes"}, 1, 0},
        {{"c2", "--tuning-only", "no"}, 1, 2},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"db", "save", db, c.args[0], dir.file("s.xml"), "--format", "xml"};
        args.insert(args.end(), c.args.begin() + 1, c.args.end());
        ASSERT_EQ(zepHere(args).code, 0) << c.args[0] << " " << c.args[1];
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_file(dir.file("s.xml").c_str()));
        const pugi::xml_node application = doc.document_element().child("Boot").child("application");
        const auto count = [](const auto& range) {
            return static_cast<int>(std::distance(range.begin(), range.end()));
        };
        EXPECT_EQ(count(application.children("tuningdata")), c.tuningData) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(count(application.children("segment")), c.codeSegments) << c.args[0] << " " << c.args[1];
    }
}

} // namespace
} // namespace zep::test
