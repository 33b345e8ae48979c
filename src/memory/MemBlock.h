#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zep {

/**
 * A run of bytes whose positions go from first() to last(); a new block starts at position 1,
 * a block of an image at its flash address.
 *
 * Copying a block copies its bytes. sub() is the one way to get a view: a block that shares its
 * parent's bytes, so that writing into it writes into the parent.
 */
class MemBlock {
public:
    using Position = std::int64_t;

    MemBlock() = default;
    explicit MemBlock(std::size_t length);
    MemBlock(Position first, std::span<const std::uint8_t> bytes);
    /** takes the bytes over without copying them */
    MemBlock(Position first, std::vector<std::uint8_t>&& bytes);
    static MemBlock fromHex(std::string_view text);

    MemBlock(const MemBlock& other);
    MemBlock& operator=(const MemBlock& other);
    MemBlock(MemBlock&&) noexcept = default;
    MemBlock& operator=(MemBlock&&) noexcept = default;

    std::size_t length() const { return length_; }
    bool empty() const { return length_ == 0; }
    /** new bytes are 0; a view that changes its length gets bytes of its own */
    void setLength(std::size_t length);

    Position first() const { return first_; }
    void setFirst(Position first) { first_ = first; }
    /** first() + length() - 1: one before first() for an empty block */
    Position last() const { return first_ + static_cast<Position>(length_) - 1; }

    std::uint8_t at(Position position) const;
    void set(Position position, std::uint8_t value);

    /** a view of count bytes from position (count 0: to the end) that writes through to this block */
    MemBlock sub(Position position, std::size_t count = 0);

    /** makes this block hold the other's bytes and first position; a view of the same length writes through
     */
    void copyFrom(const MemBlock& other);

    std::string toHex() const;
    /** replaces the bytes by the digits' bytes; an odd count or a non-digit is an invalid-argument error */
    void setHex(std::string_view text);

    std::span<const std::uint8_t> bytes() const { return {data(), length_}; }
    std::span<std::uint8_t> bytes() { return {data(), length_}; }
    void setBytes(std::span<const std::uint8_t> bytes);

    /** low byte of the sum of all bytes */
    std::uint8_t sum() const;
    /** how many bytes from position on equal value, without a break */
    std::size_t runLength(Position position, std::uint8_t value) const;
    void fill(std::uint8_t value);
    /** whether the two blocks share at least one position */
    bool overlaps(const MemBlock& other) const;

    bool operator==(const MemBlock& other) const;

private:
    const std::uint8_t* data() const { return storage_ ? storage_->data() + offset_ : nullptr; }
    std::uint8_t* data() { return storage_ ? storage_->data() + offset_ : nullptr; }
    std::size_t index(Position position) const;

    std::shared_ptr<std::vector<std::uint8_t>> storage_;
    std::size_t offset_ = 0;
    std::size_t length_ = 0;
    Position first_ = 1;
};

} // namespace zep
