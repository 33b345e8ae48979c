// How files are read and written: only regular files are read, and a written file appears whole or not
// at all, whatever stands at its name.
#include "FlashTestSupport.h"

#include "flash/FileKind.h"
#include "flash/FlashFile.h"
#include "support/RecordingInteraction.h"

#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <thread>

namespace zep::test {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> contentOf(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] =
            entry.is_symlink() ? "-> " + fs::read_symlink(entry).string() : readFile(entry.path().string());
    return files;
}

TEST(FileAccess, WritesReplaceTheFileWholeWhateverStandsAtItsName) {
    const auto write = [](const std::string& path, const std::string& text) {
        writeWholeFile(path, [&](OutputBuffer& out) { out.append(text); });
    };
    // clang-format off
    const struct { const char* what; std::map<std::string, std::string> before /* "-> x": a link to x */, after; } cases[] = {
        {"a new file", {}, {{"out", "new"}}},
        {"an old file", {{"out", "old"}}, {{"out", "new"}}},
        {"a link: written through", {{"target", "old"}, {"out", "-> target"}}, {{"target", "new"}, {"out", "-> target"}}},
        {"a link to no file yet", {{"out", "-> target"}}, {{"target", "new"}, {"out", "-> target"}}},
        // the fixed name an earlier version wrote to, planted to redirect the bytes
        {"a planted link", {{"victim", "keep"}, {"out.zep-partial", "-> victim"}}, {{"victim", "keep"}, {"out.zep-partial", "-> victim"}, {"out", "new"}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        TempDir dir;
        for (const auto& [name, content] : c.before) {
            if (content.rfind("-> ", 0) == 0)
                fs::create_symlink(content.substr(3), dir.file(name));
            else
                writeFile(dir.file(name), content);
        }
        write(dir.file("out"), "new");
        EXPECT_EQ(contentOf(dir.path()), c.after) << c.what;
    }

    TempDir dir;
    writeFile(dir.file("out"), "old");
    ::chmod(dir.file("out").c_str(), 0640);
    EXPECT_THROW(writeWholeFile(dir.file("out"),
                                [](OutputBuffer& out) {
                                    out.append("half");
                                    throw ZepError(errors::File, "refused");
                                }),
                 ZepError);
    write(dir.file("out"), "kept mode");
    EXPECT_EQ(fs::status(dir.file("out")).permissions(), fs::perms(0640));
    EXPECT_EQ(contentOf(dir.path()), (std::map<std::string, std::string>{{"out", "kept mode"}}));
    EXPECT_NO_THROW(write("/dev/null", "to a device"));
}

TEST(FileAccess, WritersOfOneFileNeverMixTheirBytes) {
    TempDir dir;
    const std::string a(3 << 20, 'a'), b(3 << 20, 'b');
    std::thread other([&] { writeWholeFile(dir.file("out"), [&](OutputBuffer& out) { out.append(a); }); });
    writeWholeFile(dir.file("out"), [&](OutputBuffer& out) { out.append(b); });
    other.join();
    const std::string result = readFile(dir.file("out"));
    EXPECT_TRUE(result == a || result == b);
    EXPECT_EQ(contentOf(dir.path()).size(), 1u);
}

TEST(FileAccess, OnlyRegularFilesAreRead) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    // Each would wait for a writer, or read for ever, if it opened them.
    for (const std::string& path : {dir.file("fifo"), std::string("/dev/zero"), dir.path().string()}) {
        EXPECT_THROW(readWholeFile(path), ZepError) << path;
        EXPECT_THROW(FileBytes{path}, ZepError) << path;
        EXPECT_EQ(fileKind(path), FileKind::None) << path;
        EcuApplication app;
        RecordingInteraction ui;
        EXPECT_THROW(app.ImportFromSFile(path, ui), ZepError) << path;
    }
    writeFile(dir.file("big"), std::string(100, 'x'));
    EXPECT_THROW(readWholeFile(dir.file("big"), 99), ZepError);
    EXPECT_EQ(readWholeFile(dir.file("big"), 100).size(), 100u);
}

} // namespace
} // namespace zep::test
