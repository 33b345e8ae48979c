// Files the writers make are read by srec_cat to the same bytes, and files srec_cat and objcopy write are
// read by the readers to the same bytes.
#include "FlashTestSupport.h"
#include "support/RecordingInteraction.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <sys/wait.h>

namespace zep::test {
namespace {

/** the exit code of a shell command, its standard output in out */
int run(const std::string& command, std::string* out = nullptr) {
    std::FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return -1;
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, n);
    const int status = pclose(pipe);
    if (out)
        *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool haveSrecCat() {
    return run("srec_cat -version") == 0;
}
#define REQUIRE_SREC_CAT()                                                                                   \
    if (!haveSrecCat())                                                                                      \
    GTEST_SKIP() << "srec_cat is not installed (Debian package srecord)"

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

/** an image of several blocks, with pseudo-random bytes */
MemImage imageOf(const std::vector<std::pair<std::uint32_t, std::size_t>>& blocks) {
    MemImage image;
    unsigned seed = 12345;
    for (const auto& [address, n] : blocks) {
        Bytes bytes(n);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
        image.add(address, bytes);
    }
    return image;
}

/** what srec_cat reads from a file, one covered range at a time, compared with the image */
void expectSrecCatReads(const std::string& path, const std::string& format, const MemImage& image) {
    TempDir dir;
    for (const MemRange& r : image.map()) {
        SCOPED_TRACE("range at " + hex::number(r.address));
        const std::string bin = dir.file("range.bin");
        const std::string command = "srec_cat " + quoted(path) + " " + format + " -crop " +
                                    std::to_string(r.address) + " " + std::to_string(r.address + r.count) +
                                    " -offset -" + std::to_string(r.address) + " -o " + quoted(bin) +
                                    " -binary";
        ASSERT_EQ(run(command), 0) << command;
        const std::string got = readFile(bin);
        const MemBlock expected = image.extract(r.address, r.count);
        EXPECT_EQ(hex::encode(Bytes(got.begin(), got.end())), expected.toHex());
    }
}

TEST(Interop, SrecCatReadsOurFiles) {
    REQUIRE_SREC_CAT();
    // clang-format off
    const struct { Format format; std::vector<std::pair<std::uint32_t, std::size_t>> blocks; const char* option; } cases[] = {
        {Format::SRecord, {{0x000100, 1000}, {0x01FFF0, 300}, {0x123456, 77}, {0xFFFF00, 256}}, "-motorola"},
        {Format::H86, {{0x000100, 1000}, {0x01FFF0, 300}, {0x123456, 77}, {0xABCDFFE0, 100}}, "-intel"},
    };
    // clang-format on
    for (const auto& c : cases) {
        TempDir dir;
        EcuApplication app;
        makeGoldenTuning(app);
        app.value() = imageOf(c.blocks);
        writeFile(dir.file("ours"), exportText(c.format, app));
        expectSrecCatReads(dir.file("ours"), c.option, app.value());
    }
}

/** what srec_info tells of a file, in the form of ourInfo: header, start address, covered ranges */
std::string srecInfo(const std::string& path, const std::string& format) {
    std::string text;
    EXPECT_EQ(run("srec_info " + quoted(path) + " " + format, &text), 0);
    std::string out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        unsigned long first = 0, last = 0;
        if (line.rfind("Header: ", 0) == 0)
            out += "header " + line.substr(8) + "\n";
        else if (line.rfind("Execution Start Address: ", 0) == 0)
            out += "start " + hex::number(std::stoul(line.substr(25), nullptr, 16)) + "\n";
        else if (std::sscanf(line.c_str() + line.find_first_not_of(" Data:"), "%lx - %lx", &first, &last) ==
                 2)
            out += hex::number(first) + "-" + hex::number(last) + "\n";
    }
    return out;
}

std::string ourInfo(const EcuApplication& app) {
    std::string out;
    if (app.Header)
        out += "header \"" + *app.Header + "\"\n";
    if (app.Start)
        out += "start " + hex::number(app.Start->address()) + "\n";
    for (const MemRange& r : app.value().map())
        out += hex::number(r.address) + "-" + hex::number(r.last()) + "\n";
    return out;
}

/**
 * Reads a file written by a toolchain and compares with what srec_info and srec_cat read from it: header,
 * start address, covered ranges and bytes. Line ends may be LF, with its warning; nothing else is shown.
 */
void expectWeReadWhatSrecCatReads(const std::string& path, bool h86) {
    EcuApplication app;
    RecordingInteraction ui;
    if (h86)
        app.ImportFromH86File(path, ui);
    else
        app.ImportFromSFile(path, ui);
    for (const std::string& shown : ui.texts())
        EXPECT_EQ(shown.substr(0, 29), "File should use CRLF as line ");
    const std::string format = h86 ? "-intel" : "-motorola";
    EXPECT_EQ(ourInfo(app), srecInfo(path, format)) << readFile(path);
    // the bytes, through an H86 file of ours, which srec_cat reads right (tests above)
    TempDir dir;
    app.ExportToH86File(dir.file("ours.h86"));
    EXPECT_EQ(run("srec_cmp " + quoted(path) + " " + format + " " + quoted(dir.file("ours.h86")) + " -intel"),
              0);
}

/** the file with its data records in the reverse order; an Intel-hex data record keeps its address record */
std::string reversedRecords(const std::string& text, const std::string& eol) {
    std::vector<std::string> head, tail;
    std::vector<std::vector<std::string>> units;
    for (std::size_t p = 0, end; (end = text.find(eol, p)) != std::string::npos; p = end + eol.size()) {
        const std::string line = text.substr(p, end - p);
        const std::string type = line[0] == ':' ? line.substr(7, 2) : line.substr(0, 2);
        if (type == "S1" || type == "S2" || type == "S3" || type == "02" || type == "04")
            units.push_back({line});
        else if (type == "00" && !units.empty())
            units.back().push_back(line);
        else
            (units.empty() ? head : tail).push_back(line);
    }
    std::string out;
    for (const std::string& line : head)
        out += line + eol;
    for (auto unit = units.rbegin(); unit != units.rend(); ++unit)
        for (const std::string& line : *unit)
            out += line + eol;
    for (const std::string& line : tail)
        out += line + eol;
    return out;
}

// srec_cat as users run it: its header, count records and a start address, each record size, CR LF and
// LF, gaps between blocks, and the same files with their data records out of order.
TEST(Interop, WeReadWhatSrecCatWrites) {
    REQUIRE_SREC_CAT();
    // clang-format off
    const struct { const char* what; std::string options; std::vector<std::pair<std::uint32_t, std::size_t>> blocks; bool h86; } cases[] = {
        {"S19", "-motorola -address-length=2", {{0x0100, 1000}, {0xF000, 300}}, false},
        {"S28", "-motorola -address-length=3", {{0x0100, 1000}, {0x01FFF0, 300}, {0xFFFF00, 256}}, false},
        {"S37", "-motorola -address-length=4", {{0x0100, 1000}, {0x123456, 77}, {0xFFFFF0, 16}}, false},
        {"Intel, extended segment addresses", "-intel -address-length=3", {{0x0100, 1000}, {0x01FFF0, 300}, {0xABCDE, 99}}, true},
        {"Intel, extended linear addresses", "-intel", {{0x0100, 1000}, {0x01FFF0, 300}, {0xABCDFFE0, 100}}, true},
    };
    // clang-format on
    for (const auto& c : cases) {
        TempDir dir;
        const MemImage image = imageOf(c.blocks);
        std::string inputs;
        std::size_t i = 0;
        for (const ImageBlock b : image) {
            const std::string bin = dir.file("block" + std::to_string(i++) + ".bin");
            writeFile(bin, std::string(b.bytes.begin(), b.bytes.end()));
            inputs += quoted(bin) + " -binary -offset " + std::to_string(b.first) + " ";
        }
        for (const bool crlf : {true, false}) {
            const std::string file = dir.file(crlf ? "written.crlf" : "written.lf");
            const std::string command = "srec_cat " + inputs + "-execution-start-address=0x104 -o " +
                                        quoted(file) + " " + c.options + (crlf ? " -crlf" : "");
            ASSERT_EQ(run(command), 0) << command;
            const std::string shuffled = file + ".reversed";
            writeFile(shuffled, reversedRecords(readFile(file), crlf ? "\r\n" : "\n"));
            for (const std::string& path : {file, shuffled}) {
                SCOPED_TRACE(std::string(c.what) + ", " + path);
                expectWeReadWhatSrecCatReads(path, c.h86);
            }
        }
    }
}

bool haveGccAndObjcopy() {
    return run("gcc --version") == 0 && run("objcopy --version") == 0;
}

// objcopy on a program built here, with data at known addresses and an entry point: Intel hex with
// segment or linear addresses and start records, S-records of each address size, short lines.
TEST(Interop, WeReadWhatObjcopyWritesFromAProgram) {
    REQUIRE_SREC_CAT();
    if (!haveGccAndObjcopy())
        GTEST_SKIP() << "gcc or objcopy is not installed (Debian packages gcc and binutils)";
    TempDir dir;
    writeFile(dir.file("program.c"),
              "__attribute__((section(\".zeptable\"), used)) const unsigned char table[40] = {"
              "1, 2, 3, 4, 5, 6, 7, 8, 9, 10};\n"
              "__attribute__((section(\".zepid\"), used)) const char id[8] = \"ZEP-ID\";\n"
              "void start(void) {}\n");
    // clang-format off
    const struct { const char* what; std::uint32_t base; /* id at base, table at base + 2340H, code at base + 8000H */ std::vector<std::string> outputs; } programs[] = {
        {"below 64 kilobytes", 0x0000, {"-O srec", "-O ihex"}},
        {"below 1 megabyte", 0x10000, {"-O srec", "-O srec --srec-len 8", "-O srec --srec-forceS3", "-O ihex"}},
        {"below 16 megabytes", 0xF10000, {"-O srec", "-O ihex"}},
    };
    // clang-format on
    for (const auto& p : programs) {
        const std::string elf = dir.file("program.elf");
        const std::string link =
            "gcc -nostdlib -static -ffreestanding -fno-asynchronous-unwind-tables -Wl,-e,start "
            "-Wl,--build-id=none -Wl,--section-start=.zepid=0x" +
            hex::number(p.base) + " -Wl,--section-start=.zeptable=0x" + hex::number(p.base + 0x2340) +
            " -Wl,-Ttext=0x" + hex::number(p.base + 0x8000) + " -o " + quoted(elf) + " " +
            quoted(dir.file("program.c"));
        ASSERT_EQ(run(link), 0) << link;
        for (const std::string& output : p.outputs) {
            SCOPED_TRACE(std::string(p.what) + ", objcopy " + output);
            const std::string file = dir.file("program.out");
            const std::string command =
                "objcopy " + output + " -j .zepid -j .zeptable -j .text " + quoted(elf) + " " + quoted(file);
            ASSERT_EQ(run(command), 0) << command;
            // header, start address, ranges and bytes as srec_cat reads them: the data and entry point above
            expectWeReadWhatSrecCatReads(file, output == "-O ihex");
        }
    }
}

} // namespace
} // namespace zep::test
