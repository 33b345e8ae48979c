#include "FlashTestSupport.h"
#include "support/RecordingInteraction.h"

#include <filesystem>

namespace zep::test {
namespace {

void importText(const std::string& text, EcuApplication& app, Interaction& ui) {
    test::importText(Format::SRecord, text, app, ui);
}

/** the identification record of the golden files */
const std::string goldenIdentification = s0(1, bytesOf("01234567892A5A455011223344556677889900AABBCCDDEE"));

TEST(SRecordFile, ExportWritesTheGoldenFileAndReadsItBack) {
    EcuApplication original;
    makeGoldenTuning(original);
    EXPECT_EQ(exportText(Format::SRecord, original), flashData("valdore.s"));

    EcuApplication back;
    RecordingInteraction ui;
    back.ImportFromSFile(dataPath("flash/valdore.s"), ui);
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(back.Ecu().WriteGranularity, 256); // written as 0
    // Lines of 32, 32 and 6 bytes come back as three blocks; the adjacent block was never merged.
    const Bytes first = pattern(70, 1);
    EXPECT_EQ(blocksOf(back.value()), (Blocks{{0x010000, slice(first, 0, 32)},
                                              {0x010020, slice(first, 32, 32)},
                                              {0x010040, slice(first, 64, 6)},
                                              {0x010046, {0xDE, 0xAD, 0xBE}},
                                              {0xFFFFFB, pattern(5, 0x90)}}));

    // the identification, the marker and the parameters came back: the same file again
    back.Ecu().IdentificationType = 32768;
    EXPECT_EQ(exportText(Format::SRecord, back), flashData("valdore.s"));
    back.value().clear(); // an empty image: the six S0 lines and the end
    const std::string golden = flashData("valdore.s");
    EXPECT_EQ(exportText(Format::SRecord, back), golden.substr(0, golden.find("S2")) + "S804000000FB\r\n");
}

TEST(SRecordFile, IdentificationTypeChoosesTheMakersRecordKinds) {
    // clang-format off
    const struct { std::int32_t type; char identKind, approvalKind; } cases[] = {
        {0, '1', '2'},
        {1, '1', '2'},
        {32768, '1', '2'},
        {33663, '1', '2'},
        {33664, '7', '8'},
        {33665, '7', '8'},
        {33666, '7', '8'},
        {33667, '1', '2'},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        EcuApplication app;
        makeGoldenTuning(app);
        app.Ecu().IdentificationType = c.type;
        const std::string text = exportText(Format::SRecord, app);
        const auto lines = linesOf(text);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[0].substr(0, 10), std::string("S01C00000") + c.identKind);
        EXPECT_EQ(lines[1].substr(0, 10), std::string("S00900000") + c.approvalKind);

        EcuApplication back;
        RecordingInteraction ui;
        importText(text, back, ui);
        EXPECT_EQ(back.Identification(), app.Identification());
        EXPECT_EQ(back.Homologation, app.Homologation);
    }
}

TEST(SRecordFile, BothMakersAskWhichIdentificationToTake) {
    const std::string question = "This file contains TOLMAK and VALDORE identification information.\r\n\r\n"
                                 "Select YES to import VALDORE's data, NO to import TOLMAK's data";
    EcuApplication tolmak;
    RecordingInteraction no;
    no.answers = {Answer::No};
    tolmak.ImportFromSFile(dataPath("flash/both-makers.s"), no);
    ASSERT_EQ(no.shown.size(), 1u);
    EXPECT_EQ(no.shown[0].kind, "ask");
    EXPECT_EQ(no.shown[0].text, question);
    // the rest of the input: marker, timings (byte 6 unused), 2^3 bytes of 00, request length with extra
    // bytes; all but the blocks are told by the file written back
    EXPECT_EQ(tolmak.Ecu().FillPattern.toHex(), "0000000000000000");
    EXPECT_EQ(blocksOf(tolmak.value()),
              (Blocks{{0x1234, pattern(16, 3)}, {0x050000, pattern(20, 4)}, {0xABCDE0, pattern(8, 5)}}));
    tolmak.Ecu().IdentificationType = 33664;
    EXPECT_EQ(exportText(Format::SRecord, tolmak), flashData("both-makers.tolmak.s"));

    EcuApplication valdore;
    RecordingInteraction yes;
    yes.answers = {Answer::Yes};
    valdore.ImportFromSFile(dataPath("flash/both-makers.s"), yes);
    EXPECT_EQ(yes.texts(), std::vector<std::string>{question});
    EXPECT_EQ(valdore.PIE() + valdore.Fournisseur() + valdore.Homologation, "0123456789ZEP1122334455");
}

TEST(SRecordFile, MalformedLinesFailWithTheirMessageAndLine) {
    const std::string data = srec("S1", {0x12, 0x34, 0xAA});
    const std::string end = "S9030000FC\r\n";
    const std::string crlf = "File problem. Please check that the row delimiter is CRLF.";
    // clang-format off
    const struct { const char* what; std::string text; std::string message; } cases[] = {
        {"one character", data + "X   \r\n" + end, "Illegal line 2"},
        {"checksum", "S1050000AABB00\r\n", "Checksum error at line 1"},
        {"checksum of an end record", data + "S9030000FB\r\n", "Checksum error at line 2"},
        {"blank lines count", "\r\n\r\nS1050000AABB00\r\n", "Checksum error at line 3"},
        {"count", srecRaw("S1", {0x06, 0, 0, 0xAA}), "Bad length at line 1"},
        {"count of an end record", srecRaw("S9", {0x02, 0, 0}), "Bad length at line 1"},
        // an S0 record of no identification kind is a header only before the identification
        {"S0 kind 0", s0(3, {0x82}) + s0(0, {1}), "Invalid S0 record at line 2"},
        {"S0 kind 9", s0(3, {0x82}) + data + s0(9, {1}), "Invalid S0 record at line 3"},
        {"S0 kind 101", s0(6, {0}) + srec("S0", {0, 1, 1, 1}), "Invalid S0 record at line 2"},
        {"VALDORE identification", s0(1, Bytes(23)), "Bad length identification at line 1"},
        {"TOLMAK identification", s0(7, Bytes(25)), "Bad length identification at line 1"},
        {"VALDORE approval", s0(2, Bytes(4)), "Bad length approval number at line 1"},
        {"TOLMAK approval", s0(8, Bytes(6)), "Bad length approval number at line 1"},
        {"marker", s0(3, {0x82, 0}), "Bad length logical marker at line 1"},
        {"timings", s0(4, {1, 0}), "Bad length timings at line 1"},
        {"granularity", s0(5, {2}), "Bad length granularity at line 1"},
        {"request length", s0(6, {}), "Bad length of request at line 1"},
        {"marker 80", data + s0(3, {0x80}), "Invalid logical marker 80 at line 2"},
        {"marker 05", s0(3, {0x05}), "Invalid logical marker 5 at line 1"},
        {"S3 beyond 16 MB", srec("S3", {0x01, 0, 0, 0, 0xAA}), "Reprogramming does not allow addresses beyond 16 Megabytes"},
        {"S4", srec("S4", {0, 1}), "Unsupported record type S4 at line 1"},
        {"S5 with data", srec("S5", {0, 1, 2}), "Bad length at line 1"},
        {"S6 of two bytes", data + srec("S6", {0, 1}), "Bad length at line 2"},
        {"lower case", data + "s" + data.substr(1), "Unsupported record type s1 at line 2"},
        {"no delimiter", "S9030000FC", crlf},
        {"a lone CR", data.substr(0, data.size() - 1), crlf},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EcuApplication app;
        RecordingInteraction ui;
        EXPECT_EQ(fileError([&] { importText(c.text, app, ui); }), c.message);
    }
}

TEST(SRecordFile, FailedImportKeepsWhatWasReadBeforeButNotTheIdentification) {
    EcuApplication app;
    RecordingInteraction ui;
    app.setPIE("FFFFFFFFFF");
    const std::string text =
        goldenIdentification + s0(4, {7, 0, 8}) + srec("S2", {0x01, 0x00, 0x00, 0x55}) + "S1050000AABB00\r\n";
    EXPECT_EQ(fileError([&] { importText(text, app, ui); }), "Checksum error at line 4");
    EXPECT_EQ(app.Ecu().InterByteDelay, 7);
    EXPECT_EQ(blocksOf(app.value()), (Blocks{{0x010000, {0x55}}}));
    EXPECT_EQ(app.PIE(), "FFFFFFFFFF");
}

TEST(SRecordFile, WithoutIdentificationRecordsTheRecordKeepsItsOwn) {
    EcuApplication app;
    RecordingInteraction ui;
    app.setPIE("ABCDEF0123");
    app.Homologation = "1111111111";
    importText(srec("S2", {0x01, 0x00, 0x00, 0x55}) + "S804000000FB\r\n", app, ui);
    EXPECT_EQ(app.PIE() + app.Homologation, "ABCDEF01231111111111");
    // an identification without approval number keeps the approval number
    importText(s0(7, bytesOf("A1A2A3A4A507544F4CB1B2B3B4B5C1C2D1D2E1E2F1F2F3F4")), app, ui);
    EXPECT_EQ(app.PIE() + app.Homologation, "A1A2A3A4A51111111111");
}

// What objcopy and srec_cat write around the data: a header, count records, a start address.
TEST(SRecordFile, ToolchainHeadersCountsAndStartAddressesAreKept) {
    const std::string hdr = srec("S0", bytesOf("0000484452"));
    const std::string a = srec("S1", {0x00, 0x10, 0xA1});
    const std::string b = srec("S2", {0x01, 0x00, 0x00, 0xB2});
    const std::string check = ": lines may be missing or repeated. Check the file with whoever wrote it.";
    // clang-format off
    const struct { const char* what; std::string text; std::optional<std::string> header; std::optional<std::uint32_t> start; std::vector<std::string> shown; std::string pie = "ABCDEF0123"; } cases[] = {
        {"srec_cat", hdr + a + b + srec("S5", {0, 2}) + srec("S9", {0x12, 0x34}), "HDR", 0x1234, {}},
        {"objcopy, S3", srec("S0", bytesOf("0000612E73313900")) + a + srec("S7", {0x80, 0, 0, 0x04}), "a.s19", 0x80000004, {}},
        {"empty header, end record without start", "S0030000FC\r\n" + a + "S804000000FB\r\n", "", {}, {}},
        {"a header, then the identification", hdr + goldenIdentification + a, "HDR", {}, {}, "0123456789"},
        {"the last header and end record tell", hdr + a + srec("S0", bytesOf("0000787978")) + srec("S9", {0x12, 0x34}) + srec("S8", {0, 0x56, 0x78}), "xyx", 0x5678, {}},
        {"counts that differ are told", a + srec("S5", {0, 2}) + b + srec("S6", {0, 0, 2}) + srec("S5", {0, 1}), {}, {}, {"The count record at line 2 counts 2 data records, but 1 come before it" + check, "The count record at line 5 counts 1 data records, but 2 come before it" + check}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EcuApplication app;
        app.setPIE("ABCDEF0123"); // the record's own, kept where the file has no identification
        app.Start = StartAddress{StartAddress::Kind::Linear, 0x999}; // of a file read before
        RecordingInteraction ui;
        importText(c.text, app, ui);
        EXPECT_EQ(app.Header, c.header);
        EXPECT_EQ(app.Start ? std::optional(app.Start->address()) : std::nullopt, c.start);
        EXPECT_EQ(ui.texts(), c.shown);
        EXPECT_EQ(app.PIE(), c.pie);
        EXPECT_EQ(blocksOf(app.value()).front(), (std::pair<std::uint32_t, Bytes>{0x10, {0xA1}}));
    }
}

// The granularity record holds the rounded base-2 logarithm of the erased state's length and its
// first byte, whatever the pattern; a length the reader would refuse is refused.
TEST(SRecordFile, GranularityRecordOfAnyErasedState) {
    // clang-format off
    const struct { const char* what; MemBlock pattern; std::uint8_t exponent, first; } cases[] = {
        {"one byte", MemBlock::fromHex("5A"), 0, 0x5A},
        {"three bytes", MemBlock::fromHex("FFFFFF"), 2, 0xFF},
        {"mixed bytes", MemBlock::fromHex("FF00"), 1, 0xFF},
        {"six bytes rounded up", MemBlock::fromHex("00FFFFFFFFFF"), 3, 0x00},
        {"2^16 bytes", MemBlock(std::size_t{1} << 16), 16, 0x00},
    };
    // clang-format on
    EcuApplication app;
    makeGoldenTuning(app);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        app.Ecu().FillPattern = c.pattern;
        const auto lines = linesOf(exportText(Format::SRecord, app));
        ASSERT_GE(lines.size(), 5u);
        EXPECT_EQ(lines[4] + "\r\n", s0(5, {c.exponent, c.first}));
    }
    app.Ecu().FillPattern = MemBlock(std::size_t{1} << 17);
    TempDir dir;
    EXPECT_NE(fileError([&] { app.ExportToSFile(dir.file("out.s")); }).find("131072 bytes"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.s")));
}

} // namespace
} // namespace zep::test
