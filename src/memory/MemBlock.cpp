#include "MemBlock.h"

#include "Hex.h"
#include "ZepError.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace zep {

MemBlock::MemBlock(std::size_t length)
    : storage_(std::make_shared<std::vector<std::uint8_t>>(length)), length_(length) {}

MemBlock::MemBlock(Position first, std::span<const std::uint8_t> bytes)
    : storage_(std::make_shared<std::vector<std::uint8_t>>(bytes.begin(), bytes.end())),
      length_(bytes.size()), first_(first) {}

MemBlock::MemBlock(Position first, std::vector<std::uint8_t>&& bytes)
    : storage_(std::make_shared<std::vector<std::uint8_t>>(std::move(bytes))), length_(storage_->size()),
      first_(first) {}

MemBlock MemBlock::fromHex(std::string_view text) {
    MemBlock block;
    block.setHex(text);
    return block;
}

MemBlock::MemBlock(const MemBlock& other) : MemBlock(other.first_, other.bytes()) {}

MemBlock& MemBlock::operator=(const MemBlock& other) {
    if (this != &other)
        *this = MemBlock(other);
    return *this;
}

void MemBlock::setLength(std::size_t length) {
    if (length == length_)
        return;
    auto fresh = std::make_shared<std::vector<std::uint8_t>>(length);
    std::copy_n(data(), std::min(length, length_), fresh->data());
    storage_ = std::move(fresh);
    offset_ = 0;
    length_ = length;
}

std::size_t MemBlock::index(Position position) const {
    if (position < first_ || position > last())
        throw ZepError(errors::OutOfRange, "Position " + std::to_string(position) +
                                               " is outside the block (" + std::to_string(first_) + " to " +
                                               std::to_string(last()) + ")");
    return static_cast<std::size_t>(position - first_);
}

std::uint8_t MemBlock::at(Position position) const {
    return data()[index(position)];
}

void MemBlock::set(Position position, std::uint8_t value) {
    data()[index(position)] = value;
}

MemBlock MemBlock::sub(Position position, std::size_t count) {
    const std::size_t start = index(position);
    const std::size_t available = length_ - start;
    if (count == 0)
        count = available;
    if (count > available)
        throw ZepError(errors::OutOfRange, "Sub-block of " + std::to_string(count) + " bytes from position " +
                                               std::to_string(position) + " runs past the block's end");
    MemBlock view;
    view.storage_ = storage_;
    view.offset_ = offset_ + start;
    view.length_ = count;
    view.first_ = 1;
    return view;
}

void MemBlock::copyFrom(const MemBlock& other) {
    if (this == &other)
        return;
    if (other.length_ != length_ || !storage_)
        setLength(other.length_);
    if (length_ > 0)
        std::memmove(data(), other.data(), length_); // views of one parent may overlap
    first_ = other.first_;
}

std::string MemBlock::toHex() const {
    return hex::encode(bytes());
}

void MemBlock::setHex(std::string_view text) {
    std::vector<std::uint8_t> decoded(text.size() / 2);
    if (!hex::decode(text, decoded.data()))
        throw ZepError(errors::InvalidArgument,
                       "Invalid hexadecimal text \"" + std::string(text.substr(0, 64)) + "\"");
    setBytes(decoded);
}

void MemBlock::setBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != length_ || !storage_) {
        // built before the old bytes are let go: bytes may be a view of them
        storage_ = std::make_shared<std::vector<std::uint8_t>>(bytes.begin(), bytes.end());
        offset_ = 0;
        length_ = bytes.size();
    } else if (length_ > 0) {
        std::memmove(data(), bytes.data(), length_);
    }
}

std::uint8_t MemBlock::sum() const {
    return static_cast<std::uint8_t>(std::accumulate(bytes().begin(), bytes().end(), 0u));
}

std::size_t MemBlock::runLength(Position position, std::uint8_t value) const {
    const auto b = bytes();
    const auto from = b.begin() + static_cast<std::ptrdiff_t>(index(position));
    return static_cast<std::size_t>(
        std::find_if(from, b.end(), [value](std::uint8_t x) { return x != value; }) - from);
}

void MemBlock::fill(std::uint8_t value) {
    std::fill_n(data(), length_, value);
}

bool MemBlock::overlaps(const MemBlock& other) const {
    return !empty() && !other.empty() && first_ <= other.last() && other.first_ <= last();
}

bool MemBlock::operator==(const MemBlock& other) const {
    return first_ == other.first_ && std::ranges::equal(bytes(), other.bytes());
}

} // namespace zep
