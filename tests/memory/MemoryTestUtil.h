#pragma once

#include "memory/Hex.h"
#include "memory/MemImage.h"
#include "memory/ZepError.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zep::test {

/** the number of the ZepError that f raises, 0 when it raises none */
inline int errorNumber(const auto& f) {
    try {
        f();
    } catch (const ZepError& e) {
        return e.number();
    }
    return 0;
}

/** an image's blocks as (address, hex text), in enumeration order */
using Blocks = std::vector<std::pair<std::uint32_t, std::string>>;

inline Blocks blocksOf(const MemImage& image) {
    Blocks out;
    for (ImageBlock b : image)
        out.emplace_back(b.first, hex::encode(b.bytes));
    return out;
}

inline std::vector<MemRange> rangesOf(const MemMap& map) {
    return {map.begin(), map.end()};
}

} // namespace zep::test
