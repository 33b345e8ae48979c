#include "FlashTestSupport.h"
#include "support/RecordingInteraction.h"

#include "flash/FileKind.h"
#include "flash/KwpText.h"
#include "text/TextCatalog.h"

#include <filesystem>
#include <sstream>

namespace zep::test {
namespace {

using namespace std::string_literals;

TEST(FileKind, FirstBytesDecideWhateverTheExtension) {
    // clang-format off
    const struct { const char* name; std::string bytes; FileKind kind; } cases[] = {
        {"a.s", "S00600", FileKind::SRecord},
        {"a.kwp", "S9030000FC\r\n", FileKind::SRecord},
        {"b.s", "S0060", FileKind::None}, // 5 bytes are too few
        {"c.s", "", FileKind::None},
        {"d.hex", ":00000001FF", FileKind::H86},
        {"e.xml", "<?xml version=\"1.0\"?>", FileKind::Xml},
        {"f.xml", "<?xmL version=\"1.0\"?>", FileKind::None},
        {"g.xml", "\xEF\xBB\xBF<?xml version=\"1.0\"?>", FileKind::None},
        {"h.s", "\xA1\x6A\x00\x01\x02\x03"s, FileKind::Kwp},
        {"i.kwp", "\xA1\x6A\x01\x01\x02\x03"s, FileKind::None},
        {"j.kwp", "\xA1\x6A\x00\x01\x02"s, FileKind::None},
        {"k.s", "s00600", FileKind::None},
    };
    // clang-format on
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(dir.file(c.name), c.bytes);
        EXPECT_EQ(fileKind(dir.file(c.name)), c.kind);
    }
    EXPECT_EQ(fileKind(dir.file("missing.s")), FileKind::None);
    EXPECT_EQ(fileKind(dir.path().string()), FileKind::None);
    EXPECT_EQ(fileKind(dataPath("flash/app.kwp")), FileKind::Kwp);
}

TEST(FileKind, ExtensionsTellTheFormatAndTheFileDialogsListThem) {
    const struct {
        const char* name;
        FileKind kind;
    } cases[] = {
        {"a.s", FileKind::SRecord},   {"b.S19", FileKind::SRecord},  {"c.s28", FileKind::SRecord},
        {"d.s37", FileKind::SRecord}, {"e.SREC", FileKind::SRecord}, {"f.mot", FileKind::SRecord},
        {"g.ulp", FileKind::SRecord}, {"h.h86", FileKind::H86},      {"i.HEX", FileKind::H86},
        {"j.ihex", FileKind::H86},    {"k.ihx", FileKind::H86},      {"l.kwp", FileKind::Kwp},
        {"m.Xml", FileKind::Xml},     {"n.bin", FileKind::None},     {"s19", FileKind::None},
        {"o.s19/p", FileKind::None},  {"q.s19.txt", FileKind::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kindOfExtension(c.name), c.kind) << c.name;

    // Each filter of the open and save dialogs lists every extension of its kind in one entry, in its
    // patterns and in its text, in every language.
    TextCatalog& catalog = TextCatalog::instance();
    catalog.load(std::string(ZEP_SHARE_DIR) + "/lang/ZEPViewer.xml");
    for (const std::string language : {"en", "fr"}) {
        catalog.setLanguage(language);
        for (const std::string dialog : {"open", "save"}) {
            std::vector<std::string> parts; // text, patterns, text, patterns...
            std::stringstream in(catalog.text("frmDatabase/dialogs/" + dialog + "/filter", ""));
            for (std::string part; std::getline(in, part, '|');)
                parts.push_back(part);
            const auto listed = [&](std::size_t i, const std::string& extension) {
                return i + 1 < parts.size() &&
                       (";" + parts[i + 1] + ";").find(";*" + extension + ";") != std::string::npos &&
                       parts[i].find("*" + extension) != std::string::npos;
            };
            for (const FileKind kind : {FileKind::SRecord, FileKind::H86, FileKind::Kwp, FileKind::Xml}) {
                if (kind == FileKind::Xml && dialog == "open")
                    continue;
                const std::vector<std::string> extensions = extensionsOf(kind);
                std::size_t i = 0;
                while (i < parts.size() && !listed(i, extensions[0]))
                    i += 2;
                for (const std::string& extension : extensions)
                    EXPECT_TRUE(listed(i, extension)) << language << " " << dialog << " " << extension;
            }
        }
    }
    catalog.unload();
    catalog.setLanguage("en");
}

TEST(KwpText, OneLinePerFrameAndCutFramesGiveTheBytesThatAreThere) {
    const std::string kwp = flashData("app.kwp");
    const std::string golden = flashData("app.kwp.txt");
    const std::string lastLineCut = golden.substr(0, golden.size() - 2 - 10) + "\r\n";
    // clang-format off
    const struct { const char* what; std::string bytes; std::string text; bool complete; } cases[] = {
        {"whole", kwp, golden, true},
        {"data cut", kwp.substr(0, kwp.size() - 5), lastLineCut, true},
        {"header cut", kwp + "\x80\x6A"s, golden + "806A\r\n", false},
        {"long header cut after its length", kwp + "\x80\x6A\xFC\x10"s, golden + "806AFC10\r\n", true},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        writeFile(dir.file("in.kwp"), c.bytes);
        RecordingInteraction ui;
        EXPECT_EQ(ConvertKwpToText(dir.file("in.kwp"), dir.file("out.txt"), ui), c.complete);
        EXPECT_EQ(readFile(dir.file("out.txt")), c.text);
        EXPECT_TRUE(ui.shown.empty());
    }
}

TEST(KwpText, OtherFilesAreNotValidAndNothingIsWritten) {
    TempDir dir;
    writeFile(dir.file("short.kwp"), "\xA1\x6A\x00\x01\x02"s);
    for (const std::string& source :
         {dataPath("flash/valdore.s"), dir.file("short.kwp"), dir.file("missing.kwp")}) {
        SCOPED_TRACE(source);
        RecordingInteraction ui;
        EXPECT_FALSE(ConvertKwpToText(source, dir.file("out.txt"), ui));
        ASSERT_EQ(ui.shown.size(), 1u);
        EXPECT_EQ(ui.shown[0].text, "File " + source + "\r\nis not a valid KWP file.");
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.txt")));
    }
}

} // namespace
} // namespace zep::test
