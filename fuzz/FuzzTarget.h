#pragma once

#include "memory/ZepError.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

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

} // namespace zep::fuzz
