// Files the writers make are read by srec_cat and Python's intelhex to the same bytes, and files
// srec_cat writes are read by the readers to the same bytes.
#include "FlashTestSupport.h"
#include "support/RecordingInteraction.h"

#include <cstdio>
#include <cstdlib>
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
bool haveIntelHex() {
    return run("/usr/bin/python3 -c 'import intelhex'") == 0;
}

#define REQUIRE_SREC_CAT()                                                                                   \
    if (!haveSrecCat())                                                                                      \
    GTEST_SKIP() << "srec_cat is not installed (Debian package srecord)"
#define REQUIRE_INTELHEX()                                                                                   \
    if (!haveIntelHex())                                                                                     \
    GTEST_SKIP() << "Python's intelhex is not installed (Debian package python3-intelhex)"

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

/** the segments Python's intelhex reads from a file, as "ADDRESS HEX" lines */
std::string intelHexReads(const std::string& path) {
    std::string out;
    EXPECT_EQ(run("/usr/bin/python3 -c \"import intelhex, sys\n"
                  "ih = intelhex.IntelHex(sys.argv[1])\n"
                  "for s, e in ih.segments(): print('%X %s' % (s, ih.tobinstr(start=s, end=e - "
                  "1).hex().upper()))\" " +
                      quoted(path),
                  &out),
              0);
    return out;
}

std::string segmentsOf(const MemImage& image) {
    std::string out;
    for (const MemRange& r : image.map())
        out += hex::number(r.address) + " " + image.extract(r.address, r.count).toHex() + "\n";
    return out;
}

TEST(Interop, SrecCatReadsOurSRecordFiles) {
    REQUIRE_SREC_CAT();
    TempDir dir;
    EcuApplication app;
    makeGoldenTuning(app);
    app.value() = imageOf({{0x000100, 1000}, {0x01FFF0, 300}, {0x123456, 77}, {0xFFFF00, 256}});
    app.ExportToSFile(dir.file("out.s"));
    expectSrecCatReads(dir.file("out.s"), "-motorola", app.value());
}

TEST(Interop, SrecCatAndIntelHexReadOurH86Files) {
    REQUIRE_SREC_CAT();
    REQUIRE_INTELHEX();
    TempDir dir;
    EcuApplication app;
    app.value() = imageOf({{0x000100, 1000}, {0x01FFF0, 300}, {0x123456, 77}, {0xABCDFFE0, 100}});
    app.ExportToH86File(dir.file("out.h86"));
    expectSrecCatReads(dir.file("out.h86"), "-intel", app.value());
    EXPECT_EQ(intelHexReads(dir.file("out.h86")), segmentsOf(app.value()));
}

TEST(Interop, WeReadWhatSrecCatWrites) {
    REQUIRE_SREC_CAT();
    const struct {
        const char* what;
        std::string options;
        std::vector<std::pair<std::uint32_t, std::size_t>> blocks;
        bool h86;
    } cases[] = {
        {"S1", "-motorola -address-length=2", {{0x0100, 1000}, {0xF000, 300}}, false},
        {"S2", "-motorola -address-length=3", {{0x0100, 1000}, {0x01FFF0, 300}, {0xFFFF00, 256}}, false},
        {"S3", "-motorola -address-length=4", {{0x0100, 1000}, {0x123456, 77}, {0xFFFFF0, 16}}, false},
        {"Intel, extended segment addresses",
         "-intel -address-length=3",
         {{0x0100, 1000}, {0x01FFF0, 300}, {0xABCDE, 99}},
         true},
        {"Intel, extended linear addresses",
         "-intel",
         {{0x0100, 1000}, {0x01FFF0, 300}, {0xABCDFFE0, 100}},
         true},
    };
    for (const auto& c : cases) {
        for (const bool crlf : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (crlf ? ", CR LF" : ", LF"));
            TempDir dir;
            const MemImage image = imageOf(c.blocks);
            std::string inputs;
            std::size_t i = 0;
            for (const ImageBlock b : image) {
                const std::string bin = dir.file("block" + std::to_string(i++) + ".bin");
                writeFile(bin, std::string(b.bytes.begin(), b.bytes.end()));
                inputs += quoted(bin) + " -binary -offset " + std::to_string(b.first) + " ";
            }
            const std::string file = dir.file("written");
            const std::string command = "srec_cat " + inputs + "-o " + quoted(file) + " " + c.options +
                                        " -disable=header -disable=data-count" + (crlf ? " -crlf" : "");
            ASSERT_EQ(run(command), 0) << command;

            EcuApplication app;
            RecordingInteraction ui;
            if (c.h86)
                app.ImportFromH86File(file, ui);
            else
                app.ImportFromSFile(file, ui);
            EXPECT_TRUE(app.value().sameContent(image)) << readFile(file);
            EXPECT_EQ(ui.shown.size(), crlf ? 0u : 1u);
        }
    }
}

} // namespace
} // namespace zep::test
