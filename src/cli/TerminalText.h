#pragma once

#include <string>
#include <string_view>

namespace zep {

/**
 * Text fit for a terminal: control characters (C0, DEL and C1) and bytes that are no UTF-8 are written
 * as \xHH (\u0080 to \u009F for C1), so that no name read from a database or a file can forge lines of
 * a listing or send escape sequences. lineBreaks keeps "\n" (messages have several lines).
 */
std::string printable(std::string_view text, bool lineBreaks = false);

} // namespace zep
