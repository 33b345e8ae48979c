#pragma once

#include "memory/ZepError.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

namespace zep::fuzz {

/** Runs a check on one input; anything but a pass aborts, so that the fuzzer keeps the input. */
template <typename Check> int run(Check&& check) {
    std::string problem;
    try {
        problem = check();
    } catch (const ZepError& e) {
        problem = "ZepError escaped the check: " + e.description();
    } catch (const std::exception& e) {
        problem = std::string("unexpected exception: ") + e.what();
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "finding: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}

/** libFuzzer's own mutation, then, three times in four, the format's sums put right */
inline std::size_t mutate(std::uint8_t* data, std::size_t size, std::size_t maxSize, unsigned seed,
                          void (*repair)(std::uint8_t*, std::size_t)) {
    size = LLVMFuzzerMutate(data, size, maxSize);
    if (seed % 4 != 0)
        repair(data, size);
    return size;
}

} // namespace zep::fuzz
