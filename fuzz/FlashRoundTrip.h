#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zep::fuzz {

/**
 * What every flash reader must hold to, whatever it is given. A check feeds one input to one reader:
 * refusing it with a ZepError is fine; an input the reader accepts is written out again and read back,
 * which must give the same content. The result names what differed, empty when nothing did. Any
 * exception other than ZepError leaves the check, for the caller to report.
 */
/** the line splitting of the text readers against the plain rule it implements */
std::string checkLines(std::string_view text);
std::string checkSRecord(std::string_view text);
std::string checkH86(std::string_view text);
std::string checkKwp(std::span<const std::uint8_t> stream);

} // namespace zep::fuzz
