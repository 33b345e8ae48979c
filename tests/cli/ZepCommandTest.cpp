// The zep program run on real files: exit codes, what it prints, and the files it writes.
#include "ZepRun.h"
#include "flash/FlashTestSupport.h"
#include "support/RecordingInteraction.h"
#include "support/TestFiles.h"

#include "flash/EcuApplication.h"
#include "flash/FileKind.h"
#include "memory/MemImage.h"
#include "text/TextCatalog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zep::test {
namespace {

using namespace std::string_literals;

std::string golden(const std::string& name) {
    return dataPath("flash/" + name);
}

TEST(ZepCommand, UsageErrorsExitWith2AndWriteNothing) {
    TempDir dir;
    const std::string in = golden("valdore.s");
    const std::string out = dir.file("out.s");
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{}, "no command given"},
        {{"bogus"}, "unknown command bogus"},
        {{"--bogus", "info", in}, "unknown option --bogus"},
        {{"--lang"}, "--lang needs a value"},
        {{"--answer", "maybe", "info", in}, "--answer"},
        {{"info"}, "zep info"},
        {{"info", "--bogus", in}, "unknown option --bogus"},
        {{"convert", in}, "zep convert"},
        {{"convert", in, dir.file("out.xyz")}, "--to"},
        {{"convert", in, out, "--to", "bin"}, "--to"},
        {{"convert", in, out, "--address", "256"}, "--address"},
        {{"convert", in, out, "--address", "0x"}, "--address"},
        {{"convert", in, out, "--write-granularity", "abc"}, "--write-granularity"},
        {{"convert", in, out, "--fill-pattern", "FFF"}, "--fill-pattern"},
        {{"kwp2txt", in}, "zep kwp2txt"},
    };
    for (const auto& c : cases) {
        const Outcome r = zep(c.args);
        SCOPED_TRACE(r.err);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(contains(r.err, c.message));
        EXPECT_TRUE(contains(r.err, "usage: zep"));
        EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    }
}

TEST(ZepCommand, HelpExitsWith0) {
    for (const auto& [args, usage] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--help"}, "usage: zep [--lang CODE]"},
             {{"info", "--help"}, "usage: zep info FILE"},
             {{"convert", "x", "--help"}, "usage: zep convert IN OUT"},
             {{"kwp2txt", "--help"}, "usage: zep kwp2txt IN OUT"},
             {{"db", "tree", "--help"}, "usage: zep db tree DB"},
             {{"db", "--help"}, "zep db copy SRCDB KEY DSTDB"},
             {{"--version"}, "zep 1.0.0"}}) {
        const Outcome r = zep(args);
        EXPECT_EQ(r.code, 0);
        EXPECT_TRUE(contains(r.out, usage)) << r.out;
    }
}

TEST(ZepCommand, RefusedInputExitsWith1WithTheMessageOnStderr) {
    TempDir dir;
    writeFile(dir.file("bad.s"), "S1050000AA0050\r\nS1050000AABB00\r\n");
    writeFile(dir.file("notes.txt"), "nothing to flash here");
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"info", dir.file("bad.s")}, "Checksum error at line 2"},
        {{"info", dir.file("missing.s")}, "Unable to read file " + dir.file("missing.s")},
        {{"info", dir.file("notes.txt")}, "is not an S-record, H86 or KWP file"},
        {{"convert", dir.file("bad.s"), dir.file("out.h86")}, "Checksum error at line 2"},
        // an H86 file carries no erase pattern, and an S-record file needs one
        {{"convert", golden("segments.hex"), dir.file("out.s")}, "--fill-pattern"},
        // what the input file carries wins over the options
        {{"convert", golden("valdore.s"), dir.file("out.kwp"), "--write-granularity", "64"},
         "Invalid ECU download size (256 bytes).\nIt must be lower or equal than 247 bytes."},
        {{"convert", golden("segments.hex"), dir.file("out.kwp"), "--inter-byte-delay", "256"}, "256"},
        {{"kwp2txt", golden("valdore.s"), dir.file("out.txt")},
         "File " + golden("valdore.s") + "\nis not a valid KWP file."},
    };
    for (const auto& c : cases) {
        const Outcome r = zep(c.args);
        SCOPED_TRACE(r.err);
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(contains(r.err, c.message));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2)
            << "a file was written";
    }
}

