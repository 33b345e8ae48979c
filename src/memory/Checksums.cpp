#include "Checksums.h"

#include <array>

namespace zep {

namespace {
constexpr std::array<std::uint32_t, 256> makeCrc32Table() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        table[i] = crc;
    }
    return table;
}
constexpr auto crc32Table = makeCrc32Table();
} // namespace

void ChecksumRun::add(std::span<const std::uint8_t> bytes) {
    kwp_.add(bytes);
    std::uint32_t crc = crc32_, sum = sum_;
    for (const std::uint8_t b : bytes) {
        crc = (crc >> 8) ^ crc32Table[(crc ^ b) & 0xFF];
        sum += b;
    }
    crc32_ = crc;
    sum_ = sum;
    bytes_ += bytes.size();
}

Checksums ChecksumRun::result() const {
    return {bytes_, kwp_.value(), ~crc32_, sum_};
}

Checksums checksumsOf(std::span<const std::uint8_t> bytes) {
    ChecksumRun run;
    run.add(bytes);
    return run.result();
}

Checksums checksumsOf(const MemImage& image) {
    ChecksumRun run;
    for (const ImageBlock block : image)
        run.add(block.bytes);
    return run.result();
}

std::vector<RangeChecksums> rangeChecksumsOf(const MemImage& image) {
    std::vector<RangeChecksums> result;
    ChecksumRun run;
    std::uint64_t runFirst = 0, runEnd = 0;
    bool open = false;
    const auto close = [&] {
        if (open)
            result.push_back({{static_cast<std::uint32_t>(runFirst), runEnd - runFirst}, run.result()});
        run = ChecksumRun();
    };
    for (const ImageBlock block : image) {
        if (!open || block.first != runEnd) {
            close();
            runFirst = block.first;
            open = true;
        }
        run.add(block.bytes);
        runEnd = block.end();
    }
    close();
    return result;
}

} // namespace zep
