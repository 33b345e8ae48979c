#include "FlashTestSupport.h"

#include <filesystem>
#include <functional>

namespace zep::test {
namespace {

/** a record all three writers accept */
void makeWritable(EcuApplication& app) {
    setGoldenIdentification(app);
    ZEPEcu& ecu = app.Ecu();
    ecu.FillPattern = MemBlock::fromHex("FFFFFFFF");
    ecu.WriteGranularity = 64;
    ecu.InterByteDelay = 5;
    ecu.ReplyToRequestDelay = 20;
    app.value().add(0x010000, pattern(64, 1));
}

void exportTo(Format format, EcuApplication& app, const std::string& path) {
    if (format == Format::SRecord)
        app.ExportToSFile(path);
    else if (format == Format::H86)
        app.ExportToH86File(path);
    else
        app.ExportToKWPFile(path);
}

std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        out.push_back(entry.path().filename().string());
    return out;
}

TEST(ExportRefusal, ValuesAFileCannotHoldAreRefusedAndNothingIsWritten) {
    using Change = std::function<void(EcuApplication&)>;
    const auto block = [](std::uint32_t address, std::size_t n) -> Change {
        return [=](EcuApplication& app) { app.value().add(address, pattern(n, 2)); };
    };
    const auto S = Format::SRecord, K = Format::Kwp;
    // clang-format off
    const struct { const char* what; Format format; Change change; std::string message; /* the whole message, or a part that names the value */ bool whole; } cases[] = {
        {"empty fill pattern", S, [](auto& a) { a.Ecu().FillPattern = MemBlock(); }, "erased state", false},
        {"block across 16 MB", S, block(0xFFFFF0, 32), "1000000H", false},
        {"block beyond 16 MB", S, block(0x2000000, 4), "2000000H", false},
        {"inter-byte delay 256", S, [](auto& a) { a.Ecu().InterByteDelay = 256; }, "InterByteDelay = 256", false},
        {"inter-byte delay -1", S, [](auto& a) { a.Ecu().InterByteDelay = -1; }, "InterByteDelay = -1", false},
        {"reply delay 300", S, [](auto& a) { a.Ecu().ReplyToRequestDelay = 300; }, "ReplyToRequestDelay = 300", false},
        {"granularity 0", S, [](auto& a) { a.Ecu().WriteGranularity = 0; }, "WriteGranularity = 0", false},
        {"granularity -1", S, [](auto& a) { a.Ecu().WriteGranularity = -1; }, "WriteGranularity = -1", false},
        {"granularity 257", S, [](auto& a) { a.Ecu().WriteGranularity = 257; }, "WriteGranularity = 257", false},
        {"approval number", S, [](auto& a) { a.Homologation = "12345"; }, "12345", false},
        {"KWP inter-byte delay 256", K, [](auto& a) { a.Ecu().InterByteDelay = 256; }, "InterByteDelay = 256", false},
        {"KWP reply delay -1", K, [](auto& a) { a.Ecu().ReplyToRequestDelay = -1; }, "ReplyToRequestDelay = -1", false},
        {"KWP download size 248", K, [](auto& a) { a.Ecu().WriteGranularity = 248; }, "Invalid ECU download size (248 bytes).\r\nIt must be lower or equal than 247 bytes.", true},
        {"KWP download size 0", K, [](auto& a) { a.Ecu().WriteGranularity = 0; }, "(0 bytes)", false},
        {"KWP download size -5", K, [](auto& a) { a.Ecu().WriteGranularity = -5; }, "(-5 bytes)", false},
        {"KWP start address", K, block(0x1002, 4), "Illegal start address 1002H", true},
        {"KWP end address", K, block(0x1000, 7), "Illegal end address 1006H", true},
        {"KWP block across 16 MB", K, block(0xFFFFFC, 8), "1000000H", false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string target = dir.file("out");
        EcuApplication app;
        makeWritable(app);
        ASSERT_NO_THROW(exportTo(c.format, app, target)); // the record before the change is written
        std::filesystem::remove(target);
        c.change(app);

        const std::string message = fileError([&] { exportTo(c.format, app, target); });
        if (c.whole)
            EXPECT_EQ(message, c.message);
        else
            EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_TRUE(filesIn(dir.path()).empty()) << "a file was written";

        writeFile(target, "kept as it was");
        fileError([&] { exportTo(c.format, app, target); });
        EXPECT_EQ(readFile(target), "kept as it was");
        EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"out"});
    }
}

TEST(ExportRefusal, AnUnwritableTargetIsAFileError) {
    TempDir dir;
    const std::string target = dir.file("no-such-folder/out");
    EcuApplication app;
    makeWritable(app);
    for (const Format format : {Format::SRecord, Format::H86, Format::Kwp})
        EXPECT_NE(fileError([&] { exportTo(format, app, target); }).find(target), std::string::npos);
}

} // namespace
} // namespace zep::test