TEST(ZepCommand, InfoTellsKindRangesIdentificationAndParameters) {
    const Outcome r = zep({"info", golden("valdore.s"), golden("segments.hex")});
    EXPECT_EQ(r.code, 0) << r.err;
    for (const std::string& line :
         {golden("valdore.s") + ": S-record\n", "  00010000-00010048  73 bytes\n"s,
          "  00FFFFFB-00FFFFFF  5 bytes\n"s, "  total: 78 bytes in 5 blocks\n"s, "  tuning\n"s,
          "  PIE 0123456789, IndiceDiag 42, Fournisseur \"ZEP\" (5A4550), Hardware 1122334455, Software "
          "6677, "
          "Version 8899, Calibration AABB, Reserve CCDDEEFF\n"s,
          "  Homologation 9876543210\n"s,
          "  FillPattern FFFFFFFF, WriteGranularity 256, InterByteDelay 5 ms, ReplyToRequestDelay 20 ms\n"s,
          golden("segments.hex") + ": H86\n", "  0001FFF0-0002000F  32 bytes\n"s,
          "  total: 92 bytes in 4 blocks\n"s})
        EXPECT_TRUE(contains(r.out, line)) << line << "\nnot in\n" << r.out;
    const Outcome sums = zep({"info", "--checksums", golden("valdore.s")});
    EXPECT_TRUE(contains(sums.out,
                         "  00FFFFFB-00FFFFFF  5 bytes  KWP CRC 55E1, CRC-32 CC2E3B85, byte sum 00000316\n"))
        << sums.out;

    TempDir dir;
    ASSERT_EQ(zep({"convert", golden("segments.hex"), dir.file("a.kwp"), "--address", "0x6A",
                   "--inter-byte-delay", "3", "--reply-to-request-delay", "25"})
                  .code,
              0);
    const Outcome kwp = zep({"info", dir.file("a.kwp")});
    EXPECT_EQ(kwp.code, 0) << kwp.err;
    EXPECT_TRUE(contains(kwp.out, ": KWP\n  00010010-00010023  20 bytes\n"));
    EXPECT_TRUE(contains(kwp.out, "  Address 6AH, InterByteDelay 3 ms, ReplyToRequestDelay 25 ms\n"))
        << kwp.out;

    // one bad file among good ones: the good ones are still told, the exit code says the bad one
    const Outcome mixed = zep({"info", "/no/such/file.s", golden("segments.hex")});
    EXPECT_EQ(mixed.code, 1);
    EXPECT_TRUE(contains(mixed.out, ": H86\n"));
    EXPECT_TRUE(contains(mixed.err, "/no/such/file.s"));
}

// A file as a toolchain writes it: its header and start address are shown; only H86 files keep the start.
TEST(ZepCommand, HeaderAndStartAddressAreShownAndKeptWherePossible) {
    TempDir dir;
    writeFile(dir.file("tool.s19"), srec("S0", bytesOf("000068656C6C6F1B")) + srec("S1", {0x00, 0x10, 0xA1}) +
                                        srec("S5", {0, 1}) + srec("S9", {0x00, 0x10}));
    const Outcome info = zep({"info", dir.file("tool.s19")});
    EXPECT_EQ(info.code, 0) << info.err;
    EXPECT_TRUE(contains(info.out, "\n  header \"hello\\x1B\"\n  start address 00000010\n")) << info.out;

    const Outcome hex = zep({"convert", dir.file("tool.s19"), dir.file("out.hex")});
    EXPECT_EQ(hex.code, 0);
    EXPECT_EQ(hex.err, "");
    EXPECT_EQ(readFile(dir.file("out.hex")),
              ":020000040000FA\r\n:01001000A14E\r\n:0400000500000010E7\r\n:00000001FF");

    const Outcome srec = zep({"convert", dir.file("out.hex"), dir.file("out.s"), "--fill-pattern", "FF"});
    EXPECT_EQ(srec.code, 0);
    EXPECT_EQ(srec.err, "note: the start address 00000010 of " + dir.file("out.hex") + " is not written to " +
                            dir.file("out.s") +
                            ": only H86 files carry one. Convert to a .h86 or .hex file to keep it.\n");
}

