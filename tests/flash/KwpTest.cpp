#include "FlashTestSupport.h"

#include "flash/KwpFile.h"

namespace zep::test {
namespace {

/** CRC-16/CCITT-FALSE, high byte first: an independent reckoning of the download frames' CRC */
Bytes withCrc(Bytes data) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : data) {
        crc ^= static_cast<std::uint16_t>(b << 8);
        for (int i = 0; i < 8; ++i)
            crc = static_cast<std::uint16_t>(crc & 0x8000 ? crc << 1 ^ 0x1021 : crc << 1);
    }
    return data + Bytes{static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)};
}

Bytes frame(std::uint8_t target, std::uint8_t source, const Bytes& data) {
    Bytes f = data.size() < 64 ? Bytes{static_cast<std::uint8_t>(0x80 + data.size()), target, source}
                               : Bytes{0x80, target, source, static_cast<std::uint8_t>(data.size())};
    f = f + data;
    unsigned sum = 0;
    for (std::uint8_t b : f)
        sum += b;
    return f + Bytes{static_cast<std::uint8_t>(sum)};
}

Bytes download(std::uint8_t marker, std::uint32_t address, const Bytes& image) {
    return withCrc(Bytes{0x34, marker, static_cast<std::uint8_t>(address >> 16),
                         static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address),
                         static_cast<std::uint8_t>(image.size())} +
                   image);
}

Bytes headerData() {
    return bytesOf("01234567892A5A45501122334455667788"
                   "99AABBCCDDEEFF"
                   "9876543210"
                   "82030019");
}

Bytes streamOf(EcuApplication& app) {
    const MemBlock stream = app.KWPFile();
    return Bytes(stream.bytes().begin(), stream.bytes().end());
}

void parse(const Bytes& stream, EcuApplication& app) {
    app.setKWPFile(MemBlock(1, stream));
}

/** the download frames of a stream: format byte, L, start address, n */
struct Frame {
    std::uint8_t format;
    std::size_t length;
    std::uint32_t address;
    std::size_t count;
    bool operator==(const Frame&) const = default;
};
std::vector<Frame> framesOf(const Bytes& s) {
    std::vector<Frame> out;
    for (std::size_t p = 37; p < s.size();) {
        const bool long_ = (s[p] & 0x3F) == 0;
        const std::size_t length = long_ ? s[p + 3] : s[p] & 0x3F;
        const std::size_t d = p + (long_ ? 4 : 3);
        out.push_back({s[p], length, std::uint32_t{s[d + 2]} << 16 | s[d + 3] << 8 | s[d + 4], s[d + 5]});
        p = d + length + 1;
    }
    return out;
}

TEST(KwpFile, BuildsTheGoldenStreamAndReadsItBack) {
    EcuApplication app;
    makeGoldenApplication(app);
    const std::string golden = flashData("app.kwp");
    const Bytes expected(golden.begin(), golden.end());
    EXPECT_EQ(streamOf(app), expected);
    EXPECT_EQ(app.ToolAddress(), 0xFC);
    EXPECT_EQ(exportText(Format::Kwp, app), golden);

    EcuApplication back;
    back.Ecu().IdentificationType = 1;
    parse(expected, back);
    // pieces of at most 64 bytes, without the erased units
    const Bytes first = Bytes(10, 0xFF) + pattern(90, 9);
    EXPECT_EQ(blocksOf(back.value()), (Blocks{{0x012348, slice(first, 8, 64)},
                                              {0x012388, slice(first, 72, 28)},
                                              {0x030000, pattern(56, 10)}}));

    // the identification, the marker, the addresses and the delays came back: the same stream again
    back.Ecu().FillPattern = MemBlock::fromHex("FFFFFFFF");
    back.Ecu().WriteGranularity = 64;
    EXPECT_EQ(streamOf(back), expected);
}

TEST(KwpFile, SpareHeaderByteAndTuningMarkerTravel) {
    EcuApplication app;
    app.Ecu().Address = 0x10;
    app.Ecu().WriteGranularity = 16;
    app.setEstCalibration(true);
    app.value().add(0x4000, pattern(20, 3));
    Bytes stream = streamOf(app);
    ASSERT_EQ(stream.size(), 37u + (3 + 24 + 1) + (3 + 12 + 1));
    EXPECT_EQ(stream[2], 0);
    EXPECT_EQ(stream[3 + 29], 0x81);
    EXPECT_EQ(framesOf(stream)[0].format, 0x80 + 24);
    EXPECT_EQ(stream[37 + 2], 0xF1); // identification type 0: tester F1
    stream[3 + 31] = 0x5A;
    stream[36] = static_cast<std::uint8_t>(stream[36] + 0x5A);

    EcuApplication back;
    parse(stream, back);
    EXPECT_TRUE(back.EstCalibration());
    EXPECT_EQ(back.SpareHeaderByte(), 0x5A);
    back.Ecu().WriteGranularity = 16;
    EXPECT_EQ(streamOf(back), stream);
}

