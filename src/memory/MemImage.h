#pragma once

#include "MemBlock.h"
#include "MemMap.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zep {

/** One block of an image: its first address and a view of its bytes, valid until the image changes. */
struct ImageBlock {
    std::uint32_t first = 0;
    std::span<const std::uint8_t> bytes;

    std::size_t size() const { return bytes.size(); }
    std::uint32_t last() const { return static_cast<std::uint32_t>(first + bytes.size() - 1); }
    std::uint64_t end() const { return std::uint64_t{first} + bytes.size(); }
};

/**
 * The content of an application or a tuning: blocks of bytes at their flash addresses.
 *
 * The image keeps its own copy of every block it receives. Blocks never overlap: a block that covers
 * addresses an earlier block holds replaces those bytes (the earlier block keeps its other bytes, split
 * in two where the new one falls in its middle). Blocks keep their boundaries otherwise, even when
 * adjacent, and enumerate in ascending address order.
 *
 * Made for large images of many small blocks: bytes live in one pool, blocks added in ascending order
 * cost O(1), and out-of-order or overlapping blocks are sorted out once, when the image is next read.
 */
class MemImage {
public:
    void add(const MemBlock& block);
    void add(std::uint32_t first, std::span<const std::uint8_t> bytes);
    /** the tuning-over-application operation; the same rule as add: the new bytes win */
    void write(const MemBlock& block) { add(block); }
    void write(std::uint32_t first, std::span<const std::uint8_t> bytes) { add(first, bytes); }
    void clear();
    /** room for bytes and blocks to come, so that large reads do not reallocate */
    void reserve(std::size_t bytes, std::size_t blocks);

    std::size_t count() const;
    bool empty() const { return count() == 0; }
    /** total number of bytes */
    std::uint64_t byteCount() const;
    /** 0-based */
    ImageBlock operator[](std::size_t index) const;
    /** 1-based copy as a block whose first position is its address */
    MemBlock item(std::size_t index) const;

    class Iterator;
    Iterator begin() const;
    Iterator end() const;

    /** the covered addresses, adjacent blocks merged into one range */
    MemMap map() const;
    /** the bytes from address for count bytes; addresses no block covers read as 0 */
    MemBlock extract(std::uint32_t address, std::uint64_t count) const;

    /** same blocks with the same bytes */
    bool operator==(const MemImage& other) const;
    /** same bytes at the same addresses, whatever the block boundaries */
    bool sameContent(const MemImage& other) const;

private:
    struct Segment {
        std::uint32_t first;
        std::uint32_t length;
        std::size_t offset; // into pool_
    };
    // Blocks of one length that follow each other, in addresses and in the pool, are kept as one run:
    // a file of 32-byte records costs one run instead of one entry per record.
    struct Run {
        std::uint32_t first;
        std::uint32_t length; // of each block
        std::size_t count;    // blocks
        std::size_t offset;   // into pool_
        std::size_t index;    // of the run's first block among all blocks
        std::uint64_t end() const { return std::uint64_t{first} + std::uint64_t{length} * count; }
    };

    void resolve() const;
    /** appends a block to runs, joining the last run where it follows it */
    static void append(std::vector<Run>& runs, const Segment& block);

    std::vector<std::uint8_t> pool_;
    mutable std::vector<Run> runs_;
    mutable bool resolved_ = true;

    friend class Iterator;
};

class MemImage::Iterator {
public:
    using value_type = ImageBlock;
    using difference_type = std::ptrdiff_t;

    Iterator() = default;
    Iterator(const MemImage* image, std::size_t index) : image_(image), index_(index) {}
    ImageBlock operator*() const { return (*image_)[index_]; }
    Iterator& operator++() {
        ++index_;
        return *this;
    }
    Iterator operator++(int) {
        Iterator old = *this;
        ++index_;
        return old;
    }
    bool operator==(const Iterator& other) const { return index_ == other.index_; }

private:
    const MemImage* image_ = nullptr;
    std::size_t index_ = 0;
};

inline MemImage::Iterator MemImage::begin() const {
    resolve();
    return {this, 0};
}
inline MemImage::Iterator MemImage::end() const {
    return {this, count()};
}

} // namespace zep
