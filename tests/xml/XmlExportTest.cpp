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

/** the names of the tuningdata elements and the addresses of the code segments of the exported application */
struct Exported {
    std::vector<std::string> tunings;
    std::vector<std::uint32_t> code;
    std::vector<std::uint32_t> firstTuningData;
};

Exported exported(const std::string& path) {
    pugi::xml_document doc;
    loadInterchangeFile(doc, path);
    Exported e;
    const pugi::xml_node application = doc.document_element().child("Boot").child("application");
    for (const pugi::xml_node& n : application.children("tuningdata"))
        e.tunings.push_back(n.attribute("Name").value());
    for (const pugi::xml_node& n : application.children("segment"))
        e.code.push_back(n.attribute("at").as_uint());
    for (const pugi::xml_node& n : application.child("tuningdata").children("segment"))
        e.firstTuningData.push_back(n.attribute("at").as_uint());
    return e;
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

TEST_P(XmlExportTest, AnApplicationAsksWhetherToExportOnlyItsDefaultTuning) {
    const GoldenData data(*db);
    const qint64 alone =
        ImageStore::AddItemRow(*db, ImageStore::Owner::Application, data.ecuId, {"Alone"}, {});
    const std::string question = "This application has 3 tunings.\r\n\r\nExport only default tuning ?";
    const struct {
        qint64 appId;
        std::deque<Answer> answers;
        std::vector<std::string> asked;
        std::vector<std::string> tunings;
    } cases[] = {
        {data.appId, {Answer::No, Answer::Yes}, {binHexQuestion, question}, {"default tuning"}},
        {data.appId, {Answer::No, Answer::No}, {binHexQuestion, question}, {"default tuning", "T1", "T2"}},
        {alone, {Answer::No}, {binHexQuestion}, {"default tuning"}},
    };
    for (const auto& c : cases) {
        RecordingInteraction asked;
        asked.answers = c.answers;
        ASSERT_TRUE(SaveXml(*db, "a" + std::to_string(c.appId), dir.file("app.xml"), asked));
        EXPECT_EQ(asked.texts(), c.asked);
        EXPECT_EQ(exported(dir.file("app.xml")).tunings, c.tunings);
    }
    EXPECT_EQ(exported(dir.file("app.xml")).code, std::vector<std::uint32_t>{});
}

TEST_P(XmlExportTest, ATuningComesAloneOrAfterTheApplicationCode) {
    const GoldenData data(*db);
    for (const Answer tuningOnly : {Answer::Yes, Answer::No}) {
        RecordingInteraction asked;
        asked.answers = {Answer::No, tuningOnly};
        ASSERT_TRUE(SaveXml(*db, "c" + std::to_string(data.t1), dir.file("t.xml"), asked));
        EXPECT_EQ(asked.texts(), (std::vector<std::string>{binHexQuestion, "Export tuning only ?"}));
        const Exported e = exported(dir.file("t.xml"));
        EXPECT_EQ(e.tunings, std::vector<std::string>{"T1"});
        EXPECT_EQ(e.firstTuningData, std::vector<std::uint32_t>{0x2004});
        // The code segments never reach into the tuning area.
        const std::vector<std::uint32_t> code = {0x1000, 0x1F20};
        EXPECT_EQ(e.code, tuningOnly == Answer::Yes ? std::vector<std::uint32_t>{} : code);
    }
}

TEST_P(XmlExportTest, TheDefaultTuningHoldsTheTuningAreaAlone) {
    const GoldenData data(*db);
    ASSERT_TRUE(SaveXml(*db, "a" + std::to_string(data.appId), dir.file("d.xml"), ui, {}, {}, true));
    EXPECT_EQ(ui.texts(), std::vector<std::string>{binHexQuestion});
    const Exported e = exported(dir.file("d.xml"));
    EXPECT_EQ(e.tunings, std::vector<std::string>{"default tuning"});
    EXPECT_EQ(e.code, std::vector<std::uint32_t>{});
    EXPECT_EQ(e.firstTuningData, std::vector<std::uint32_t>{0x2000});
}

TEST_P(XmlExportTest, ATuningWithoutNameIsWrittenAsDefaultTuning) {
    const GoldenData data(*db);
    ImageStore::AddItemRow(*db, ImageStore::Owner::Tuning, data.appId, {""}, {});
    const XmlExportChoices choices{.encoding = SegmentEncoding::BinHex, .onlyDefaultTuning = false};
    ASSERT_TRUE(SaveXml(*db, "a" + std::to_string(data.appId), dir.file("a.xml"), ui, choices));
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(exported(dir.file("a.xml")).tunings,
              (std::vector<std::string>{"default tuning", "default tuning", "T1", "T2"}));
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
            i.add(0x200, sequence(0xF0, 8));
            for (std::uint32_t at : {0x120, 0x110, 0x100})
                i.add(at, sequence(static_cast<std::uint8_t>(at), 16));
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