TEST(ZepCommand, ConvertsBetweenAllFormats) {
    TempDir dir;
    EcuApplication source;
    source.setPIE("0102030405");
    source.Ecu().FillPattern = MemBlock::fromHex("FFFF");
    source.Ecu().WriteGranularity = 128;
    for (const auto& [address, n] : {std::pair{0x000100u, 300u}, {0x01FFF0u, 64u}, {0x123400u, 1000u}}) {
        std::vector<std::uint8_t> bytes(n);
        for (std::size_t i = 0; i < n; ++i)
            bytes[i] = static_cast<std::uint8_t>(address + 7 * i); // no runs of erased bytes
        source.value().add(address, bytes);
    }
    source.ExportToSFile(dir.file("in.s"));

    const std::vector<std::string> kwpOptions = {"--fill-pattern", "FFFF", "--write-granularity", "128",
                                                 "--address",      "0x6A"};
    const struct {
        std::string in, out;
        std::vector<std::string> options;
        FileKind kind;
    } steps[] = {
        {"in.s", "a.h86", {}, FileKind::H86},
        {"a.h86", "b.kwp", kwpOptions, FileKind::Kwp},
        {"b.kwp", "c.s", {"--fill-pattern", "FFFF", "--write-granularity", "128"}, FileKind::SRecord},
        {"c.s", "d.hex", {}, FileKind::H86},
        {"in.s", "e.kwp", {"--address", "106"}, FileKind::Kwp},
        {"e.kwp", "f.S19", {"--fill-pattern", "FFFF", "--write-granularity", "128"}, FileKind::SRecord},
        {"f.S19", "g.HEX", {}, FileKind::H86},
        {"f.S19", "h.bin", {"--to", "kwp", "--address", "0x6A"}, FileKind::Kwp},
        {"h.bin", "i.dat", {"--to", "srec", "--fill-pattern", "FF"}, FileKind::SRecord},
        {"i.dat", "j.txt", {"--to", "h86"}, FileKind::H86},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.in + " -> " + s.out);
        std::vector<std::string> args = {"convert", dir.file(s.in), dir.file(s.out)};
        args.insert(args.end(), s.options.begin(), s.options.end());
        const Outcome r = zep(args);
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        ASSERT_EQ(fileKind(dir.file(s.out)), s.kind);

        EcuApplication back;
        RecordingInteraction ui;
        if (s.kind == FileKind::SRecord)
            back.ImportFromSFile(dir.file(s.out), ui);
        else if (s.kind == FileKind::H86)
            back.ImportFromH86File(dir.file(s.out), ui);
        else {
            const std::string stream = readFile(dir.file(s.out));
            back.setKWPFile(
                MemBlock(1, std::span(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size())));
            EXPECT_EQ(back.Ecu().Address, 0x6A);
        }
        EXPECT_TRUE(back.value().sameContent(source.value()));
    }
    // the identification travels through S-record and KWP files, not through H86 files
    for (const auto& [file, pie] :
         {std::pair{"f.S19", "0102030405"}, {"i.dat", "0102030405"}, {"c.s", "0000000000"}}) {
        EcuApplication app;
        RecordingInteraction ui;
        app.ImportFromSFile(dir.file(file), ui);
        EXPECT_EQ(app.PIE(), pie) << file;
    }
}

TEST(ZepCommand, AnswerChoosesTheMakerAndFileValuesWinOverOptions) {
    TempDir dir;
    const Outcome no = zep({"--answer", "no", "convert", golden("both-makers.s"), dir.file("tolmak.s"),
                            "--identification-type", "33664", "--tuning"});
    EXPECT_EQ(no.code, 0) << no.err;
    EXPECT_TRUE(contains(no.err, "TOLMAK and VALDORE identification"));
    EXPECT_TRUE(contains(no.err, "-> no"));
    // the file's marker (application) wins over --tuning
    EXPECT_EQ(readFile(dir.file("tolmak.s")), readFile(golden("both-makers.tolmak.s")));

    const Outcome byDefault = zep({"info", golden("both-makers.s")});
    EXPECT_EQ(byDefault.code, 0);
    EXPECT_TRUE(contains(byDefault.err, "-> yes (the default answer"));
    EXPECT_TRUE(contains(byDefault.out, "PIE 0123456789"));

    // an H86 file says nothing of the marker: --tuning decides
    for (const auto& [options, marker] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{}, "S0050000038275\r\n"}, {{"--tuning"}, "S0050000038176\r\n"}}) {
        std::vector<std::string> args = {"convert", golden("segments.hex"), dir.file("h.s"), "--fill-pattern",
                                         "FF"};
        args.insert(args.end(), options.begin(), options.end());
        EXPECT_EQ(zep(args).code, 0);
        EXPECT_TRUE(contains(readFile(dir.file("h.s")), marker));
    }
}

