#pragma once

#include <string>

namespace zep {

class Interaction;

/**
 * Writes the text dump of a KWP file. A source that is not a KWP file is refused with the not-valid
 * message and nothing is written. False when nothing usable was written (refusal, unreadable source,
 * unwritable target, a frame header cut short), so that the caller does not open an editor on it.
 * These failures show no message of their own; failure, if given, receives what went wrong.
 */
bool ConvertKwpToText(const std::string& kwpPath, const std::string& textPath, Interaction& ui,
                      std::string* failure = nullptr);

} // namespace zep
