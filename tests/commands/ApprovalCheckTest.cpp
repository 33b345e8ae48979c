#include "commands/ApprovalCheck.h"

#include <gtest/gtest.h>

namespace zep {
namespace {

TEST(ApprovalCheck, FiveBytesInHexadecimalOrMoreWholeBytes) {
    struct Case {
        const char* typed;
        bool passes;
    };
    // clang-format off
    const Case cases[] = {
        {"ABCDE", false},
        {"000ABCDE0", false},
        {"00000ABCDE", true},
        {"00000abcde", true},
        {"00000ABCDEF0", true},
        {"00000ABCDEF", false},
        {"00000ABCDG", false},
        {"00000 BCDE", false},
        {"0x000ABCDE", false},
        {"", false},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(ApprovalCheck::passes(c.typed), c.passes) << c.typed;
    EXPECT_EQ(ApprovalCheck::refusal(), "Approval field must be 5 bytes in hexadecimal (10 characters).");
}

} // namespace
} // namespace zep