TEST(ZepCommand, WarningsGoToStderrAndTheWorkGoesOn) {
    TempDir dir;
    const auto lf = [](std::string line) { return line.erase(line.size() - 2, 1); };
    writeFile(dir.file("lf.s"), lf(s0(3, {0x82})) + lf(srec("S1", {0x00, 0x10, 0xA1, 0xB2})));
    const Outcome r = zep({"convert", dir.file("lf.s"), dir.file("out.h86")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "warning: File should use CRLF as line delimiter\n");
    EXPECT_EQ(readFile(dir.file("out.h86")), ":020000040000FA\r\n:02001000A1B29B\r\n:00000001FF");

    // What the defaults make small is said with the option that changes it; one byte is one byte.
    writeFile(dir.file("one.s"), s0(3, {0x82}) + srec("S1", {0x00, 0x10, 0xA1}));
    const Outcome kwp = zep({"convert", dir.file("one.s"), dir.file("one.kwp")});
    EXPECT_EQ(kwp.code, 0);
    EXPECT_TRUE(contains(kwp.err, "give --write-granularity")) << kwp.err;
    const Outcome one = zep({"info", dir.file("one.s")});
    EXPECT_TRUE(contains(one.out, "  00000010-00000010  1 byte\n  total: 1 byte in 1 block\n")) << one.out;
}

TEST(ZepCommand, KwpFilesOfTesterFCAreReadWithTheirIdentificationType) {
    TempDir dir;
    // an identification type given on the command line wins over what the frames tell
    const Outcome wrongTester =
        zep({"convert", golden("app.kwp"), dir.file("a.h86"), "--identification-type", "0"});
    EXPECT_EQ(wrongTester.code, 1);
    EXPECT_TRUE(contains(wrongTester.err, "TOOL address error"));
    const Outcome r = zep({"convert", golden("app.kwp"), dir.file("a.h86")});
    EXPECT_EQ(r.code, 0) << r.err;
    EcuApplication app;
    RecordingInteraction ui;
    app.ImportFromH86File(dir.file("a.h86"), ui);
    EXPECT_EQ(app.value().byteCount(), 64u + 28u + 56u);
}

// A KWP file made for an ECU of identification type 1 downloads from tester FC: its frames tell.
TEST(ZepCommand, InfoShowsKwpFilesOfEveryTester) {
    const Outcome r = zep({"info", golden("app.kwp")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Address 6AH"));
}

TEST(ZepCommand, Kwp2txtWritesTheTextDump) {
    TempDir dir;
    const Outcome r = zep({"kwp2txt", golden("app.kwp"), dir.file("out.txt")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readFile(dir.file("out.txt")), readFile(golden("app.kwp.txt")));
}

TEST(ZepCommand, MessagesInTheChosenLanguage) {
    TempDir dir;
    writeFile(dir.file("bad.s"), "S1050000AABB00\r\n");
    const Outcome en = zep({"--lang", "en", "info", dir.file("bad.s")});
    EXPECT_EQ(en.code, 1);
    EXPECT_EQ(en.err, "error: " + dir.file("bad.s") + ": Checksum error at line 1\n");

    TextCatalog& catalog = TextCatalog::instance();
    try {
        catalog.load(std::string(ZEP_SHARE_DIR) + "/lang/ZEPViewer.xml");
    } catch (const std::exception&) {
        GTEST_SKIP() << "no language file";
    }
    catalog.setLanguage("fr");
    const std::string french =
        tr("EcuApplication/Messages/importFromSFile/checksumError/text", "Checksum error at line {0}", 1);
    catalog.unload();
    catalog.setLanguage("en");
    if (french == "Checksum error at line 1")
        GTEST_SKIP() << "the language file has no French text for the checksum error";
    const Outcome fr = zep({"--lang", "fr", "--base", ZEP_SHARE_DIR, "info", dir.file("bad.s")});
    EXPECT_EQ(fr.code, 1);
    EXPECT_EQ(fr.err, "error: " + dir.file("bad.s") + ": " + french + "\n");
}

} // namespace
} // namespace zep::test
