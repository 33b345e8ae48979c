#pragma once

#include <string>
#include <string_view>

namespace zep::fuzz {

/** the password the seeds and the tests write: it must never show in what the parser gives back */
inline constexpr std::string_view Secret = "hunter22";

/**
 * Parses text as a connection string and checks what the parser promises: a result or a refusal, never
 * a crash; a refusal of the string's syntax quotes nothing that could be the password; a password seen
 * once in the string shows in no text made from it; and the libpq connection made from a result holds
 * exactly the keywords and values the string named, none smuggled in by a value. Empty when all holds,
 * else what did not.
 */
std::string checkConnectionString(std::string_view text);

} // namespace zep::fuzz
