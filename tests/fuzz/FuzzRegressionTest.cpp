#include "FlashRoundTrip.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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

std::string testName(const testing::TestParamInfo<fs::path>& info) {
    std::string name = info.param.parent_path().filename().string() + "_" + info.param.filename().string();
    std::replace_if(
        name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
    return name;
}

class FuzzRegression : public testing::TestWithParam<fs::path> {};

// Each reader either reads the input, and then writes and reads back the same content, or refuses it
// with a ZepError. A crash or any other exception fails the test.
TEST_P(FuzzRegression, EveryReaderReadsOrRefuses) {
    const std::string bytes = zep::test::readFile(GetParam().string());
    const std::span<const std::uint8_t> stream(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                               bytes.size());
    EXPECT_EQ(zep::fuzz::checkSRecord(bytes), "") << "as an S-record file";
    EXPECT_EQ(zep::fuzz::checkH86(bytes), "") << "as an H86 file";
    EXPECT_EQ(zep::fuzz::checkKwp(stream), "") << "as a KWP file";
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzRegression, testing::ValuesIn(inputs()), testName);

} // namespace
