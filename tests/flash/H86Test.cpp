#include "FlashTestSupport.h"
#include "support/RecordingInteraction.h"

namespace zep::test {
namespace {

void importText(const std::string& text, EcuApplication& app, Interaction& ui) {
    test::importText(Format::H86, text, app, ui);
}

TEST(H86File, SegmentsAndPagesGoldenFile) {
    EcuApplication app;
    RecordingInteraction ui;
    app.ImportFromH86File(dataPath("flash/segments.hex"), ui);
    EXPECT_TRUE(ui.shown.empty());
    // Segment base 1000H * 16, an end record in the middle, lower-case digits, linear pages 1 and 2.
    EXPECT_EQ(blocksOf(app.value()), (Blocks{{0x10010, pattern(16, 6)},
                                             {0x10020, bytesOf("CAFEF00D")},
                                             {0x1FFF0, pattern(32, 7)},
                                             {0x2FFF0, pattern(40, 8)}}));
    // The line that starts before a page boundary stays under the old page.
    const std::string golden = flashData("segments.expected.h86");
    EXPECT_EQ(exportText(Format::H86, app), golden);

    EcuApplication back;
    back.ImportFromH86File(dataPath("flash/segments.expected.h86"), ui);
    EXPECT_TRUE(back.value().sameContent(app.value()));
    EXPECT_EQ(exportText(Format::H86, back), golden);
}

TEST(H86File, ExportWritesPageRecordsBeforeTheFirstLineOfANewPage) {
    const Bytes p1 = pattern(80, 1), p2 = pattern(33, 2);
    // clang-format off
    const struct { const char* what; Blocks blocks; std::vector<std::string> lines; } cases[] = {
        {"empty image", {}, {}},
        {"block across a page", {{0x1FFE0, p1}}, {ihex(4, 0, {0, 1}), ihex(0, 0xFFE0, slice(p1, 0, 32)), ihex(4, 0, {0, 2}), ihex(0, 0x0000, slice(p1, 32, 32)), ihex(0, 0x0020, slice(p1, 64, 16))}},
        {"line running past a page", {{0x0FFF8, p2}}, {ihex(0, 0xFFF8, slice(p2, 0, 32)), ihex(4, 0, {0, 1}), ihex(0, 0x0018, {p2[32]})}},
        {"adjacent blocks, high page", {{0xABCD0000, {1, 2}}, {0xABCD0002, {3}}}, {ihex(4, 0, {0xAB, 0xCD}), ihex(0, 0, {1, 2}), ihex(0, 2, {3})}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EcuApplication app;
        for (const auto& [address, bytes] : c.blocks)
            app.value().add(address, bytes);
        std::string expected = ":020000040000FA\r\n";
        for (const std::string& line : c.lines)
            expected += line + "\r\n";
        EXPECT_EQ(exportText(Format::H86, app), expected + ":00000001FF");
    }
}

TEST(H86File, MalformedLinesFailWithTheirMessageAndLine) {
    const std::string data = ihex(0, 0x100, {1, 2, 3}) + "\r\n";
    // clang-format off
    const struct { const char* what; std::string text; std::string message; } cases[] = {
        {"colon", data + "020000040000FA\r\n", ": missing at line 2"},
        {"checksum", ":0300000001020300\r\n", "Checksum error at line 1"},
        {"checksum after blank lines", "\r\n" + data + "\r\n:00000001FE\r\n", "Checksum error at line 4"},
        {"count too big", ihex(0, 0, {1, 2}, +1) + "\r\n", "Bad length at line 1"},
        {"count too small", data + ihex(0, 0, {1, 2}, -1) + "\r\n", "Bad length at line 2"},
        {"start segment address of 3 bytes", ihex(3, 0, {0, 0, 0}) + "\r\n", "Bad length at line 1"},
        {"start linear address of 5 bytes", data + ihex(5, 0, {0, 0, 0, 0, 0}) + "\r\n", "Bad length at line 2"},
        {"type 6", ihex(6, 0, {0, 0, 0, 0}) + "\r\n", "Unsupported record type 6H at line 1"},
        {"type 1F", ihex(0x1F, 0, {}) + "\r\n", "Unsupported record type 1FH at line 1"},
        // a CR LF anywhere makes a CR LF file, even after a first line that ends in a bare LF
        {"LF, then CR LF", data.substr(0, data.size() - 2) + "\n" + data,
         "Invalid hexadecimal digits at line 1"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EcuApplication app;
        RecordingInteraction ui;
        EXPECT_EQ(fileError([&] { importText(c.text, app, ui); }), c.message);
    }
}

// Toolchains end their files with a start record: it is kept, and written back before the end record.
TEST(H86File, StartRecordsAreKeptAndWrittenBack) {
    const std::string data = ihex(0, 0x100, {1, 2, 3}) + "\r\n";
    const std::string segment = ihex(3, 0, {0x12, 0x34, 0x56, 0x78}) + "\r\n";
    const std::string linear = ihex(5, 0, {0x80, 0x00, 0x01, 0x00}) + "\r\n";
    // clang-format off
    const struct { const char* what; std::string text; std::string start /* as zep info shows it */; std::string written; } cases[] = {
        {"start segment address", segment + data, "1234:5678 (000179B8)", data + segment},
        {"start linear address", data + linear, "80000100", data + linear},
        {"the last one tells", linear + data + segment, "1234:5678 (000179B8)", data + segment},
        {"none", data, "", data},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EcuApplication app;
        app.Start = StartAddress{StartAddress::Kind::Linear, 0x999}; // of a file read before
        RecordingInteraction ui;
        importText(c.text + ":00000001FF\r\n", app, ui);
        EXPECT_EQ(app.Start ? app.Start->text() : "", c.start);
        EXPECT_EQ(exportText(Format::H86, app), ":020000040000FA\r\n" + c.written + ":00000001FF");
    }
}

// Both text formats: CR LF lines, LF lines with a warning, and no line after the last delimiter.
TEST(TextFlashFiles, LineEndsDecideWhatIsRead) {
    const auto line = [](std::string text) { return text.erase(text.size() - 2); };
    const std::string s1 = line(srec("S1", {0x00, 0x10, 0xA1})), s2 = line(srec("S1", {0x00, 0x20, 0xB2}));
    const std::string h1 = ihex(0, 0x10, {0xA1}), h2 = ihex(0, 0x20, {0xB2});
    const Blocks both{{0x10, {0xA1}}, {0x20, {0xB2}}}, first{{0x10, {0xA1}}};
    // clang-format off
    const struct { Format format; const char* what; std::string text; Blocks blocks; std::vector<std::string> shown; } cases[] = {
        {Format::SRecord, "CR LF", s1 + "\r\n" + s2 + "\r\n", both, {}},
        {Format::SRecord, "LF", s1 + "\n" + s2 + "\n", both, {"File should use CRLF as line delimiter"}},
        {Format::SRecord, "last line without delimiter", s1 + "\r\n" + s2, first, {}},
        {Format::H86, "CR LF", h1 + "\r\n" + h2 + "\r\n", both, {}},
        {Format::H86, "LF", h1 + "\n" + h2 + "\n", both, {"File should use CRLF as line delimiter."}},
        {Format::H86, "no delimiter at all", h1, {}, {}},
        {Format::H86, "last line without delimiter", h1 + "\r\n" + h2, first, {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EcuApplication app;
        app.value().add(0x5000, Bytes{1}); // the import replaces what the record had
        RecordingInteraction ui;
        test::importText(c.format, c.text, app, ui);
        EXPECT_EQ(blocksOf(app.value()), c.blocks);
        EXPECT_EQ(ui.texts(), c.shown);
        for (const auto& s : ui.shown)
            EXPECT_EQ(s.kind, "warn");
    }
}

} // namespace
} // namespace zep::test
