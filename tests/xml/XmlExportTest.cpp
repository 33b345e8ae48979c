#include "XmlTestData.h"

#include "commands/XmlExport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace zep::test {
namespace {

using XmlExportTest = XmlTest;

const std::string binHexQuestion =
    "Save binary data in binHex encoding format ?\r\n\r\nIf you select NO, binary data "
    "will be exported in base64 format.";

/** the exported application as "tuningdata names / code segment addresses / first tuningdata's segment
 * addresses" */
std::string exported(const std::string& path) {
    pugi::xml_document doc;
    loadInterchangeFile(doc, path);
    const pugi::xml_node application = doc.document_element().child("Boot").child("application");
    std::string tunings, code, data;
    for (const pugi::xml_node& n : application.children("tuningdata"))
        tunings += std::string(tunings.empty() ? "" : ",") + n.attribute("Name").value();
    for (const pugi::xml_node& n : application.children("segment"))
        code += std::string(code.empty() ? "" : ",") + n.attribute("at").value();
    for (const pugi::xml_node& n : application.child("tuningdata").children("segment"))
        data += std::string(data.empty() ? "" : ",") + n.attribute("at").value();
    return tunings + " / " + code + " / " + data;
}

TEST_P(XmlExportTest, AnEcuIsWrittenAsTheGoldenDocumentInBothEncodings) {
    const GoldenData data(*db);
    for (const auto& [file, answer] :
         {std::pair{"ecu.base64.xml", Answer::No}, {"ecu.binhex.xml", Answer::Yes}}) {
        ui.answers = {answer};
        const std::string path = dir.file(file);
        ASSERT_TRUE(SaveXml(*db, "h" + std::to_string(data.ecuId), path, ui));
        EXPECT_EQ(readFile(path), readFile(dataPath(std::string("xml/") + file))) << file;
        if (std::filesystem::exists("/usr/bin/xmllint")) {
            EXPECT_EQ(std::system(("/usr/bin/xmllint --noout " + path).c_str()), 0) << file;
        }
    }
    EXPECT_EQ(ui.texts(), (std::vector<std::string>{binHexQuestion, binHexQuestion}));
}

// An application asks whether to export only its default tuning, a tuning whether to come alone or after
// the application's code (which never reaches into the tuning area); the default tuning is the tuning area.
TEST_P(XmlExportTest, TheAnswersChooseWhatIsExported) {
    const GoldenData data(*db);
    const qint64 alone =
        ImageStore::AddItemRow(*db, ImageStore::Owner::Application, data.ecuId, {"Alone"}, {});
    const std::string app = "a" + std::to_string(data.appId), t1 = "c" + std::to_string(data.t1);
    const std::string onlyDefault = "This application has 3 tunings.\r\n\r\nExport only default tuning ?";
    const std::string tuningOnly = "Export tuning only ?";
    const auto No = Answer::No, Yes = Answer::Yes;
    // clang-format off
    const struct { std::string key; bool defaultTuning; std::deque<Answer> answers; std::vector<std::string> asked; std::string exported; } cases[] = {
        {app, false, {No, Yes}, {binHexQuestion, onlyDefault}, "default tuning / 4096,7968 / 8192"},
        {app, false, {No, No}, {binHexQuestion, onlyDefault}, "default tuning,T1,T2 / 4096,7968 / 8192"},
        {"a" + std::to_string(alone), false, {No}, {binHexQuestion}, "default tuning /  / "},
        {t1, false, {No, Yes}, {binHexQuestion, tuningOnly}, "T1 /  / 8196"},
        {t1, false, {No, No}, {binHexQuestion, tuningOnly}, "T1 / 4096,7968 / 8196"},
        {app, true, {No}, {binHexQuestion}, "default tuning /  / 8192"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key + (c.defaultTuning ? " default tuning" : ""));
        RecordingInteraction asked;
        asked.answers = c.answers;
        ASSERT_TRUE(SaveXml(*db, c.key, dir.file("x.xml"), asked, {}, {}, c.defaultTuning));
        EXPECT_EQ(asked.texts(), c.asked);
        EXPECT_EQ(exported(dir.file("x.xml")), c.exported);
    }
}

TEST_P(XmlExportTest, ATuningWithoutNameIsWrittenAsDefaultTuning) {
    const GoldenData data(*db);
    ImageStore::AddItemRow(*db, ImageStore::Owner::Tuning, data.appId, {""}, {});
    const XmlExportChoices choices{.encoding = SegmentEncoding::BinHex, .onlyDefaultTuning = false};
    ASSERT_TRUE(SaveXml(*db, "a" + std::to_string(data.appId), dir.file("a.xml"), ui, choices));
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(exported(dir.file("a.xml")).substr(0, 38), "default tuning,default tuning,T1,T2 / ");
}

TEST_P(XmlExportTest, AFailureIsShownAndKeepsTheOldFile) {
    const GoldenData data(*db);
    writeFile(dir.file("old.xml"), "old");
    for (const auto& [key, message] : {std::pair{"h99", "ECU 99 does not exist"},
                                       {"a99", "Application 99 does not exist"},
                                       {"c99", "Tuning 99 does not exist"}}) {
        RecordingInteraction failing;
        EXPECT_FALSE(SaveXml(*db, key, dir.file("old.xml"), failing, {.encoding = SegmentEncoding::Base64}));
        EXPECT_EQ(failing.texts(), std::vector<std::string>{message});
        EXPECT_EQ(readFile(dir.file("old.xml")), "old");
    }
    EXPECT_FALSE(SaveXml(*db, "h" + std::to_string(data.ecuId), dir.path().string() + "/no/such/folder.xml",
                         ui, {.encoding = SegmentEncoding::Base64}));
    EXPECT_EQ(ui.shown.size(), 1u);
}

TEST(ExportDocumentSegments, CutTheImageAsIntersectMapDoes) {
    const MemMap map{{0x108, 0x18}, {0x120, 0x100}, {0x1F0, 0x20}};
    const std::vector<std::function<void(MemImage&)>> images = {
        [](MemImage& i) {
            for (std::uint32_t at : {0x100, 0x110, 0x120})
                i.add(at, sequence(static_cast<std::uint8_t>(at), 16));
            i.add(0x200, sequence(0xF0, 8));
        },
        [](MemImage& i) {
            i.add(0x100, sequence(0, 48));
            i.add(0x110, sequence(0x80, 4)); // splits the first block
        },
    };
    for (const auto& fill : images) {
        MemImage image;
        fill(image);
        std::vector<std::string> expected, written;
        for (const ImageBlock& b : ZEPEcu::IntersectMap(image, map))
            expected.push_back(std::to_string(b.first) + ":" + hex::encode(b.bytes));
        ExportDocument doc;
        doc.Segments(doc.root(), doc.keep(image), map, SegmentEncoding::BinHex);
        pugi::xml_document back;
        loadInterchangeText(back, doc.text());
        for (const pugi::xml_node& s : back.document_element().children("segment"))
            written.push_back(std::string(s.attribute("at").value()) + ":" + s.text().get());
        EXPECT_EQ(written, expected);
    }
}

ZEP_ENGINES(XmlExportTest);

} // namespace
} // namespace zep::test
