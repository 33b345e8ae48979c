// The checksums against independent implementations: Python's binascii.crc_hqx (CRC-16/CCITT-FALSE with
// initial FFFF), zlib.crc32 and sum(), over the bytes of each range and of the whole image.
#include "memory/Checksums.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace zep {
namespace {

/** what Python says of each range of the file's bytes (offset, length), then of the whole file */
std::vector<Checksums> pythonChecksums(const std::string& path, const std::vector<std::uint64_t>& lengths) {
    std::string ranges;
    for (const std::uint64_t n : lengths)
        ranges += std::to_string(n) + ",";
    const std::string script =
        "import binascii,zlib,sys\n"
        "d=open(sys.argv[1],'rb').read()\n"
        "parts=[]\n"
        "o=0\n"
        "for n in [int(x) for x in sys.argv[2].split(',') if x]:\n"
        "    parts.append(d[o:o+n]); o+=n\n"
        "for p in parts+[d]:\n"
        "    print(len(p), binascii.crc_hqx(p,0xFFFF), zlib.crc32(p), sum(p)&0xFFFFFFFF)\n";
    const std::string command = "/usr/bin/python3 -c \"" + script + "\" '" + path + "' '" + ranges + "'";
    std::vector<Checksums> result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    unsigned long long bytes = 0;
    unsigned kwp = 0;
    unsigned long crc = 0, sum = 0;
    while (std::fscanf(pipe, "%llu %u %lu %lu", &bytes, &kwp, &crc, &sum) == 4)
        result.push_back({bytes, static_cast<std::uint16_t>(kwp), static_cast<std::uint32_t>(crc),
                          static_cast<std::uint32_t>(sum)});
    pclose(pipe);
    return result;
}

TEST(Checksums, MatchIndependentImplementationsForTheImageAndEachRange) {
    // blocks as (address, length); adjacent blocks make one range; the bytes are random
    // clang-format off
    const std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> images = {
        {},
        {{0x1000, 1}},
        {{0x1000, 300}, {0x2000, 64}},
        {{0x1000, 32}, {0x1020, 32}, {0x1040, 5}, {0xFFFFFF00, 256}},  // adjacent blocks, top of memory
        {{0x80000, 1 << 20}},                                        // 1 MiB: the table loops
    };
    // clang-format on
    std::mt19937 random(7);
    for (std::size_t i = 0; i < images.size(); ++i) {
        MemImage image;
        std::string all;
        for (const auto& [first, length] : images[i]) {
            std::vector<std::uint8_t> bytes(length);
            for (auto& b : bytes)
                b = static_cast<std::uint8_t>(random());
            image.add(first, bytes);
            all.append(bytes.begin(), bytes.end());
        }
        test::TempDir dir;
        test::writeFile(dir.file("bytes"), all);
        const std::vector<RangeChecksums> ranges = rangeChecksumsOf(image);
        std::vector<std::uint64_t> lengths;
        std::vector<Checksums> ours;
        for (const RangeChecksums& r : ranges) {
            lengths.push_back(r.range.count);
            ours.push_back(r.checksums);
        }
        ours.push_back(checksumsOf(image));
        EXPECT_EQ(ranges.size(), image.map().count()) << "image " << i;
        const std::vector<Checksums> python = pythonChecksums(dir.file("bytes"), lengths);
        ASSERT_EQ(python.size(), ours.size()) << "image " << i;
        for (std::size_t k = 0; k < ours.size(); ++k) {
            EXPECT_EQ(ours[k].bytes, python[k].bytes) << "image " << i << " part " << k;
            EXPECT_EQ(ours[k].kwpCrc, python[k].kwpCrc) << "image " << i << " part " << k;
            EXPECT_EQ(ours[k].crc32, python[k].crc32) << "image " << i << " part " << k;
            EXPECT_EQ(ours[k].sum, python[k].sum) << "image " << i << " part " << k;
        }
    }
}

} // namespace
} // namespace zep