TEST(KwpFile, DownloadFramesSkipErasedUnitsAndChooseTheirForm) {
    // clang-format off
    const struct { const char* what; std::string fillPattern; std::int32_t maxDownload; Bytes block; std::vector<Frame> frames; } cases[] = {
        {"100 bytes by 64", "", 64, pattern(100, 1), {{0x80, 72, 0x1000, 64}, {0x80 + 44, 44, 0x1040, 36}}},
        {"10 erased bytes, unit 4", "FFFFFFFF", 64, Bytes(10, 0xFF) + pattern(22, 1), {{0x80 + 32, 32, 0x1008, 24}}},
        {"all erased", "FFFFFFFF", 64, Bytes(16, 0xFF), {}},
        {"erased unit between frames", "00000000", 4, {1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 5, 6}, {{0x80 + 12, 12, 0x1000, 4}, {0x80 + 12, 12, 0x1008, 4}}},
        {"erased bytes inside a frame are sent", "00", 64, {1, 0, 0, 2}, {{0x80 + 12, 12, 0x1000, 4}}},
        {"55 bytes: short form", "", 247, pattern(55, 1), {{0x80 + 63, 63, 0x1000, 55}}},
        {"56 bytes: long form", "", 247, pattern(56, 1), {{0x80, 64, 0x1000, 56}}},
        {"247 bytes", "", 247, pattern(250, 1), {{0x80, 255, 0x1000, 247}, {0x80 + 11, 11, 0x10F7, 3}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EcuApplication app;
        app.Ecu().FillPattern = MemBlock::fromHex(c.fillPattern);
        app.Ecu().WriteGranularity = c.maxDownload;
        app.value().add(0x1000, c.block);
        const Bytes stream = streamOf(app);
        EXPECT_EQ(framesOf(stream), c.frames);

        EcuApplication back;
        parse(stream, back);
        std::size_t sent = 0;
        for (const Frame& f : c.frames)
            sent += f.count;
        const MemMap pieces = back.value().map();
        EXPECT_EQ(pieces.byteCount(), sent);
        for (const MemRange& r : pieces)
            EXPECT_EQ(back.value().extract(r.address, r.count), app.value().extract(r.address, r.count));
    }
}

TEST(KwpFile, MalformedStreamsFailWithTheirMessage) {
    const Bytes header = frame(0x6A, 0, headerData());
    const Bytes good = frame(0x6A, 0xFC, download(0x82, 0x1000, {1, 2, 3, 4}));
    const auto withLastByte = [](Bytes b, int delta) {
        b.back() = static_cast<std::uint8_t>(b.back() + delta);
        return b;
    };
    // clang-format off
    const struct { const char* what; Bytes stream; std::string message; } cases[] = {
        {"empty", {}, "Format error"},
        {"header cut", slice(header, 0, 36), "Format error"},
        {"header checksum", withLastByte(header, 1), "Checksum error"},
        {"tool address in the header", frame(0x6A, 0xFC, headerData()), "Error : non null tool address"},
        {"frame cut", header + slice(good, 0, good.size() - 1), "Format error"},
        {"one byte more", header + good + Bytes{0x80}, "Format error"},
        {"long frame cut before its length", header + Bytes{0x80, 0x6A, 0xFC}, "Format error"},
        {"long frame of length 0", header + Bytes{0x80, 0x6A, 0xFC, 0x00, 0xE6}, "Format error"},
        {"frame checksum", header + withLastByte(good, -1), "Checksum error"},
        {"ECU address", header + frame(0x6B, 0xFC, download(0x82, 0x1000, {1})), "ECU address error"},
        {"tool address", header + frame(0x6A, 0xF1, download(0x82, 0x1000, {1})), "TOOL address error"},
        {"service", header + frame(0x6A, 0xFC, withCrc({0x36, 0x82, 0, 0x10, 0, 1, 9})), "Service error"},
        {"marker", header + frame(0x6A, 0xFC, download(0x81, 0x1000, {1})), "Logical marker error"},
        {"length", header + frame(0x6A, 0xFC, withCrc({0x34, 0x82, 0, 0x10, 0, 2, 9})), "Length error"},
        {"CRC", header + frame(0x6A, 0xFC, withLastByte(download(0x82, 0x1000, {1, 2}), 1)), "CRC error"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EcuApplication app;
        app.Ecu().IdentificationType = 1;
        EXPECT_EQ(fileError([&] { parse(c.stream, app); }), c.message);
    }
}

TEST(KwpFile, FailureAfterTheHeaderKeepsWhatWasRead) {
    EcuApplication app;
    app.Ecu().IdentificationType = 1;
    const Bytes stream = frame(0x6A, 0, headerData()) + frame(0x6A, 0xFC, download(0x82, 0x1000, {1, 2})) +
                         frame(0x6A, 0xFC, download(0x81, 0x2000, {3}));
    EXPECT_EQ(fileError([&] { parse(stream, app); }), "Logical marker error");
    EXPECT_EQ(app.Ecu().Address, 0x6A);
    EXPECT_EQ(app.PIE(), "0123456789");
    EXPECT_EQ(blocksOf(app.value()), (Blocks{{0x1000, {1, 2}}}));
}

} // namespace
} // namespace zep::test
