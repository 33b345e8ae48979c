#include "FlashRoundTrip.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

/** every file below the folders of findings and of seeds, in a stable order */
std::vector<fs::path> inputs() {
    std::vector<fs::path> files;
    for (const fs::path& root : {fs::path(zep::test::dataPath("fuzz")), fs::path(ZEP_FUZZ_SEEDS)}) {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(root, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (it->is_regular_file())
                files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

/** what the check found, or the exception that left it */
template <typename Check> std::string outcome(Check check) {
    try {
        return check();
    } catch (const std::exception& e) {
        return std::string("exception: ") + e.what();
    }
}

// Each reader either reads an input, and then writes and reads back the same content, or refuses it
// with a ZepError. A crash or any other exception fails the test. The folders are listed when the test
// runs, so that an input copied there is replayed without rebuilding.
TEST(FuzzRegression, EveryReaderReadsOrRefusesEveryInput) {
    const std::vector<fs::path> files = inputs();
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        const std::string bytes = zep::test::readFile(file.string());
        const std::span<const std::uint8_t> stream(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                   bytes.size());
        EXPECT_EQ(outcome([&] { return zep::fuzz::checkSRecord(bytes); }), "") << "as an S-record file";
        EXPECT_EQ(outcome([&] { return zep::fuzz::checkH86(bytes); }), "") << "as an H86 file";
        EXPECT_EQ(outcome([&] { return zep::fuzz::checkKwp(stream); }), "") << "as a KWP file";
    }
}

} // namespace
