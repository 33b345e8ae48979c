#pragma once

#include <string>

namespace zep {

/** The check of an approval number typed into the application properties: 5 bytes in hexadecimal. */
namespace ApprovalCheck {

/** the digits a number has at least */
inline constexpr int Digits = 10;

/**
 * Whether typed is an approval number: padded on the left with "0" to Digits, it must read as
 * hexadecimal bytes whose digits are the typed text (either case). So a text of fewer than 10
 * digits never passes, and a longer one of whole bytes does.
 */
[[nodiscard]] bool passes(const std::string& typed);

/** the localised message shown when a number does not pass */
std::string refusal();

} // namespace ApprovalCheck
} // namespace zep
