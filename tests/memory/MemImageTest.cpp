#include "memory/MemImage.h"
#include "MemoryTestUtil.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace zep {
namespace {

using test::Blocks;
using test::blocksOf;
using test::errorNumber;

MemBlock blockAt(std::uint32_t address, const std::string& hex) {
    MemBlock block = MemBlock::fromHex(hex);
    block.setFirst(address);
    return block;
}

TEST(MemImage, KeepsItsOwnCopyOfEachBlock) {
    MemImage image;
    MemBlock row(4);
    row.setFirst(0x104);
    row.fill(0x22);
    image.add(row);
    row.setFirst(0x100); // callers refill the same block for the next row
    row.fill(0x11);
    image.add(row);
    row.fill(0x33);

    MemBlock parent = MemBlock::fromHex("A0A1A2A3");
    MemBlock view = parent.sub(2, 2);
    view.setFirst(0x200);
    image.add(view);
    view.fill(0x44);

    EXPECT_EQ(blocksOf(image), (Blocks{{0x100, "11111111"}, {0x104, "22222222"}, {0x200, "A1A2"}}));
    EXPECT_EQ(image.count(), 3u);
    EXPECT_EQ(image.byteCount(), 10u);
    EXPECT_EQ(image.item(2), blockAt(0x104, "22222222"));
    EXPECT_EQ(errorNumber([&] { image.item(0); }), errors::OutOfRange);
    EXPECT_EQ(errorNumber([&] { image.item(4); }), errors::OutOfRange);
}

// Maps and extracts are checked against the model below; what it does not tell is here.
TEST(MemImage, SameContentIgnoresBoundariesAndUncoveredBytesReadAsZero) {
    MemImage image, oneBlock;
    image.add(blockAt(0x104, "04050607"));
    image.add(blockAt(0x100, "00010203"));
    oneBlock.add(blockAt(0x100, "0001020304050607"));
    EXPECT_TRUE(image.sameContent(oneBlock));
    EXPECT_FALSE(image == oneBlock);
    EXPECT_EQ(image.extract(0x106, 4), blockAt(0x106, "06070000"));
    oneBlock.add(blockAt(0x200, "EE"));
    EXPECT_FALSE(image.sameContent(oneBlock));
}

TEST(MemImage, BlocksMustFitThe32BitAddressSpace) {
    // clang-format off
    const struct { MemBlock::Position first; std::size_t length; bool accepted; } cases[] = {
        {0xFFFFFFFF, 1, true},
        {0xFFFFFF00, 0x100, true},
        {0xFFFFFFFF, 2, false},
        {0xFFFFFF00, 0x101, false},
        {0x100000000, 1, false},
        {-1, 1, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        MemImage image;
        image.add(blockAt(0x10, "10"));
        MemBlock block(c.length);
        block.setFirst(c.first);
        const int error = errorNumber([&] { image.add(block); });
        if (c.accepted) {
            EXPECT_EQ(error, 0);
            EXPECT_EQ(image.map().ranges().back().end(), std::uint64_t{1} << 32);
        } else {
            EXPECT_EQ(error, errors::InvalidArgument);
            EXPECT_EQ(blocksOf(image), (Blocks{{0x10, "10"}}));
        }
    }
}

// A reference model: every address with its byte and the add that wrote it (and where in that add).
// Bytes of one add that stay next to each other form one block; anything else is a boundary. Checked
// against it, random adds cover every way a later block cuts into earlier ones.
class ImageModel {
public:
    struct Cell {
        std::uint8_t value;
        int add;
        std::uint32_t offset;
    };

    void add(std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
        ++adds_;
        for (std::uint32_t i = 0; i < bytes.size(); ++i)
            cells_[address + i] = {bytes[i], adds_, i};
    }
    void clear() { cells_.clear(); }

    Blocks blocks() const {
        Blocks out;
        const std::pair<const std::uint32_t, Cell>* previous = nullptr;
        for (const auto& entry : cells_) {
            const auto& [address, cell] = entry;
            const bool continues = previous && previous->first + 1 == address &&
                                   previous->second.add == cell.add &&
                                   previous->second.offset + 1 == cell.offset;
            if (!continues)
                out.emplace_back(address, "");
            hex::appendByte(out.back().second, cell.value);
            previous = &entry;
        }
        return out;
    }
    std::vector<MemRange> ranges() const {
        std::vector<MemRange> out;
        for (const auto& [address, cell] : cells_) {
            if (!out.empty() && out.back().end() == address)
                ++out.back().count;
            else
                out.push_back({address, 1});
        }
        return out;
    }
    std::size_t size() const { return cells_.size(); }
    std::string hex(std::uint32_t address, std::uint64_t count) const {
        std::string out;
        for (std::uint64_t i = 0; i < count; ++i)
            hex::appendByte(out, cells_.at(static_cast<std::uint32_t>(address + i)).value);
        return out;
    }

private:
    std::map<std::uint32_t, Cell> cells_;
    int adds_ = 0;
};

/** the model's blocks never overlap and are never empty: neither are the image's when they agree */
void expectSameAsModel(const MemImage& image, const ImageModel& model) {
    ASSERT_EQ(blocksOf(image), model.blocks());
    EXPECT_EQ(image.byteCount(), model.size());
    const std::vector<MemRange> ranges = model.ranges();
    ASSERT_EQ(test::rangesOf(image.map()), ranges);
    for (const MemRange& r : ranges) {
        const MemBlock extracted = image.extract(r.address, r.count);
        EXPECT_EQ(extracted.first(), r.address);
        EXPECT_EQ(extracted.toHex(), model.hex(r.address, r.count));
        const std::uint32_t inner = static_cast<std::uint32_t>(r.address + r.count / 3);
        EXPECT_EQ(image.extract(inner, r.count / 2).toHex(), model.hex(inner, r.count / 2));
    }
}

TEST(MemImage, AgreesWithAByteModelOnRandomOverlappingBlocks) {
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        auto below = [&](std::uint32_t n) {
            return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(random);
        };
        MemImage image;
        ImageModel model;
        int untilCheck = 1;
        for (int step = 0; step < 400; ++step) {
            const std::uint32_t length = 1 + below(below(4) == 0 ? 200 : 24);
            std::uint32_t address;
            switch (below(8)) {
            case 0: // at the top of the address space
                address = static_cast<std::uint32_t>((std::uint64_t{1} << 32) - length - below(64));
                break;
            case 1:
                address = 0x40000000 + below(64);
                break;
            default:
                address = below(512);
            }
            std::vector<std::uint8_t> bytes(length);
            for (auto& b : bytes)
                b = static_cast<std::uint8_t>(below(256));
            if (below(2))
                image.add(MemBlock(address, bytes));
            else
                image.write(address, bytes);
            model.add(address, bytes);
            if (below(100) == 0) {
                image.clear();
                model.clear();
            }
            if (--untilCheck == 0) {
                SCOPED_TRACE("step " + std::to_string(step));
                expectSameAsModel(image, model);
                if (HasFailure())
                    return;
                untilCheck = 1 + static_cast<int>(below(20));
            }
        }
        expectSameAsModel(image, model);
    }
}

} // namespace
} // namespace zep
