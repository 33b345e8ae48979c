#include "XmlTestData.h"

#include "xml/EcuXml.h"

#include <gtest/gtest.h>

#include <sstream>

namespace zep::test {
namespace {

class EcuXml : public ::testing::Test {
protected:
    void SetUp() override {
        TextCatalog::instance().unload();
        Addressing::instance().loadFromString(xmlAddressing);
    }
    void TearDown() override { Addressing::instance().unload(); }

    /** the Boot element of ecu as written */
    static std::string written(const ZEPEcu& ecu) {
        pugi::xml_document doc;
        const pugi::xml_node boot = CreateXMLElement(ecu, CreateInterchangeDocument(doc), "F");
        std::ostringstream out;
        boot.print(out, "", pugi::format_raw);
        return out.str();
    }

    static ZEPEcu read(const std::string& xml) {
        pugi::xml_document doc;
        loadInterchangeText(doc, xml);
        ZEPEcu ecu;
        ReadFromXMLElement(ecu, doc.document_element().child("Boot"));
        return ecu;
    }
};

TEST_F(EcuXml, TheCommentIsOneCdataSectionWrittenOnlyWhenThereIsOne) {
    ZEPEcu ecu = goldenEcu();
    EXPECT_EQ(written(ecu).find("Comment"), std::string::npos);
    ecu.Commentaire = "a <b> & c";
    EXPECT_NE(written(ecu).find("\">\r\n<Comment><![CDATA[a <b> & c]]></Comment>\r\n<Function Name=\"F\"/>"),
              std::string::npos);
}

// Both identifiers, or none: an ECU whose function has no identifier gets no CAN element, one whose
// identifiers are written as 0 (or are not numbers) gets zeros, and so does every ECU without the document.
TEST_F(EcuXml, CanIdentifiersComeFromTheAddressingDocument) {
    const auto can = [](const char* send, const char* receive) {
        return "</K>\r\n<CAN>\r\n<SendId><CANId Value=\"" + std::string(send) +
               "\"/></SendId>\r\n<ReceiveId><CANId Value=\"" + receive +
               "\"/></ReceiveId></CAN>\r\n<Supplier";
    };
    // clang-format off
    const struct { int address; bool loaded; std::string can; } cases[] = {
        {16, true, can("2016", "1016")},
        {17, true, ""},
        {18, true, can("0", "0")},
        {99, true, ""},
        {16, false, can("0", "0")},
    };
    // clang-format on
    for (const auto& c : cases) {
        if (!c.loaded)
            Addressing::instance().unload();
        ZEPEcu ecu = goldenEcu();
        ecu.Address = static_cast<std::uint8_t>(c.address);
        const std::string text = written(ecu);
        EXPECT_NE(text.find(c.can.empty() ? "</K>\r\n<Supplier" : c.can), std::string::npos) << c.address;
    }
}

TEST_F(EcuXml, EraseAreasRepeatThePatternAndHoldTheExclusionsInsideThem) {
    struct Range {
        std::uint32_t first, count;
        bool tuning;
    };
    // clang-format off
    const struct { const char* pattern; Range mapping; std::vector<Range> exclusions; std::string erase; } cases[] = {
        {"AABBCCDD", {256, 256, false}, {}, "<erase><segment at=\"256\" repeat=\"64\">AABBCCDD</segment></erase>"},
        {"AABBCC", {256, 10, true}, {}, "<erase><segment at=\"256\" repeat=\"3\">AABBCC</segment><tuning/></erase>"},
        {"FF", {256, 256, false}, {{240, 32, false}, {511, 16, false}, {768, 16, false}}, "<erase><segment at=\"256\" repeat=\"256\">FF</segment><nowrite at=\"256\" length=\"16\"/><nowrite at=\"511\" length=\"1\"/></erase>\r\n\r\n"},
        {"FF", {256, 16, true}, {{256, 4, false}}, "<erase><segment at=\"256\" repeat=\"16\">FF</segment><tuning/></erase>"},
    };
    // clang-format on
    for (const auto& c : cases) {
        ZEPEcu ecu = goldenEcu();
        ecu.FillPattern = MemBlock::fromHex(c.pattern);
        ecu.addMapping(c.mapping.first, c.mapping.count, c.mapping.tuning);
        for (const Range& x : c.exclusions)
            ecu.addExclusion(x.first, x.count, x.tuning);
        const std::string text = written(ecu);
        EXPECT_EQ(text.substr(text.find("\r\n<erase>")), "\r\n" + c.erase + "</Boot>") << c.pattern;
    }
}

TEST_F(EcuXml, AMapWithoutFillPatternIsADivisionByZero) {
    ZEPEcu ecu = goldenEcu();
    ecu.FillPattern = MemBlock();
    EXPECT_NO_THROW(written(ecu));
    ecu.addMapping(0, 16, true);
    try {
        written(ecu);
        ADD_FAILURE() << "no error";
    } catch (const ZepError& e) {
        EXPECT_EQ(e.number(), 11);
    }
}

TEST_F(EcuXml, ReadingGivesBackWhatWasWrittenWithTheSupplierHexMadeSixLong) {
    for (const auto& [hex, back] :
         {std::pair{"5A4550", "5A4550"}, {"5A45", "5A4500"}, {"5A45504142", "5A4550"}, {"", "000000"}}) {
        ZEPEcu ecu = goldenEcu();
        ecu.SupplierHex = hex;
        ecu.Commentaire = "not read back";
        ecu.addMapping(0x1000, 0x100, false);
        const ZEPEcu r = read("<xml>" + written(ecu) + "</xml>");
        EXPECT_EQ(r.SupplierHex, back);
        EXPECT_EQ(r.FillPattern, ecu.FillPattern);
        EXPECT_EQ(r.Commentaire, "");
        ZEPEcu expected = goldenEcu(); // every parameter the element holds is read back
        expected.SupplierHex = back;
        EXPECT_EQ(written(r), written(expected));
        EXPECT_TRUE(r.GlobalMap().empty());
    }
}

const std::string minimalBoot =
    "<xml><Boot Name=\"B\"><!--note--><K><Address Value=\"16\"/></K><Supplier Name=\"ZEP\" Hex=\"5A4550\"/>"
    "<InterByte Delay=\"1\"/><ReplyToRequest Delay=\"2\"/><maxdownload Value=\"3\"/><upload RL=\"4\"/>"
    "<erase><tuning/></erase><erase><segment at=\"0\" repeat=\"1\">ff</segment></erase>"
    "<IdentificationType Value=\"5\"/></Boot></xml>";

std::string changed(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

TEST_F(EcuXml, ReadingTakesTheCommentNodeTheFirstSegmentAndDefaultsTheUploadRL) {
    const ZEPEcu ecu = read(changed(minimalBoot, "<upload RL=\"4\"/>", ""));
    EXPECT_EQ(ecu.Commentaire, "note");
    EXPECT_EQ(ecu.FillPattern.toHex(), "FF");
    EXPECT_EQ(ecu.UploadRL, 128);
    EXPECT_EQ(read(minimalBoot).UploadRL, 4);
}

TEST_F(EcuXml, ReadingFailuresSayWhatIsWrong) {
    // clang-format off
    const struct { std::string from, to, message; } cases[] = {
        {"<erase><segment at=\"0\" repeat=\"1\">ff</segment></erase>", "", "No Erasing pattern"},
        {"<Supplier Name=\"ZEP\" Hex=\"5A4550\"/>", "", "Missing Supplier"},
        {"<K><Address Value=\"16\"/></K>", "", "Missing K"},
        {"Value=\"16\"", "Value=\"256\"", "Invalid value \"256\" for K/Address/@Value"},
        {"Delay=\"1\"", "Delay=\"x\"", "Invalid value \"x\" for InterByte/@Delay"},
        {"RL=\"4\"", "RL=\"-1\"", "Invalid value \"-1\" for upload/@RL"},
        {">ff<", ">fff<", "Invalid value \"fff\" for erase/segment"},
        {" Name=\"B\"", "", "Missing Boot/@Name"},
    };
    // clang-format on
    for (const auto& c : cases) {
        try {
            read(changed(minimalBoot, c.from, c.to));
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const ZepError& e) {
            EXPECT_EQ(e.number(), errors::Xml);
            EXPECT_EQ(e.description(), c.message);
        }
    }
}

} // namespace
} // namespace zep::test
