// The zep program run on real files: exit codes, what it prints, and how its options reach the files it
// writes. What the files hold is the flash tests' business.
#include "ZepRun.h"
#include "flash/FlashTestSupport.h"
#include "support/RecordingInteraction.h"

#include "flash/FileKind.h"
#include "text/TextCatalog.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zep::test {
namespace {

using namespace std::string_literals;

std::string golden(const std::string& name) {
    return dataPath("flash/" + name);
}

// Exit 0 for help, 1 for refused input with the message on stderr, 2 for a usage error with the usage:
// neither of the last two writes a file.
TEST(ZepCommand, ExitCodesAndMessages) {
    TempDir dir;
    writeFile(dir.file("bad.s"), "S1050000AA0050\r\nS1050000AABB00\r\n");
    writeFile(dir.file("notes.txt"), "nothing to flash here");
    const std::string in = golden("valdore.s"), out = dir.file("out.s");
    // clang-format off
    const struct { std::vector<std::string> args; int code; std::string says; /* on stdout for exit 0, else on stderr */ } cases[] = {
        {{"--help"}, 0, "usage: zep [--lang CODE]"},
        {{"info", "--help"}, 0, "usage: zep info FILE"},
        {{"convert", "x", "--help"}, 0, "usage: zep convert IN OUT"},
        {{"kwp2txt", "--help"}, 0, "usage: zep kwp2txt IN OUT"},
        {{"db", "tree", "--help"}, 0, "usage: zep db tree DB"},
        {{"db", "--help"}, 0, "zep db copy SRCDB KEY DSTDB"},
        {{"--version"}, 0, "zep 1.0.0"},
        {{"info", dir.file("bad.s")}, 1, "Checksum error at line 2"},
        {{"info", dir.file("missing.s")}, 1, "Unable to read file " + dir.file("missing.s")},
        {{"info", dir.file("notes.txt")}, 1, "is not an S-record, H86 or KWP file"},
        {{"convert", dir.file("bad.s"), dir.file("out.h86")}, 1, "Checksum error at line 2"},
        // an H86 file carries no erase pattern, and an S-record file needs one
        {{"convert", golden("segments.hex"), out}, 1, "--fill-pattern"},
        // what the input file carries wins over the options
        {{"convert", in, dir.file("out.kwp"), "--write-granularity", "64"}, 1, "Invalid ECU download size (256 bytes).\nIt must be lower or equal than 247 bytes."},
        {{"convert", golden("segments.hex"), dir.file("out.kwp"), "--inter-byte-delay", "256"}, 1, "256"},
        // an identification type given on the command line wins over what the frames tell
        {{"convert", golden("app.kwp"), dir.file("a.h86"), "--identification-type", "0"}, 1, "TOOL address error"},
        {{"kwp2txt", in, dir.file("out.txt")}, 1, "File " + in + "\nis not a valid KWP file."},
        {{}, 2, "no command given"},
        {{"bogus"}, 2, "unknown command bogus"},
        {{"--bogus", "info", in}, 2, "unknown option --bogus"},
        {{"--lang"}, 2, "--lang needs a value"},
        {{"--answer", "maybe", "info", in}, 2, "--answer"},
        {{"info"}, 2, "zep info"},
        {{"info", "--bogus", in}, 2, "unknown option --bogus"},
        {{"convert", in}, 2, "zep convert"},
        {{"convert", in, dir.file("out.xyz")}, 2, "--to"},
        {{"convert", in, out, "--to", "bin"}, 2, "--to"},
        {{"convert", in, out, "--address", "256"}, 2, "--address"},
        {{"convert", in, out, "--address", "0x"}, 2, "--address"},
        {{"convert", in, out, "--write-granularity", "abc"}, 2, "--write-granularity"},
        {{"convert", in, out, "--fill-pattern", "FFF"}, 2, "--fill-pattern"},
        {{"kwp2txt", in}, 2, "zep kwp2txt"},
    };
    // clang-format on
    for (const auto& c : cases) {
        const Outcome r = zep(c.args);
        SCOPED_TRACE(c.says + "\n" + r.err);
        EXPECT_EQ(r.code, c.code);
        EXPECT_TRUE(contains(c.code == 0 ? r.out : r.err, c.says));
        if (c.code == 2) {
            EXPECT_TRUE(contains(r.err, "usage: zep"));
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2)
            << "a file was written";
    }
}

TEST(ZepCommand, InfoTellsKindRangesIdentificationAndParameters) {
    const Outcome r = zep({"info", golden("valdore.s"), golden("segments.hex"), golden("app.kwp")});
    EXPECT_EQ(r.code, 0) << r.err;
    // clang-format off
    for (const std::string& line : {
             golden("valdore.s") + ": S-record\n",
             "  00010000-00010048  73 bytes\n"s,
             "  00FFFFFB-00FFFFFF  5 bytes\n"s,
             "  total: 78 bytes in 5 blocks\n"s,
             "  tuning\n"s,
             "  PIE 0123456789, IndiceDiag 42, Fournisseur \"ZEP\" (5A4550), Hardware 1122334455, Software 6677, Version 8899, Calibration AABB, Reserve CCDDEEFF\n"s,
             "  Homologation 9876543210\n"s,
             "  FillPattern FFFFFFFF, WriteGranularity 256, InterByteDelay 5 ms, ReplyToRequestDelay 20 ms\n"s,
             golden("segments.hex") + ": H86\n",
             "  0001FFF0-0002000F  32 bytes\n"s,
             "  total: 92 bytes in 4 blocks\n"s,
             // a KWP file made for an ECU of identification type 1 downloads from tester FC: its frames tell
             golden("app.kwp") + ": KWP\n",
             "  Address 6AH, InterByteDelay 3 ms, ReplyToRequestDelay 25 ms\n"s})
        EXPECT_TRUE(contains(r.out, line)) << line << "\nnot in\n" << r.out;
    // clang-format on
    const Outcome sums = zep({"info", "--checksums", golden("valdore.s")});
    EXPECT_TRUE(contains(sums.out,
                         "  00FFFFFB-00FFFFFF  5 bytes  KWP CRC 55E1, CRC-32 CC2E3B85, byte sum 00000316\n"))
        << sums.out;

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
    EXPECT_TRUE(contains(readFile(dir.file("out.hex")), ":0400000500000010E7\r\n"));

    const Outcome srec = zep({"convert", dir.file("out.hex"), dir.file("out.s"), "--fill-pattern", "FF"});
    EXPECT_EQ(srec.code, 0);
    EXPECT_EQ(srec.err, "note: the start address 00000010 of " + dir.file("out.hex") + " is not written to " +
                            dir.file("out.s") +
                            ": only H86 files carry one. Convert to a .h86 or .hex file to keep it.\n");
}

// The format comes from --to or else from the extension; the options give what the input does not carry.
TEST(ZepCommand, ConvertsBetweenAllFormats) {
    TempDir dir;
    EcuApplication source;
    source.Ecu().FillPattern = MemBlock::fromHex("FFFF");
    source.Ecu().WriteGranularity = 128;
    for (const auto& [address, n] : {std::pair{0x000100u, 300u}, {0x01FFF0u, 64u}, {0x123400u, 1000u}})
        source.value().add(address, pattern(n, address)); // no runs of erased bytes
    source.ExportToSFile(dir.file("in.s"));
    const std::vector<std::string> granularity = {"--fill-pattern", "FFFF", "--write-granularity", "128"};
    // clang-format off
    const struct { std::string in, out; std::vector<std::string> options; FileKind kind; } steps[] = {
        {"in.s", "a.h86", {}, FileKind::H86},
        {"a.h86", "b.kwp", {"--fill-pattern", "FFFF", "--write-granularity", "128", "--address", "0x6A", "--inter-byte-delay", "3", "--reply-to-request-delay", "25"}, FileKind::Kwp},
        {"b.kwp", "c.s", granularity, FileKind::SRecord},
        {"c.s", "d.hex", {}, FileKind::H86},
        {"in.s", "e.kwp", {"--address", "106"}, FileKind::Kwp},
        {"e.kwp", "f.S19", granularity, FileKind::SRecord},
        {"f.S19", "g.HEX", {}, FileKind::H86},
        {"f.S19", "h.bin", {"--to", "kwp", "--address", "0x6A"}, FileKind::Kwp},
        {"h.bin", "i.dat", {"--to", "srec", "--fill-pattern", "FF"}, FileKind::SRecord},
        {"i.dat", "j.txt", {"--to", "h86"}, FileKind::H86},
    };
    // clang-format on
    for (const auto& s : steps) {
        SCOPED_TRACE(s.in + " -> " + s.out);
        std::vector<std::string> args = {"convert", dir.file(s.in), dir.file(s.out)};
        args.insert(args.end(), s.options.begin(), s.options.end());
        const Outcome r = zep(args);
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(fileKind(dir.file(s.out)), s.kind);
    }
    EXPECT_TRUE(contains(zep({"info", dir.file("b.kwp")}).out,
                         "Address 6AH, InterByteDelay 3 ms, ReplyToRequestDelay 25 ms"));
    EcuApplication back; // the bytes went all the way round
    RecordingInteraction ui;
    back.ImportFromH86File(dir.file("j.txt"), ui);
    EXPECT_TRUE(back.value().sameContent(source.value()));
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
    for (const auto& [tuning, marker] :
         {std::pair{false, "S0050000038275\r\n"}, {true, "S0050000038176\r\n"}}) {
        std::vector<std::string> args = {"convert", golden("segments.hex"), dir.file("h.s"), "--fill-pattern",
                                         "FF"};
        if (tuning)
            args.push_back("--tuning");
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
    EXPECT_TRUE(std::filesystem::exists(dir.file("out.h86")));

    // What the defaults make small is said with the option that changes it; one byte is one byte.
    writeFile(dir.file("one.s"), s0(3, {0x82}) + srec("S1", {0x00, 0x10, 0xA1}));
    const Outcome kwp = zep({"convert", dir.file("one.s"), dir.file("one.kwp")});
    EXPECT_EQ(kwp.code, 0);
    EXPECT_TRUE(contains(kwp.err, "give --write-granularity")) << kwp.err;
    const Outcome one = zep({"info", dir.file("one.s")});
    EXPECT_TRUE(contains(one.out, "  00000010-00000010  1 byte\n  total: 1 byte in 1 block\n")) << one.out;
}

TEST(ZepCommand, KwpFilesOfTesterFCConvertAndDumpAsText) {
    TempDir dir;
    const Outcome convert = zep({"convert", golden("app.kwp"), dir.file("a.h86")});
    EXPECT_EQ(convert.code, 0) << convert.err;
    const Outcome dump = zep({"kwp2txt", golden("app.kwp"), dir.file("out.txt")});
    EXPECT_EQ(dump.code, 0) << dump.err;
    EXPECT_EQ(readFile(dir.file("out.txt")), readFile(golden("app.kwp.txt")));
}

TEST(ZepCommand, MessagesInTheChosenLanguage) {
    TempDir dir;
    writeFile(dir.file("bad.s"), "S1050000AABB00\r\n");
    const Outcome en = zep({"--lang", "en", "info", dir.file("bad.s")});
    EXPECT_EQ(en.code, 1);
    EXPECT_EQ(en.err, "error: " + dir.file("bad.s") + ": Checksum error at line 1\n");

    TextCatalog& catalog = TextCatalog::instance();
    catalog.load(std::string(ZEP_SHARE_DIR) + "/lang/ZEPViewer.xml");
    catalog.setLanguage("fr");
    const std::string french = tr("EcuApplication/Messages/importFromSFile/checksumError/text", "", 1);
    catalog.unload();
    catalog.setLanguage("en");
    const Outcome fr = zep({"--lang", "fr", "--base", ZEP_SHARE_DIR, "info", dir.file("bad.s")});
    EXPECT_EQ(fr.code, 1);
    EXPECT_EQ(fr.err, "error: " + dir.file("bad.s") + ": " + french + "\n");
    EXPECT_NE(french, "Checksum error at line 1");
}

} // namespace
} // namespace zep::test
